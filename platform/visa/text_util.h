// Small ASCII text helpers shared by the parsers of this layer.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace visa {

bool EqualsNoCase(std::string_view a, std::string_view b);
bool StartsWithNoCase(std::string_view text, std::string_view prefix);
// A whole-token decimal number within [low, high].
std::optional<int> ParseDecimal(std::string_view text, int low, int high);

}  // namespace visa
