// The grammar of option strings and DriverSetup texts: comma-separated
// name=value pairs, with malformed pieces skipped rather than refused.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace ztv {

using OptionPairs = std::vector<std::pair<std::string, std::string>>;

// Finds every "[^,=]+=[^,=]+" from left to right; names and values are
// trimmed; a later pair with exactly the same name replaces the earlier value.
OptionPairs ParseOptionPairs(std::string_view text);

// "true", "VI_TRUE", "1" / "false", "VI_FALSE", "0", any letter case.
std::optional<bool> ParseOptionBoolean(std::string_view value);

// Leading digits after optional white space and sign; no digits reads as 0.
std::int32_t ParseDecimalInteger(std::string_view value);

std::string ToLower(std::string_view text);
std::string ToUpper(std::string_view text);
bool EqualsIgnoreCase(std::string_view a, std::string_view b);

}  // namespace ztv
