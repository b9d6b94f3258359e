// OLE Automation numeric rounding and string comparison.
#include <cmath>

#include "zentrava/com.h"

namespace {

// Scaled values at or above this are already whole numbers in a double.
constexpr double kIntegralLimit = 4503599627370496.0;  // 2^52

double RoundHalfToEven(double x) {
    const double floor = std::floor(x);
    const double fraction = x - floor;  // exact below 2^52
    if (fraction > 0.5) return floor + 1;
    if (fraction < 0.5) return floor;
    return std::fmod(floor, 2.0) == 0 ? floor : floor + 1;
}

// Simple one-to-one case folding for the scripts the driver's texts use:
// ASCII, Latin-1, Greek and Cyrillic. Folding is to lower case.
char16_t FoldCase(char16_t c) {
    if (c >= u'A' && c <= u'Z') return c + 0x20;
    if (c >= 0xC0 && c <= 0xDE && c != 0xD7) return c + 0x20;
    if (c >= 0x391 && c <= 0x3AB && c != 0x3A2) return c + 0x20;
    if (c >= 0x410 && c <= 0x42F) return c + 0x20;
    if (c >= 0x400 && c <= 0x40F) return c + 0x50;
    return c;
}

}  // namespace

HRESULT VarR8Round(double value, int decimals, double* result) {
    if (result == nullptr || decimals < 0) return E_INVALIDARG;
    const double scale = std::pow(10.0, decimals);
    const double scaled = value * scale;
    if (!std::isfinite(scaled) || std::fabs(scaled) >= kIntegralLimit) {
        *result = value;  // nothing below the requested place to round away
        return S_OK;
    }
    *result = RoundHalfToEven(scaled) / scale;
    return S_OK;
}

HRESULT VarBstrCmp(BSTR left, BSTR right, LCID /*lcid*/, ULONG flags) {
    const std::size_t leftLength = SysStringLen(left);
    const std::size_t rightLength = SysStringLen(right);
    const bool ignoreCase = (flags & NORM_IGNORECASE) != 0;
    const std::size_t common = leftLength < rightLength ? leftLength : rightLength;
    for (std::size_t i = 0; i < common; ++i) {
        const char16_t a = ignoreCase ? FoldCase(left[i]) : left[i];
        const char16_t b = ignoreCase ? FoldCase(right[i]) : right[i];
        if (a != b) return a < b ? VARCMP_LT : VARCMP_GT;
    }
    if (leftLength == rightLength) return VARCMP_EQ;
    return leftLength < rightLength ? VARCMP_LT : VARCMP_GT;
}
