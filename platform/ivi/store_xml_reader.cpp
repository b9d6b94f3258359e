#include "platform/ivi/store_xml_reader.h"

#include <algorithm>
#include <charconv>
#include <initializer_list>
#include <pugixml.hpp>
#include <system_error>

#include "platform/text/number_codec.h"

namespace ivi {
namespace {

constexpr const char* kDataComponentTypes[] = {"String", "Integer", "Real", "Boolean", "Structure", "APIReference"};

// A reference by name from one object to another, resolved once all
// objects are read (sections may come in any order).
struct PendingReference {
    size_t owner;
    std::string assetName, moduleName, sessionName;
    int line;
};

class Reader {
public:
    explicit Reader(std::string_view xml) : xml_(xml) {}

    bool Read(StoreContents& out) {
        pugi::xml_document document;
        pugi::xml_parse_result parsed = document.load_buffer(xml_.data(), xml_.size());
        if (!parsed) {
            return FailAt(static_cast<ptrdiff_t>(parsed.offset),
                          std::string("not well-formed XML: ") + parsed.description());
        }
        // pugixml refuses a document without an element but accepts several.
        pugi::xml_node root = document.document_element();
        for (pugi::xml_node node = root.next_sibling(); node; node = node.next_sibling()) {
            if (node.type() == pugi::node_element) return Fail(node, "more than one top-level element");
        }
        if (std::string_view(root.name()) != "IviConfigurationStore") {
            return Fail(
                root, "the top-level element is <" + std::string(root.name()) + ">, expected <IviConfigurationStore>");
        }
        return CheckAttributes(root, {}) && ReadSections(root, out) && ResolveReferences(out);
    }

    const std::string& Error() const { return error_; }

private:
    bool ReadSections(pugi::xml_node root, StoreContents& out) {
        bool seen[4] = {};
        return ForEachChild(root, [&](pugi::xml_node section) {
            static constexpr std::string_view names[] = {"HardwareAssets", "SoftwareModules", "DriverSessions",
                                                         "LogicalNames"};
            const auto* found = std::find(std::begin(names), std::end(names), std::string_view(section.name()));
            if (found == std::end(names)) return Unexpected(section, root);
            size_t which = static_cast<size_t>(found - std::begin(names));
            if (seen[which]) return Fail(section, "<" + std::string(*found) + "> appears twice");
            seen[which] = true;
            if (!CheckAttributes(section, {})) return false;
            switch (which) {
                case 0:
                    return ReadList(section, "HardwareAsset", out.hardwareAssets, &Reader::ReadHardwareAsset);
                case 1:
                    return ReadList(section, "SoftwareModule", out.softwareModules, &Reader::ReadSoftwareModule);
                case 2:
                    return ReadList(section, "DriverSession", out.driverSessions, &Reader::ReadDriverSession);
                default:
                    return ReadList(section, "LogicalName", out.logicalNames, &Reader::ReadLogicalName);
            }
        });
    }

    template <typename Item>
    bool ReadList(pugi::xml_node section, std::string_view itemElement, std::vector<Item>& items,
                  bool (Reader::*readItem)(pugi::xml_node, Item&)) {
        return ForEachChild(section, [&](pugi::xml_node node) {
            if (std::string_view(node.name()) != itemElement) return Unexpected(node, section);
            Item item;
            if (!(this->*readItem)(node, item)) return false;
            for (const Item& earlier : items) {
                if (NamesEqual(earlier.name, item.name)) {
                    return Fail(node, std::string(itemElement) + " \"" + item.name + "\" is defined twice");
                }
            }
            items.push_back(std::move(item));
            return true;
        });
    }

    bool ReadHardwareAsset(pugi::xml_node node, HardwareAsset& asset) {
        return CheckAttributes(node, {"name", "description", "ioResourceDescriptor"}) &&
               RequiredName(node, asset.name) && OptionalText(node, "description", asset.description) &&
               OptionalText(node, "ioResourceDescriptor", asset.ioResourceDescriptor) &&
               ReadOwnerChildren(node, asset.dataComponents, nullptr);
    }

