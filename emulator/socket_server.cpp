#include "emulator/socket_server.h"

#include "emulator/message_framer.h"
#include "emulator/socket_io.h"

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
    recorder_.Add(Channel::Socket, connection, message);
    Faults& faults = instrument_.faults();
    if (faults.TakeDropOnMessage()) return false;
    std::optional<std::string> reply = instrument_.Execute(message);
    if (!reply || instrument_.halted()) return !instrument_.halted();
    ReplyPlan plan = faults.PlanReply(*reply + "\n");
    if (!plan.send) return true;
    if (plan.delay.count() > 0 &&
        !instrument_.waker().WaitUntil(Waker::Clock::now() + plan.delay, [this] { return instrument_.halted(); })) {
        return false;
    }
    if (!WriteAll(fd, plan.bytes)) return false;
    return !plan.closeAfter;
}

}  // namespace emulator
