#include "emulator/instrument/header_pattern.h"

#include "emulator/instrument/traces.h"

namespace emulator {

namespace {

std::vector<std::string> Split(std::string_view text, char separator) {
    std::vector<std::string> parts;
    for (;;) {
        std::size_t end = text.find(separator);
        parts.emplace_back(text.substr(0, end));
        if (end == std::string_view::npos) return parts;
        text.remove_prefix(end + 1);
    }
}

bool NodeMatches(const std::string& pattern, const std::string& node) {
    if (pattern == "APP") return ApplicationOf(node).has_value();
    if (!pattern.empty() && pattern.back() == '*')
        return node.compare(0, pattern.size() - 1, pattern, 0, pattern.size() - 1) == 0;
    return node == pattern;
}

bool MatchesFrom(const std::vector<std::string>& pattern, std::size_t p, const std::vector<std::string>& nodes,
                 std::size_t n) {
    if (p == pattern.size()) return n == nodes.size();
    if (pattern[p] == "**") {
        for (std::size_t skip = n; skip <= nodes.size(); ++skip) {
            if (MatchesFrom(pattern, p + 1, nodes, skip)) return true;
        }
        return false;
    }
    return n < nodes.size() && NodeMatches(pattern[p], nodes[n]) && MatchesFrom(pattern, p + 1, nodes, n + 1);
}

}  // namespace

HeaderPattern::HeaderPattern(std::string_view text) {
    for (const std::string& alternative : Split(text, ' ')) alternatives_.push_back(Split(alternative, ':'));
}

bool HeaderPattern::Matches(const std::vector<std::string>& nodes) const {
    for (const std::vector<std::string>& pattern : alternatives_) {
        if (MatchesFrom(pattern, 0, nodes, 0)) return true;
    }
    return false;
}

}  // namespace emulator
