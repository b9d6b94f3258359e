// HiSLIP message framing: a 16-byte header ("HS", message type, control
// code, 32-bit parameter, 64-bit payload length, all big-endian) followed by
// the payload. Client and server alike frame their messages with it.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace protocol::hislip {

constexpr std::size_t kHeaderSize = 16;
constexpr std::uint16_t kDefaultPort = 4880;
constexpr std::uint16_t kProtocolVersion = 0x0100;  // 1.0
constexpr std::uint32_t kFirstMessageId = 0xFFFFFF00u;

enum MessageType : std::uint8_t {
    Initialize = 0,
    InitializeResponse = 1,
    FatalError = 2,
    Error = 3,
    AsyncLock = 4,
    AsyncLockResponse = 5,
    Data = 6,
    DataEnd = 7,
    DeviceClearComplete = 8,
    DeviceClearAcknowledge = 9,
    AsyncRemoteLocalControl = 10,
    AsyncRemoteLocalResponse = 11,
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
    AsyncLockInfo = 24,
    AsyncLockInfoResponse = 25,
};

// Codes carried in the control byte of FatalError and Error.
enum FatalErrorCode : std::uint8_t {
    FatalUnidentified = 0,
    FatalBadHeader = 1,
    FatalChannelsNotEstablished = 2,
    FatalInvalidInitialization = 3,
};
enum ErrorCode : std::uint8_t {
    ErrorUnidentified = 0,
    ErrorUnrecognizedType = 1,
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
// A whole message: header and payload.
std::string EncodeMessage(std::uint8_t type, std::uint8_t control, std::uint32_t parameter,
                          std::string_view payload = {});

}  // namespace protocol::hislip
