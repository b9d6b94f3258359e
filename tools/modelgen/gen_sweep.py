"""A table for the tests: every generic property with a value to write and the value it reads unwritten.

zentrava_sweep.cpp is compiled into the object-model tests only (tests/model), which
walk the table over every object of each class while simulating.
"""

from gen_common import HEADER_NOTE, c_string, class_name_of, double_literal, simulated_value


def _enum_choice(enum, fallback):
    """A value to write: another one than the fallback, with a token, accepted on every model."""
    for v in enum.values:
        if v.number != fallback and v.token and v.models == "both":
            return v.number
    return int(fallback)


def _entry(iface, m, model):
    number, text = simulated_value(m, model)
    i = iface.name
    getter = "&%s::get_%s" % (i, m.name)
    setter = "&%s::put_%s" % (i, m.name) if m.access == "ReadWrite" else "nullptr"
    if m.type == "String":
        call = "sweep::Text<%s>(o, IID_%s, %s, %s, %s, %s)" % (i, i, getter, setter, c_string(text or ""),
                                                              c_string("sweep text"))
    elif m.type == "Boolean":
        fallback = "VARIANT_TRUE" if number else "VARIANT_FALSE"
        other = "VARIANT_FALSE" if number else "VARIANT_TRUE"
        call = "sweep::Value<%s, VARIANT_BOOL>(o, IID_%s, %s, %s, %s, %s)" % (i, i, getter, setter, fallback, other)
    elif m.type == "Int32":
        call = "sweep::Value<%s, LONG>(o, IID_%s, %s, %s, %d, %d)" % (i, i, getter, setter, int(number),
                                                                    int(number) + 7)
    elif m.type == "Double":
        call = "sweep::Value<%s, double>(o, IID_%s, %s, %s, %s, %s)" % (i, i, getter, setter, double_literal(number),
                                                                      double_literal(number + 1.25))
    else:
        other = _enum_choice(model.enums[m.type], number)
        call = "sweep::Value<%s, %s>(o, IID_%s, %s, %s, static_cast<%s>(%d), static_cast<%s>(%d))" % (
            i, m.type, i, getter, setter, m.type, int(number), m.type, other)
    return "    {%s, %s, [](IUnknown* o) { return %s; }},\n" % (
        c_string(m.key), c_string(class_name_of(iface, model)), call)


def sweep_source(model):
    out = [HEADER_NOTE, '#include "zentrava/interfaces.h"\n#include "tests/model/property_sweep.h"\n\n',
           "namespace ztv::test {\n\nconst std::vector<SweepEntry> kSweepEntries = {\n"]
    for iface in model.interfaces.values():
        for m in iface.properties:
            if m.custom or m.indices or m.simulation is None or m.simulation.mode != "last":
                continue
            out.append(_entry(iface, m, model))
    out.append("};\n\n}  // namespace ztv::test\n")
    return "".join(out)
