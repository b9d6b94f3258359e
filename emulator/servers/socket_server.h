#pragma once

#include <atomic>
#include <string>

#include "emulator/instrument/instrument.h"
#include "emulator/replay/recorder.h"
#include "emulator/servers/tcp_listener.h"

namespace emulator {

// The raw socket interface: program messages end with a line feed, replies
// are sent as soon as they exist, terminated with a line feed.
class SocketServer {
public:
    SocketServer(Instrument& instrument, Recorder& recorder, std::atomic<int>& connections)
        : instrument_(instrument), recorder_(recorder), listener_(connections) {}

    bool Start(const std::string& address, int port, std::string* error);
    void Stop() { listener_.Stop(); }
    int Port() const { return listener_.Port(); }

private:
    void Serve(int fd, int connection);
    // False when the connection is to be closed.
    bool Handle(int fd, int connection, std::string message);

    Instrument& instrument_;
    Recorder& recorder_;
    TcpListener listener_;
};

}  // namespace emulator
