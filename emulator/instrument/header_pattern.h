#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "emulator/instrument/scpi_parser.h"

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

// The first entry of a command table that claims the unit: its pattern
// matches the header and it is a query exactly when the unit is one.
template <class Entry, std::size_t N>
const Entry* FindEntry(const Entry (&table)[N], const scpi::Unit& unit) {
    for (const Entry& entry : table) {
        if (entry.query == unit.query && entry.pattern.Matches(unit.nodes)) return &entry;
    }
    return nullptr;
}

}  // namespace emulator
