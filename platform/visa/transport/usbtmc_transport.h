// USB[board]::vid::pid::serial::INSTR through the Linux usbtmc driver
// (/dev/usbtmcN): the kernel does the USBTMC framing; END of a read comes
// from the EOM attribute of the last transfer, time-outs from its time-out
// setting. A read that timed out is followed by a clear before the next write.
// Service requests come from the interrupt-IN endpoint, which the kernel
// driver reports as priority data on the device.
#pragma once

#include <memory>
#include <optional>
#include <string>

#include "platform/visa/transport/fd_io.h"
#include "platform/visa/transport/transport.h"

namespace visa {

class UsbtmcTransport final : public Transport {
public:
    static Status Open(const std::string& devicePath, std::unique_ptr<Transport>* transport);

    Status Write(const std::uint8_t* data, std::size_t size, bool end, Deadline deadline) override;
    Status Read(const ReadRequest& request, Deadline deadline, ReadResult* result) override;
    Status Clear(Deadline deadline) override;
    Status ReadStatusByte(Deadline deadline, std::uint8_t* statusByte) override;
    Status Trigger(Deadline deadline) override;
    Status WaitForServiceRequest(Deadline deadline, std::uint8_t* statusByte) override;

private:
    explicit UsbtmcTransport(std::string devicePath) : path_(std::move(devicePath)) {}

    void ApplyTimeout(Deadline deadline);
    void ApplyTermChar(const ReadRequest& request);
    Status Failure(const char* action, int err);

    std::string path_;
    UniqueFd device_;
    std::optional<std::uint32_t> timeoutMs_;
    std::optional<bool> eom_;
    std::optional<std::pair<bool, std::uint8_t>> termChar_;
    bool stale_ = false;
};

}  // namespace visa
