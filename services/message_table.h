// The driver's message table: every message number with its result code and
// text, and the formatter that fills the %1..%3 inserts.
#pragma once

#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "zentrava/com.h"

namespace ztv {

struct MessageEntry {
    ULONG id;
    HRESULT code;
    std::string_view text;  // without the "Zentrava: " prefix and line end
};

std::span<const MessageEntry> MessageTable();
const MessageEntry* FindMessage(ULONG id);

// Message number to result code and help context (0 in every entry).
class CErrorMap {
public:
    struct Entry {
        HRESULT code;
        ULONG helpContext;
    };
    static std::optional<Entry> Lookup(ULONG messageId);
};

// The text as stored in the resource: "Zentrava: " + message + "\r\n", with
// %1..%3 replaced by the inserts (missing inserts read as empty, extra ones
// are ignored). Empty when the number has no message.
std::optional<std::string> FormatMessageText(ULONG id, std::span<const std::string_view> inserts);

}  // namespace ztv
