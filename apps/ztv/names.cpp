#include "apps/ztv/names.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdlib>

namespace ztv_tool {

namespace {

constexpr AppName kApps[] = {{"pn", "PHASENOISE"},     {"am", "AMNOISE"},         {"bb", "BASEBAND"},
                             {"fp", "FREQUENCYPOWER"}, {"sp", "SPECTRUMMONITOR"}, {"tr", "TRANSIENT"},
                             {"user", "USER"}};

bool EndsWith(const std::string& text, const std::string& tail) {
    return text.size() >= tail.size() && text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

std::string WithoutPrefix(std::string name, const std::string& prefix) {
    return name.rfind(prefix, 0) == 0 ? name.substr(prefix.size()) : name;
}

std::size_t EditDistance(const std::string& a, const std::string& b) {
    std::vector<std::size_t> row(b.size() + 1);
    for (std::size_t j = 0; j <= b.size(); ++j) row[j] = j;
    for (std::size_t i = 1; i <= a.size(); ++i) {
        std::size_t diagonal = row[0];
        row[0] = i;
        for (std::size_t j = 1; j <= b.size(); ++j) {
            const std::size_t above = row[j];
            row[j] = std::min({row[j] + 1, row[j - 1] + 1, diagonal + (a[i - 1] == b[j - 1] ? 0 : 1)});
            diagonal = above;
        }
    }
    return row[b.size()];
}

std::string Joined(const std::vector<std::string>& names) {
    std::string out;
    for (const std::string& n : names) out += (out.empty() ? "" : ", ") + n;
    return out;
}

std::optional<long> WholeNumber(const std::string& text) {
    char* end = nullptr;
    const long v = std::strtol(text.c_str(), &end, 0);
    if (text.empty() || *end) return std::nullopt;
    return v;
}

}  // namespace

std::string Upper(std::string text) {
    for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return text;
}

const AppName* FindApp(const std::string& name) {
    const std::string upper = Upper(name);
    for (const AppName& app : kApps) {
        if (upper == Upper(app.shortName) || upper == app.attributeName) return &app;
    }
    return nullptr;
}

std::string AppNames() {
    std::vector<std::string> names;
    for (const AppName& app : kApps) names.push_back(app.shortName);
    return Joined(names);
}

std::vector<std::string> Closest(const std::string& name, const std::vector<std::string>& candidates,
                                 std::size_t count) {
    std::vector<std::pair<std::size_t, std::string>> scored;
    for (const std::string& c : candidates) {
        // A name that contains the typed text is as close as a name can be.
        scored.emplace_back(c.find(name) != std::string::npos ? 0 : EditDistance(name, c), c);
    }
    std::stable_sort(scored.begin(), scored.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
    std::vector<std::string> best;
    for (std::size_t i = 0; i < scored.size() && i < count; ++i) best.push_back(scored[i].second);
    return best;
}

const AttributeInfo* FindAttribute(const std::string& typed, const AppName* app, std::string* error) {
    const std::string name = WithoutPrefix(Upper(typed), "ZTV_ATTR_");
    std::vector<const AttributeInfo*> matches;
    std::vector<std::string> all;
    for (const AttributeInfo& a : Attributes()) {
        all.push_back(a.name);
        if (name == a.name) return &a;
        if (app && std::string(a.name).rfind(std::string("APPLICATION_") + app->attributeName + "_", 0) == 0 &&
            EndsWith(a.name, "_" + name)) {
            matches.push_back(&a);
        }
    }
    if (matches.size() == 1) return matches.front();
    if (matches.size() > 1) {
        std::vector<std::string> names;
        for (const AttributeInfo* a : matches) names.push_back(a->name);
        *error = "attribute " + typed + " is ambiguous: " + Joined(names);
        return nullptr;
    }
    *error = "no attribute " + typed + (app ? std::string(" in ") + app->shortName : "") + "; closest: " +
             Joined(Closest(app ? std::string("APPLICATION_") + app->attributeName + "_" + name : name, all, 3));
    return nullptr;
}

std::optional<Value> ParseValue(const AttributeInfo& attribute, const std::string& text, std::string* error) {
    Value value;
    const std::string type = attribute.type;
    const std::string upper = Upper(text);
    if (type == "String") {
        value.text = text;
        return value;
    }
    if (type == "Boolean") {
        if (upper == "TRUE" || upper == "ON" || upper == "1")
            value.integer = 1;
        else if (upper == "FALSE" || upper == "OFF" || upper == "0")
            value.integer = 0;
        else {
            *error = "VALUE " + text + ": " + attribute.name + " takes true, false, on, off, 1 or 0";
            return std::nullopt;
        }
        return value;
    }
    if (type == "Real64") {
        char* end = nullptr;
        value.real = std::strtod(text.c_str(), &end);
        if (text.empty() || *end || !std::isfinite(value.real)) {
            *error = "VALUE " + text + ": " + attribute.name + " takes a finite real number";
            return std::nullopt;
        }
        return value;
    }
    const std::optional<long> number = WholeNumber(text);
    if (type != "Enum") {
        if (number)
            value.integer = *number;
        else
            *error = "VALUE " + text + ": " + attribute.name + " takes a whole number";
        return number ? std::optional<Value>(value) : std::nullopt;
    }
    // One of the enumeration's numbers, or a value name, whole or by its end
    // ("INTEGRAL" for ..._ANALYSIS_TYPE_INTEGRAL).
    const EnumInfo& info = Enums()[static_cast<std::size_t>(attribute.enumIndex)];
    const std::string name = WithoutPrefix(upper, "ZTV_VAL_");
    std::vector<const EnumValueInfo*> found;
    std::vector<std::string> names;
    for (const EnumValueInfo& v : info.values) {
        names.push_back(v.name + std::string(" (") + std::to_string(v.value) + ")");
        if (number ? v.value == *number : name == v.name) return Value{v.value, 0, ""};
        if (!number && EndsWith(v.name, "_" + name)) found.push_back(&v);
    }
    if (found.size() == 1) return Value{found.front()->value, 0, ""};
    *error = "VALUE " + text + ": " + attribute.name + " takes one of " + Joined(names);
    return std::nullopt;
}

std::string FormatEnum(const AttributeInfo& attribute, long value) {
    for (const EnumValueInfo& v : Enums()[static_cast<std::size_t>(attribute.enumIndex)].values) {
        if (v.value == value) return v.name;
    }
    return std::to_string(value);
}

}  // namespace ztv_tool
