#include "core/option_parsing.h"

#include <algorithm>
#include <cctype>
#include <climits>

#include "platform/text/number_codec.h"

namespace ztv {
namespace {

bool IsPairChar(char c) { return c != ',' && c != '='; }

}  // namespace

std::string ToLower(std::string_view text) {
    std::string out(text);
    for (char& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return out;
}

std::string ToUpper(std::string_view text) {
    std::string out(text);
    for (char& c : out) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return out;
}

bool EqualsIgnoreCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
           });
}

OptionPairs ParseOptionPairs(std::string_view text) {
    OptionPairs pairs;
    std::size_t pos = 0;
    while (pos < text.size()) {
        // A match needs a name run, "=", and a value run; the leftmost match
        // starts at the first pair character whose run is followed by "=".
        if (!IsPairChar(text[pos])) {
            ++pos;
            continue;
        }
        std::size_t nameEnd = pos;
        while (nameEnd < text.size() && IsPairChar(text[nameEnd])) ++nameEnd;
        if (nameEnd >= text.size() || text[nameEnd] != '=') {
            pos = nameEnd;
            continue;
        }
        std::size_t valueEnd = nameEnd + 1;
        while (valueEnd < text.size() && IsPairChar(text[valueEnd])) ++valueEnd;
        if (valueEnd == nameEnd + 1) {  // empty value: no match starting anywhere in this name run
            pos = nameEnd + 1;
            continue;
        }
        std::string name(codec::TrimBlanks(text.substr(pos, nameEnd - pos)));
        std::string value(codec::TrimBlanks(text.substr(nameEnd + 1, valueEnd - nameEnd - 1)));
        auto existing = std::find_if(pairs.begin(), pairs.end(), [&](const auto& p) { return p.first == name; });
        if (existing != pairs.end())
            existing->second = std::move(value);
        else
            pairs.emplace_back(std::move(name), std::move(value));
        pos = valueEnd;
    }
    return pairs;
}

std::optional<bool> ParseOptionBoolean(std::string_view value) {
    if (EqualsIgnoreCase(value, "true") || EqualsIgnoreCase(value, "VI_TRUE") || value == "1") return true;
    if (EqualsIgnoreCase(value, "false") || EqualsIgnoreCase(value, "VI_FALSE") || value == "0") return false;
    return std::nullopt;
}

std::int32_t ParseDecimalInteger(std::string_view value) {
    std::size_t i = 0;
    while (i < value.size() && codec::IsBlank(value[i])) ++i;
    bool negative = false;
    if (i < value.size() && (value[i] == '+' || value[i] == '-')) negative = value[i++] == '-';
    long long n = 0;
    for (; i < value.size() && value[i] >= '0' && value[i] <= '9'; ++i) {
        n = n * 10 + (value[i] - '0');
        if (n > INT_MAX) n = static_cast<long long>(INT_MAX) + 1;  // clamp; keeps the sign below exact
    }
    if (negative) n = -n;
    return static_cast<std::int32_t>(std::clamp<long long>(n, INT_MIN, INT_MAX));
}

}  // namespace ztv
