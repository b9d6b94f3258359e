#include "platform/visa/transport/transport.h"

#include "platform/visa/visacom.h"

namespace visa {

Status Transport::WaitForServiceRequest(Deadline, std::uint8_t*) {
    return Status::Fail(E_VISA_NSUP_OPER, "Waiting for a service request is not supported on this interface.");
}

Status Transport::PollForServiceRequest(Deadline deadline, std::uint8_t* statusByte) {
    // Often enough to notice a finished operation promptly, rarely enough to
    // leave the instrument's parser to the measurement.
    constexpr int kPollIntervalMs = 50;
    for (;;) {
        if (interruption_.raised()) return ServiceRequestWaitInterrupted();
        Status status = ReadStatusByte(deadline, statusByte);
        if (status.code == E_VISA_TMO) return ServiceRequestWaitTimedOut();
        if (!status.ok()) return status;
        if (*statusByte & kRequestServiceBit) return Status::Ok();
        if (deadline.Expired()) return ServiceRequestWaitTimedOut();
        interruption_.Sleep(kPollIntervalMs, deadline);
    }
}

Status ServiceRequestWaitTimedOut() { return Status::Fail(E_VISA_TMO, "Timed out waiting for a service request."); }

Status ServiceRequestWaitInterrupted() {
    return Status::Fail(E_VISA_INV_OBJECT, "The session was closed while waiting for a service request.");
}

}  // namespace visa