    bool ReadSoftwareModule(pugi::xml_node node, SoftwareModule& module) {
        return CheckAttributes(node, {"name", "description", "prefix", "modulePath", "progId"}) &&
               RequiredName(node, module.name) && OptionalText(node, "description", module.description) &&
               OptionalText(node, "prefix", module.prefix) && OptionalText(node, "modulePath", module.modulePath) &&
               OptionalText(node, "progId", module.progId) && ReadOwnerChildren(node, module.dataComponents, nullptr);
    }

    bool ReadDriverSession(pugi::xml_node node, DriverSession& session) {
        PendingReference reference{sessionCount_++, {}, {}, {}, LineOf(node)};
        bool ok = CheckAttributes(
                      node, {"name", "description", "hardwareAsset", "softwareModule", "cache", "interchangeCheck",
                             "queryInstrStatus", "rangeCheck", "recordCoercions", "simulate", "driverSetup"}) &&
                  RequiredName(node, session.name) && OptionalText(node, "description", session.description) &&
                  OptionalText(node, "hardwareAsset", reference.assetName) &&
                  OptionalText(node, "softwareModule", reference.moduleName) &&
                  OptionalBool(node, "cache", session.cache) &&
                  OptionalBool(node, "interchangeCheck", session.interchangeCheck) &&
                  OptionalBool(node, "queryInstrStatus", session.queryInstrStatus) &&
                  OptionalBool(node, "rangeCheck", session.rangeCheck) &&
                  OptionalBool(node, "recordCoercions", session.recordCoercions) &&
                  OptionalBool(node, "simulate", session.simulate) &&
                  OptionalText(node, "driverSetup", session.driverSetup) &&
                  ReadOwnerChildren(node, session.dataComponents, &session.virtualNames);
        sessionReferences_.push_back(std::move(reference));
        return ok;
    }

    bool ReadLogicalName(pugi::xml_node node, LogicalName& logicalName) {
        PendingReference reference{logicalNameCount_++, {}, {}, {}, LineOf(node)};
        bool ok = CheckAttributes(node, {"name", "session"}) && RequiredName(node, logicalName.name) &&
                  RequiredText(node, "session", reference.sessionName);
        logicalNameReferences_.push_back(std::move(reference));
        if (ok && node.first_child()) return Fail(node.first_child(), "<LogicalName> has no content");
        return ok;
    }

    // <DataComponents> on every owner, <VirtualNames> on driver sessions only.
    bool ReadOwnerChildren(pugi::xml_node owner, std::vector<DataComponent>& components,
                           std::vector<VirtualName>* virtualNames) {
        bool seenComponents = false, seenVirtualNames = false;
        return ForEachChild(owner, [&](pugi::xml_node node) {
            std::string_view name = node.name();
            if (name == "DataComponents") {
                if (seenComponents) return Fail(node, "<DataComponents> appears twice");
                seenComponents = true;
                return CheckAttributes(node, {}) && ReadDataComponents(node, components);
            }
            if (name == "VirtualNames" && virtualNames) {
                if (seenVirtualNames) return Fail(node, "<VirtualNames> appears twice");
                seenVirtualNames = true;
                return CheckAttributes(node, {}) && ReadVirtualNames(node, *virtualNames);
            }
            return Unexpected(node, owner);
        });
    }

    bool ReadDataComponents(pugi::xml_node parent, std::vector<DataComponent>& components) {
        return ForEachChild(parent, [&](pugi::xml_node node) {
            if (std::string_view(node.name()) != "DataComponent") return Unexpected(node, parent);
            DataComponent component;
            if (!ReadDataComponent(node, component)) return false;
            components.push_back(std::move(component));
            return true;
        });
    }

