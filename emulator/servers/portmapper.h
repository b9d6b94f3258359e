#pragma once

#include <atomic>
#include <string>

#include "emulator/servers/serving_thread.h"

namespace emulator {

// A portmapper (program 100000) for VXI-11 clients and rpcinfo: GETPORT and
// DUMP of version 2, GETADDR and DUMP of versions 3 and 4, over TCP and UDP
// on one port. The portmapper itself and DEVICE_CORE over TCP are registered.
class Portmapper {
public:
    Portmapper() = default;
    ~Portmapper() { Stop(); }
    Portmapper(const Portmapper&) = delete;
    Portmapper& operator=(const Portmapper&) = delete;

    bool Start(const std::string& address, int port, int coreChannelPort, std::string* error);
    void Stop();
    int Port() const { return port_; }

private:
    void Serve();
    // Answers one call; empty when there is nothing to answer.
    std::string Answer(const std::string& call) const;
    void ServeStream(int fd) const;

    std::string address_;
    int tcpFd_ = -1;
    int udpFd_ = -1;
    int port_ = 0;
    int corePort_ = 0;
    ServingThread serving_;  // last: its thread uses the members above
};

}  // namespace emulator
