"""Member descriptors and interface facets: one generated source per group of interfaces.

Every C++ member of a facet is one call of the generic member template
(core/engine/member_template.h) with a constant descriptor (core/engine/model_desc.h). Members
flagged custom=NAME call the hand-written ztv::custom::NAME through the template's
prologue; their declarations are collected into zentrava_custom.h.
"""

from cpp_signatures import interface_signatures, type_kind
from gen_common import (ASCII_FORMAT, HEADER_NOTE, OBJECT_KINDS, c_string, class_name_of, commands_of,
                        double_literal, model_set, simulated_value)

VALUE_TYPES = {"Boolean": "Boolean", "Int32": "Int32", "Double": "Double", "String": "String",
               "Double[]": "DoubleArray", "Byte[]": "ByteArray"}

# Handlers whose members differ in shape take their values as lists.
SPAN_HANDLERS = {
    "result_list": "std::span<const double> inputs, std::span<double* const> outputs",
    "command_pair": "std::span<const double> args",
    "search_switch": "LONG value",
}


class GenError(Exception):
    pass


def value_type(typ, model):
    if typ in VALUE_TYPES:
        return VALUE_TYPES[typ]
    if typ in model.enums:
        return "Enum"
    return "Interface" if typ else "None"


def restricted_enum(typ, model):
    enum = model.enums.get(typ)
    return enum is not None and any(v.models != "both" for v in enum.values)


def item_class(interface, model):
    """Class name of the instances of the collection an interface belongs to."""
    for m in interface.members:
        if m.kind == "child" and m.indices:
            return class_name_of(model.interfaces[m.target], model)
    raise GenError("%s has collection members but no Item" % interface.name)


class _Desc:
    """The fields of one MemberDesc, with C++ defaults."""

    def __init__(self, sig, model):
        m = sig.member
        self.sig, self.m, self.model = sig, m, model
        self.kind = None
        result = sig.result
        first = sig.params[0].name if sig.params else None
        self.param = result.name if result else (sig.params[-1].name if sig.kind == "put" else first)
        self.type = "None"
        self.enum = None
        self.commands = []
        self.items = 0
        self.target = None
        self.collection = None
        self.select = None
        self.outputs = []
        self.restricted = []
        self.sim_results = []
        self.sim, self.key, self.sim_number, self.sim_text = "None", None, 0.0, None

    def simulation(self):
        m = self.m
        if m.simulation is None:
            return
        self.sim = "LastValue" if m.simulation.mode == "last" else "Fixed"
        if self.sim == "LastValue":
            self.key = m.key
        self.sim_number, self.sim_text = simulated_value(m, self.model)


