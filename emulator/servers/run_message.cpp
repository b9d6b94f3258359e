#include "emulator/servers/run_message.h"

namespace emulator {

MessageOutcome RunMessage(Instrument& instrument, Recorder& recorder, Channel channel, int connection,
                          const std::string& message) {
    recorder.Add(channel, connection, message);
    Faults& faults = instrument.faults();
    if (faults.TakeDropOnMessage()) return {false, std::nullopt};
    std::optional<std::string> reply = instrument.Execute(message);
    if (!reply || instrument.halted()) return {!instrument.halted(), std::nullopt};
    ReplyPlan plan = faults.PlanReply(*reply + "\n");
    if (!plan.send) return {true, std::nullopt};
    return {true, std::move(plan)};
}

}  // namespace emulator
