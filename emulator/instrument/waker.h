#pragma once

#include <chrono>
#include <condition_variable>
#include <mutex>

namespace emulator {

// One condition variable that every blocking wait of an emulator shares, so
// that stopping, device clear and instrument events can wake any waiter. The
// conditions themselves live in atomics owned by the waiters' objects; a
// notifier changes its atomic first and then calls NotifyAll.
class Waker {
public:
    using Clock = std::chrono::steady_clock;

    // Waits until `deadline` or until `done()` holds. Returns true when the
    // deadline passed without `done()` becoming true.
    template <class Done>
    bool WaitUntil(Clock::time_point deadline, Done done) {
        std::unique_lock<std::mutex> lock(mutex_);
        while (!done()) {
            if (cv_.wait_until(lock, deadline) == std::cv_status::timeout) return !done();
        }
        return false;
    }

    void NotifyAll() {
        std::lock_guard<std::mutex> lock(mutex_);
        cv_.notify_all();
    }

private:
    std::mutex mutex_;
    std::condition_variable cv_;
};

}  // namespace emulator
