// ONC RPC record marking over TCP: every fragment of a record starts with a
// big-endian word holding its length, the top bit set on the last fragment.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "platform/protocol/byte_order.h"

namespace protocol {

constexpr std::size_t kRecordMarkSize = 4;
constexpr std::uint32_t kLastFragment = 0x80000000u;

struct RecordMark {
    std::size_t length = 0;  // bytes of the fragment that follows the mark
    bool last = false;       // whether the fragment ends its record
};

constexpr RecordMark ReadRecordMark(const std::uint8_t* bytes) {
    const std::uint32_t mark = GetBigEndian32(bytes);
    return RecordMark{mark & ~kLastFragment, (mark & kLastFragment) != 0};
}

// The mark of a record sent whole, as one last fragment of `length` bytes.
constexpr void PutWholeRecordMark(std::size_t length, std::uint8_t* out) {
    PutBigEndian32(kLastFragment | static_cast<std::uint32_t>(length), out);
}

// A whole record in one last fragment: its mark, then its bytes.
inline std::string FrameRecord(std::string_view record) {
    std::uint8_t mark[kRecordMarkSize];
    PutWholeRecordMark(record.size(), mark);
    std::string out(reinterpret_cast<const char*>(mark), kRecordMarkSize);
    out.append(record);
    return out;
}

}  // namespace protocol
