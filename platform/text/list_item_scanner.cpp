#include "platform/text/list_item_scanner.h"

#include <cstddef>

#include "platform/text/decimal_arithmetic.h"

#if defined(__x86_64__)
#include <immintrin.h>
#define ZTV_VECTOR_SCAN __attribute__((target("sse4.1")))
#endif

namespace codec {
namespace {

constexpr std::ptrdiff_t kReadAhead = 24;  // the window, its separator and the exponent's run
constexpr unsigned kWindow = 16;           // characters compared at once, and gather lanes
constexpr unsigned kMaxLength = kWindow;
constexpr unsigned kMaxPowerDigits = 3;

constexpr bool IsExponentMark(char c) { return c == 'e' || c == 'E'; }
constexpr bool IsSign(char c) { return c == '-' || c == '+'; }

}  // namespace

ListItemScanner::ListItemScanner(std::string_view separators) {
#if defined(ZTV_VECTOR_SCAN)
    // Asked once; initialised first, as a scanner may be made by a static constructor.
    static const bool kVectorInstructions = [] {
        __builtin_cpu_init();
        return __builtin_cpu_supports("sse4.1") != 0;
    }();
    if (separators.empty() || separators.size() > 2 || !kVectorInstructions) return;
    for (char c : separators)
        if (IsDigit(c) || IsSign(c) || IsExponentMark(c) || c == '.') return;
    first_ = separators.front();
    second_ = separators.back();
    usable_ = true;
#else
    (void)separators;
#endif
}

// The shape of the item at p, if it is [sign] digits [. digits] with at
// least one digit, then perhaps e [sign] 1 to 3 digits.
const ListItemScanner::Shape* ListItemScanner::Learn(const char* p) {
    Shape shape;
    while (shape.length <= kMaxLength && p[shape.length] != first_ && p[shape.length] != second_) ++shape.length;
    if (shape.length > kMaxLength) return nullptr;
    const char* const end = p + shape.length;
    const char* q = p;
    if (IsSign(*q)) ++q;
    const char* const integer = q;
    while (q != end && IsDigit(*q)) ++q;
    const char* const integerEnd = q;
    const char* fraction = q;
    if (q != end && *q == '.') {
        fraction = ++q;
        while (q != end && IsDigit(*q)) ++q;
    }
    const char* const fractionEnd = q;
    const unsigned digits = static_cast<unsigned>((integerEnd - integer) + (fractionEnd - fraction));
    if (digits == 0) return nullptr;
    shape.power = -static_cast<int>(fractionEnd - fraction);
    if (q != end && IsExponentMark(*q)) {
        shape.powerSign = static_cast<unsigned>(++q - p);
        if (q != end && IsSign(*q)) ++q;
        shape.powerStart = static_cast<unsigned>(q - p);
        while (q != end && IsDigit(*q)) ++q;
        shape.powerDigits = static_cast<unsigned>(q - p) - shape.powerStart;
        if (shape.powerDigits == 0 || shape.powerDigits > kMaxPowerDigits) return nullptr;
    }
    if (q != end) return nullptr;

    for (unsigned i = 0; i < kWindow; ++i) shape.normalized[i] = i < shape.length && IsDigit(p[i]) ? '0' : p[i];
    shape.compared = (std::uint32_t{1} << shape.length) - 1;
    shape.separator = p[shape.length];
    unsigned lane = kWindow - digits;
    for (unsigned i = 0; i < lane; ++i) shape.gather[i] = -1;
    for (const char* d = integer; d != integerEnd; ++d) shape.gather[lane++] = static_cast<std::int8_t>(d - p);
    for (const char* d = fraction; d != fractionEnd; ++d) shape.gather[lane++] = static_cast<std::int8_t>(d - p);
    last_ = oldest_;
    oldest_ = (oldest_ + 1) % kShapes;
    return &(shapes_[last_] = shape);
}

#if defined(ZTV_VECTOR_SCAN)
ZTV_VECTOR_SCAN const char* ListItemScanner::ScanItems(const char* p, const char* end, std::vector<double>* values) {
    if (!usable_) return p;
    while (end - p >= kReadAhead) {
        const __m128i text = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
        // A digit is at most 9 above '0'; subtracting that distance makes every digit '0'.
        const __m128i fromZero = _mm_sub_epi8(text, _mm_set1_epi8('0'));
        const __m128i digit = _mm_cmpeq_epi8(_mm_min_epu8(fromZero, _mm_set1_epi8(9)), fromZero);
        const __m128i normalized = _mm_sub_epi8(text, _mm_and_si128(fromZero, digit));
        auto has = [&](const Shape& shape) {
            const std::uint32_t matching = static_cast<std::uint32_t>(_mm_movemask_epi8(
                _mm_cmpeq_epi8(normalized, _mm_loadu_si128(reinterpret_cast<const __m128i*>(shape.normalized)))));
            return (matching & shape.compared) == shape.compared && p[shape.length] == shape.separator;
        };
        // Checking that the item has the last one's shape is a branch the
        // processor predicts: gathering the digits does not wait for it.
        const Shape* shape = &shapes_[last_];
        if (!has(*shape)) {
            shape = nullptr;
            for (unsigned i = 0; i < kShapes && shape == nullptr; ++i) {
                if (has(shapes_[i])) {
                    last_ = i;
                    shape = &shapes_[i];
                }
            }
            if (shape == nullptr && (shape = Learn(p)) == nullptr) break;
        }
        // The mantissa's digits, the last in the last byte, as two numbers
        // of eight digits each: pairs, then fours, then eights.
        const __m128i digits =
            _mm_shuffle_epi8(fromZero, _mm_loadu_si128(reinterpret_cast<const __m128i*>(shape->gather)));
        const __m128i pairs =
            _mm_maddubs_epi16(digits, _mm_setr_epi8(10, 1, 10, 1, 10, 1, 10, 1, 10, 1, 10, 1, 10, 1, 10, 1));
        const __m128i fours = _mm_madd_epi16(pairs, _mm_setr_epi16(100, 1, 100, 1, 100, 1, 100, 1));
        const __m128i packed = _mm_packus_epi32(fours, fours);
        const __m128i eights = _mm_madd_epi16(packed, _mm_setr_epi16(10000, 1, 10000, 1, 10000, 1, 10000, 1));
        const std::uint64_t both = static_cast<std::uint64_t>(_mm_cvtsi128_si64(eights));
        const std::uint64_t whole = (both & 0xFFFFFFFFu) * 100000000 + (both >> 32);
        int power = shape->power;
        if (shape->powerDigits != 0) {
            const int written = static_cast<int>(DigitRun(p + shape->powerStart, shape->powerDigits));
            power += p[shape->powerSign] == '-' ? -written : written;
        }
        double value = 0;
        // Where no sign leads, the first character is a digit or the point.
        if (!ExactDecimal(whole, power, p[0] == '-', &value)) break;
        values->push_back(value);
        p += shape->length + 1;
    }
    return p;
}
#else
const char* ListItemScanner::ScanItems(const char* p, const char*, std::vector<double>*) { return p; }
#endif

}  // namespace codec
