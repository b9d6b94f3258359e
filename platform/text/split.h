// Splitting text at a separator, for paths and selectors whose empty parts
// (doubled or outer separators) mean nothing.
#pragma once

#include <string_view>
#include <vector>

namespace codec {

// The parts of `text` between `separator`s, empty parts left out.
inline std::vector<std::string_view> SplitNonEmpty(std::string_view text, char separator) {
    std::vector<std::string_view> parts;
    while (!text.empty()) {
        const std::size_t end = text.find(separator);
        if (end != 0) parts.push_back(text.substr(0, end));
        if (end == std::string_view::npos) break;
        text.remove_prefix(end + 1);
    }
    return parts;
}

}  // namespace codec
