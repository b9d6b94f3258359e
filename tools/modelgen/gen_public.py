"""The public C++ headers: enumerations (zentrava_enums.h) and interfaces (zentrava_interfaces.h)."""

from cpp_signatures import interface_signatures
from gen_common import HEADER_NOTE


def enums_header(model):
    out = [HEADER_NOTE, "// The enumeration types of the Zentrava object model.\n#pragma once\n\n",
           '#include "platform/com/com.h"\n\n']
    for enum in model.enums.values():
        out.append("enum %s : LONG {\n" % enum.name)
        for v in enum.values:
            out.append("    %s = %d,\n" % (v.name, v.number))
        out.append("};\n\n")
    return "".join(out)


def interfaces_header(model):
    out = [HEADER_NOTE,
           "// The Zentrava object model's COM interfaces, members in declared order.\n#pragma once\n\n",
           '#include "platform/com/com.h"\n#include "zentrava_enums.h"\n\n',
           "namespace visa {\nstruct IFormattedIO488;\n}\n\n"]
    for name in model.interfaces:
        out.append("struct %s;\n" % name)
    out.append("\n")
    for name in model.interfaces:
        out.append("extern const IID IID_%s;\n" % name)
    out.append("\n")
    for iface in model.interfaces.values():
        out.append("struct %s : IUnknown {\n" % iface.name)
        for sig in interface_signatures(iface, model):
            out.append("    virtual %s = 0;\n" % sig.declaration())
        out.append("\nprotected:\n    ~%s() = default;\n};\n\n" % iface.name)
    return "".join(out)