    bool ReadDataComponent(pugi::xml_node node, DataComponent& component) {
        if (!CheckAttributes(node, {"name", "type", "value"}) || !RequiredName(node, component.name) ||
            !RequiredText(node, "type", component.type)) {
            return false;
        }
        if (std::find(std::begin(kDataComponentTypes), std::end(kDataComponentTypes), component.type) ==
            std::end(kDataComponentTypes)) {
            return Fail(node, "data component \"" + component.name + "\" has unknown type \"" + component.type +
                                  "\" (String, Integer, Real, Boolean, Structure or APIReference)");
        }
        if (component.type == "Structure") {
            if (node.attribute("value")) return Fail(node, "Structure \"" + component.name + "\" takes no value");
            return ReadDataComponents(node, component.children);
        }
        if (node.first_child()) {
            return Fail(node, component.type + " data component \"" + component.name + "\" has no content");
        }
        if (!RequiredText(node, "value", component.text)) return false;
        const std::string& text = component.text;
        if (component.type == "Integer" && !ParseInteger(text, component.integer)) {
            return Fail(node, "\"" + text + "\" is not a 32-bit integer (data component \"" + component.name + "\")");
        }
        if (component.type == "Real" && !codec::ParseReal(text, &component.real)) {
            return Fail(node, "\"" + text + "\" is not a number (data component \"" + component.name + "\")");
        }
        if (component.type == "Boolean" && !ParseBool(text, component.boolean)) {
            return Fail(node, "\"" + text + "\" is not true or false (data component \"" + component.name + "\")");
        }
        return true;
    }

    bool ReadVirtualNames(pugi::xml_node parent, std::vector<VirtualName>& virtualNames) {
        return ForEachChild(parent, [&](pugi::xml_node node) {
            if (std::string_view(node.name()) != "VirtualName") return Unexpected(node, parent);
            VirtualName virtualName;
            if (!CheckAttributes(node, {"name", "mapTo"}) || !RequiredName(node, virtualName.name) ||
                !RequiredText(node, "mapTo", virtualName.mapTo)) {
                return false;
            }
            if (virtualName.mapTo.empty())
                return Fail(node, "virtual name \"" + virtualName.name + "\" has an empty mapTo");
            bool ok = ForEachChild(node, [&](pugi::xml_node rangeNode) {
                if (std::string_view(rangeNode.name()) != "Range") return Unexpected(rangeNode, node);
                VirtualRange range{};
                if (!CheckAttributes(rangeNode, {"min", "max", "startingPhysicalIndex"}) ||
                    !RequiredInteger(rangeNode, "min", range.min) || !RequiredInteger(rangeNode, "max", range.max) ||
                    !RequiredInteger(rangeNode, "startingPhysicalIndex", range.startingPhysicalIndex)) {
                    return false;
                }
                if (range.min > range.max) return Fail(rangeNode, "range min is greater than max");
                if (rangeNode.first_child()) return Fail(rangeNode, "<Range> has no content");
                virtualName.ranges.push_back(range);
                return true;
            });
            if (ok) virtualNames.push_back(std::move(virtualName));
            return ok;
        });
    }

    bool ResolveReferences(StoreContents& out) {
        for (const PendingReference& reference : sessionReferences_) {
            DriverSession& session = out.driverSessions[reference.owner];
            if (!reference.assetName.empty()) {
                session.hardwareAsset = FindByName(out.hardwareAssets, reference.assetName);
                if (!session.hardwareAsset) {
                    return FailLine(reference.line, "driver session \"" + session.name + "\" names hardware asset \"" +
                                                        reference.assetName + "\", which is not defined");
                }
            }
            if (!reference.moduleName.empty()) {
                session.softwareModule = FindByName(out.softwareModules, reference.moduleName);
                if (!session.softwareModule) {
                    return FailLine(reference.line, "driver session \"" + session.name + "\" names software module \"" +
                                                        reference.moduleName + "\", which is not defined");
                }
            }
        }
        for (const PendingReference& reference : logicalNameReferences_) {
            LogicalName& logicalName = out.logicalNames[reference.owner];
            logicalName.session = FindByName(out.driverSessions, reference.sessionName);
            if (!logicalName.session) {
                return FailLine(reference.line, "logical name \"" + logicalName.name + "\" names driver session \"" +
                                                    reference.sessionName + "\", which is not defined");
            }
        }
        return true;
    }

    template <typename Item>
    static const Item* FindByName(const std::vector<Item>& items, std::string_view name) {
        for (const Item& item : items) {
            if (NamesEqual(item.name, name)) return &item;
        }
        return nullptr;
    }

