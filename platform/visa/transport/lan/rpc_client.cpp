#include "platform/visa/transport/lan/rpc_client.h"

#include <algorithm>
#include <chrono>
#include <cstring>

#include "platform/protocol/rpc_record_mark.h"
#include "platform/visa/transport/lan/tcp_connect.h"

namespace visa {
namespace {

using protocol::kRecordMarkSize;

// A call's header with no credentials: xid, direction, versions, procedure, two empty auths.
constexpr std::size_t kCallHeaderSize = 40;
// A reply's header around its results, with the largest verifier allowed.
constexpr std::size_t kReplyHeaderSize = 24 + MAX_AUTH_BYTES;

// What a well-formed reply that carries no results says went wrong.
clnt_stat ReplyError(const rpc_msg& reply) {
    if (reply.rm_reply.rp_stat == MSG_DENIED) {
        return reply.rjcted_rply.rj_stat == RPC_MISMATCH ? RPC_VERSMISMATCH : RPC_AUTHERROR;
    }
    switch (reply.acpted_rply.ar_stat) {
        case SUCCESS:
            return RPC_SUCCESS;
        case PROG_UNAVAIL:
            return RPC_PROGUNAVAIL;
        case PROG_MISMATCH:
            return RPC_PROGVERSMISMATCH;
        case PROC_UNAVAIL:
            return RPC_PROCUNAVAIL;
        case GARBAGE_ARGS:
            return RPC_CANTDECODEARGS;
        default:
            return RPC_SYSTEMERROR;
    }
}

}  // namespace

Status RpcClient::Connect(const std::string& host, std::uint16_t port, rpcprog_t program, rpcvers_t version,
                          Deadline deadline) {
    Close();
    peer_ = PeerName(host, port);
    program_ = program;
    version_ = version;
    // Transaction ids differ between connections, so that a reply is never
    // taken for one to a call on an earlier connection.
    xid_ = static_cast<std::uint32_t>(std::chrono::steady_clock::now().time_since_epoch().count());
    next_ = received_ = 0;
    return ConnectTcp(host, port, deadline, &socket_);
}

Status RpcClient::Call(rpcproc_t procedure, xdrproc_t encodeArguments, const void* arguments, xdrproc_t decodeResults,
                       void* results, const char* name, std::size_t replyLimit) {
    if (!connected()) return Status::Fail(E_VISA_CONN_LOST, "Connection to " + peer_ + " is closed.");
    const Deadline deadline = callTimeoutMs_ == 0xFFFFFFFFu ? Deadline::Never() : Deadline::After(callTimeoutMs_);
    const std::uint32_t xid = ++xid_;
    if (Status status = Send(procedure, xid, encodeArguments, arguments, deadline); !status.ok()) {
        return Lost(name, status);
    }
    for (;;) {
        if (Status status = ReceiveRecord(kReplyHeaderSize + replyLimit, deadline); !status.ok()) {
            return Lost(name, status);
        }
        // Another transaction's reply answers nothing we still wait for.
        if (recordEnd_ - kRecordMarkSize >= 4 && protocol::GetBigEndian32(inbox_.data() + kRecordMarkSize) == xid)
            break;
    }
    return Decode(decodeResults, results, name);
}

Status RpcClient::Send(rpcproc_t procedure, std::uint32_t xid, xdrproc_t encodeArguments, const void* arguments,
                       Deadline deadline) {
    rpc_msg call{};
    call.rm_xid = xid;
    call.rm_direction = CALL;
    call.rm_call.cb_rpcvers = RPC_MSG_VERSION;
    call.rm_call.cb_prog = program_;
    call.rm_call.cb_vers = version_;
    call.rm_call.cb_proc = procedure;
    void* unconstArguments = const_cast<void*>(arguments);  // the XDR routines take them so, and only read
    outbox_.resize(kRecordMarkSize + kCallHeaderSize + xdr_sizeof(encodeArguments, unconstArguments));
    XDR xdrs;
    xdrmem_create(&xdrs, reinterpret_cast<char*>(outbox_.data() + kRecordMarkSize),
                  static_cast<u_int>(outbox_.size() - kRecordMarkSize), XDR_ENCODE);
    const bool encoded = xdr_callmsg(&xdrs, &call) && encodeArguments(&xdrs, unconstArguments);
    const u_int length = xdr_getpos(&xdrs);
    xdr_destroy(&xdrs);
    if (!encoded) return Status::Fail(E_VISA_SYSTEM_ERROR, "Cannot encode the call.");
    protocol::PutWholeRecordMark(length, outbox_.data());
    return WriteAll(socket_.get(), outbox_.data(), kRecordMarkSize + length, deadline, peer_);
}

Status RpcClient::ReceiveRecord(std::size_t limit, Deadline deadline) {
    // Bytes read past the previous record start this one.
    if (next_ > 0) {
        received_ -= next_;
        std::memmove(inbox_.data(), inbox_.data() + next_, received_);
        next_ = 0;
    }
    // The record is assembled behind its first mark, so that a record of one
    // fragment, the usual case, is never moved.
    recordEnd_ = kRecordMarkSize;
    bool last = false;
    while (!last) {
        if (Status status = Fill(kRecordMarkSize, deadline); !status.ok()) return status;
        const protocol::RecordMark mark = protocol::ReadRecordMark(inbox_.data() + next_);
        next_ += kRecordMarkSize;
        last = mark.last;
        const std::size_t length = mark.length;
        if (length > limit - (recordEnd_ - kRecordMarkSize)) {
            return Status::Fail(E_VISA_IO, "The reply is longer than the " + std::to_string(limit) +
                                               " bytes it can be; connection closed.");
        }
        if (Status status = Fill(length, deadline); !status.ok()) return status;
        if (next_ != recordEnd_) std::memmove(inbox_.data() + recordEnd_, inbox_.data() + next_, length);
        recordEnd_ += length;
        next_ += length;
    }
    return Status::Ok();
}

Status RpcClient::Fill(std::size_t count, Deadline deadline) {
    if (inbox_.size() < next_ + count) inbox_.resize(std::max(next_ + count, kSmallReply));
    while (received_ - next_ < count) {
        std::size_t got = 0;
        if (Status status =
                ReadSome(socket_.get(), inbox_.data() + received_, inbox_.size() - received_, deadline, peer_, &got);
            !status.ok()) {
            return status;
        }
        received_ += got;
    }
    return Status::Ok();
}

Status RpcClient::Decode(xdrproc_t decodeResults, void* results, const char* name) {
    XDR xdrs;
    xdrmem_create(&xdrs, reinterpret_cast<char*>(inbox_.data() + kRecordMarkSize),
                  static_cast<u_int>(recordEnd_ - kRecordMarkSize), XDR_DECODE);
    // With storage of its own, the verifier is never allocated by the XDR library.
    char verifier[MAX_AUTH_BYTES];
    rpc_msg reply{};
    reply.acpted_rply.ar_verf.oa_base = verifier;
    reply.acpted_rply.ar_results.where = static_cast<char*>(results);
    reply.acpted_rply.ar_results.proc = decodeResults;
    const bool decoded = xdr_replymsg(&xdrs, &reply) && reply.rm_direction == REPLY;
    xdr_destroy(&xdrs);
    if (!decoded) {
        Close();
        return Status::Fail(E_VISA_IO, std::string("The reply to ") + name + " from " + peer_ +
                                           " cannot be decoded; connection closed.");
    }
    if (const clnt_stat error = ReplyError(reply); error != RPC_SUCCESS) {
        return Status::Fail(E_VISA_IO, std::string(name) + " to " + peer_ + " failed: " + clnt_sperrno(error) + ".");
    }
    return Status::Ok();
}

Status RpcClient::Lost(const char* name, const Status& why) {
    Close();
    if (why.code == E_VISA_TMO) return Status::Timeout();
    return Status::Fail(why.code, std::string(name) + " to " + peer_ + " failed: " + why.text);
}

}  // namespace visa
