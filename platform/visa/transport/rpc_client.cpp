#include "platform/visa/transport/rpc_client.h"

#include <fcntl.h>
#include <sys/socket.h>

#include <cerrno>

#include "platform/visa/transport/tcp_connect.h"

namespace visa {

Status RpcClient::Connect(const std::string& host, std::uint16_t port, rpcprog_t program, rpcvers_t version,
                          Deadline deadline) {
    Close();
    peer_ = PeerName(host, port);
    if (Status status = ConnectTcp(host, port, deadline, &socket_); !status.ok()) return status;
    // The RPC library expects a blocking socket and waits with its own time-out.
    const int flags = ::fcntl(socket_.get(), F_GETFL);
    ::fcntl(socket_.get(), F_SETFL, flags & ~O_NONBLOCK);
    sockaddr_storage address{};
    socklen_t length = sizeof address;
    if (::getpeername(socket_.get(), reinterpret_cast<sockaddr*>(&address), &length) < 0) {
        Status failure = Status::FromErrno(E_VISA_RSRC_NFOUND, "Cannot reach " + peer_, errno);
        socket_.reset();
        return failure;
    }
    netbuf server{length, length, &address};
    client_ = clnt_vc_create(socket_.get(), &server, program, version, 0, 0);
    if (client_ == nullptr) {
        socket_.reset();
        return Status::Fail(E_VISA_RSRC_NFOUND, "Cannot start an RPC client for " + peer_ + ": " +
                                                    clnt_spcreateerror("") + ".");
    }
    return Status::Ok();
}

void RpcClient::Close() {
    if (client_ != nullptr) clnt_destroy(client_);
    client_ = nullptr;
    socket_.reset();
}

timeval RpcClient::Wait(std::uint32_t milliseconds) {
    timeval wait{};
    wait.tv_sec = milliseconds / 1000;
    wait.tv_usec = static_cast<suseconds_t>((milliseconds % 1000) * 1000);
    return wait;
}

void RpcClient::SetCallTimeout(std::uint32_t milliseconds) {
    timeval wait = Wait(milliseconds);
    clnt_control(client_, CLSET_TIMEOUT, reinterpret_cast<char*>(&wait));
}

Status RpcClient::Check(clnt_stat outcome, const char* call) {
    switch (outcome) {
        case RPC_SUCCESS:
            return Status::Ok();
        case RPC_TIMEDOUT:
            // The late reply may still arrive and would answer the next call:
            // the stream is one reply behind, so it goes.
            Close();
            return Status::Timeout();
        case RPC_CANTSEND:
        case RPC_CANTRECV:
        case RPC_CANTDECODERES: {
            Status lost = Status::Fail(E_VISA_CONN_LOST, std::string("Connection to ") + peer_ + " lost during " + call +
                                                             " (" + clnt_sperrno(outcome) + ").");
            Close();
            return lost;
        }
        default:
            return Status::Fail(E_VISA_IO, std::string(call) + " to " + peer_ + " failed: " + clnt_sperrno(outcome) + ".");
    }
}

}  // namespace visa
