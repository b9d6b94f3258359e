// The driver's LAN clients (raw socket, VXI-11, HiSLIP) against a hostile
// instrument: whoever connects gets the input as everything the instrument
// says, then the end of the connection. The first byte picks the protocol.
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>

#include "tests/visa/visa_test_util.h"

namespace {

class HostileInstrument {
public:
    HostileInstrument() {
        listener_ = visa::test::ListenOnLoopback(16, &port_);
        std::thread([this] { Serve(); }).detach();  // lives as long as the fuzzing process
    }
    std::uint16_t port() const { return port_; }
    void Say(std::string bytes) {
        std::lock_guard lock(mutex_);
        bytes_ = std::move(bytes);
    }

private:
    void Serve() {
        for (;;) {
            const int client = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
            if (client < 0) continue;
            std::string bytes;
            {
                std::lock_guard lock(mutex_);
                bytes = bytes_;
            }
            [[maybe_unused]] const ssize_t sent = ::send(client, bytes.data(), bytes.size(), MSG_NOSIGNAL);
            ::shutdown(client, SHUT_WR);
            // Take what the client sends for a moment, so that closing does not reset.
            char sink[4096];
            pollfd wait{client, POLLIN, 0};
            while (::poll(&wait, 1, 20) > 0 && ::recv(client, sink, sizeof sink, 0) > 0) {
            }
            ::close(client);
        }
    }

    int listener_ = -1;
    std::uint16_t port_ = 0;
    std::mutex mutex_;
    std::string bytes_;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace visa;
    using namespace visa::test;
    static const bool com = SUCCEEDED(CoInitializeEx(nullptr, COINIT_MULTITHREADED));
    static HostileInstrument instrument;
    if (!com || size == 0) return 0;
    instrument.Say(std::string(reinterpret_cast<const char*>(data) + 1, size - 1));
    const std::string port = std::to_string(instrument.port());
    std::string resource = "TCPIP::127.0.0.1::" + port + "::SOCKET";
    std::string options;
    switch (data[0] % 3) {
        case 1:
            resource = "TCPIP::127.0.0.1::inst0::INSTR";
            options = "VXI11Port=" + port;
            break;
        case 2:
            resource = "TCPIP::127.0.0.1::hislip0," + port + "::INSTR";
            break;
        default:
            break;
    }
    com::ComPtr<IMessage> io;
    if (FAILED(OpenMessage(resource, options, 300, &io))) {
        TakeErrorText();
        return 0;
    }
    io->put_Timeout(100);
    io->put_TerminationCharacterEnabled((data[0] & 0x10) ? VARIANT_TRUE : VARIANT_FALSE);
    std::string reply;
    Query(io.get(), "*IDN?\n", &reply);
    SHORT statusByte = 0;
    io->ReadSTB(&statusByte);
    io->Clear();
    TakeErrorText();
    return 0;
}
