#include "platform/visa/transport/text_status_byte.h"

#include <cstdlib>

namespace visa {

Status QueryStatusByteAsText(Transport& transport, Deadline deadline, std::uint8_t* statusByte) {
    static const std::uint8_t query[] = {'*', 'S', 'T', 'B', '?', '\n'};
    if (Status status = transport.Write(query, sizeof query, true, deadline); !status.ok()) return status;
    char reply[32] = {};
    const ReadRequest request{reinterpret_cast<std::uint8_t*>(reply), sizeof reply - 1, true, '\n'};
    ReadResult result;
    if (Status status = transport.Read(request, deadline, &result); !status.ok()) return status;
    char* end = nullptr;
    const long value = std::strtol(reply, &end, 10);
    if (end == reply || value < 0 || value > 255) {
        return Status::Fail(E_VISA_IO, "Unexpected reply to *STB?: \"" + std::string(reply, result.count) + "\".");
    }
    *statusByte = static_cast<std::uint8_t>(value);
    return Status::Ok();
}

Status PollForServiceRequest(Transport& transport, Interruption& interruption, Deadline deadline,
                             std::uint8_t* statusByte) {
    // Often enough to notice a finished operation promptly, rarely enough to
    // leave the instrument's parser to the measurement.
    constexpr int kPollIntervalMs = 50;
    for (;;) {
        if (interruption.raised()) return ServiceRequestWaitInterrupted();
        Status status = transport.ReadStatusByte(deadline, statusByte);
        if (status.code == E_VISA_TMO) return ServiceRequestWaitTimedOut();
        if (!status.ok()) return status;
        if (*statusByte & kRequestServiceBit) return Status::Ok();
        if (deadline.Expired()) return ServiceRequestWaitTimedOut();
        interruption.Sleep(kPollIntervalMs, deadline);
    }
}

Status SendTriggerAsText(Transport& transport, Deadline deadline) {
    static const std::uint8_t command[] = {'*', 'T', 'R', 'G', '\n'};
    return transport.Write(command, sizeof command, true, deadline);
}

}  // namespace visa
