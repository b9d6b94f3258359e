#include "platform/protocol/rpc_call.h"

namespace protocol {

RpcCall::RpcCall(const void* record, std::size_t size) {
    // Decoding only reads the record.
    xdrmem_create(&xdrs_, static_cast<char*>(const_cast<void*>(record)), static_cast<u_int>(size), XDR_DECODE);
    message_.rm_call.cb_cred.oa_base = authBytes_;
    message_.rm_call.cb_verf.oa_base = authBytes_ + MAX_AUTH_BYTES;
    valid_ = xdr_callmsg(&xdrs_, &message_) && message_.rm_direction == CALL;
}

RpcCall::~RpcCall() { xdr_destroy(&xdrs_); }

}  // namespace protocol