    // Visits the element children of parent; any text inside a container is an error.
    template <typename Visit>
    bool ForEachChild(pugi::xml_node parent, Visit visit) {
        for (pugi::xml_node node : parent.children()) {
            if (node.type() != pugi::node_element) {
                return Fail(parent, "<" + std::string(parent.name()) + "> holds text; only elements are allowed");
            }
            if (!visit(node)) return false;
        }
        return true;
    }

    bool CheckAttributes(pugi::xml_node node, std::initializer_list<std::string_view> allowed) {
        for (pugi::xml_attribute attribute : node.attributes()) {
            if (std::find(allowed.begin(), allowed.end(), std::string_view(attribute.name())) == allowed.end()) {
                return Fail(node,
                            "<" + std::string(node.name()) + "> has unknown attribute \"" + attribute.name() + "\"");
            }
        }
        return true;
    }

    bool RequiredText(pugi::xml_node node, const char* attributeName, std::string& out) {
        pugi::xml_attribute attribute = node.attribute(attributeName);
        if (!attribute) {
            std::string why = "<";  // appended, not "<" + string: GCC 12 warns falsely on that
            why.append(node.name()).append("> lacks the attribute \"").append(attributeName).append("\"");
            return Fail(node, why);
        }
        out = attribute.value();
        return true;
    }

    bool RequiredName(pugi::xml_node node, std::string& out) {
        if (!RequiredText(node, "name", out)) return false;
        if (out.empty()) return Fail(node, "<" + std::string(node.name()) + "> has an empty name");
        return true;
    }

    static bool OptionalText(pugi::xml_node node, const char* attributeName, std::string& out) {
        if (pugi::xml_attribute attribute = node.attribute(attributeName)) out = attribute.value();
        return true;
    }

    bool OptionalBool(pugi::xml_node node, const char* attributeName, bool& out) {
        pugi::xml_attribute attribute = node.attribute(attributeName);
        if (!attribute || ParseBool(attribute.value(), out)) return true;
        return Fail(node, std::string(attributeName) + "=\"" + attribute.value() + "\" is not true or false");
    }

    bool RequiredInteger(pugi::xml_node node, const char* attributeName, int32_t& out) {
        std::string text;
        if (!RequiredText(node, attributeName, text)) return false;
        if (ParseInteger(text, out)) return true;
        return Fail(node, std::string(attributeName) + "=\"" + text + "\" is not a 32-bit integer");
    }

    static bool ParseBool(std::string_view text, bool& out) {
        if (text != "true" && text != "false") return false;
        out = text == "true";
        return true;
    }

    static bool ParseInteger(std::string_view text, int32_t& out) {
        auto [end, status] = std::from_chars(text.data(), text.data() + text.size(), out);
        return status == std::errc() && end == text.data() + text.size() && !text.empty();
    }

    bool Unexpected(pugi::xml_node node, pugi::xml_node parent) {
        return Fail(node, "unexpected <" + std::string(node.name()) + "> inside <" + parent.name() + ">");
    }

    int LineOf(pugi::xml_node node) const { return LineAtOffset(node.offset_debug()); }

    int LineAtOffset(ptrdiff_t offset) const {
        size_t end = offset < 0 ? 0 : std::min(static_cast<size_t>(offset), xml_.size());
        return 1 + static_cast<int>(std::count(xml_.begin(), xml_.begin() + static_cast<ptrdiff_t>(end), '\n'));
    }

    bool Fail(pugi::xml_node node, const std::string& message) { return FailLine(LineOf(node), message); }
    bool FailAt(ptrdiff_t offset, const std::string& message) { return FailLine(LineAtOffset(offset), message); }

    bool FailLine(int line, const std::string& message) {
        error_ = "line " + std::to_string(line) + ": " + message;
        return false;
    }

    std::string_view xml_;
    std::string error_;
    size_t sessionCount_ = 0, logicalNameCount_ = 0;
    std::vector<PendingReference> sessionReferences_, logicalNameReferences_;
};

}  // namespace

bool ReadStoreXml(std::string_view xml, StoreContents& out, std::string& error) {
    Reader reader(xml);
    if (reader.Read(out)) return true;
    error = reader.Error();
    return false;
}

}  // namespace ivi
