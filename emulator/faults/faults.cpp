#include "emulator/faults/faults.h"

#include <algorithm>
#include <utility>

namespace emulator {

namespace {
// Bytes no instrument would send: control characters, high bytes and no number.
constexpr char kGarbage[] = "\x15\xfe\x80#?%garbage\x01\x7f";
}  // namespace

void Faults::SetReplyDelay(int milliseconds) {
    std::lock_guard<std::mutex> lock(mutex_);
    replyDelayMs_ = std::max(0, milliseconds);
}

void Faults::SwallowReplies(int count) {
    std::lock_guard<std::mutex> lock(mutex_);
    swallow_ = std::max(0, count);
}

void Faults::DropOnNextMessage() {
    std::lock_guard<std::mutex> lock(mutex_);
    dropOnMessage_ = true;
}

void Faults::DropDuringNextReply(std::size_t afterBytes) {
    std::lock_guard<std::mutex> lock(mutex_);
    dropDuringReply_ = true;
    dropAfterBytes_ = afterBytes;
}

void Faults::GarbleReplies(int count) {
    std::lock_guard<std::mutex> lock(mutex_);
    garble_ = std::max(0, count);
}

void Faults::TruncateNextReply(std::size_t keepBytes, bool terminate) {
    std::lock_guard<std::mutex> lock(mutex_);
    truncate_ = true;
    truncateKeep_ = keepBytes;
    truncateTerminate_ = terminate;
}

void Faults::ForceEsrBits(int bits, bool persistent) {
    std::lock_guard<std::mutex> lock(mutex_);
    esrBits_ = bits & 0xFF;
    esrPersistent_ = persistent;
}

void Faults::SetIdnModel(std::string model) {
    std::lock_guard<std::mutex> lock(mutex_);
    idnModel_ = std::move(model);
}

void Faults::SetTraceDelay(int milliseconds) {
    std::lock_guard<std::mutex> lock(mutex_);
    traceDelayMs_ = std::max(0, milliseconds);
}

void Faults::LoseServiceRequests(bool lost) {
    std::lock_guard<std::mutex> lock(mutex_);
    serviceRequestsLost_ = lost;
}

bool Faults::ServiceRequestsLost() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return serviceRequestsLost_;
}

void Faults::Clear() {
    std::lock_guard<std::mutex> lock(mutex_);
    replyDelayMs_ = traceDelayMs_ = swallow_ = garble_ = esrBits_ = 0;
    dropOnMessage_ = dropDuringReply_ = truncate_ = esrPersistent_ = serviceRequestsLost_ = false;
    dropAfterBytes_ = truncateKeep_ = 0;
    truncateTerminate_ = true;
    idnModel_.clear();
}

int Faults::ReplyDelayMs() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return replyDelayMs_;
}

int Faults::TraceDelayMs() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return traceDelayMs_;
}

std::string Faults::IdnModel() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return idnModel_;
}

int Faults::PendingSwallows() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return swallow_;
}

bool Faults::TakeDropOnMessage() {
    std::lock_guard<std::mutex> lock(mutex_);
    return std::exchange(dropOnMessage_, false);
}

ReplyPlan Faults::PlanReply(std::string reply) {
    std::lock_guard<std::mutex> lock(mutex_);
    ReplyPlan plan;
    plan.delay = std::chrono::milliseconds(replyDelayMs_);
    if (swallow_ > 0) {
        --swallow_;
        plan.send = false;
        return plan;
    }
    if (garble_ > 0) {
        --garble_;
        reply = std::string(kGarbage, sizeof kGarbage - 1) + "\n";
    }
    if (truncate_) {
        truncate_ = false;
        if (truncateKeep_ < reply.size()) {
            reply.resize(truncateKeep_);
            if (truncateTerminate_) reply += '\n';
        }
    }
    if (dropDuringReply_) {
        dropDuringReply_ = false;
        reply.resize(std::min(reply.size(), dropAfterBytes_));
        plan.closeAfter = true;
    }
    plan.bytes = std::move(reply);
    return plan;
}

int Faults::TakeEsrBits() {
    std::lock_guard<std::mutex> lock(mutex_);
    int bits = esrBits_;
    if (!esrPersistent_) esrBits_ = 0;
    return bits;
}

std::string Faults::Describe() const {
    std::lock_guard<std::mutex> lock(mutex_);
    std::string text;
    auto add = [&text](const std::string& item) {
        if (!text.empty()) text += ',';
        text += item;
    };
    if (replyDelayMs_) add("DEL " + std::to_string(replyDelayMs_));
    if (serviceRequestsLost_) add("SRQ 1");
    if (swallow_) add("SWAL " + std::to_string(swallow_));
    if (dropOnMessage_) add("DROP IMM");
    if (dropDuringReply_) add("DROP " + std::to_string(dropAfterBytes_));
    if (garble_) add("GARB " + std::to_string(garble_));
    if (truncate_) add("TRUN " + std::to_string(truncateKeep_));
    if (esrBits_) add("ESR " + std::to_string(esrBits_) + (esrPersistent_ ? " PERS" : " ONCE"));
    if (!idnModel_.empty()) add("IDN " + idnModel_);
    if (traceDelayMs_) add("TRAC:DEL " + std::to_string(traceDelayMs_));
    std::string quoted = "\"";
    return quoted.append(text.empty() ? std::string("NONE") : text).append("\"");
}

}  // namespace emulator
