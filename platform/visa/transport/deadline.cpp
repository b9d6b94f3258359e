#include "platform/visa/transport/deadline.h"

#include <algorithm>
#include <limits>

namespace visa {

Deadline Deadline::After(std::int64_t milliseconds) {
    if (milliseconds < 0) return Never();
    return Deadline(false, Clock::now() + std::chrono::milliseconds(milliseconds));
}

bool Deadline::Expired() const { return !infinite_ && Clock::now() >= when_; }

int Deadline::PollMilliseconds() const {
    if (infinite_) return -1;
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(when_ - Clock::now()).count();
    return static_cast<int>(std::clamp<std::int64_t>(left, 0, std::numeric_limits<int>::max()));
}

std::uint32_t Deadline::RemainingMilliseconds() const {
    if (infinite_) return 0xFFFFFFFFu;
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(when_ - Clock::now()).count();
    return static_cast<std::uint32_t>(std::clamp<std::int64_t>(left, 0, 0xFFFFFFFEll));
}

}  // namespace visa