def _classify(sig, model):
    """Descriptor fields and the body expression of one C++ member."""
    m = sig.member
    d = _Desc(sig, model)
    iface = model.interfaces[m.interface]
    args = ", ".join(p.name for p in sig.params)

    if m.kind == "child":
        d.target = m.target
        if m.indices:
            d.kind = "Item"
            d.collection = class_name_of(model.interfaces[m.target], model)
            return d, "engine::GetItemInterface(node_, kD, %s)" % args
        d.kind = "Child"
        d.select = m.flags.get("select")
        return d, "engine::GetChildInterface(node_, kD, val)"

    if m.custom == "collection":
        d.kind = "Custom"
        d.collection = item_class(iface, model)
        if m.name == "Count":
            return d, "engine::GetCount(node_, kD, val)"
        if m.name == "Name":
            return d, "engine::GetName(node_, kD, %s)" % args
        raise GenError("%s: unknown collection member" % m.key)

    if m.kind == "property":
        d.type = value_type(m.type, model)
        d.enum = m.type if m.type in model.enums else None
        d.commands = commands_of(m.query if sig.kind == "get" else m.setting)
        d.simulation()
    else:
        d.commands = commands_of(m.sends)
        d.type = value_type(m.result if m.result != "Void" else None, model)

    if m.custom:
        return _custom(d, sig, model)

    if m.kind == "property":
        if len(d.commands) != 1:
            raise GenError("%s: a generic property sends exactly one command" % m.key)
        if m.indices:
            raise GenError("%s: indexed properties need a hand-written body" % m.key)
        d.kind = "Getter" if sig.kind == "get" else "Setter"
        if d.enum:
            fn = "GetEnumProperty" if sig.kind == "get" else "PutEnumProperty"
        else:
            fn = "GetProperty" if sig.kind == "get" else "PutProperty"
        return d, "engine::%s(node_, kD, val)" % fn

    # Generic methods.
    if m.result == "Double[]":
        if m.params:
            raise GenError("%s: an array reader takes no parameters" % m.key)
        d.kind = "ArrayRead"
        _check_array_commands(d, reader=True)
        return d, "engine::ReadArray(node_, kD, %s)" % sig.result.name
    if [p.type for p in m.params] == ["Double[]"]:
        d.kind = "ArrayWrite"
        d.items = int(m.flags.get("items", "0"))
        _check_array_commands(d, reader=False)
        return d, "engine::WriteArray(node_, kD, %s)" % m.params[0].name
    if m.result != "Void":
        raise GenError("%s: result %s needs a hand-written body" % (m.key, m.result))
    for p in m.params:
        if p.direction != "in" or type_kind(p.type, model) != "scalar":
            raise GenError("%s: parameter %s needs a hand-written body" % (m.key, p.name))
    if len(d.commands) != 1:
        raise GenError("%s: a generic method sends exactly one command" % m.key)
    d.kind = "Command"
    if not m.params:
        return d, "engine::InvokeCommand(node_, kD)"
    call_args = ", ".join('engine::Arg("%s", %s)' % (p.name, p.name) for p in m.params)
    return d, "engine::InvokeCommand(node_, kD, {%s})" % call_args


def _check_array_commands(d, reader):
    cmds = d.commands
    ascii_first = len(cmds) > 1 and cmds[0] == ASCII_FORMAT
    expected = 1 + (1 if ascii_first else 0) + (1 if d.items else 0)
    if len(cmds) != expected:
        raise GenError("%s: array commands %r do not fit the array pattern" % (d.m.key, cmds))
    if not reader and not cmds[-1].endswith(" "):
        raise GenError("%s: an array writer's prefix ends with a blank" % d.m.key)


def _custom(d, sig, model):
    m = sig.member
    name = m.custom
    d.kind = "Custom"
    for p in sig.params:
        if p.direction != "in":
            d.outputs.append((p.name, None))
        elif p.model_type in model.enums and restricted_enum(p.model_type, model):
            d.restricted.append((p.name, p.model_type))
    if m.kind == "method" and d.enum is None:
        # A method that switches on an enumeration finds the value names here.
        d.enum = next((p.type for p in m.params if p.type in model.enums), None)
    if "sim" in m.flags:
        d.sim_results = [float(x) for x in m.flags["sim"].split(",")]
    outputs = ", ".join("static_cast<const void*>(%s)" % n for n, _ in d.outputs)
    restricted = ", ".join("static_cast<LONG>(%s)" % n for n, _ in d.restricted)
    traced = ", ".join(_trace_arg(p, sig, model) for p in sig.params)
    body = _custom_body(name, sig, model)
    return d, ("engine::RunCustom(node_, kD, {%s}, {%s}, {%s},\n"
               "                             [&](engine::MemberCall& call) { return %s; })" % (
                   outputs, restricted, traced, body))


def _trace_arg(p, sig, model):
    """The trace record's view of one parameter, as the generic members record theirs."""
    kind = type_kind(p.model_type, model)
    name = c_string(p.name)
    if kind in ("interface", "external"):
        if p.direction != "out":
            raise GenError("%s: only interface results are traced" % sig.member.key)
        return "TraceArg::OutInterface(%s, %s)" % (name, p.name)
    if p.model_type == "Boolean":
        if p.direction == "inout":
            raise GenError("%s: in-out booleans are not traced" % sig.member.key)
        return "TraceArg::%sBoolean(%s, %s)" % ("In" if p.direction == "in" else "Out", name, p.name)
    value = p.name
    if kind == "enum":
        value = "static_cast<LONG>(%s)" % p.name if p.direction == "in" else "reinterpret_cast<LONG*>(%s)" % p.name
    direction = {"in": "In", "out": "Out", "inout": "InOut"}[p.direction]
    return "TraceArg::%s(%s, %s)" % (direction, name, value)


