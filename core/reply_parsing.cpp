#include "core/reply_parsing.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <limits>

#include "core/option_parsing.h"
#include "platform/ivi/ivi_float.h"
#include "platform/text/number_codec.h"

namespace ztv {

double ReplyToDouble(std::string_view reply) {
    double value = 0;
    return codec::ScanReal(reply.data(), reply.data() + reply.size(), &value) ? value : Ivi_GetViReal64NaN();
}

LONG ReplyToLong(std::string_view reply) {
    const double value = ReplyToDouble(reply);
    if (std::isnan(value)) return 0;
    const double truncated = std::trunc(value);
    if (truncated >= static_cast<double>(std::numeric_limits<LONG>::max())) return std::numeric_limits<LONG>::max();
    if (truncated <= static_cast<double>(std::numeric_limits<LONG>::min())) return std::numeric_limits<LONG>::min();
    return static_cast<LONG>(truncated);
}

IdentityFields SplitIdentification(std::string_view reply) {
    IdentityFields fields;
    std::string* const targets[] = {&fields.manufacturer, &fields.model, &fields.serialNumber,
                                    &fields.firmwareRevision};
    std::size_t pos = 0;
    for (std::string* target : targets) {
        pos = reply.find_first_not_of(',', pos);
        if (pos == std::string_view::npos) break;
        const std::size_t end = std::min(reply.find(',', pos), reply.size());
        *target = std::string(codec::TrimBlanks(reply.substr(pos, end - pos)));
        pos = end;
    }
    return fields;
}

bool ParseErrorQueueReply(std::u16string_view reply, LONG* code, std::u16string* message) {
    auto isSpace = [](char16_t c) { return c == ' ' || (c >= '\t' && c <= '\r'); };
    std::size_t i = 0;
    while (i < reply.size() && isSpace(reply[i])) ++i;
    bool negative = false;
    if (i < reply.size() && (reply[i] == '+' || reply[i] == '-')) negative = reply[i++] == '-';
    const std::size_t digits = i;
    long long value = 0;
    for (; i < reply.size() && reply[i] >= '0' && reply[i] <= '9'; ++i)
        value = std::min<long long>(value * 10 + (reply[i] - '0'), static_cast<long long>(INT_MAX) + 1);
    if (i == digits) return false;
    *code = static_cast<LONG>(std::clamp<long long>(negative ? -value : value, INT_MIN, INT_MAX));

    if (i >= reply.size() || reply[i] != ',') return false;
    if (++i >= reply.size() || reply[i] != '"') return false;
    const std::size_t start = ++i;
    while (i < reply.size() && reply[i] != '"' && reply[i] != '\'') ++i;
    if (i == start) return false;
    message->assign(reply.substr(start, i - start));
    return true;
}

}  // namespace ztv
