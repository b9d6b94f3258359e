#pragma once

#include <functional>
#include <thread>
#include <vector>

namespace emulator {

// The one thread of a server. It owns the server's sockets: it polls them
// together with wakeFd(), hands each socket with input to `ready`, and once
// stopped closes them. Should signalling wakeFd() fail, Stop() shuts the
// sockets down instead, which ends the poll as well.
class ServingThread {
public:
    ServingThread() = default;
    ~ServingThread() { Stop(); }
    ServingThread(const ServingThread&) = delete;
    ServingThread& operator=(const ServingThread&) = delete;

    void Start(std::vector<int> sockets, std::function<void(int socket)> ready);
    // Wakes the thread, joins it and closes the sockets; nothing when it is not running.
    void Stop();
    // Readable once Stop() begins: a socket served inline polls it too.
    int wakeFd() const { return wakeFd_; }

private:
    void Serve(const std::function<void(int socket)>& ready) const;

    int wakeFd_ = -1;
    std::vector<int> sockets_;
    std::thread thread_;
};

}  // namespace emulator
