// ONC RPC record marking over TCP: every fragment of a record starts with a
// big-endian word holding its length, the top bit set on the last fragment.
#pragma once

#include <cstddef>
#include <cstdint>

namespace visa {

constexpr std::size_t kRecordMarkSize = 4;
constexpr std::uint32_t kLastFragment = 0x80000000u;

inline std::uint32_t GetBigEndian32(const std::uint8_t* bytes) {
    return (std::uint32_t{bytes[0]} << 24) | (std::uint32_t{bytes[1]} << 16) | (std::uint32_t{bytes[2]} << 8) |
           bytes[3];
}

inline void PutBigEndian32(std::uint32_t value, std::uint8_t* out) {
    out[0] = static_cast<std::uint8_t>(value >> 24);
    out[1] = static_cast<std::uint8_t>(value >> 16);
    out[2] = static_cast<std::uint8_t>(value >> 8);
    out[3] = static_cast<std::uint8_t>(value);
}

}  // namespace visa
