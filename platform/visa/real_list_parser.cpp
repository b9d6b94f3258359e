#include "platform/visa/real_list_parser.h"

#include <cstdint>

#include "platform/text/number_codec.h"

namespace visa {
namespace {

// No number an instrument sends is this long: an item that grows beyond it
// is garbage, and keeping it would let a reply without end fill the memory.
constexpr std::size_t kMaxItemLength = 4096;

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

std::string_view TrimFront(std::string_view text) {
    while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
    return text;
}

std::string_view TrimBack(std::string_view text) {
    while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
    return text;
}

// Reads the plain decimal forms instruments send ("-59.8853331", "1.5E+06")
// when the result is exact: a significand of at most 2^53 scaled by a power
// of ten up to 10^22 is a single correctly rounded operation on two exact
// values. Returns where the number ends, or nullptr for anything else (long
// significands, large exponents, NaN, hexadecimal), which the general parser
// then takes.
const char* ScanExactReal(const char* p, const char* end, double* value) {
    static constexpr double kPowersOfTen[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                              1e8,  1e9,  1e10, 1e11, 1e12, 1e13, 1e14, 1e15,
                                              1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};
    constexpr std::uint64_t kExactLimit = std::uint64_t{1} << 53;
    while (p != end && IsBlank(*p)) ++p;
    bool negative = false;
    if (p != end && (*p == '-' || *p == '+')) negative = *p++ == '-';
    std::uint64_t significand = 0;
    int digits = 0;      // significant digits taken into the significand
    int exponent = 0;    // decimal exponent of the significand's last digit
    bool anyDigit = false;
    for (; p != end && *p >= '0' && *p <= '9'; ++p) {
        anyDigit = true;
        if (significand == 0 && *p == '0') continue;
        if (++digits > 19) return nullptr;
        significand = significand * 10 + static_cast<std::uint64_t>(*p - '0');
    }
    if (p != end && *p == '.') {
        for (++p; p != end && *p >= '0' && *p <= '9'; ++p) {
            anyDigit = true;
            --exponent;
            if (significand == 0 && *p == '0') continue;
            if (++digits > 19) return nullptr;
            significand = significand * 10 + static_cast<std::uint64_t>(*p - '0');
        }
    }
    if (!anyDigit) return nullptr;
    if (p != end && (*p == 'e' || *p == 'E')) {
        ++p;
        bool negativeExponent = false;
        if (p != end && (*p == '-' || *p == '+')) negativeExponent = *p++ == '-';
        if (p == end || *p < '0' || *p > '9') return nullptr;
        int written = 0;
        for (; p != end && *p >= '0' && *p <= '9'; ++p) {
            if (written > 1000) return nullptr;
            written = written * 10 + (*p - '0');
        }
        exponent += negativeExponent ? -written : written;
    }
    if (significand > kExactLimit) return nullptr;
    double result = static_cast<double>(significand);
    if (significand != 0) {
        if (exponent < -22 || exponent > 22) return nullptr;
        result = exponent < 0 ? result / kPowersOfTen[-exponent] : result * kPowersOfTen[exponent];
    }
    *value = negative ? -result : result;
    return p;
}

}  // namespace

RealListParser::RealListParser(std::string_view separators) {
    for (char c : separators) isSeparator_[static_cast<unsigned char>(c)] = true;
    singleSeparator_ = separators.size() == 1;
    if (singleSeparator_) onlySeparator_ = separators.front();
}

std::size_t RealListParser::NextSeparator(std::string_view text) const {
    if (singleSeparator_) return text.find(onlySeparator_);
    for (std::size_t i = 0; i < text.size(); ++i)
        if (isSeparator_[static_cast<unsigned char>(text[i])]) return i;
    return std::string_view::npos;
}

void RealListParser::Item(std::string_view item, bool last) {
    if (failed_) return;
    // Blanks before the list and after it are not part of its first and last item.
    if (first_) item = TrimFront(item);
    if (last) item = TrimBack(item);
    first_ = false;
    double value = 0;
    if (codec::ParseReal(item, &value)) {
        values_.push_back(value);
        return;
    }
    FailItem(item);
}

void RealListParser::FailItem(std::string_view item) {
    failed_ = true;
    badItem_.assign(item.substr(0, 40));
    pending_.clear();
}

void RealListParser::Feed(std::string_view text) {
    if (failed_) return;  // the rest of the reply is only being drained
    if (!pending_.empty()) {
        const std::size_t end = NextSeparator(text);
        if (end == std::string_view::npos) {
            pending_.append(text);
            if (pending_.size() > kMaxItemLength) FailItem(pending_);
            return;
        }
        sawSeparator_ = true;
        pending_.append(text.substr(0, end));
        Item(pending_, false);
        pending_.clear();
        text.remove_prefix(end + 1);
    }
    const char* p = text.data();
    const char* const end = p + text.size();
    while (p != end && !failed_) {
        double value = 0;
        if (const char* after = ScanExactReal(p, end, &value)) {
            while (after != end && IsBlank(*after)) ++after;
            if (after == end) break;  // the item may go on in the next chunk
            if (isSeparator_[static_cast<unsigned char>(*after)]) {
                values_.push_back(value);
                first_ = false;
                sawSeparator_ = true;
                p = after + 1;
                continue;
            }
        }
        const std::size_t length = NextSeparator(std::string_view(p, static_cast<std::size_t>(end - p)));
        if (length == std::string_view::npos) break;
        sawSeparator_ = true;
        Item(std::string_view(p, length), false);
        p += length + 1;
    }
    if (failed_) return;
    pending_.assign(p, end);
    if (pending_.size() > kMaxItemLength) FailItem(pending_);
}

bool RealListParser::Finish() {
    if (!sawSeparator_ && TrimFront(pending_).empty()) return !failed_;  // a blank reply: no items
    Item(pending_, true);
    pending_.clear();
    return !failed_;
}

}  // namespace visa
