// The client's end of the VXI-11 interrupt channel: a TCP listener that the
// instrument connects back to, serving the one procedure of the interrupt
// program (device_intr_srq). It needs no thread of its own: the waiting
// thread polls the listener, the instrument's connection and the
// transport's interruption.
#pragma once

#include <netinet/in.h>

#include <cstdint>
#include <vector>

#include "platform/visa/status.h"
#include "platform/visa/transport/deadline.h"
#include "platform/visa/transport/fd_io.h"
#include "platform/visa/transport/interruption.h"

namespace visa {

class Vxi11InterruptServer {
public:
    // Listens on an ephemeral port of `local`, the address our end of the
    // core channel has, so the instrument reaches us the way we reach it.
    Status Listen(const sockaddr_in& local);
    bool listening() const { return listener_.valid(); }
    const sockaddr_in& address() const { return address_; }

    // Waits for a device_intr_srq call. Calls that arrived since the last
    // wait count, so a request is never lost between two waits. Fails with
    // E_VISA_TMO at the deadline and with E_VISA_INV_OBJECT once
    // `interruption` is raised.
    Status WaitForRequest(Deadline deadline, const Interruption& interruption);

private:
    void Accept();
    // Reads what the instrument sent; false when the connection ended.
    bool Receive();
    // Takes complete records off the input; true when one was a service request.
    bool TakeRequests();
    void Answer(std::uint32_t xid);

    UniqueFd listener_;
    UniqueFd connection_;
    sockaddr_in address_{};
    std::vector<std::uint8_t> input_;
};

}  // namespace visa
