#include "services/message_table.h"

#include <algorithm>
#include <array>

#include "services/error_codes.h"

namespace ztv {
namespace {

constexpr std::array kMessages{
#define ZTV_MESSAGE_ENTRY(name, value, id, text) MessageEntry{IDS_##name, name, text},
    ZTV_ERROR_LIST(ZTV_MESSAGE_ENTRY)
#undef ZTV_MESSAGE_ENTRY
};

}  // namespace

std::span<const MessageEntry> MessageTable() { return kMessages; }

const MessageEntry* FindMessage(ULONG id) {
    auto it = std::find_if(kMessages.begin(), kMessages.end(), [id](const MessageEntry& m) { return m.id == id; });
    return it == kMessages.end() ? nullptr : &*it;
}

std::optional<CErrorMap::Entry> CErrorMap::Lookup(ULONG messageId) {
    const MessageEntry* entry = FindMessage(messageId);
    if (!entry) return std::nullopt;
    return Entry{entry->code, 0};
}

std::optional<std::string> FormatMessageText(ULONG id, std::span<const std::string_view> inserts) {
    const MessageEntry* entry = FindMessage(id);
    if (!entry) return std::nullopt;
    std::string out = "Zentrava: ";
    const std::string_view text = entry->text;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 1 < text.size() && text[i + 1] >= '1' && text[i + 1] <= '3') {
            const std::size_t n = static_cast<std::size_t>(text[i + 1] - '1');
            if (n < inserts.size()) out += inserts[n];
            ++i;
            // An inserted sentence brings its own full stop.
            if (out.ends_with('.') && i + 1 < text.size() && text[i + 1] == '.') ++i;
        } else {
            out += text[i];
        }
    }
    out += "\r\n";
    return out;
}

}  // namespace ztv
