#include "apps/text/number_text.h"

#include <charconv>

namespace apptext {
namespace {

// std::to_chars writes what printf writes in the C locale, and never looks
// at the program's locale.
std::string Format(double value, std::chars_format format, int precision) {
    std::string text(32, '\0');
    for (;;) {
        const auto [end, error] = std::to_chars(text.data(), text.data() + text.size(), value, format, precision);
        if (error == std::errc{}) {
            text.resize(static_cast<std::size_t>(end - text.data()));
            return text;
        }
        text.resize(text.size() * 4);  // a large value in fixed form
    }
}

}  // namespace

std::string General(double value, int precision) { return Format(value, std::chars_format::general, precision); }

std::string Fixed(double value, int precision) { return Format(value, std::chars_format::fixed, precision); }

}  // namespace apptext
