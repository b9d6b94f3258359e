#include "platform/visa/transport/lan/vxi11_transport.h"

#include <arpa/inet.h>
#include <sys/socket.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "platform/visa/transport/lan/portmapper.h"
#include "rpc/vxi11.h"

namespace visa {
namespace {

// Device_Flags and reasons of the VXI-11 core channel.
constexpr long kFlagEnd = 0x08;
constexpr long kFlagTermCharSet = 0x80;
constexpr long kReasonRequestCount = 0x01;
constexpr long kReasonTermChar = 0x02;
constexpr long kReasonEnd = 0x04;

constexpr long kErrorOperationNotSupported = 8;
constexpr long kErrorIoTimeout = 15;
// The reply may take a little longer than the instrument's own time-out;
// kept short so that a lost reply is reported soon after the time-out.
constexpr std::uint32_t kRpcMarginMs = 200;
// Used when a server announces no limit at all (the protocol promises 1024).
constexpr std::size_t kMinimumReceiveSize = 1024;
// The serial poll after a service request has its own bound, so that a
// request arriving just before the wait's deadline is still read.
constexpr std::int64_t kStatusAfterRequestMs = 2000;

const char* DeviceErrorText(long error) {
    switch (error) {
        case 1:
            return "syntax error";
        case 3:
            return "device not accessible";
        case 4:
            return "invalid link identifier";
        case 5:
            return "parameter error";
        case 6:
            return "channel not established";
        case 8:
            return "operation not supported";
        case 9:
            return "out of resources";
        case 11:
            return "device locked by another link";
        case 12:
            return "no lock held by this link";
        case 15:
            return "I/O timeout";
        case 17:
            return "I/O error";
        case 21:
            return "invalid address";
        case 23:
            return "abort";
        case 29:
            return "channel already established";
        default:
            return "unknown error";
    }
}

// A device_read reply decoded straight into the caller's buffer. Its data may
// claim no more than was asked for: a corrupt length then fails the decoding
// before anything is allocated or written.
struct ReadReply {
    std::uint8_t* buffer;
    u_int capacity;
    Device_ErrorCode error = 0;
    long reason = 0;
    u_int size = 0;  // as claimed
};

bool_t DecodeReadReply(XDR* xdrs, ReadReply* reply) {
    return xdr_Device_ErrorCode(xdrs, &reply->error) && xdr_long(xdrs, &reply->reason) &&
           xdr_u_int(xdrs, &reply->size) && reply->size <= reply->capacity &&
           xdr_opaque(xdrs, reinterpret_cast<char*>(reply->buffer), reply->size);
}

}  // namespace

Vxi11Transport::Vxi11Transport(std::string host, std::uint16_t port, std::string device, bool lockDevice)
    : host_(std::move(host)), port_(port), device_(std::move(device)), lockDevice_(lockDevice) {}

Vxi11Transport::~Vxi11Transport() { Unlink(); }

Status Vxi11Transport::Open(const std::string& host, std::optional<std::uint16_t> port, const std::string& device,
                            bool lockDevice, Deadline deadline, std::unique_ptr<Transport>* transport) {
    std::uint16_t corePort = 0;
    if (port) {
        corePort = *port;
    } else if (Status status = QueryPortmapper(host, DEVICE_CORE, DEVICE_CORE_VERSION, deadline, &corePort);
               !status.ok()) {
        return status;
    }
    std::unique_ptr<Vxi11Transport> opened(new Vxi11Transport(host, corePort, device, lockDevice));
    if (Status status = opened->Link(deadline); !status.ok()) return status;
    *transport = std::move(opened);
    return Status::Ok();
}

Status Vxi11Transport::Link(Deadline deadline) {
    if (Status status = rpc_.Connect(host_, port_, DEVICE_CORE, DEVICE_CORE_VERSION, deadline); !status.ok()) {
        return status;
    }
    Create_LinkParms parms{};
    parms.clientId = static_cast<long>(reinterpret_cast<std::uintptr_t>(this) & 0x7FFFFFFF);
    parms.lockDevice = lockDevice_ ? 1 : 0;
    parms.lock_timeout = deadline.RemainingMilliseconds();
    parms.device = device_.data();
    Create_LinkResp response{};
    rpc_.SetCallTimeout(deadline.RemainingMilliseconds());
    if (Status status = rpc_.Call(create_link, Xdr(xdr_Create_LinkParms), &parms, Xdr(xdr_Create_LinkResp), &response,
                                  "create_link");
        !status.ok()) {
        rpc_.Close();
        return status;
    }
    if (response.error != 0) {
        rpc_.Close();
        return Status::Fail(E_VISA_RSRC_NFOUND, "VXI-11 server " + rpc_.peer() + " refused device \"" + device_ +
                                                    "\": error " + std::to_string(response.error) + " (" +
                                                    DeviceErrorText(response.error) + ").");
    }
    link_ = response.lid;
    linked_ = true;
    stale_ = false;
    maxReceiveSize_ = response.maxRecvSize > 0 ? response.maxRecvSize : kMinimumReceiveSize;
    return Status::Ok();
}

void Vxi11Transport::Unlink() {
    if (linked_ && rpc_.connected()) {
        Device_Error response{};
        rpc_.SetCallTimeout(1000);
        if (interruptChannelOpen_) {
            rpc_.Call(destroy_intr_chan, Xdr(xdr_void), nullptr, Xdr(xdr_Device_Error), &response, "destroy_intr_chan");
        }
        rpc_.Call(destroy_link, Xdr(xdr_Device_Link), &link_, Xdr(xdr_Device_Error), &response, "destroy_link");
    }
    linked_ = false;
    interruptChannelOpen_ = false;
    rpc_.Close();
}

unsigned long Vxi11Transport::BeginCall(Deadline deadline) {
    const std::uint32_t ioTimeout = deadline.RemainingMilliseconds();
    rpc_.SetCallTimeout(deadline.infinite() ? 0xFFFFFFFFu : ioTimeout + kRpcMarginMs);
    return ioTimeout;
}

Status Vxi11Transport::EnsureLinked(Deadline deadline) {
    if (rpc_.connected()) return Status::Ok();
    // A connection that broke or fell behind is replaced with a new link.
    Unlink();
    return Link(deadline);
}

Status Vxi11Transport::DeviceError(long error, const char* operation) {
    if (error == kErrorIoTimeout) return Status::Timeout();
    return Status::Fail(E_VISA_IO, std::string(operation) + " on " + rpc_.peer() + " failed: error " +
                                       std::to_string(error) + " (" + DeviceErrorText(error) + ").");
}

template <class Response>
Status Vxi11Transport::GenericCall(rpcproc_t procedure, xdrproc_t decodeResponse, const char* name, Deadline deadline,
                                   Response* response) {
    Device_GenericParms parms{link_, 0, 0, BeginCall(deadline)};
    if (Status status = rpc_.Call(procedure, Xdr(xdr_Device_GenericParms), &parms, decodeResponse, response, name);
        !status.ok()) {
        return status;
    }
    return response->error != 0 ? DeviceError(response->error, name) : Status::Ok();
}

Status Vxi11Transport::ClearLink(Deadline deadline) {
    Device_Error response{};
    if (Status status = GenericCall(device_clear, Xdr(xdr_Device_Error), "device_clear", deadline, &response);
        !status.ok()) {
        return status;
    }
    stale_ = false;
    return Status::Ok();
}

Status Vxi11Transport::Write(const std::uint8_t* data, std::size_t size, bool end, Deadline deadline) {
    if (Status status = EnsureLinked(deadline); !status.ok()) return status;
    if (stale_) {
        if (Status status = ClearLink(deadline); !status.ok()) return status;
    }
    do {
        const std::size_t chunk = std::min(size, maxReceiveSize_);
        Device_WriteParms parms{};
        parms.lid = link_;
        parms.io_timeout = BeginCall(deadline);
        parms.flags = (chunk == size && end) ? kFlagEnd : 0;
        parms.data.data_len = static_cast<u_int>(chunk);
        parms.data.data_val = reinterpret_cast<char*>(const_cast<std::uint8_t*>(data));
        Device_WriteResp response{};
        if (Status status = rpc_.Call(device_write, Xdr(xdr_Device_WriteParms), &parms, Xdr(xdr_Device_WriteResp),
                                      &response, "device_write");
            !status.ok()) {
            return status;
        }
        if (response.error != 0) return DeviceError(response.error, "device_write");
        const std::size_t taken = std::min<std::size_t>(response.size, chunk);
        if (taken == 0 && chunk > 0 && deadline.Expired()) return Status::Timeout();
        data += taken;
        size -= taken;
    } while (size > 0);
    return Status::Ok();
}

Status Vxi11Transport::Read(const ReadRequest& request, Deadline deadline, ReadResult* result) {
    *result = ReadResult{};
    if (Status status = EnsureLinked(deadline); !status.ok()) return status;
    std::size_t filled = 0;
    while (filled < request.count) {
        Device_ReadParms parms{};
        parms.lid = link_;
        parms.requestSize = static_cast<unsigned long>(std::min<std::size_t>(request.count - filled, 0xFFFFFFFFu));
        parms.io_timeout = BeginCall(deadline);
        parms.flags = request.termCharEnabled ? kFlagTermCharSet : 0;
        parms.termChar = static_cast<char>(request.termChar);
        ReadReply reply{request.buffer + filled, static_cast<u_int>(parms.requestSize)};
        Status status = rpc_.Call(device_read, Xdr(xdr_Device_ReadParms), &parms, Xdr(DecodeReadReply), &reply,
                                  "device_read", reply.capacity);
        if (!status.ok() && reply.size > reply.capacity) {
            // The client has closed the link: a server that lies about its data is not trusted further.
            status = Status::Fail(E_VISA_IO, "device_read reply from " + rpc_.peer() + " claims " +
                                                 std::to_string(reply.size) + " bytes, more than the " +
                                                 std::to_string(reply.capacity) + " asked for; connection closed.");
        }
        if (status.ok() && reply.error != 0) status = DeviceError(reply.error, "device_read");
        if (status.ok()) {
            filled += reply.size;
            if (reply.reason & kReasonEnd) {
                result->end = ReadEnd::End;
            } else if (reply.reason & kReasonTermChar) {
                result->end = ReadEnd::TermChar;
            } else if (reply.size == 0 && (reply.reason & kReasonRequestCount) == 0 && deadline.Expired()) {
                status = Status::Timeout();
            }
        }
        if (!status.ok()) {
            if (status.code == E_VISA_TMO) stale_ = true;
            return status;
        }
        if (result->end != ReadEnd::Count) break;
    }
    result->count = filled;
    return Status::Ok();
}

Status Vxi11Transport::Clear(Deadline deadline) {
    // A new link starts clean.
    if (!rpc_.connected()) return EnsureLinked(deadline);
    return ClearLink(deadline);
}

Status Vxi11Transport::ReadStatusByte(Deadline deadline, std::uint8_t* statusByte) {
    if (Status status = EnsureLinked(deadline); !status.ok()) return status;
    Device_ReadStbResp response{};
    if (Status status = GenericCall(device_readstb, Xdr(xdr_Device_ReadStbResp), "device_readstb", deadline, &response);
        !status.ok()) {
        return status;
    }
    *statusByte = response.stb;
    return Status::Ok();
}

Status Vxi11Transport::Trigger(Deadline deadline) {
    if (Status status = EnsureLinked(deadline); !status.ok()) return status;
    Device_Error response{};
    return GenericCall(device_trigger, Xdr(xdr_Device_Error), "device_trigger", deadline, &response);
}

Status Vxi11Transport::OpenInterruptChannel(Deadline deadline) {
    if (!interrupts_.listening()) {
        sockaddr_storage local{};
        socklen_t length = sizeof local;
        if (::getsockname(rpc_.socket(), reinterpret_cast<sockaddr*>(&local), &length) < 0) {
            return Status::FromErrno(E_VISA_SYSTEM_ERROR, "Cannot find our end of " + rpc_.peer(), errno);
        }
        if (local.ss_family != AF_INET) {
            // The protocol names the client's listener by an IPv4 address only.
            interruptsUnsupported_ = true;
            return Status::Ok();
        }
        if (Status status = interrupts_.Listen(reinterpret_cast<const sockaddr_in&>(local)); !status.ok()) {
            return status;
        }
    }
    Device_RemoteFunc function{};
    function.hostAddr = ntohl(interrupts_.address().sin_addr.s_addr);
    function.hostPort = ntohs(interrupts_.address().sin_port);
    function.progNum = DEVICE_INTR;
    function.progVers = DEVICE_INTR_VERSION;
    function.progFamily = DEVICE_TCP;
    Device_Error response{};
    BeginCall(deadline);
    if (Status status = rpc_.Call(create_intr_chan, Xdr(xdr_Device_RemoteFunc), &function, Xdr(xdr_Device_Error),
                                  &response, "create_intr_chan");
        !status.ok()) {
        return status;
    }
    if (response.error == kErrorOperationNotSupported) {
        interruptsUnsupported_ = true;
        return Status::Ok();
    }
    if (response.error != 0) return DeviceError(response.error, "create_intr_chan");
    interruptChannelOpen_ = true;
    // Any handle will do: the listener serves this link alone.
    char handle[sizeof link_];
    std::memcpy(handle, &link_, sizeof handle);
    Device_EnableSrqParms parms{link_, 1, {sizeof handle, handle}};
    BeginCall(deadline);
    if (Status status = rpc_.Call(device_enable_srq, Xdr(xdr_Device_EnableSrqParms), &parms, Xdr(xdr_Device_Error),
                                  &response, "device_enable_srq");
        !status.ok()) {
        return status;
    }
    if (response.error != 0) return DeviceError(response.error, "device_enable_srq");
    return Status::Ok();
}

Status Vxi11Transport::WaitForServiceRequest(Deadline deadline, std::uint8_t* statusByte) {
    if (interruption_.raised()) return ServiceRequestWaitInterrupted();
    if (Status status = EnsureLinked(deadline); !status.ok()) return status;
    if (!interruptChannelOpen_ && !interruptsUnsupported_) {
        if (Status status = OpenInterruptChannel(deadline); !status.ok()) return status;
        // A request raised before the channel was open never travels on it.
        if (interruptChannelOpen_) {
            Status status = ReadStatusByte(deadline, statusByte);
            if (!status.ok() || (*statusByte & kRequestServiceBit)) return status;
        }
    }
    if (interruptsUnsupported_) return PollForServiceRequest(deadline, statusByte);
    if (Status status = interrupts_.WaitForRequest(deadline, interruption_); !status.ok()) return status;
    // The call only says that service is requested; the serial poll says why.
    return ReadStatusByte(Deadline::After(kStatusAfterRequestMs), statusByte);
}

}  // namespace visa
