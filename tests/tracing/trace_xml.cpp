#include "tests/tracing/trace_xml.h"

#include <gtest/gtest.h>

namespace ztv::test {

void LoadTrace(const std::filesystem::path& path, pugi::xml_document& document) {
    const pugi::xml_parse_result parsed =
        document.load_file(path.c_str(), pugi::parse_default | pugi::parse_declaration | pugi::parse_pi);
    if (!parsed) ADD_FAILURE() << path << ": " << parsed.description();
}

std::vector<std::string> AttributeNames(pugi::xml_node node) {
    std::vector<std::string> names;
    for (pugi::xml_attribute attribute : node.attributes()) names.emplace_back(attribute.name());
    return names;
}

std::vector<pugi::xml_node> Children(pugi::xml_node node, const char* name) {
    std::vector<pugi::xml_node> children;
    for (pugi::xml_node child : node.children(name)) children.push_back(child);
    return children;
}

std::time_t LocalTime(int hour, int minute, int second) {
    std::tm local{};
    local.tm_year = 2007 - 1900;
    local.tm_mon = 4;
    local.tm_mday = 14;
    local.tm_hour = hour;
    local.tm_min = minute;
    local.tm_sec = second;
    local.tm_isdst = -1;
    return std::mktime(&local);
}

}  // namespace ztv::test
