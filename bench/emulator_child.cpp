#include "bench/emulator_child.h"

#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstdint>
#include <optional>

#include "bench/processors.h"
#include "emulator/emulator.h"
#include "emulator/servers/socket_io.h"

namespace bench {

using emulator::ReadExact;
using emulator::WriteAll;

namespace {

// The child's side: one byte per request, 'c' to clear (answered with one
// byte), 't' to take (answered with a 64-bit length and the bytes); the end
// of the channel ends the child.
int Serve(int channel, int points, bool shortReals, const char* storedQuery) {
    emulator::Options options;
    options.vxi11Port = -1;
    options.hislipPort = -1;
    options.tracePoints = points;
    options.shortReals = shortReals;
    emulator::Emulator server(options);
    std::string error;
    std::int32_t port = 0;
    if (server.Start(&error)) {
        // Served as stored text, so that generating the trace does not blur
        // the cost of its transfer.
        if (std::optional<std::string> stored = server.instrument().Execute(storedQuery)) {
            std::string header(storedQuery);
            header.pop_back();
            server.instrument().SetSetting(header, std::move(*stored));
            port = server.SocketPort();
        }
    }
    if (!WriteAll(channel, &port, sizeof port) || port == 0) return 1;
    char request = 0;
    while (ReadExact(channel, &request, 1)) {
        if (request == 'c') {
            server.ClearReceived();
            if (!WriteAll(channel, &request, 1)) break;
        } else if (request == 't') {
            std::string bytes;
            for (const emulator::ReceivedMessage& message : server.Received()) bytes += message.bytes;
            const std::uint64_t length = bytes.size();
            if (!WriteAll(channel, &length, sizeof length) || !WriteAll(channel, bytes.data(), bytes.size())) break;
        }
    }
    server.Stop();
    return 0;
}

}  // namespace

EmulatorChild::~EmulatorChild() {
    if (channel_ >= 0) ::close(channel_);
    if (pid_ > 0) ::waitpid(pid_, nullptr, 0);
}

bool EmulatorChild::Start(int points, bool shortReals, const char* storedQuery, std::string* error) {
    int ends[2];
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, ends) != 0) {
        *error = "socketpair failed";
        return false;
    }
    pid_ = ::fork();
    if (pid_ == 0) {
        ::close(ends[0]);
        ::prctl(PR_SET_PDEATHSIG, SIGTERM);
        KeepToLastProcessor();
        ::_exit(Serve(ends[1], points, shortReals, storedQuery));
    }
    ::close(ends[1]);
    channel_ = ends[0];
    std::int32_t port = 0;
    if (pid_ < 0 || !ReadExact(channel_, &port, sizeof port) || port == 0) {
        *error = "the emulator did not start";
        return false;
    }
    port_ = port;
    return true;
}

bool EmulatorChild::ClearReceived() {
    char request = 'c';
    return WriteAll(channel_, &request, 1) && ReadExact(channel_, &request, 1);
}

bool EmulatorChild::TakeReceived(std::string* bytes) {
    const char request = 't';
    std::uint64_t length = 0;
    if (!WriteAll(channel_, &request, 1) || !ReadExact(channel_, &length, sizeof length)) return false;
    bytes->resize(length);
    return ReadExact(channel_, bytes->data(), length);
}

}  // namespace bench
