// A flag another thread raises to end a wait; sleeps in between are cut short
// by it, and waits in poll(2) see it on a descriptor that becomes readable.
#pragma once

#include <sys/eventfd.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <mutex>

#include "platform/visa/transport/deadline.h"
#include "platform/visa/transport/fd_io.h"

namespace visa {

class Interruption {
public:
    void Raise() {
        std::lock_guard<std::mutex> lock(mutex_);
        raised_ = true;
        ::eventfd_write(signal_.get(), 1);
        cv_.notify_all();
    }
    bool raised() const {
        std::lock_guard<std::mutex> lock(mutex_);
        return raised_;
    }
    // Readable (POLLIN) once raised, for good.
    int fd() const { return signal_.get(); }
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
    UniqueFd signal_{::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC)};
};

}  // namespace visa
