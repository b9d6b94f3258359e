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

// A whole record in one last fragment: its mark, then its bytes.
inline std::string FrameRecord(std::string_view record) {
    std::uint8_t mark[kRecordMarkSize];
    PutBigEndian32(kLastFragment | static_cast<std::uint32_t>(record.size()), mark);
    std::string out(reinterpret_cast<const char*>(mark), kRecordMarkSize);
    out.append(record);
    return out;
}

}  // namespace protocol
