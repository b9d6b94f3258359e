// Attribute and enumeration value names as ztv takes them on the command
// line: any case, without the ZTV_ATTR_ and ZTV_VAL_ prefixes.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "apps/ztv/tables.h"

namespace ztv_tool {

std::string Upper(std::string text);

// The applications' names on the command line ("pn" or "phasenoise") and in
// attribute names ("PHASENOISE").
struct AppName {
    const char* shortName;
    const char* attributeName;
};
const AppName* FindApp(const std::string& name);
// "pn, am, bb, fp, sp, tr, user"
std::string AppNames();

// The attribute NAME names: the whole constant, or with `app` one of that
// application's attributes whose name ends in NAME ("MARKER_Y_VALUE"). On
// failure `error` says why and suggests the closest names.
const AttributeInfo* FindAttribute(const std::string& name, const AppName* app, std::string* error);

// A value typed on the command line for the attribute; nullopt (with
// `error`) when it is none of the attribute's values.
struct Value {
    long integer = 0;  // Int32, Enum and Boolean (0 or 1)
    double real = 0;
    std::string text;
};
std::optional<Value> ParseValue(const AttributeInfo& attribute, const std::string& text, std::string* error);
// A read value as ztv prints it: an enumeration by its value name.
std::string FormatEnum(const AttributeInfo& attribute, long value);

// The names closest to `name` by edit distance, best first.
std::vector<std::string> Closest(const std::string& name, const std::vector<std::string>& candidates,
                                 std::size_t count);

}  // namespace ztv_tool
