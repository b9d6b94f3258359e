// A flag another thread raises to end a wait; sleeps in between are cut short by it.
#pragma once

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <mutex>

#include "platform/visa/transport/deadline.h"

namespace visa {

class Interruption {
public:
    void Raise() {
        std::lock_guard<std::mutex> lock(mutex_);
        raised_ = true;
        cv_.notify_all();
    }
    bool raised() const {
        std::lock_guard<std::mutex> lock(mutex_);
        return raised_;
    }
    // Sleeps `milliseconds` or until the deadline, whichever is first.
    // Returns false when the interruption was raised.
    bool Sleep(int milliseconds, Deadline deadline) {
        int wait = deadline.infinite() ? milliseconds : std::min(milliseconds, deadline.PollMilliseconds());
        std::unique_lock<std::mutex> lock(mutex_);
        return !cv_.wait_for(lock, std::chrono::milliseconds(wait), [this] { return raised_; });
    }

private:
    mutable std::mutex mutex_;
    std::condition_variable cv_;
    bool raised_ = false;
};

}  // namespace visa
