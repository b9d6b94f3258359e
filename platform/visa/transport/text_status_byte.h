// Status byte and trigger for links without a protocol for them (raw
// sockets, serial lines): the IEEE 488.2 "*STB?" query and "*TRG" command,
// and waiting for a service request by polling the former. Such links carry
// no END either.
#pragma once

#include <cstdint>

#include "platform/visa/transport/transport.h"

namespace visa {

class TextStatusByteTransport : public Transport {
public:
    Status ReadStatusByte(Deadline deadline, std::uint8_t* statusByte) final;
    Status Trigger(Deadline deadline) final;
    Status WaitForServiceRequest(Deadline deadline, std::uint8_t* statusByte) final;
    bool CarriesEnd() const final { return false; }
};

}  // namespace visa
