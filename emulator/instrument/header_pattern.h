#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace emulator {

// A pattern over normalized header nodes, written as nodes joined by ':'.
// "APP" stands for any application node ("PN", "FP2"), a node ending in '*'
// for any node starting so ("MARK*"), "**" for any number of nodes. Several
// patterns separated by blanks are alternatives ("FORM FORM:DATA").
class HeaderPattern {
public:
    HeaderPattern(std::string_view text);
    // Tables list their patterns as plain text.
    HeaderPattern(const char* text) : HeaderPattern(std::string_view(text)) {}

    bool Matches(const std::vector<std::string>& nodes) const;

private:
    std::vector<std::vector<std::string>> alternatives_;
};

}  // namespace emulator
