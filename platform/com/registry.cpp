// Registry keys and values on top of the XML file:
//   <registry><hive name="HKEY_CLASSES_ROOT"><key name="CLSID">
//     <key name="{...}"><value name="" data="Zentrava Object"/>...
// Names compare without regard to ASCII letter case and keep the case they
// were created with.
#include "platform/com/registry.h"

#include <vector>

#include "platform/com/registry_file.h"
#include "platform/text/split.h"

namespace reg {
namespace {

const char* HiveName(Hive hive) {
    switch (hive) {
        case Hive::ClassesRoot:
            return "HKEY_CLASSES_ROOT";
        case Hive::LocalMachine:
            return "HKEY_LOCAL_MACHINE";
        case Hive::CurrentUser:
            return "HKEY_CURRENT_USER";
    }
    return "";
}

char LowerAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + ('a' - 'A')) : c; }

bool SameName(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (LowerAscii(a[i]) != LowerAscii(b[i])) return false;
    }
    return true;
}

// XML cannot carry a NUL character.
bool Storable(std::string_view text) { return text.find('\0') == std::string_view::npos; }

pugi::xml_node Child(pugi::xml_node parent, const char* kind, std::string_view name) {
    for (pugi::xml_node child : parent.children(kind)) {
        if (SameName(child.attribute("name").as_string(), name)) return child;
    }
    return {};
}

pugi::xml_node FindKey(const pugi::xml_document& doc, Hive hive, std::string_view key) {
    pugi::xml_node node = Child(doc.child("registry"), "hive", HiveName(hive));
    for (std::string_view part : codec::SplitNonEmpty(key, '\\')) {
        if (!node) break;
        node = Child(node, "key", part);
    }
    return node;
}

pugi::xml_node AddNamed(pugi::xml_node parent, const char* kind, std::string_view name) {
    pugi::xml_node node = parent.append_child(kind);
    node.append_attribute("name").set_value(std::string(name).c_str());
    return node;
}

pugi::xml_node FindOrAdd(pugi::xml_node parent, const char* kind, std::string_view name, bool* added) {
    if (pugi::xml_node existing = Child(parent, kind, name)) return existing;
    *added = true;
    return AddNamed(parent, kind, name);
}

pugi::xml_node CreatePath(pugi::xml_document& doc, Hive hive, std::string_view key, bool* added) {
    pugi::xml_node root = doc.child("registry");
    if (!root) {
        root = doc.append_child("registry");
        *added = true;
    }
    pugi::xml_node node = FindOrAdd(root, "hive", HiveName(hive), added);
    for (std::string_view part : codec::SplitNonEmpty(key, '\\')) node = FindOrAdd(node, "key", part, added);
    return node;
}

}  // namespace

HRESULT CreateKey(Hive hive, std::string_view key) {
    if (!Storable(key)) return E_INVALIDARG;
    const HRESULT hr = com_detail::UpdateRegistryFile([&](pugi::xml_document& doc) {
        bool added = false;
        CreatePath(doc, hive, key, &added);
        return added ? S_OK : S_FALSE;
    });
    return SUCCEEDED(hr) ? S_OK : hr;
}

HRESULT SetString(Hive hive, std::string_view key, std::string_view valueName, std::string_view data) {
    if (!Storable(key) || !Storable(valueName) || !Storable(data)) return E_INVALIDARG;
    const HRESULT hr = com_detail::UpdateRegistryFile([&](pugi::xml_document& doc) {
        bool added = false;
        pugi::xml_node keyNode = CreatePath(doc, hive, key, &added);
        pugi::xml_node value = FindOrAdd(keyNode, "value", valueName, &added);
        const std::string text(data);
        if (!added && text == value.attribute("data").as_string()) return S_FALSE;
        pugi::xml_attribute attribute = value.attribute("data");
        if (!attribute) attribute = value.append_attribute("data");
        attribute.set_value(text.c_str());
        return S_OK;
    });
    return SUCCEEDED(hr) ? S_OK : hr;
}

std::optional<std::string> GetString(Hive hive, std::string_view key, std::string_view valueName) {
    std::optional<std::string> result;
    com_detail::ReadRegistryFile([&](const pugi::xml_document& doc) {
        pugi::xml_node keyNode = FindKey(doc, hive, key);
        if (!keyNode) return;
        if (pugi::xml_node value = Child(keyNode, "value", valueName)) result = value.attribute("data").as_string();
    });
    return result;
}

bool KeyExists(Hive hive, std::string_view key) {
    bool exists = false;
    com_detail::ReadRegistryFile(
        [&](const pugi::xml_document& doc) { exists = static_cast<bool>(FindKey(doc, hive, key)); });
    return exists;
}

std::vector<std::string> SubKeys(Hive hive, std::string_view key) {
    std::vector<std::string> names;
    com_detail::ReadRegistryFile([&](const pugi::xml_document& doc) {
        for (pugi::xml_node child : FindKey(doc, hive, key).children("key")) {
            names.emplace_back(child.attribute("name").as_string());
        }
    });
    return names;
}

// A value that is not there is S_FALSE, like a missing key for DeleteTree.
HRESULT DeleteValue(Hive hive, std::string_view key, std::string_view valueName) {
    return com_detail::UpdateRegistryFile([&](pugi::xml_document& doc) {
        pugi::xml_node keyNode = FindKey(doc, hive, key);
        pugi::xml_node value = keyNode ? Child(keyNode, "value", valueName) : pugi::xml_node();
        if (!value) return S_FALSE;
        keyNode.remove_child(value);
        return S_OK;
    });
}

HRESULT DeleteTree(Hive hive, std::string_view key) {
    // The hive itself is not a key that can be deleted.
    if (codec::SplitNonEmpty(key, '\\').empty()) return E_INVALIDARG;
    return com_detail::UpdateRegistryFile([&](pugi::xml_document& doc) {
        pugi::xml_node keyNode = FindKey(doc, hive, key);
        if (!keyNode) return S_FALSE;
        keyNode.parent().remove_child(keyNode);
        return S_OK;
    });
}

}  // namespace reg
