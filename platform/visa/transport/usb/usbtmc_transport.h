// USB[board]::vid::pid[::serial[::intf]]::INSTR through the Linux usbtmc
// driver (/dev/usbtmcN): the kernel does the USBTMC framing, one request per
// read(); END of a read comes from the EOM attribute of its last transfer,
// time-outs from the file's time-out, which the kernel applies to each
// transfer and so is set from the time left before each call. After a
// time-out or a lost step the device is cleared before its next bulk
// transfer, and after an unplug the device is looked up and opened again.
// Service requests come from the interrupt-IN endpoint, which the kernel
// reports as priority data on the file.
#pragma once

#include <future>
#include <memory>
#include <optional>
#include <string>
#include <utility>

#include "platform/visa/transport/transport.h"
#include "platform/visa/transport/usb/usbtmc_locate.h"
#include "platform/visa/transport/usb/usbtmc_system.h"

namespace visa {

class UsbtmcTransport final : public Transport {
public:
    // With `exclusiveLock`, holds an exclusive flock on the node so that no
    // other process mixes its traffic with ours; waits for it until `deadline`.
    static Status Open(const UsbtmcHost& host, const UsbtmcQuery& query, bool exclusiveLock, Deadline deadline,
                       std::unique_ptr<Transport>* transport);
    ~UsbtmcTransport() override;

    Status Write(const std::uint8_t* data, std::size_t size, bool end, Deadline deadline) override;
    Status Read(const ReadRequest& request, Deadline deadline, ReadResult* result) override;
    Status Clear(Deadline deadline) override;
    Status ReadStatusByte(Deadline deadline, std::uint8_t* statusByte) override;
    Status Trigger(Deadline deadline) override;
    Status WaitForServiceRequest(Deadline deadline, std::uint8_t* statusByte) override;

private:
    UsbtmcTransport(UsbtmcHost host, UsbtmcQuery query, bool exclusiveLock)
        : host_(std::move(host)), query_(std::move(query)), exclusiveLock_(exclusiveLock) {}

    Status Connect(Deadline deadline);
    Status Lock(Deadline deadline);
    void CloseDevice();
    // Reopens an unplugged device and clears one that lost step.
    Status Ready(Deadline deadline);
    // The kernel bounds CLEAR and READ_STB by a fixed 5 s of its own, not by
    // the file's time-out: they run on a helper thread, and a caller whose
    // deadline passes first gets a time-out while the next call waits for them.
    Status ControlRequest(unsigned long request, const char* action, Deadline deadline);
    Status Await(Deadline deadline, int* err);
    Status Settle(Deadline deadline);
    Status ApplyTimeout(Deadline deadline);
    void ApplyTermChar(const ReadRequest& request);
    Status SetEom(bool end);
    Status Send(const std::uint8_t* data, std::size_t size, bool end, Deadline deadline);
    // Sends the byte held back, with END when `end`.
    Status SendHeld(bool end, Deadline deadline);
    Status ReadOnce(std::uint8_t* buffer, std::size_t size, ssize_t* got);
    Status LostStep(Deadline deadline);
    Status Failure(const char* action, int err);
    Status Unsupported(const std::string& what) const;

    UsbtmcSystem& system() { return *host_.system; }

    const UsbtmcHost host_;
    const UsbtmcQuery query_;
    const bool exclusiveLock_;
    std::string path_;
    int device_ = -1;
    unsigned char capabilities_ = 0;  // USB488 capabilities as the kernel encodes them
    // The file's settings as the kernel holds them.
    std::optional<std::uint32_t> timeoutMs_;
    bool eom_ = true;
    std::pair<bool, std::uint8_t> termChar_{false, '\n'};
    bool termCharRefused_ = false;
    // The last byte of a message written without END: the kernel sends no
    // empty transfer, so the END that closes the message travels with it.
    std::optional<std::uint8_t> held_;
    bool stale_ = false;
    bool lost_ = false;
    std::future<int> pending_;  // errno of the control request, 0 when it succeeded
    unsigned char controlByte_ = 0;
};

}  // namespace visa
