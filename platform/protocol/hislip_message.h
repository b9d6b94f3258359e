// HiSLIP message framing: a 16-byte header ("HS", message type, control
// code, 32-bit parameter, 64-bit payload length, all big-endian) followed by
// the payload.
#pragma once

#include <array>
#include <cstdint>
#include <optional>

namespace visa::hislip {

constexpr std::size_t kHeaderSize = 16;
constexpr std::uint16_t kDefaultPort = 4880;
constexpr std::uint16_t kProtocolVersion = 0x0100;  // 1.0
constexpr std::uint32_t kFirstMessageId = 0xFFFFFF00u;
constexpr std::uint16_t kVendorId = ('Z' << 8) | 'T';

enum MessageType : std::uint8_t {
    Initialize = 0,
    InitializeResponse = 1,
    FatalError = 2,
    Error = 3,
    Data = 6,
    DataEnd = 7,
    DeviceClearComplete = 8,
    DeviceClearAcknowledge = 9,
    Trigger = 12,
    Interrupted = 13,
    AsyncInterrupted = 14,
    AsyncMaximumMessageSize = 15,
    AsyncMaximumMessageSizeResponse = 16,
    AsyncInitialize = 17,
    AsyncInitializeResponse = 18,
    AsyncDeviceClear = 19,
    AsyncServiceRequest = 20,
    AsyncStatusQuery = 21,
    AsyncStatusResponse = 22,
    AsyncDeviceClearAcknowledge = 23,
};

// Control code bit of Data, DataEnd, Trigger and AsyncStatusQuery: the
// client has received the whole previous response.
constexpr std::uint8_t kRmtDelivered = 0x01;

struct Header {
    std::uint8_t type = 0;
    std::uint8_t control = 0;
    std::uint32_t parameter = 0;
    std::uint64_t payloadLength = 0;
};

std::array<std::uint8_t, kHeaderSize> EncodeHeader(const Header& header);
// Empty when the bytes do not start with "HS".
std::optional<Header> DecodeHeader(const std::uint8_t* bytes);

void PutBigEndian64(std::uint64_t value, std::uint8_t* out);
std::uint64_t GetBigEndian64(const std::uint8_t* bytes);

}  // namespace visa::hislip
