// Readers of instrument replies: numbers as the driver converts them, the
// identification reply and the error-queue reply.
#pragma once

#include <string>
#include <string_view>

#include "zentrava/com.h"

namespace ztv {

// Reply conversions: the C library's string-to-double rule, with NaN for a
// reply without a number; integers are that double truncated toward zero.
double ReplyToDouble(std::string_view reply);
LONG ReplyToLong(std::string_view reply);

// Splits an identification reply into manufacturer, model, serial number and
// firmware revision: comma runs separate fields, each field is trimmed.
struct IdentityFields {
    std::string manufacturer, model, serialNumber, firmwareRevision;
};
IdentityFields SplitIdentification(std::string_view reply);

// Reads a "SYST:ERR?" reply as <integer>,"<text up to a quote or apostrophe>".
// Returns false when either field is missing; the code may still be set.
bool ParseErrorQueueReply(std::u16string_view reply, LONG* code, std::u16string* message);

}  // namespace ztv
