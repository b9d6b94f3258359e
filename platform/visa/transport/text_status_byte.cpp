#include "platform/visa/transport/text_status_byte.h"

#include <cstdlib>

namespace visa {

Status TextStatusByteTransport::ReadStatusByte(Deadline deadline, std::uint8_t* statusByte) {
    static const std::uint8_t query[] = {'*', 'S', 'T', 'B', '?', '\n'};
    if (Status status = Write(query, sizeof query, true, deadline); !status.ok()) return status;
    char reply[32] = {};
    const ReadRequest request{reinterpret_cast<std::uint8_t*>(reply), sizeof reply - 1, true, '\n'};
    ReadResult result;
    if (Status status = Read(request, deadline, &result); !status.ok()) return status;
    char* end = nullptr;
    const long value = std::strtol(reply, &end, 10);
    if (end == reply || value < 0 || value > 255) {
        return Status::Fail(E_VISA_IO, "Unexpected reply to *STB?: \"" + std::string(reply, result.count) + "\".");
    }
    *statusByte = static_cast<std::uint8_t>(value);
    return Status::Ok();
}

Status TextStatusByteTransport::WaitForServiceRequest(Deadline deadline, std::uint8_t* statusByte) {
    return PollForServiceRequest(deadline, statusByte);
}

Status TextStatusByteTransport::Trigger(Deadline deadline) {
    static const std::uint8_t command[] = {'*', 'T', 'R', 'G', '\n'};
    return Write(command, sizeof command, true, deadline);
}

}  // namespace visa
