#pragma once

#include <netinet/in.h>

#include <atomic>
#include <cstdint>
#include <map>
#include <mutex>
#include <string>
#include <thread>

#include "emulator/instrument/instrument.h"

namespace emulator {

// The instrument's end of a VXI-11 interrupt channel: a connection back to
// the client's interrupt server, on which a device_intr_srq call goes out
// for every link that enabled service requests, each time the instrument
// starts requesting service. Calls are one-way: nothing waits for replies.
class Vxi11InterruptChannel {
public:
    explicit Vxi11InterruptChannel(Instrument& instrument) : instrument_(instrument) {}
    Vxi11InterruptChannel(const Vxi11InterruptChannel&) = delete;
    Vxi11InterruptChannel& operator=(const Vxi11InterruptChannel&) = delete;
    ~Vxi11InterruptChannel() { Close(); }

    // Connects to `address` and starts sending; false when it cannot be reached.
    bool Open(const sockaddr_in& address);
    bool open() const { return fd_ >= 0; }
    void Close();

    // The handle goes back with every request for the link, until disabled.
    void Enable(long lid, std::string handle);
    void Disable(long lid);

private:
    void SendRequests();
    bool Call(const std::string& handle);

    Instrument& instrument_;
    int fd_ = -1;
    std::atomic<bool> closing_{false};
    std::thread sender_;
    std::mutex mutex_;
    std::map<long, std::string> handles_;
    std::uint32_t xid_ = 0;
};

}  // namespace emulator
