// An ONC RPC call as a server receives it: the call header decoded, its
// credentials kept in the object's own storage (so a malformed call
// allocates nothing), and the stream left at the procedure's arguments.
#pragma once

#include <rpc/rpc.h>

#include <cstddef>
#include <cstdint>

namespace protocol {

class RpcCall {
public:
    RpcCall(const void* record, std::size_t size);
    ~RpcCall();
    RpcCall(const RpcCall&) = delete;
    RpcCall& operator=(const RpcCall&) = delete;

    // False when the record is not an RPC call message.
    bool valid() const { return valid_; }
    std::uint32_t xid() const { return static_cast<std::uint32_t>(message_.rm_xid); }
    unsigned long program() const { return message_.rm_call.cb_prog; }
    unsigned long version() const { return message_.rm_call.cb_vers; }
    unsigned long procedure() const { return message_.rm_call.cb_proc; }
    const opaque_auth& credentials() const { return message_.rm_call.cb_cred; }
    // The procedure's arguments follow here.
    XDR* arguments() { return &xdrs_; }

private:
    XDR xdrs_;
    char authBytes_[2 * MAX_AUTH_BYTES];
    rpc_msg message_{};
    bool valid_ = false;
};

}  // namespace protocol
