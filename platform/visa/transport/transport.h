// One connection to one instrument, whatever carries it. The session above
// turns VISA attributes into these calls; each call finishes by its deadline.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/visa/status.h"
#include "platform/visa/transport/deadline.h"
#include "platform/visa/transport/interruption.h"

namespace visa {

// Why a read stopped.
enum class ReadEnd { Count, End, TermChar };

struct ReadRequest {
    std::uint8_t* buffer = nullptr;
    std::size_t count = 0;
    bool termCharEnabled = false;
    std::uint8_t termChar = '\n';
};

struct ReadResult {
    std::size_t count = 0;
    ReadEnd end = ReadEnd::Count;
};

// Request service (RQS) in the status byte.
constexpr std::uint8_t kRequestServiceBit = 0x40;

// How every transport ends a service-request wait that did not see one.
Status ServiceRequestWaitTimedOut();
Status ServiceRequestWaitInterrupted();

class Transport {
public:
    virtual ~Transport() = default;

    // Sends all bytes; `end` marks the last byte as the end of the message.
    virtual Status Write(const std::uint8_t* data, std::size_t size, bool end, Deadline deadline) = 0;
    // Fills the buffer until it is full, the message ends, or (when enabled)
    // the termination character has been stored. After a time-out the
    // transport makes sure that what was left of that reply never reaches a
    // later read.
    virtual Status Read(const ReadRequest& request, Deadline deadline, ReadResult* result) = 0;
    // Device clear: discards pending input and output on both sides where the
    // protocol allows it.
    virtual Status Clear(Deadline deadline) = 0;
    virtual Status ReadStatusByte(Deadline deadline, std::uint8_t* statusByte) = 0;
    virtual Status Trigger(Deadline deadline) = 0;
    // Whether the link marks the end of a message (END); where it does not,
    // the termination character is the only end a reply has.
    virtual bool CarriesEnd() const { return true; }

    // Waits until the instrument requests service and returns its status
    // byte. Transports without a way to learn of it report E_VISA_NSUP_OPER.
    virtual Status WaitForServiceRequest(Deadline deadline, std::uint8_t* statusByte);
    // Ends a WaitForServiceRequest running on another thread, now and for
    // good: the transport is about to be closed.
    virtual void Interrupt() { interruption_.Raise(); }

protected:
    // The fallback where no message announces a request: serial polls at a
    // bounded rate until the request-service bit is set.
    Status PollForServiceRequest(Deadline deadline, std::uint8_t* statusByte);

    Interruption interruption_;
};

}  // namespace visa
