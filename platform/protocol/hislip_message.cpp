#include "platform/visa/transport/hislip_message.h"

namespace visa::hislip {

void PutBigEndian64(std::uint64_t value, std::uint8_t* out) {
    for (int i = 7; i >= 0; --i, value >>= 8) out[i] = static_cast<std::uint8_t>(value);
}

std::uint64_t GetBigEndian64(const std::uint8_t* bytes) {
    std::uint64_t value = 0;
    for (int i = 0; i < 8; ++i) value = (value << 8) | bytes[i];
    return value;
}

std::array<std::uint8_t, kHeaderSize> EncodeHeader(const Header& header) {
    std::array<std::uint8_t, kHeaderSize> bytes{};
    bytes[0] = 'H';
    bytes[1] = 'S';
    bytes[2] = header.type;
    bytes[3] = header.control;
    for (int i = 0; i < 4; ++i) bytes[4 + i] = static_cast<std::uint8_t>(header.parameter >> (24 - 8 * i));
    PutBigEndian64(header.payloadLength, bytes.data() + 8);
    return bytes;
}

std::optional<Header> DecodeHeader(const std::uint8_t* bytes) {
    if (bytes[0] != 'H' || bytes[1] != 'S') return std::nullopt;
    Header header;
    header.type = bytes[2];
    header.control = bytes[3];
    header.parameter = (std::uint32_t{bytes[4]} << 24) | (std::uint32_t{bytes[5]} << 16) |
                       (std::uint32_t{bytes[6]} << 8) | bytes[7];
    header.payloadLength = GetBigEndian64(bytes + 8);
    return header;
}

}  // namespace visa::hislip
