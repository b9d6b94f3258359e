// HiSLIP message types and framing for the tests' own clients and servers.
// Written out here independently of the driver's client, the emulator and
// the shared codec: an oracle must not share the code it checks.
#pragma once

#include <cstdint>
#include <string>

namespace oracle::hislip {

enum MessageType : std::uint8_t {
    kInitialize = 0,
    kInitializeResponse = 1,
    kFatalError = 2,
    kError = 3,
    kAsyncLock = 4,
    kAsyncLockResponse = 5,
    kData = 6,
    kDataEnd = 7,
    kDeviceClearComplete = 8,
    kDeviceClearAcknowledge = 9,
    kTrigger = 12,
    kAsyncMaximumMessageSize = 15,
    kAsyncMaximumMessageSizeResponse = 16,
    kAsyncInitialize = 17,
    kAsyncInitializeResponse = 18,
    kAsyncDeviceClear = 19,
    kAsyncStatusQuery = 21,
    kAsyncStatusResponse = 22,
    kAsyncDeviceClearAcknowledge = 23,
    kAsyncLockInfo = 24,
    kAsyncLockInfoResponse = 25,
};

constexpr std::size_t kHeaderSize = 16;

struct Message {
    std::uint8_t type = 0;
    std::uint8_t control = 0;
    std::uint32_t parameter = 0;
    std::string payload;
};

// `value` as its `bytes` low-order bytes, most significant first.
inline std::string BigEndian(std::uint64_t value, int bytes) {
    std::string out;
    for (int i = bytes - 1; i >= 0; --i) out += static_cast<char>((value >> (8 * i)) & 0xFF);
    return out;
}

// A message as it goes on the wire: "HS", type, control, parameter, payload length, payload.
inline std::string Frame(std::uint8_t type, std::uint8_t control, std::uint32_t parameter,
                         const std::string& payload = {}) {
    return std::string{'H', 'S', static_cast<char>(type), static_cast<char>(control)} + BigEndian(parameter, 4) +
           BigEndian(payload.size(), 8) + payload;
}

// Reads the kHeaderSize bytes of `header` into `message` (its payload left
// empty) and the payload's length into `payloadLength`; false when they are
// no HiSLIP header.
inline bool ParseHeader(const std::string& header, Message* message, std::uint64_t* payloadLength) {
    if (header.size() != kHeaderSize || header[0] != 'H' || header[1] != 'S') return false;
    auto big = [&header](std::size_t at, int bytes) {
        std::uint64_t value = 0;
        for (int i = 0; i < bytes; ++i) value = (value << 8) | static_cast<unsigned char>(header[at + i]);
        return value;
    };
    message->type = static_cast<std::uint8_t>(header[2]);
    message->control = static_cast<std::uint8_t>(header[3]);
    message->parameter = static_cast<std::uint32_t>(big(4, 4));
    message->payload.clear();
    *payloadLength = big(8, 8);
    return true;
}

}  // namespace oracle::hislip
