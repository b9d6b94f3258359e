#pragma once

#include <optional>
#include <string>

#include "emulator/faults/faults.h"
#include "emulator/instrument/instrument.h"
#include "emulator/replay/recorder.h"

namespace emulator {

// What became of one program message a stream server received.
struct MessageOutcome {
    bool keepOpen = true;            // false: the connection is to close
    std::optional<ReplyPlan> reply;  // the reply as the faults let it out; nothing to send without one
};

// Records the message, meets the fault that drops it, executes it and plans
// its reply.
MessageOutcome RunMessage(Instrument& instrument, Recorder& recorder, Channel channel, int connection,
                          const std::string& message);

}  // namespace emulator
