// The arithmetic of reading decimals the fast way, shared by the general
// number reader and the list item scanner.
#pragma once

#include <cstdint>
#include <cstring>

namespace codec {

constexpr bool IsDigit(char c) { return static_cast<unsigned char>(c) - unsigned{'0'} < 10u; }
constexpr unsigned DigitValue(char c) { return static_cast<unsigned char>(c) - unsigned{'0'}; }

// The first `count` (1 to 8) characters at p, known to be decimal digits,
// as a number; reads the eight bytes at p. The arithmetic takes the first
// character as the lowest byte: callers on other byte orders read one digit
// at a time.
inline std::uint64_t DigitRun(const char* p, unsigned count) {
    std::uint64_t v = 0;
    std::memcpy(&v, p, sizeof v);
    // Subtracting first: a byte below '0' after the run borrows only from
    // the bytes after it, and those leave with the shift, which turns the
    // missing digits into leading zeros.
    v = (v - 0x3030303030303030u) << (8 * (8 - count));
    v = v * 10 + (v >> 8);  // pairs of digits in every other byte
    constexpr std::uint64_t kPairs = 0x000000FF000000FFu;
    return ((v & kPairs) * (100 + (1000000ull << 32)) + ((v >> 16) & kPairs) * (1 + (10000ull << 32))) >> 32;
}

// Clinger's fast path: an integer of at most 2^53 (an exact double) and a
// power of ten of at most 22 (also exact) give one exact value times or
// divided by another, so the single rounding of that operation is the
// correctly rounded result, what strtod gives for the same text. false when
// the digits or the power are too large for it.
inline bool ExactDecimal(std::uint64_t digits, int power, bool negative, double* value) {
    static constexpr double kPowersOfTen[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,  1e8,  1e9,  1e10, 1e11,
                                              1e12, 1e13, 1e14, 1e15, 1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};
    constexpr std::uint64_t kMaxExactInteger = std::uint64_t{1} << 53;
    constexpr int kMaxPower = 22;
    if (digits > kMaxExactInteger || power < -kMaxPower || power > kMaxPower) return false;
    double result = static_cast<double>(digits);
    result = power < 0 ? result / kPowersOfTen[-power] : result * kPowersOfTen[power];
    *value = negative ? -result : result;
    return true;
}

}  // namespace codec
