#include "platform/protocol/hislip_message.h"

#include "platform/protocol/byte_order.h"

namespace protocol::hislip {

std::array<std::uint8_t, kHeaderSize> EncodeHeader(const Header& header) {
    std::array<std::uint8_t, kHeaderSize> bytes{};
    bytes[0] = 'H';
    bytes[1] = 'S';
    bytes[2] = header.type;
    bytes[3] = header.control;
    PutBigEndian32(header.parameter, bytes.data() + 4);
    PutBigEndian64(header.payloadLength, bytes.data() + 8);
    return bytes;
}

std::optional<Header> DecodeHeader(const std::uint8_t* bytes) {
    if (bytes[0] != 'H' || bytes[1] != 'S') return std::nullopt;
    return Header{.type = bytes[2],
                  .control = bytes[3],
                  .parameter = GetBigEndian32(bytes + 4),
                  .payloadLength = GetBigEndian64(bytes + 8)};
}

std::string EncodeMessage(std::uint8_t type, std::uint8_t control, std::uint32_t parameter, std::string_view payload) {
    const auto header = EncodeHeader({type, control, parameter, payload.size()});
    std::string out(reinterpret_cast<const char*>(header.data()), header.size());
    out.append(payload);
    return out;
}

}  // namespace protocol::hislip
