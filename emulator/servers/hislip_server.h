#pragma once

#include <atomic>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>

#include "emulator/instrument/instrument.h"
#include "emulator/replay/recorder.h"
#include "emulator/servers/tcp_listener.h"

namespace protocol::hislip {
struct Header;
}

namespace emulator {

struct HislipOptions {
    bool overlapped = false;                  // preferred mode offered in InitializeResponse
    std::uint64_t maxMessageSize = 1u << 20;  // what AsyncMaximumMessageSizeResponse reports
};

// HiSLIP 1.0: a synchronous channel carrying the program messages and
// replies and an asynchronous one for device clear, status and locks; both
// arrive on the same port and are told apart by their first message.
class HislipServer {
public:
    HislipServer(Instrument& instrument, Recorder& recorder, std::atomic<int>& connections, HislipOptions options)
        : instrument_(instrument), recorder_(recorder), listener_(connections), options_(options) {}

    bool Start(const std::string& address, int port, std::string* error);
    void Stop() { listener_.Stop(); }
    int Port() const { return listener_.Port(); }

private:
    struct Session;
    using Header = protocol::hislip::Header;

    void Serve(int fd, int connection);
    void ServeSync(int fd, int connection, const Header& initialize);
    void ServeAsync(int fd, const Header& initialize);
    // Answers one message of the asynchronous channel; false closes it.
    bool AnswerAsync(int fd, Session& session, const Header& header, const std::string& payload);
    // Sends on the asynchronous channel, which replies and service requests share.
    static bool SendAsync(int fd, Session& session, std::uint8_t type, std::uint8_t control, std::uint32_t parameter,
                          std::string_view payload = {});
    // Executes one complete message and sends its reply; false closes the channel.
    bool Answer(int fd, int connection, Session& session, std::uint64_t generation, std::uint32_t messageId,
                const std::string& message);
    // Sends AsyncServiceRequest each time the instrument starts requesting service.
    void SendServiceRequests(int fd, Session& session);
    bool TakeLock(std::uint16_t session, std::uint32_t timeoutMs);
    // False when the session does not hold the lock.
    bool ReleaseLock(std::uint16_t session);

    Instrument& instrument_;
    Recorder& recorder_;
    TcpListener listener_;
    HislipOptions options_;
    std::mutex mutex_;
    std::map<std::uint16_t, std::shared_ptr<Session>> sessions_;
    std::uint16_t lastSession_ = 0;
    std::atomic<int> lockOwner_{0};  // session id holding the exclusive lock, 0 when free
};

}  // namespace emulator
