#pragma once

#include <atomic>
#include <string>

#include "emulator/instrument/instrument.h"
#include "emulator/replay/recorder.h"
#include "emulator/servers/tcp_listener.h"

namespace emulator {

// The VXI-11 core channel over ONC RPC on TCP. The rpcgen dispatcher runs
// on a transport of our own per connection, so several emulators can serve
// in one process without the RPC library's global service tables.
class Vxi11Server {
public:
    Vxi11Server(Instrument& instrument, Recorder& recorder, std::atomic<int>& connections, unsigned long maxRecvSize)
        : instrument_(instrument), recorder_(recorder), listener_(connections), maxRecvSize_(maxRecvSize) {}

    bool Start(const std::string& address, int port, std::string* error);
    void Stop() { listener_.Stop(); }
    int Port() const { return listener_.Port(); }

    Instrument& instrument() { return instrument_; }
    Recorder& recorder() { return recorder_; }
    unsigned long maxRecvSize() const { return maxRecvSize_; }
    long NewLinkId() { return ++lastLink_; }
    // Exclusive device lock shared by all links: 0 when free.
    std::atomic<long>& lockOwner() { return lockOwner_; }

private:
    Instrument& instrument_;
    Recorder& recorder_;
    TcpListener listener_;
    unsigned long maxRecvSize_;
    std::atomic<long> lastLink_{0};
    std::atomic<long> lockOwner_{0};
};

}  // namespace emulator
