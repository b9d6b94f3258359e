"""Generated tables: IIDs, enumeration token tables, facet factories and node classes."""

import uuid

from gen_common import HEADER_NOTE, MODEL_NAMES, c_string, guid_initializer, model_set, name_guid

# Order in which the root builds its measurement collections.
COLLECTION_ORDER = ("AM", "BB", "FP", "PN", "SP", "TR", "User")


def iids_source(model):
    out = [HEADER_NOTE, '#include "zentrava/interfaces.h"\n\n']
    for name in model.interfaces:
        out.append("extern const IID IID_%s = %s;  // %s\n" % (name, guid_initializer(name_guid(name)), name))
    return "".join(out)


def enum_tables_header(model):
    out = [HEADER_NOTE, "#pragma once\n\n#include \"core/engine/model_desc.h\"\n\nnamespace ztv::generated {\n\n"]
    for name in MODEL_NAMES:
        out.append("inline constexpr engine::ModelSet kModel_%s = %s;\n" % (name, model_set(name)))
    out.append("\n")
    for name in model.enums:
        out.append("extern const engine::EnumDesc kEnum_%s;\n" % name)
    out.append("\n// What a hand-written member sends for an enumeration value (command= in the data), and\n"
               "// whether the status register it names has only its event and enable parts.\n"
               "struct ValueCommand {\n    LONG number;\n    const char* command;\n    bool eventOnly;\n};\n\n"
               "// The value's entry, or nullptr when the type gives that number no command.\n"
               "const ValueCommand* FindValueCommand(const engine::EnumDesc& type, LONG number);\n")
    out.append("\n}  // namespace ztv::generated\n")
    return "".join(out)


def _value_commands_source(model):
    with_commands = [e for e in model.enums.values() if any(v.command is not None for v in e.values)]
    out = []
    for enum in with_commands:
        rows = ",\n    ".join("{%d, %s, %s}" % (v.number, c_string(v.command), "true" if v.event_only else "false")
                              for v in enum.values if v.command is not None)
        out.append("constexpr ValueCommand kCommands_%s[] = {\n    %s};\n" % (enum.name, rows))
    out.append("\nstruct TypeCommands {\n    const engine::EnumDesc* type;\n"
               "    std::span<const ValueCommand> commands;\n};\n")
    out.append("constexpr TypeCommands kValueCommands[] = {%s};\n\n}  // namespace\n\n" % ", ".join(
        "{&kEnum_%s, kCommands_%s}" % (e.name, e.name) for e in with_commands))
    out.append("const ValueCommand* FindValueCommand(const engine::EnumDesc& type, LONG number) {\n"
               "    for (const TypeCommands& entry : kValueCommands) {\n"
               "        if (entry.type != &type) continue;\n"
               "        for (const ValueCommand& value : entry.commands)\n"
               "            if (value.number == number) return &value;\n"
               "    }\n    return nullptr;\n}\n")
    return "".join(out)


def enum_tables_source(model):
    out = [HEADER_NOTE, '#include "core/engine/model_tables.h"\n#include "zentrava_enum_tables.h"\n\n',
           "namespace ztv::generated {\nnamespace {\n\n"]
    for enum in model.enums.values():
        rows = ",\n    ".join("{%d, %s, %s, %s}" % (v.number, c_string(v.name), c_string(v.token),
                                                    model_set(v.models))
                               for v in enum.values)
        out.append("constexpr engine::EnumValueDesc kValues_%s[] = {\n    %s};\n\n" % (enum.name, rows))
    out.append("}  // namespace\n\n")
    for enum in model.enums.values():
        restricted = any(v.models != "both" for v in enum.values)
        out.append("extern const engine::EnumDesc kEnum_%s = {%s, kValues_%s, %d, %d, %s};\n" % (
            enum.name, c_string(enum.name), enum.name, len(enum.values), enum.reply_length,
            "true" if restricted else "false"))
    out.append("\nnamespace {\n\n")
    out.append(_value_commands_source(model))
    out.append("\n}  // namespace ztv::generated\n\nnamespace ztv::engine {\n\n")
    out.append("constexpr std::string_view kModelList[] = {%s};\n" % ", ".join(c_string(n) for n in MODEL_NAMES))
    out.append("const std::span<const std::string_view> kModelNames = kModelList;\n")
    out.append("const EnumDesc* const kEnumTypes[] = {%s};\n" % ", ".join(
        "&generated::kEnum_%s" % n for n in model.enums))
    out.append("const std::size_t kEnumTypeCount = %d;\n\n}  // namespace ztv::engine\n" % len(model.enums))
    return "".join(out)