def _custom_body(name, sig, model):
    if name == "result_list":
        ins = [p.name for p in sig.params if p.direction == "in"]
        outs = [p.name for p in sig.params if p.direction != "in"]
        if any(p.model_type != "Double" for p in sig.params):
            raise GenError("%s: result lists carry doubles" % sig.member.key)
        inputs = "std::array<double, %d>{%s}" % (len(ins), ", ".join(ins))
        outputs = "std::array<double*, %d>{%s}" % (len(outs), ", ".join(outs))
        return "custom::result_list(call, %s, %s)" % (inputs, outputs)
    if name == "command_pair":
        values = [p.name for p in sig.params]
        if any(p.model_type != "Double" for p in sig.params):
            raise GenError("%s: command pairs carry doubles" % sig.member.key)
        return "custom::command_pair(call, std::array<double, %d>{%s})" % (len(values), ", ".join(values))
    if name == "search_switch":
        return "custom::search_switch(call, static_cast<LONG>(%s))" % sig.params[0].name
    args = "".join(", " + p.name for p in sig.params)
    return "custom::%s(call%s)" % (name, args)


def custom_declarations(model):
    """Every hand-written handler's declaration, one per distinct parameter list."""
    seen = {}
    for iface in model.interfaces.values():
        for sig in interface_signatures(iface, model):
            name = sig.member.custom
            if not name or name == "collection":
                continue
            if name in SPAN_HANDLERS:
                params = SPAN_HANDLERS[name]
            else:
                params = sig.parameter_list()
            decl = "HRESULT %s(engine::MemberCall& call%s);" % (name, ", " + params if params else "")
            seen.setdefault(decl, []).append("%s.%s" % (iface.name, sig.function))
    out = [HEADER_NOTE,
           "// The hand-written member bodies named by custom=NAME in the model data. Each runs\n"
           "// after the generic prologue (lock, initialization, output pointers, model, restricted\n"
           "// values) and does the rest itself, simulation included.\n#pragma once\n\n",
           "#include <span>\n\n#include \"core/engine/member_call.h\"\n#include \"zentrava/interfaces.h\"\n\n",
           "namespace ztv::custom {\n\n"]
    for decl in sorted(seen):
        users = seen[decl]
        out.append("// %s\n%s\n\n" % (", ".join(users[:4]) + (" ..." if len(users) > 4 else ""), decl))
    out.append("}  // namespace ztv::custom\n")
    return "".join(out), sorted({d.split("(")[0].split()[-1] for d in seen})


def _param_checks(name, checks):
    if not checks:
        return None
    rows = ", ".join("{%s, %s}" % (c_string(n), "&kEnum_%s" % e if e else "nullptr") for n, e in checks)
    return "constexpr engine::ParamCheck %s[] = {%s};\n" % (name, rows)


