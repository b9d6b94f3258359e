// A point in time by which an I/O operation must be done; VISA time-outs are
// milliseconds with 0xFFFFFFFF (-1 as a LONG) meaning "wait forever".
#pragma once

#include <chrono>
#include <cstdint>

namespace visa {

constexpr std::int32_t kInfiniteTimeout = -1;

class Deadline {
public:
    using Clock = std::chrono::steady_clock;

    // A negative time-out waits forever.
    static Deadline After(std::int64_t milliseconds);
    static Deadline Never() { return Deadline(true, Clock::time_point{}); }

    bool infinite() const { return infinite_; }
    bool Expired() const;
    // Remaining time for poll(2): -1 when infinite, rounded up so that a
    // nearly expired deadline still waits instead of spinning.
    int PollMilliseconds() const;
    // Remaining time for protocols that carry a time-out: 0xFFFFFFFF when infinite.
    std::uint32_t RemainingMilliseconds() const;

private:
    Deadline(bool infinite, Clock::time_point when) : infinite_(infinite), when_(when) {}

    bool infinite_;
    Clock::time_point when_;
};

}  // namespace visa
