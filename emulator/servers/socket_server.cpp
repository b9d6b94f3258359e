#include "emulator/servers/socket_server.h"

#include "emulator/servers/message_framer.h"
#include "emulator/servers/run_message.h"
#include "emulator/servers/socket_io.h"

namespace emulator {

bool SocketServer::Start(const std::string& address, int port, std::string* error) {
    return listener_.Start(
        address, port, [this](int fd, int connection) { Serve(fd, connection); }, error);
}

void SocketServer::Serve(int fd, int connection) {
    MessageFramer framer;
    char buffer[65536];
    for (;;) {
        long n = ReadSome(fd, buffer, sizeof buffer);
        if (n <= 0 || instrument_.halted()) return;
        framer.Append(buffer, static_cast<std::size_t>(n));
        while (std::optional<std::string> message = framer.Next()) {
            if (!Handle(fd, connection, std::move(*message))) return;
        }
    }
}

bool SocketServer::Handle(int fd, int connection, std::string message) {
    MessageOutcome outcome = RunMessage(instrument_, recorder_, Channel::Socket, connection, message);
    if (!outcome.reply) return outcome.keepOpen;
    const ReplyPlan& plan = *outcome.reply;
    if (plan.delay.count() > 0 &&
        !instrument_.waker().WaitUntil(Waker::Clock::now() + plan.delay, [this] { return instrument_.halted(); })) {
        return false;
    }
    if (!WriteAll(fd, plan.bytes)) return false;
    return !plan.closeAfter;
}

}  // namespace emulator
