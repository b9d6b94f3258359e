#include "platform/visa/transport/lan/socket_transport.h"

#include <cstring>

#include "platform/visa/transport/lan/tcp_connect.h"

namespace visa {
namespace {

constexpr std::size_t kReceiveChunk = 64 * 1024;

}  // namespace

SocketTransport::SocketTransport(std::string host, std::uint16_t port)
    : host_(std::move(host)), port_(port), peer_(PeerName(host_, port)) {}

Status SocketTransport::Open(const std::string& host, std::uint16_t port, Deadline deadline,
                             std::unique_ptr<Transport>* transport) {
    std::unique_ptr<SocketTransport> opened(new SocketTransport(host, port));
    if (Status status = opened->Connect(deadline); !status.ok()) return status;
    *transport = std::move(opened);
    return Status::Ok();
}

Status SocketTransport::Connect(Deadline deadline) {
    armedMs_ = -1;
    if (Status status = ConnectTcp(host_, port_, deadline, &socket_); !status.ok()) return status;
    return SetBlocking(socket_.get());
}

Status SocketTransport::Reconnect(Deadline deadline) {
    socket_.reset();
    received_.clear();
    stale_ = false;
    return Connect(deadline);
}

Status SocketTransport::Abandon(Status failure) {
    if (failure.code == E_VISA_TMO) {
        stale_ = true;
    } else if (failure.code == E_VISA_CONN_LOST) {
        socket_.reset();
    }
    return failure;
}

Status SocketTransport::Write(const std::uint8_t* data, std::size_t size, bool /*end*/, Deadline deadline) {
    if (stale_ || !socket_.valid()) {
        if (Status status = Reconnect(deadline); !status.ok()) return status;
    }
    return Abandon(WriteAll(socket_.get(), data, size, deadline, peer_));
}

Status SocketTransport::Receive(const ReadRequest& request, std::size_t* filled, Deadline deadline, bool* hitTermChar) {
    *hitTermChar = false;
    std::uint8_t* const into = request.buffer + *filled;
    const std::size_t room = request.count - *filled;
    std::size_t got = 0;
    if (!received_.empty() || room < kReceiveChunk) {
        std::uint8_t* space = received_.Reserve(kReceiveChunk);
        Status status = ReceiveWaiting(socket_.get(), space, kReceiveChunk, deadline, peer_, &armedMs_, &got);
        received_.Commit(got);
        return status;
    }
    // A large read with nothing buffered receives straight into the caller's
    // buffer: a long reply is then copied once, not twice.
    Status status = ReceiveWaiting(socket_.get(), into, room, deadline, peer_, &armedMs_, &got);
    std::size_t used = got;
    if (request.termCharEnabled && got > 0) {
        if (const void* at = std::memchr(into, request.termChar, got)) {
            used = static_cast<std::size_t>(static_cast<const std::uint8_t*>(at) - into) + 1;
            *hitTermChar = true;
        }
    }
    // What followed the termination character belongs to the next read.
    if (got > used) {
        std::memcpy(received_.Reserve(got - used), into + used, got - used);
        received_.Commit(got - used);
    }
    *filled += used;
    return status;
}

Status SocketTransport::Read(const ReadRequest& request, Deadline deadline, ReadResult* result) {
    *result = ReadResult{};
    if (!socket_.valid()) return Status::Fail(E_VISA_CONN_LOST, "Connection to " + peer_ + " lost.");
    std::size_t filled = 0;
    while (!received_.Completes(request, &filled, &result->end)) {
        // Without a termination character the end of the waiting data is the end.
        const bool waitingOnly = filled > 0 && !request.termCharEnabled;
        bool hitTermChar = false;
        const Status status = Receive(request, &filled, waitingOnly ? Deadline::After(0) : deadline, &hitTermChar);
        if (hitTermChar) {
            result->end = ReadEnd::TermChar;
            break;
        }
        if (waitingOnly && status.code == E_VISA_TMO) {
            result->end = ReadEnd::End;
            break;
        }
        if (!status.ok()) return Abandon(status);
    }
    result->count = filled;
    return Status::Ok();
}

Status SocketTransport::Clear(Deadline deadline) { return Reconnect(deadline); }

}  // namespace visa