def facets_header(model):
    out = [HEADER_NOTE, "#pragma once\n\n#include \"core/engine/model_desc.h\"\n\nnamespace ztv::generated {\n\n"]
    for name in model.interfaces:
        out.append("engine::CFacet* CreateFacet_%s(engine::CObjectNode& node);\n" % name)
    out.append("\n}  // namespace ztv::generated\n")
    return "".join(out)


def _clsid(text):
    return guid_initializer(uuid.UUID(text))


def node_classes_source(model, counts):
    out = [HEADER_NOTE, '#include <iterator>\n\n#include "core/engine/model_tables.h"\n#include "zentrava_facets.h"\n',
           '#include "zentrava/interfaces.h"\n\n', "namespace ztv::generated {\nnamespace {\n\n"]

    def facet_table(var, interfaces):
        rows = ",\n    ".join("{&IID_%s, &CreateFacet_%s}" % (i.name, i.name) for i in interfaces)
        out.append("constexpr engine::FacetEntry %s[] = {\n    %s};\n\n" % (var, rows))

    def interfaces_of(kind, app=None):
        found = [i for i in model.interfaces.values() if i.object == kind and (app is None or i.app == app)]
        # The default interface comes first: the one named after the class.
        default = "IZentrava%s%s" % (app or "", {"measurement": "Measurement", "marker": "Marker"}.get(kind, ""))
        return sorted(found, key=lambda i: i.name != default)

    apps = [a for a in COLLECTION_ORDER if a in model.families]
    for app in apps:
        family = model.families[app]
        for kind, cls, clsid in (("marker", family.marker_class, family.marker_clsid),
                                 ("measurement", family.measurement_class, family.measurement_clsid)):
            facet_table("kFacets_%s" % cls, interfaces_of(kind, app))
            out.append("constexpr CLSID kClsid_%s = %s;\n" % (cls, _clsid(clsid)))
        marker = family.marker_class
        out.append("constexpr engine::NodeClassDesc kClass_%s = {%s, &kClsid_%s, engine::ObjectKind::Marker, "
                   "kFacets_%s, std::size(kFacets_%s), nullptr, 0};\n" % (marker, c_string(marker), marker, marker,
                                                                           marker))
        out.append("constexpr engine::CollectionDesc kMarkers_%s[] = {{&kClass_%s, %d}};\n" % (
            app, marker, family.markers))
        meas = family.measurement_class
        out.append("constexpr engine::NodeClassDesc kClass_%s = {%s, &kClsid_%s, engine::ObjectKind::Measurement, "
                   "kFacets_%s, std::size(kFacets_%s), kMarkers_%s, 1};\n\n" % (
                       meas, c_string(meas), meas, meas, meas, app))
    facet_table("kFacets_Zentrava", interfaces_of("root"))
    rows = ", ".join("{&kClass_%s, %d}" % (model.families[a].measurement_class, model.families[a].measurements)
                     for a in apps)
    out.append("constexpr engine::CollectionDesc kMeasurements[] = {%s};\n\n}  // namespace\n" % rows)
    out.append("}  // namespace ztv::generated\n\nnamespace ztv::engine {\n\n")
    out.append("const NodeClassDesc kRootNodeClass = {\"Zentrava\", nullptr, ObjectKind::Root, "
               "generated::kFacets_Zentrava, std::size(generated::kFacets_Zentrava), generated::kMeasurements, "
               "std::size(generated::kMeasurements)};\n\n")
    out.append("const ModelSize kModelSize = {%d, %d, %d};\n\n}  // namespace ztv::engine\n" % counts)
    return "".join(out)
