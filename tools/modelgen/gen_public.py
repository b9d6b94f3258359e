"""The public C++ headers: enumerations (zentrava/enums.h) and interfaces (zentrava/interfaces.h)."""

from cpp_signatures import interface_signatures
from gen_common import HEADER_NOTE


def enums_header(model):
    out = [HEADER_NOTE, "// The enumeration types of the Zentrava object model.\n#pragma once\n\n",
           '#include "zentrava/com.h"\n\n']
    for enum in model.enums.values():
        out.append("enum %s : LONG {\n" % enum.name)
        for v in enum.values:
            out.append("    %s = %d,\n" % (v.name, v.number))
        out.append("};\n\n")
    return "".join(out)


def interfaces_header(model):
    out = [HEADER_NOTE,
           "// The Zentrava object model's COM interfaces, members in declared order.\n#pragma once\n\n",
           '#include "zentrava/com.h"\n#include "zentrava/enums.h"\n#include "zentrava/ivi.h"\n\n',
           "namespace visa {\nstruct IFormattedIO488;\n}\n\n"]
    for name in model.interfaces:
        out.append("struct %s;\n" % name)
    out.append("\n")
    for name in model.interfaces:
        out.append("extern const IID IID_%s;\n" % name)
    out.append("\n")
    out.append("// The driver class: create it for IIviDriver, Initialize, then ask for IZentrava.\n"
               "extern const CLSID CLSID_Zentrava;\n\n"
               "// The in-process server's entry points.\n"
               "extern \"C\" {\n"
               "HRESULT DllGetClassObject(REFCLSID rclsid, REFIID riid, void** ppv);\n"
               "HRESULT DllCanUnloadNow();\n"
               "HRESULT DllRegisterServer();\n"
               "HRESULT DllUnregisterServer();\n"
               "}\n\n")
    for iface in model.interfaces.values():
        out.append("struct %s : IUnknown {\n" % iface.name)
        for sig in interface_signatures(iface, model):
            out.append("    virtual %s = 0;\n" % sig.declaration())
        out.append("\nprotected:\n    ~%s() = default;\n};\n\n" % iface.name)
    return "".join(out)
