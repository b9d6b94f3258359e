#pragma once

#include <string>

#include "emulator/servers/serving_thread.h"

namespace emulator {

// A portmapper (program 100000) for VXI-11 clients and rpcinfo: GETPORT and
// DUMP of version 2, GETADDR and DUMP of versions 3 and 4, over TCP and UDP
// on one port. The portmapper itself and DEVICE_CORE over TCP are registered.
class Portmapper {
public:
    bool Start(const std::string& address, int port, int coreChannelPort, std::string* error);
    void Stop();
    int Port() const { return port_; }

private:
    // Answers a datagram or serves a connection, as `socket` is the UDP or TCP one.
    void Serve(int socket) const;
    // Answers one call; empty when there is nothing to answer.
    std::string Answer(const std::string& call) const;
    void ServeStream(int fd) const;

    std::string address_;
    int tcpFd_ = -1;
    int udpFd_ = -1;
    int port_ = 0;
    int corePort_ = 0;
    ServingThread serving_;  // last: its thread uses the members above; owns the sockets
};

}  // namespace emulator
