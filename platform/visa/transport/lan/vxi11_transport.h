// TCPIP::host[::device]::INSTR over VXI-11 (ONC RPC core channel). The
// instrument ends reads itself (END, termination character, count); a read
// that timed out is followed by a device clear before the next write, so
// that its late reply is never taken for the next one. A call whose RPC reply
// did not come in time, or a broken connection, ends the link; the next call
// links again. Service requests arrive on the interrupt channel, which the
// first wait for one asks the instrument to open back to us.
#pragma once

#include <memory>
#include <optional>
#include <string>

#include "platform/visa/transport/lan/rpc_client.h"
#include "platform/visa/transport/lan/vxi11_interrupt_server.h"
#include "platform/visa/transport/transport.h"

namespace visa {

class Vxi11Transport final : public Transport {
public:
    // Without a port the host's portmapper is asked for it.
    static Status Open(const std::string& host, std::optional<std::uint16_t> port, const std::string& device,
                       bool lockDevice, Deadline deadline, std::unique_ptr<Transport>* transport);
    ~Vxi11Transport() override;

    Status Write(const std::uint8_t* data, std::size_t size, bool end, Deadline deadline) override;
    Status Read(const ReadRequest& request, Deadline deadline, ReadResult* result) override;
    Status Clear(Deadline deadline) override;
    Status ReadStatusByte(Deadline deadline, std::uint8_t* statusByte) override;
    Status Trigger(Deadline deadline) override;
    Status WaitForServiceRequest(Deadline deadline, std::uint8_t* statusByte) override;

private:
    Vxi11Transport(std::string host, std::uint16_t port, std::string device, bool lockDevice);

    Status Link(Deadline deadline);
    void Unlink();
    // Links again when the connection was closed after a failure.
    Status EnsureLinked(Deadline deadline);
    // Prepares the RPC for a device operation and returns its io_timeout.
    unsigned long BeginCall(Deadline deadline);
    Status DeviceError(long error, const char* operation);
    // A call that passes the link and its time-outs alone (clear, trigger,
    // status byte); a device error in the response fails it.
    template <class Response>
    Status GenericCall(rpcproc_t procedure, xdrproc_t decodeResponse, const char* name, Deadline deadline,
                       Response* response);
    Status ClearLink(Deadline deadline);
    // Has the instrument connect its interrupt channel to us and report
    // service requests of this link on it.
    Status OpenInterruptChannel(Deadline deadline);

    std::string host_;
    std::uint16_t port_;
    std::string device_;
    bool lockDevice_;
    RpcClient rpc_;
    long link_ = 0;
    bool linked_ = false;
    std::size_t maxReceiveSize_ = 0;
    bool stale_ = false;  // a reply may still be waiting in the instrument
    Vxi11InterruptServer interrupts_;
    bool interruptChannelOpen_ = false;   // for the current link
    bool interruptsUnsupported_ = false;  // the instrument has no interrupt channel: poll
};

}  // namespace visa
