#include "bench/processors.h"

namespace bench {
namespace {

// The last of the processors in `set`, or -1 when it has fewer than two.
int LastOfSeveral(const cpu_set_t& set) {
    if (CPU_COUNT(&set) < 2) return -1;
    int last = CPU_SETSIZE - 1;
    while (!CPU_ISSET(last, &set)) --last;
    return last;
}

}  // namespace

void KeepToLastProcessor() {
    cpu_set_t all;
    if (::sched_getaffinity(0, sizeof all, &all) != 0) return;
    const int last = LastOfSeveral(all);
    if (last < 0) return;
    cpu_set_t one;
    CPU_ZERO(&one);
    CPU_SET(last, &one);
    ::sched_setaffinity(0, sizeof one, &one);
}

AwayFromLastProcessor::AwayFromLastProcessor() {
    if (::sched_getaffinity(0, sizeof before_, &before_) != 0) return;
    const int last = LastOfSeveral(before_);
    if (last < 0) return;
    cpu_set_t others = before_;
    CPU_CLR(last, &others);
    pinned_ = ::sched_setaffinity(0, sizeof others, &others) == 0;
}

AwayFromLastProcessor::~AwayFromLastProcessor() {
    if (pinned_) ::sched_setaffinity(0, sizeof before_, &before_);
}

}  // namespace bench
