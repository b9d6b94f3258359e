// Status byte and trigger for links without a protocol for them (raw
// sockets, serial lines): the IEEE 488.2 "*STB?" query and "*TRG" command,
// and waiting for a service request by polling the former.
#pragma once

#include <cstdint>

#include "platform/visa/transport/transport.h"

namespace visa {

Status QueryStatusByteAsText(Transport& transport, Deadline deadline, std::uint8_t* statusByte);
// Serial polls at a bounded rate until the request-service bit is set.
Status PollForServiceRequest(Transport& transport, Interruption& interruption, Deadline deadline,
                             std::uint8_t* statusByte);
Status SendTriggerAsText(Transport& transport, Deadline deadline);

}  // namespace visa
