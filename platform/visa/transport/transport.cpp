#include "platform/visa/transport/transport.h"

#include "platform/visa/visacom.h"

namespace visa {

Status Transport::WaitForServiceRequest(Deadline, std::uint8_t*) {
    return Status::Fail(E_VISA_NSUP_OPER, "Waiting for a service request is not supported on this interface.");
}

Status ServiceRequestWaitTimedOut() {
    return Status::Fail(E_VISA_TMO, "Timed out waiting for a service request.");
}

Status ServiceRequestWaitInterrupted() {
    return Status::Fail(E_VISA_INV_OBJECT, "The session was closed while waiting for a service request.");
}

}  // namespace visa
