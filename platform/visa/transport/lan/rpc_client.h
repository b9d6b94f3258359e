// An ONC RPC client over a TCP connection that we opened ourselves, so that
// connecting honours the open time-out; every call is bounded by a deadline.
// Messages are framed and decoded here, in memory, with the reply's verifier
// in our own storage: a malformed reply allocates nothing, so it cannot leak,
// and no reply is taken in beyond the size its call allows.
#pragma once

#include <rpc/rpc.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/visa/status.h"
#include "platform/visa/transport/deadline.h"
#include "platform/visa/transport/fd_io.h"

namespace visa {

// An XDR routine as the RPC calls take it; through void (*)(), the generic
// function pointer, since routines differ in their parameters (xdr_void has none).
template <class Routine>
xdrproc_t Xdr(Routine routine) {
    return reinterpret_cast<xdrproc_t>(reinterpret_cast<void (*)()>(routine));
}

class RpcClient {
public:
    // Replies without bulk data are a few dozen bytes plus the verifier.
    static constexpr std::size_t kSmallReply = 4096;

    RpcClient() = default;
    RpcClient(const RpcClient&) = delete;
    RpcClient& operator=(const RpcClient&) = delete;

    Status Connect(const std::string& host, std::uint16_t port, rpcprog_t program, rpcvers_t version,
                   Deadline deadline);
    void Close() { socket_.reset(); }
    bool connected() const { return socket_.valid(); }
    int socket() const { return socket_.get(); }
    const std::string& peer() const { return peer_; }

    // Sets the time each following call may take, reply included;
    // 0xFFFFFFFF waits forever.
    void SetCallTimeout(std::uint32_t milliseconds) { callTimeoutMs_ = milliseconds; }
    // Sends one call and decodes its reply into `results`. A broken
    // connection, a late reply or one that cannot be decoded closes the
    // client: what is still on its way would answer the next call.
    Status Call(rpcproc_t procedure, xdrproc_t encodeArguments, const void* arguments, xdrproc_t decodeResults,
                void* results, const char* name, std::size_t replyLimit = kSmallReply);

private:
    Status Send(rpcproc_t procedure, std::uint32_t xid, xdrproc_t encodeArguments, const void* arguments,
                Deadline deadline);
    // Receives one whole record, its fragments joined, at inbox_[kRecordMarkSize, recordEnd_).
    Status ReceiveRecord(std::size_t limit, Deadline deadline);
    // Makes at least `count` bytes from `next_` on available, reading what has arrived.
    Status Fill(std::size_t count, Deadline deadline);
    Status Decode(xdrproc_t decodeResults, void* results, const char* name);
    // Closes the connection and says why, naming the call.
    Status Lost(const char* name, const Status& why);

    UniqueFd socket_;
    std::string peer_;
    rpcprog_t program_ = 0;
    rpcvers_t version_ = 0;
    std::uint32_t xid_ = 0;
    std::uint32_t callTimeoutMs_ = 0xFFFFFFFFu;
    std::vector<std::uint8_t> outbox_;
    // Received bytes: the record being assembled, then anything read past it.
    std::vector<std::uint8_t> inbox_;
    std::size_t recordEnd_ = 0;
    std::size_t next_ = 0;
    std::size_t received_ = 0;
};

}  // namespace visa
