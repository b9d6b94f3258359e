#include "platform/text/number_codec.h"

#include <locale.h>

#include <charconv>
#include <cstdlib>
#include <string>

namespace codec {
namespace {

locale_t CLocale() {
    static const locale_t c = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(nullptr));
    return c;
}

bool StartsHexadecimal(const char* p, const char* last) {
    return last - p >= 2 && p[0] == '0' && (p[1] == 'x' || p[1] == 'X');
}

// The characters a number can be made of, "nan(...)" included.
bool MayBeInNumber(char c) {
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '.' || c == '+' ||
           c == '-' || c == '_' || c == '(' || c == ')';
}

// The rare forms from_chars leaves out (hexadecimal, out of range) go to the
// C library with the C locale named explicitly; it needs a terminated copy
// of the token, not of everything after it.
const char* ScanWithCLibrary(const char* first, const char* last, double* value) {
    const char* tokenEnd = first;
    while (tokenEnd != last && MayBeInNumber(*tokenEnd)) ++tokenEnd;
    const std::string copy(first, tokenEnd);
    char* end = nullptr;
    const double result = strtod_l(copy.c_str(), &end, CLocale());
    if (end == copy.c_str()) return nullptr;
    *value = result;
    return first + (end - copy.c_str());
}

}  // namespace

std::string_view TrimLeadingBlanks(std::string_view text) {
    while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
    return text;
}

std::string_view TrimTrailingBlanks(std::string_view text) {
    while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
    return text;
}

std::string_view TrimBlanks(std::string_view text) { return TrimTrailingBlanks(TrimLeadingBlanks(text)); }

const char* ScanReal(const char* first, const char* last, double* value) {
    const char* p = first;
    while (p != last && IsBlank(*p)) ++p;
    const char* const number = p;
    if (p != last && *p == '+') {
        ++p;
        if (p != last && *p == '-') return nullptr;  // one sign only
    }
    const char* digits = p != last && *p == '-' ? p + 1 : p;
    if (StartsHexadecimal(digits, last)) return ScanWithCLibrary(number, last, value);
    const auto [end, error] = std::from_chars(p, last, *value);
    if (error == std::errc()) return end;
    if (error == std::errc::result_out_of_range) return ScanWithCLibrary(number, last, value);
    return nullptr;
}

bool ParseReal(std::string_view token, double* value) {
    token = TrimBlanks(token);
    if (token.empty()) return false;
    const char* last = token.data() + token.size();
    return ScanReal(token.data(), last, value) == last;
}

void AppendShortest(double value, std::string* out) {
    char text[32];
    const auto result = std::to_chars(text, text + sizeof text, value);
    out->append(text, result.ptr);
}

void AppendShortest(float value, std::string* out) {
    char text[32];
    const auto result = std::to_chars(text, text + sizeof text, value);
    out->append(text, result.ptr);
}

void AppendShortest(long long value, std::string* out) {
    char text[24];
    const auto result = std::to_chars(text, text + sizeof text, value);
    out->append(text, result.ptr);
}

void AppendG15(double value, std::string* out) {
    char text[32];
    const auto result = std::to_chars(text, text + sizeof text, value, std::chars_format::general, 15);
    out->append(text, result.ptr);
}

std::string FormatG15(double value) {
    std::string text;
    AppendG15(value, &text);
    return text;
}

CLocaleScope::CLocaleScope() : previous_(uselocale(CLocale())) {}

CLocaleScope::~CLocaleScope() { uselocale(static_cast<locale_t>(previous_)); }

}  // namespace codec
