#pragma once

#include <functional>
#include <thread>

namespace emulator {

// The one thread of a server that polls its sockets together with wakeFd(),
// which Stop() signals. Should signalling fail, Stop() shuts the `fallback`
// socket down instead, which ends the poll as well.
class ServingThread {
public:
    ServingThread() = default;
    ~ServingThread() { Stop(); }
    ServingThread(const ServingThread&) = delete;
    ServingThread& operator=(const ServingThread&) = delete;

    void Start(std::function<void()> serve, int fallback);
    // Wakes the thread and joins it; nothing when it is not running.
    void Stop();
    int wakeFd() const { return wakeFd_; }

private:
    int wakeFd_ = -1;
    int fallback_ = -1;
    std::thread thread_;
};

}  // namespace emulator
