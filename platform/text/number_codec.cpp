#include "platform/text/number_codec.h"

#include <locale.h>

#include <bit>
#include <charconv>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "platform/text/decimal_arithmetic.h"

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

// The eight characters at p read as eight decimal digits, all at once; false
// when any of them is not a digit. Other byte orders read one digit at a time.
bool EightDigits(const char* p, std::uint64_t* value) {
    if constexpr (std::endian::native != std::endian::little) return false;
    std::uint64_t v = 0;
    std::memcpy(&v, p, sizeof v);
    // Each byte 0x30-0x39: high nibble 3, and adding 6 does not carry out of the nibble.
    if (((v & 0xF0F0F0F0F0F0F0F0u) | (((v + 0x0606060606060606u) & 0xF0F0F0F0F0F0F0F0u) >> 4)) != 0x3333333333333333u) {
        return false;
    }
    *value = DigitRun(p, 8);
    return true;
}

// A decimal of at most 15 digits (so at most 2^53) in the instrument forms
// ("%.9E", "%.9g") is read exactly at a fraction of the general parser's
// cost. Anything else (more digits, a larger power, no digits, an 'e'
// without digits, "inf") gives nullptr and goes the general way.
const char* ScanShortDecimal(const char* p, const char* last, double* value) {
    constexpr std::ptrdiff_t kMaxDigits = 15;
    const bool negative = p != last && *p == '-';
    if (negative) ++p;
    const char* const start = p;
    while (p != last && *p == '0') ++p;  // leading zeros carry no digit of the value
    const char* const integer = p;
    std::uint64_t mantissa = 0;
    for (; p != last && IsDigit(*p); ++p) {
        if (p - integer == kMaxDigits) return nullptr;
        mantissa = mantissa * 10 + DigitValue(*p);
    }
    std::ptrdiff_t digits = p - integer;
    bool anyDigit = p != start;
    int power = 0;
    if (p != last && *p == '.') {
        const char* const fraction = ++p;
        std::uint64_t eight = 0;
        while (last - p >= 8 && digits + (p - fraction) + 8 <= kMaxDigits && EightDigits(p, &eight)) {
            mantissa = mantissa * 100000000 + eight;
            p += 8;
        }
        for (; p != last && IsDigit(*p); ++p) {
            if (digits + (p - fraction) == kMaxDigits) return nullptr;
            mantissa = mantissa * 10 + DigitValue(*p);
        }
        anyDigit = anyDigit || p != fraction;
        digits += p - fraction;
        power = -static_cast<int>(p - fraction);
    }
    if (!anyDigit) return nullptr;
    if (p != last && (*p == 'e' || *p == 'E')) {
        const char* q = p + 1;
        const bool negativePower = q != last && *q == '-';
        if (q != last && (*q == '-' || *q == '+')) ++q;
        const char* const powerDigits = q;
        int written = 0;
        for (; q != last && IsDigit(*q); ++q) {
            if (q - powerDigits == 3) return nullptr;
            written = written * 10 + static_cast<int>(DigitValue(*q));
        }
        if (q == powerDigits) return nullptr;
        power += negativePower ? -written : written;
        p = q;
    }
    return ExactDecimal(mantissa, power, negative, value) ? p : nullptr;
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
    if (const char* end = ScanShortDecimal(p, last, value)) return end;
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
