// Where the benchmark's two sides run. The server keeps to the last
// processor and the measured client to the others, as an instrument and its
// controller are different machines: which of them the scheduler happens to
// put on one processor then no longer tilts a ratio. With one processor
// nothing is pinned.
#pragma once

#include <sched.h>

namespace bench {

// For the server's process, before it starts a thread.
void KeepToLastProcessor();

// The calling thread keeps off the last processor while this lives.
class AwayFromLastProcessor {
public:
    AwayFromLastProcessor();
    ~AwayFromLastProcessor();
    AwayFromLastProcessor(const AwayFromLastProcessor&) = delete;
    AwayFromLastProcessor& operator=(const AwayFromLastProcessor&) = delete;

private:
    cpu_set_t before_;
    bool pinned_ = false;
};

}  // namespace bench
