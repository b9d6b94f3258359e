#include "platform/visa/transport/lan/vxi11_interrupt_server.h"

#include <poll.h>
#include <rpc/rpc.h>
#include <sys/socket.h>

#include <cerrno>

#include "platform/protocol/rpc_call.h"
#include "platform/protocol/rpc_record_mark.h"
#include "platform/visa/transport/lan/rpc_client.h"
#include "platform/visa/transport/transport.h"
#include "rpc/vxi11.h"

namespace visa {
namespace {

using protocol::kRecordMarkSize;

// A service request call is well under a hundred bytes; a record much larger
// than credentials allow is not one and ends the connection.
constexpr std::size_t kMaxRecord = 4096;
bool IsServiceRequest(const std::vector<std::uint8_t>& record) {
    const protocol::RpcCall call(record.data(), record.size());
    return call.valid() && call.program() == DEVICE_INTR && call.version() == DEVICE_INTR_VERSION &&
           call.procedure() == device_intr_srq;
}

}  // namespace

Status Vxi11InterruptServer::Listen(const sockaddr_in& local) {
    UniqueFd listener(::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0));
    sockaddr_in address = local;
    address.sin_port = 0;
    socklen_t length = sizeof address;
    if (!listener.valid() || ::bind(listener.get(), reinterpret_cast<const sockaddr*>(&address), sizeof address) < 0 ||
        ::listen(listener.get(), 2) < 0 ||
        ::getsockname(listener.get(), reinterpret_cast<sockaddr*>(&address), &length) < 0) {
        return Status::FromErrno(E_VISA_SYSTEM_ERROR, "Cannot listen for the VXI-11 interrupt channel", errno);
    }
    listener_ = std::move(listener);
    address_ = address;
    return Status::Ok();
}

Status Vxi11InterruptServer::WaitForRequest(Deadline deadline, const Interruption& interruption) {
    for (;;) {
        if (TakeRequests()) return Status::Ok();
        pollfd entries[3] = {
            {interruption.fd(), POLLIN, 0}, {listener_.get(), POLLIN, 0}, {connection_.get(), POLLIN, 0}};
        const int ready = ::poll(entries, connection_.valid() ? 3 : 2, deadline.PollMilliseconds());
        if (ready < 0 && errno != EINTR) {
            return Status::FromErrno(E_VISA_SYSTEM_ERROR, "poll failed", errno);
        }
        if (entries[0].revents != 0) return ServiceRequestWaitInterrupted();
        if (ready == 0) return ServiceRequestWaitTimedOut();
        if (entries[1].revents != 0) Accept();
        if (connection_.valid() && entries[2].revents != 0 && !Receive()) {
            connection_.reset();
            input_.clear();
        }
    }
}

void Vxi11InterruptServer::Accept() {
    // An instrument that connects again has given up its previous connection.
    UniqueFd accepted(::accept4(listener_.get(), nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC));
    if (!accepted.valid()) return;
    connection_ = std::move(accepted);
    input_.clear();
}

bool Vxi11InterruptServer::Receive() {
    std::uint8_t buffer[1024];
    const ssize_t got = ::recv(connection_.get(), buffer, sizeof buffer, 0);
    if (got < 0) return errno == EAGAIN || errno == EINTR;
    if (got == 0) return false;
    input_.insert(input_.end(), buffer, buffer + got);
    return true;
}

bool Vxi11InterruptServer::TakeRequests() {
    bool requested = false;
    for (;;) {
        // Finds the end of the first complete record, fragment by fragment.
        std::vector<std::uint8_t> record;
        std::size_t at = 0;
        bool complete = false;
        while (!complete && at + kRecordMarkSize <= input_.size()) {
            const protocol::RecordMark mark = protocol::ReadRecordMark(&input_[at]);
            const std::size_t length = mark.length;
            if (record.size() + length > kMaxRecord) {
                connection_.reset();
                input_.clear();
                return requested;
            }
            if (at + kRecordMarkSize + length > input_.size()) break;
            record.insert(record.end(), input_.begin() + static_cast<std::ptrdiff_t>(at + kRecordMarkSize),
                          input_.begin() + static_cast<std::ptrdiff_t>(at + kRecordMarkSize + length));
            at += kRecordMarkSize + length;
            complete = mark.last;
        }
        if (!complete) return requested;
        input_.erase(input_.begin(), input_.begin() + static_cast<std::ptrdiff_t>(at));
        if (IsServiceRequest(record)) {
            requested = true;
            Answer(protocol::GetBigEndian32(record.data()));
        }
    }
}

// Instruments that wait for the (empty) result get it; those that send the
// call one-way never read it, so a full socket just drops it.
void Vxi11InterruptServer::Answer(std::uint32_t xid) {
    rpc_msg reply{};
    reply.rm_xid = xid;
    reply.rm_direction = REPLY;
    reply.rm_reply.rp_stat = MSG_ACCEPTED;
    reply.acpted_rply.ar_verf = opaque_auth{AUTH_NONE, nullptr, 0};
    reply.acpted_rply.ar_stat = SUCCESS;
    reply.acpted_rply.ar_results.where = nullptr;
    reply.acpted_rply.ar_results.proc = Xdr(xdr_void);
    std::uint8_t out[64];
    XDR xdrs;
    xdrmem_create(&xdrs, reinterpret_cast<char*>(out + kRecordMarkSize), sizeof out - kRecordMarkSize, XDR_ENCODE);
    const bool encoded = xdr_replymsg(&xdrs, &reply);
    const std::uint32_t length = xdr_getpos(&xdrs);
    xdr_destroy(&xdrs);
    if (!encoded) return;
    protocol::PutWholeRecordMark(length, out);
    ::send(connection_.get(), out, kRecordMarkSize + length, MSG_NOSIGNAL | MSG_DONTWAIT);
}

}  // namespace visa
