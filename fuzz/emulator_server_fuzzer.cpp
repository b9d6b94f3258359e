// The emulator's servers against a hostile client: the input goes to one of
// its ports as one client's bytes. The first byte picks the port: raw
// socket, VXI-11 core channel, HiSLIP, or the portmapper over TCP or UDP.
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "emulator/emulator.h"

namespace {

emulator::Emulator& Running() {
    static std::unique_ptr<emulator::Emulator> instance = [] {
        emulator::Options options;
        options.portmapper = true;
        options.portmapperPort = 0;
        auto started = std::make_unique<emulator::Emulator>(options);
        std::string error;
        if (!started->Start(&error)) std::abort();
        return started;
    }();
    return *instance;
}

void Talk(int type, int port, const std::uint8_t* data, std::size_t size) {
    const int fd = ::socket(AF_INET, type | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(static_cast<std::uint16_t>(port));
    if (::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0) {
        [[maybe_unused]] const ssize_t sent = ::send(fd, data, size, MSG_NOSIGNAL);
        if (type == SOCK_STREAM) ::shutdown(fd, SHUT_WR);
        // Read what comes back until the server stops talking.
        char sink[65536];
        pollfd wait{fd, POLLIN, 0};
        while (::poll(&wait, 1, 20) > 0 && ::recv(fd, sink, sizeof sink, 0) > 0) {
        }
    }
    ::close(fd);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    emulator::Emulator& emulator = Running();
    const int ports[] = {emulator.SocketPort(), emulator.Vxi11Port(), emulator.HislipPort(), emulator.PortmapperPort(),
                         emulator.PortmapperPort()};
    const int pick = data[0] % 5;
    Talk(pick == 4 ? SOCK_DGRAM : SOCK_STREAM, ports[pick], data + 1, size - 1);
    return 0;
}
