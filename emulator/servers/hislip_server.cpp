#include "emulator/servers/hislip_server.h"

#include <algorithm>
#include <regex>
#include <thread>

#include "emulator/servers/run_message.h"
#include "emulator/servers/socket_io.h"
#include "platform/protocol/byte_order.h"
#include "platform/protocol/hislip_message.h"

namespace emulator {

namespace {

using namespace protocol::hislip;

constexpr std::uint16_t kVendorId = ('O' << 8) | 'T';
constexpr std::uint64_t kLargestAccepted = 256u << 20;

bool Send(int fd, std::uint8_t type, std::uint8_t control, std::uint32_t parameter, std::string_view payload = {}) {
    return WriteAll(fd, EncodeMessage(type, control, parameter, payload));
}

}  // namespace

struct HislipServer::Session {
    std::uint16_t id = 0;
    std::atomic<bool> asyncReady{false};
    std::atomic<bool> clearing{false};  // between AsyncDeviceClear and DeviceClearComplete
    std::atomic<std::uint64_t> clearGeneration{0};
    std::atomic<bool> replyPending{false};           // MAV for AsyncStatusQuery
    std::atomic<std::uint64_t> clientMaxMessage{0};  // 0: not negotiated
    std::mutex asyncWrite;                           // replies and service requests share the async channel
    std::atomic<bool> asyncClosed{false};
};

namespace {

enum class ReadResult { Ok, Closed, Garbage };

ReadResult ReadHeader(int fd, Header* header) {
    std::uint8_t raw[kHeaderSize];
    if (!ReadExact(fd, raw, sizeof raw)) return ReadResult::Closed;
    const std::optional<Header> decoded = DecodeHeader(raw);
    if (!decoded) return ReadResult::Garbage;
    *header = *decoded;
    return header->payloadLength > kLargestAccepted ? ReadResult::Garbage : ReadResult::Ok;
}

bool ReadPayload(int fd, std::uint64_t length, std::string* payload) {
    payload->resize(static_cast<std::size_t>(length));
    return length == 0 || ReadExact(fd, payload->data(), payload->size());
}

bool ValidSubAddress(const std::string& name) {
    static const std::regex kNames("(hislip[0-9]+)?", std::regex::icase);
    return std::regex_match(name, kNames);
}

}  // namespace

bool HislipServer::Start(const std::string& address, int port, std::string* error) {
    return listener_.Start(
        address, port, [this](int fd, int connection) { Serve(fd, connection); }, error);
}

void HislipServer::Serve(int fd, int connection) {
    Header first;
    ReadResult result = ReadHeader(fd, &first);
    if (result == ReadResult::Garbage) {
        Send(fd, FatalError, FatalBadHeader, 0, "Poorly formed message header");
        return;
    }
    if (result != ReadResult::Ok) return;
    if (first.type == Initialize) {
        ServeSync(fd, connection, first);
    } else if (first.type == AsyncInitialize) {
        ServeAsync(fd, first);
    } else {
        Send(fd, FatalError, FatalInvalidInitialization, 0, "Expected Initialize or AsyncInitialize");
    }
}

void HislipServer::ServeSync(int fd, int connection, const Header& initialize) {
    std::string subAddress;
    if (!ReadPayload(fd, initialize.payloadLength, &subAddress)) return;
    if (!ValidSubAddress(subAddress)) {
        Send(fd, FatalError, FatalUnidentified, 0, "Unknown sub-address " + subAddress);
        return;
    }
    auto session = std::make_shared<Session>();
    {
        std::lock_guard<std::mutex> lock(mutex_);
        do {
            ++lastSession_;
        } while (lastSession_ == 0 || sessions_.count(lastSession_));
        session->id = lastSession_;
        sessions_[session->id] = session;
    }
    std::uint32_t parameter = (static_cast<std::uint32_t>(kProtocolVersion) << 16) | session->id;
    if (Send(fd, InitializeResponse, options_.overlapped ? 1 : 0, parameter)) {
        std::string message, payload;
        for (;;) {
            Header header;
            ReadResult result = ReadHeader(fd, &header);
            if (result == ReadResult::Garbage) {
                Send(fd, FatalError, FatalBadHeader, 0, "Poorly formed message header");
                break;
            }
            if (result != ReadResult::Ok || instrument_.halted()) break;
            if (!ReadPayload(fd, header.payloadLength, &payload)) break;
            if (header.type == Data || header.type == DataEnd) {
                if (!session->asyncReady) {
                    Send(fd, FatalError, FatalChannelsNotEstablished, 0, "Asynchronous channel not established");
                    break;
                }
                // Read before the clearing flag: a clear after this point changes it,
                // one before has already set the flag.
                std::uint64_t generation = session->clearGeneration;
                if (session->clearing) continue;  // discarded until the clear completes
                message += payload;
                if (header.type == Data) continue;
                std::string complete = std::move(message);
                message.clear();
                if (!Answer(fd, connection, *session, generation, header.parameter, complete)) break;
            } else if (header.type == DeviceClearComplete) {
                message.clear();
                session->clearing = false;
                if (!Send(fd, DeviceClearAcknowledge, options_.overlapped ? 1 : 0, 0)) break;
            } else if (header.type == Trigger) {
                continue;
            } else if (!Send(fd, Error, ErrorUnrecognizedType, 0, "Unrecognized message type")) {
                break;
            }
        }
    }
    std::lock_guard<std::mutex> lock(mutex_);
    sessions_.erase(session->id);
}

bool HislipServer::Answer(int fd, int connection, Session& session, std::uint64_t generation, std::uint32_t messageId,
                          const std::string& message) {
    MessageOutcome outcome = RunMessage(instrument_, recorder_, Channel::Hislip, connection, message);
    if (!outcome.reply) return outcome.keepOpen;
    const ReplyPlan& plan = *outcome.reply;
    session.replyPending = true;
    instrument_.waker().WaitUntil(Waker::Clock::now() + plan.delay,
                                  [&] { return instrument_.halted() || session.clearGeneration != generation; });
    session.replyPending = false;
    if (instrument_.halted()) return false;
    if (session.clearGeneration != generation) return true;  // a device clear discarded it
    if (plan.closeAfter) {
        // The header promises more than arrives before the connection drops.
        std::string framed = EncodeMessage(DataEnd, 0, messageId, plan.bytes + std::string(16, '\0'));
        framed.resize(kHeaderSize + plan.bytes.size());
        WriteAll(fd, framed);
        return false;
    }
    std::uint64_t limit = session.clientMaxMessage;
    std::size_t chunk = limit > kHeaderSize ? static_cast<std::size_t>(limit - kHeaderSize) : plan.bytes.size();
    chunk = std::max<std::size_t>(chunk, 1);
    std::string_view rest = plan.bytes;
    while (rest.size() > chunk) {
        if (!Send(fd, Data, 0, messageId, rest.substr(0, chunk))) return false;
        rest.remove_prefix(chunk);
    }
    return Send(fd, DataEnd, 0, messageId, rest);
}

bool HislipServer::TakeLock(std::uint16_t session, std::uint32_t timeoutMs) {
    auto take = [&] {
        int expected = 0;
        return lockOwner_.compare_exchange_strong(expected, session) || expected == session;
    };
    if (take()) return true;
    instrument_.waker().WaitUntil(Waker::Clock::now() + std::chrono::milliseconds(timeoutMs),
                                  [&] { return instrument_.halted() || take(); });
    return lockOwner_ == session;
}

bool HislipServer::ReleaseLock(std::uint16_t session) {
    int expected = session;
    if (!lockOwner_.compare_exchange_strong(expected, 0)) return false;
    instrument_.waker().NotifyAll();
    return true;
}

void HislipServer::ServeAsync(int fd, const Header& initialize) {
    std::shared_ptr<Session> session;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        auto it = sessions_.find(static_cast<std::uint16_t>(initialize.parameter & 0xFFFF));
        if (it != sessions_.end()) session = it->second;
    }
    std::string payload;
    if (!ReadPayload(fd, initialize.payloadLength, &payload)) return;
    if (!session || session->asyncReady) {
        Send(fd, FatalError, FatalInvalidInitialization, 0, "Unknown session");
        return;
    }
    // Ready before the response: the client may send data the moment it has it.
    session->asyncReady = true;
    if (!Send(fd, AsyncInitializeResponse, 0, kVendorId)) return;
    std::thread serviceRequests([this, fd, session] { SendServiceRequests(fd, *session); });
    for (;;) {
        Header header;
        ReadResult result = ReadHeader(fd, &header);
        if (result == ReadResult::Garbage) {
            SendAsync(fd, *session, FatalError, FatalBadHeader, 0, "Poorly formed message header");
            break;
        }
        if (result != ReadResult::Ok || instrument_.halted() || !ReadPayload(fd, header.payloadLength, &payload)) break;
        if (!AnswerAsync(fd, *session, header, payload)) break;
    }
    session->asyncClosed = true;
    instrument_.waker().NotifyAll();
    serviceRequests.join();
    ReleaseLock(session->id);
}

