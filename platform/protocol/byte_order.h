// Big-endian fields, as the LAN protocols carry their numbers (HiSLIP
// headers, ONC RPC record marks).
#pragma once

#include <cstddef>
#include <cstdint>

namespace protocol {

// The number in the first `size` bytes (at most 8).
constexpr std::uint64_t GetBigEndian(const std::uint8_t* bytes, std::size_t size) {
    std::uint64_t value = 0;
    for (std::size_t i = 0; i < size; ++i) value = (value << 8) | bytes[i];
    return value;
}

// Writes the low `size` bytes of value, most significant first.
constexpr void PutBigEndian(std::uint64_t value, std::size_t size, std::uint8_t* out) {
    for (std::size_t i = size; i-- > 0; value >>= 8) out[i] = static_cast<std::uint8_t>(value);
}

constexpr std::uint32_t GetBigEndian32(const std::uint8_t* bytes) {
    return static_cast<std::uint32_t>(GetBigEndian(bytes, 4));
}
constexpr std::uint64_t GetBigEndian64(const std::uint8_t* bytes) { return GetBigEndian(bytes, 8); }
constexpr void PutBigEndian32(std::uint32_t value, std::uint8_t* out) { PutBigEndian(value, 4, out); }
constexpr void PutBigEndian64(std::uint64_t value, std::uint8_t* out) { PutBigEndian(value, 8, out); }

}  // namespace protocol
