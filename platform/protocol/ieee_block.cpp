#include "platform/protocol/ieee_block.h"

#include <algorithm>

namespace protocol {
namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

}  // namespace

BlockHeader ParseBlockHeader(std::string_view text, bool whole) {
    BlockHeader header;
    if (text.empty()) {
        header.status = whole ? BlockHeaderStatus::kNoStart : BlockHeaderStatus::kIncomplete;
        return header;
    }
    if (text[0] != kBlockStart) {
        header.status = BlockHeaderStatus::kNoStart;
        return header;
    }
    if (text.size() < 2) {
        header.status = whole ? BlockHeaderStatus::kBadDigitCount : BlockHeaderStatus::kIncomplete;
        return header;
    }
    if (!IsDigit(text[1])) {
        header.status = BlockHeaderStatus::kBadDigitCount;
        return header;
    }
    const std::size_t digits = static_cast<std::size_t>(text[1] - '0');
    header.size = 2 + digits;
    if (digits == 0) {
        header.status = BlockHeaderStatus::kIndefinite;
        return header;
    }
    // Nine digits at most: the length cannot overflow.
    for (std::size_t at = 2; at < header.size; ++at) {
        if (at >= text.size()) {
            header.status = whole ? BlockHeaderStatus::kBadLength : BlockHeaderStatus::kIncomplete;
            return header;
        }
        if (!IsDigit(text[at])) {
            header.status = BlockHeaderStatus::kBadLength;
            return header;
        }
        header.length = header.length * 10 + static_cast<std::size_t>(text[at] - '0');
    }
    header.status = BlockHeaderStatus::kDefinite;
    return header;
}

std::string_view IndefiniteBlockData(std::string_view rest) {
    if (!rest.empty() && rest.back() == '\n') rest.remove_suffix(1);
    return rest;
}

std::string DefiniteBlockHeader(std::size_t length) {
    const std::string digits = std::to_string(length);
    std::string header(1, kBlockStart);  // appended, not "#" + string: GCC 12 warns falsely on that
    return header.append(std::to_string(digits.size())).append(digits);
}

std::size_t BlockHeaderSpan(std::string_view text) {
    if (text.size() < 2 || text[0] != kBlockStart) return 0;
    return 2 + (IsDigit(text[1]) ? static_cast<std::size_t>(text[1] - '0') : 0);
}

void SwapElementBytes(std::uint8_t* data, std::size_t length, std::size_t elementSize) {
    if (elementSize < 2) return;
    for (std::size_t at = 0; at + elementSize <= length; at += elementSize) {
        std::reverse(data + at, data + at + elementSize);
    }
}

}  // namespace protocol
