// Reading saved trace files back for the tests.
#pragma once

#include <ctime>
#include <filesystem>
#include <pugixml.hpp>
#include <string>
#include <vector>

namespace ztv::test {

// Loads the file with its declaration and processing instructions; ADD_FAILURE
// when it does not parse.
void LoadTrace(const std::filesystem::path& path, pugi::xml_document& document);

std::vector<std::string> AttributeNames(pugi::xml_node node);
std::vector<pugi::xml_node> Children(pugi::xml_node node, const char* name);

// A local time of day on a fixed date, for clocks the tests set.
std::time_t LocalTime(int hour, int minute, int second);

}  // namespace ztv::test