bool HislipServer::AnswerAsync(int fd, Session& session, const Header& header, const std::string& payload) {
    switch (header.type) {
        case AsyncMaximumMessageSize: {
            if (payload.size() >= 8) {
                session.clientMaxMessage =
                    protocol::GetBigEndian64(reinterpret_cast<const std::uint8_t*>(payload.data()));
            }
            std::uint8_t size[8];
            protocol::PutBigEndian64(options_.maxMessageSize, size);
            return SendAsync(fd, session, AsyncMaximumMessageSizeResponse, 0, 0,
                             std::string_view(reinterpret_cast<char*>(size), 8));
        }
        case AsyncDeviceClear:
            session.clearing = true;
            ++session.clearGeneration;
            instrument_.DeviceClear();
            return SendAsync(fd, session, AsyncDeviceClearAcknowledge, options_.overlapped ? 1 : 0, 0);
        case AsyncStatusQuery:
            return SendAsync(fd, session, AsyncStatusResponse, instrument_.ReadStatusByte(session.replyPending), 0);
        case AsyncLock:
            if (header.control == 1) {
                return SendAsync(fd, session, AsyncLockResponse, TakeLock(session.id, header.parameter) ? 1 : 0, 0);
            }
            return SendAsync(fd, session, AsyncLockResponse, ReleaseLock(session.id) ? 1 : 3, 0);
        case AsyncLockInfo: {
            bool locked = lockOwner_ != 0;
            return SendAsync(fd, session, AsyncLockInfoResponse, locked ? 1 : 0, locked ? 1 : 0);
        }
        case AsyncRemoteLocalControl:
            return SendAsync(fd, session, AsyncRemoteLocalResponse, 0, 0);
        default:
            return SendAsync(fd, session, Error, ErrorUnrecognizedType, 0, "Unrecognized message type");
    }
}

bool HislipServer::SendAsync(int fd, Session& session, std::uint8_t type, std::uint8_t control, std::uint32_t parameter,
                             std::string_view payload) {
    std::lock_guard<std::mutex> lock(session.asyncWrite);
    return Send(fd, type, control, parameter, payload);
}

void HislipServer::SendServiceRequests(int fd, Session& session) {
    bool requesting = instrument_.ReadStatusByte(false) & kServiceRequest;
    while (std::optional<std::uint8_t> stb =
               instrument_.WaitForServiceRequest(&requesting, [&] { return session.asyncClosed.load(); })) {
        if (!SendAsync(fd, session, AsyncServiceRequest, *stb, 0)) return;
    }
}

}  // namespace emulator
