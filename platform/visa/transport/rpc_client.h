// An ONC RPC client over a TCP connection that we opened ourselves, so that
// connecting honours the open time-out; every call is bounded by a deadline.
#pragma once

#include <rpc/rpc.h>

#include <cstdint>
#include <string>

#include "platform/visa/transport/deadline.h"
#include "platform/visa/transport/fd_io.h"
#include "platform/visa/status.h"

namespace visa {

class RpcClient {
public:
    RpcClient() = default;
    RpcClient(const RpcClient&) = delete;
    RpcClient& operator=(const RpcClient&) = delete;
    ~RpcClient() { Close(); }

    Status Connect(const std::string& host, std::uint16_t port, rpcprog_t program, rpcvers_t version,
                   Deadline deadline);
    void Close();
    bool connected() const { return client_ != nullptr; }
    CLIENT* get() const { return client_; }
    int socket() const { return socket_.get(); }
    const std::string& peer() const { return peer_; }

    // A call's time-out as the RPC library takes it.
    static timeval Wait(std::uint32_t milliseconds);
    // Sets the time the next call may wait for its reply.
    void SetCallTimeout(std::uint32_t milliseconds);
    // Turns a call's outcome into a status; a broken connection or a reply
    // that did not come in time closes the client.
    Status Check(clnt_stat outcome, const char* call);

private:
    UniqueFd socket_;
    CLIENT* client_ = nullptr;
    std::string peer_;
};

}  // namespace visa