def _descriptor(iface, sig, d, index):
    """The C++ definitions of one member's descriptor; returns (text, descriptor name)."""
    base = "k%d" % index
    out = []
    cmds = "nullptr"
    if d.commands:
        cmds = base + "Cmd"
        out.append("constexpr const char* %s[] = {%s};\n" % (cmds, ", ".join(c_string(c) for c in d.commands)))
    outputs = "nullptr"
    text = _param_checks(base + "Out", d.outputs)
    if text:
        out.append(text)
        outputs = base + "Out"
    restricted = "nullptr"
    text = _param_checks(base + "Restricted", d.restricted)
    if text:
        out.append(text)
        restricted = base + "Restricted"
    sims = "nullptr"
    if d.sim_results:
        sims = base + "Sim"
        out.append("constexpr double %s[] = {%s};\n" % (sims, ", ".join(double_literal(v) for v in d.sim_results)))
    fields = [
        ("iface", "&kI_%s" % iface.name),
        ("name", c_string(sig.function)),
        ("param", c_string(d.param)),
        ("kind", "engine::MemberKind::%s" % d.kind),
        ("type", "engine::ValueType::%s" % d.type),
        ("enumType", "&kEnum_%s" % d.enum if d.enum else "nullptr"),
        ("models", model_set(d.m.models)),
        ("sim", "engine::SimMode::%s" % d.sim),
        ("key", c_string(d.key)),
        ("simNumber", double_literal(d.sim_number)),
        ("simText", c_string(d.sim_text)),
        ("commands", cmds),
        ("items", str(d.items)),
        ("target", "&IID_%s" % d.target if d.target else "nullptr"),
        ("collection", c_string(d.collection)),
        ("select", c_string(d.select)),
        ("outputs", outputs),
        ("restricted", restricted),
        ("simResults", sims),
    ]
    # Unused pointers and lists keep the descriptor's defaults.
    written = ", ".join(".%s = %s" % (name, value) for name, value in fields if value != "nullptr")
    out.append("constexpr engine::MemberDesc %s = {%s};\n" % (base, written))
    return "".join(out), base


def facets_source(group, interfaces, model):
    """One generated source: interface descriptors, member descriptors and facets."""
    out = [HEADER_NOTE, "// Interface facets of the %s group.\n" % group,
           "#include <array>\n#include <span>\n\n",
           '#include "core/engine/member_template.h"\n#include "zentrava_custom.h"\n#include "zentrava_enum_tables.h"\n',
           '#include "zentrava_facets.h"\n#include "zentrava/interfaces.h"\n\n',
           "namespace ztv::generated {\nnamespace {\n\n"]
    for iface in interfaces:
        out.append("constexpr engine::InterfaceDesc kI_%s = {%s, &IID_%s, engine::ObjectKind::%s, %s};\n" % (
            iface.name, c_string(iface.name), iface.name, OBJECT_KINDS[iface.object],
            c_string(class_name_of(iface, model))))
    out.append("\n")
    for iface in interfaces:
        out.append(_facet_class(iface, model))
    out.append("}  // namespace\n\n")
    for iface in interfaces:
        out.append("engine::CFacet* CreateFacet_%s(engine::CObjectNode& node) { return new Facet_%s(node); }\n" % (
            iface.name, iface.name))
    out.append("\n}  // namespace ztv::generated\n")
    return "".join(out)


def _facet_class(iface, model):
    name = iface.name
    descs, members = [], []
    for i, sig in enumerate(interface_signatures(iface, model)):
        try:
            d, body = _classify(sig, model)
        except (GenError, ValueError) as e:
            raise GenError("%s (%s)" % (e, sig.member.source))
        text, dname = _descriptor(iface, sig, d, i)
        descs.append(text)
        members.append("    %s override {\n        static constexpr const engine::MemberDesc& kD = %s::%s;\n"
                       "        return %s;\n    }\n" % (sig.declaration(), "D_" + name, dname, body))
    out = ["struct D_%s {\n" % name]
    for text in descs:
        out.append("    static " + text.replace("\nconstexpr", "\n    static constexpr").rstrip("\n") + "\n")
    out.append("};\n\n")
    out.append("class Facet_%s final : public %s, public engine::CFacet {\npublic:\n" % (name, name))
    out.append("    explicit Facet_%s(engine::CObjectNode& node) : node_(node) {}\n" % name)
    out.append("    void* Interface() override { return static_cast<%s*>(this); }\n" % name)
    out.append("    HRESULT QueryInterface(REFIID riid, void** ppv) override { return node_.QueryInterface(riid, ppv); }\n")
    out.append("    ULONG AddRef() override { return node_.AddRef(); }\n")
    out.append("    ULONG Release() override { return node_.Release(); }\n\n")
    out.extend(members)
    out.append("\nprivate:\n    engine::CObjectNode& node_;\n};\n\n")
    return "".join(out)
