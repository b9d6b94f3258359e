#pragma once

#include <chrono>
#include <cstddef>
#include <mutex>
#include <string>

namespace emulator {

// What a transport does with one reply after the faults had their say.
struct ReplyPlan {
    bool send = true;                    // false: the reply is swallowed
    std::string bytes;                   // what goes on the wire (terminator included)
    std::chrono::milliseconds delay{0};  // wait before the reply becomes available
    bool closeAfter = false;             // drop the connection after `bytes`
};

// Misbehaviour on request, shared by all transports of one emulator. Counted
// faults are consumed by whichever connection hits them first.
class Faults {
public:
    void SetReplyDelay(int milliseconds);
    void SwallowReplies(int count);
    // The next program message received closes its connection unanswered.
    void DropOnNextMessage();
    // The next reply is cut after `afterBytes` bytes and the connection closed.
    void DropDuringNextReply(std::size_t afterBytes);
    void GarbleReplies(int count);
    // The next reply keeps `keepBytes` bytes; `terminate` appends a line feed.
    void TruncateNextReply(std::size_t keepBytes, bool terminate = true);
    // Bits OR-ed into the "*ESR?" reply, once or on every read.
    void ForceEsrBits(int bits, bool persistent);
    // Model field of "*IDN?"; empty restores the configured model.
    void SetIdnModel(std::string model);
    void SetTraceDelay(int milliseconds);
    // The service request bit never rises: a request the client waits for is lost.
    void LoseServiceRequests(bool lost);
    void Clear();

    int ReplyDelayMs() const;
    int TraceDelayMs() const;
    std::string IdnModel() const;
    bool ServiceRequestsLost() const;
    int PendingSwallows() const;

    // Consumed by the transports and the instrument.
    bool TakeDropOnMessage();
    ReplyPlan PlanReply(std::string reply);
    int TakeEsrBits();

    // One line per active fault, for "EMUL:FAULT?".
    std::string Describe() const;

private:
    mutable std::mutex mutex_;
    int replyDelayMs_ = 0;
    int traceDelayMs_ = 0;
    int swallow_ = 0;
    int garble_ = 0;
    bool dropOnMessage_ = false;
    bool dropDuringReply_ = false;
    std::size_t dropAfterBytes_ = 0;
    bool truncate_ = false;
    std::size_t truncateKeep_ = 0;
    bool truncateTerminate_ = true;
    int esrBits_ = 0;
    bool esrPersistent_ = false;
    std::string idnModel_;
    bool serviceRequestsLost_ = false;
};

}  // namespace emulator
