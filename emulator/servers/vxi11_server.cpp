#include "emulator/servers/vxi11_server.h"

#include <arpa/inet.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <map>
#include <mutex>
#include <optional>
#include <regex>
#include <type_traits>
#include <vector>

#include "emulator/servers/serial_worker.h"
#include "emulator/servers/socket_io.h"
#include "emulator/servers/vxi11_interrupt_channel.h"
#include "platform/protocol/rpc_call.h"
#include "platform/protocol/rpc_record_mark.h"
#include "rpc/vxi11.h"

// The dispatcher rpcgen writes into the server file; its header omits it.
extern "C" void device_core_1(struct svc_req* request, SVCXPRT* transport);

namespace emulator {

namespace {

using Clock = std::chrono::steady_clock;

// VXI-11 error codes and read reasons.
constexpr long kNoError = 0;
constexpr long kDeviceNotAccessible = 3;
constexpr long kInvalidLink = 4;
constexpr long kParameterError = 5;
constexpr long kChannelNotEstablished = 6;
constexpr long kOperationNotSupported = 8;
constexpr long kDeviceLocked = 11;
constexpr long kNoLockHeld = 12;
constexpr long kIoTimeout = 15;
constexpr long kIoError = 17;
constexpr long kChannelAlreadyEstablished = 29;
constexpr long kFlagWaitLock = 1;
constexpr long kFlagEnd = 8;
constexpr long kFlagTermChar = 128;
constexpr long kReasonRequestCount = 1;
constexpr long kReasonTermChar = 2;
constexpr long kReasonEnd = 4;

constexpr std::size_t kMaxRecord = 64u << 20;

class Connection {
public:
    Connection(Vxi11Server& server, int fd, int number)
        : server_(server), fd_(fd), number_(number), interrupts_(server.instrument()) {}
    ~Connection() { ReleaseLinks(); }

    void Serve();

    // RPC procedures.
    void CreateLink(const Create_LinkParms& in, Create_LinkResp* out);
    void Write(const Device_WriteParms& in, Device_WriteResp* out);
    void Read(const Device_ReadParms& in, Device_ReadResp* out);
    void ReadStb(const Device_GenericParms& in, Device_ReadStbResp* out);
    long Clear(long lid);
    long Lock(long lid, long flags, unsigned long timeoutMs);
    long Unlock(long lid);
    long DestroyLink(long lid);
    long Check(long lid);
    long CreateInterruptChannel(const Device_RemoteFunc& in);
    long DestroyInterruptChannel();
    long EnableServiceRequest(const Device_EnableSrqParms& in);

    // Transport hooks.
    XDR* decoder() { return decoder_; }
    bool EncodeReply(rpc_msg* msg);

private:
    struct Link {
        std::string input;   // message bytes before END
        std::string output;  // reply not yet read
        std::size_t offset = 0;
        bool hasOutput = false;
        bool closeAfterOutput = false;  // a reply cut by the drop fault
        Clock::time_point readyAt{};
        int executing = 0;             // messages handed to the worker
        std::uint64_t generation = 0;  // bumped by device clear
    };

    bool Dispatch(const std::string& record);
    void Complete(long lid, std::uint64_t generation, std::optional<std::string> reply);
    bool WaitForLock(long lid, long flags, unsigned long timeoutMs);
    // Whether no other link holds the lock, waiting for it up to the time-out
    // when the waitlock flag asks to.
    bool MayAccess(long lid, long flags, unsigned long timeoutMs);
    // A known link that no lock keeps out: 0, or the error to answer.
    long Admit(long lid, long flags, unsigned long timeoutMs);
    void ReleaseLinks();
    // Waits, with mutex_ held by `lock`, until the link's reply may be read:
    // 0, or the error to answer.
    long WaitForOutput(Link& link, std::unique_lock<std::mutex>& lock, Clock::time_point deadline);
    // Moves what the read asks for of the link's reply into `out`.
    void TakeOutput(Link& link, const Device_ReadParms& in, Device_ReadResp* out);

    Vxi11Server& server_;
    int fd_;
    int number_;
    std::mutex mutex_;
    std::map<long, Link> links_;
    XDR* decoder_ = nullptr;
    u_int32_t xid_ = 0;
    std::string reply_;
    bool drop_ = false;             // close without answering the current call
    bool closeAfterReply_ = false;  // close once the current answer is out
    Vxi11InterruptChannel interrupts_;
    SerialWorker worker_;  // last: its jobs use the members above
};

Connection* ConnectionOf(svc_req* request) { return static_cast<Connection*>(request->rq_xprt->xp_p1); }

// Trigger, remote and local have no effect here beyond checking the link.
bool_t Acknowledge(Device_GenericParms* in, Device_Error* out, svc_req* request) {
    out->error = ConnectionOf(request)->Check(in->lid);
    return TRUE;
}

// Our transport: arguments come from the record in memory, the reply goes
// into a buffer that the connection writes itself.
bool_t TransportRecv(SVCXPRT*, rpc_msg*) { return FALSE; }
xprt_stat TransportStat(SVCXPRT*) { return XPRT_IDLE; }
bool_t TransportGetArgs(SVCXPRT* xprt, xdrproc_t proc, void* args) {
    return (*proc)(static_cast<Connection*>(xprt->xp_p1)->decoder(), args);
}
bool_t TransportReply(SVCXPRT* xprt, rpc_msg* msg) { return static_cast<Connection*>(xprt->xp_p1)->EncodeReply(msg); }
bool_t TransportFreeArgs(SVCXPRT*, xdrproc_t proc, void* args) {
    xdr_free(proc, args);
    return TRUE;
}
void TransportDestroy(SVCXPRT*) {}
bool_t TransportControl(SVCXPRT*, const u_int, void*) { return FALSE; }

// The operation tables are nested in SVCXPRT under the names of its members.
using TransportOps = std::remove_const_t<std::remove_pointer_t<decltype(SVCXPRT::xp_ops)>>;
using TransportOps2 = std::remove_const_t<std::remove_pointer_t<decltype(SVCXPRT::xp_ops2)>>;

const TransportOps kOps = {TransportRecv,  TransportStat,     TransportGetArgs,
                           TransportReply, TransportFreeArgs, TransportDestroy};
const TransportOps2 kOps2 = {TransportControl};

bool ReadRecord(int fd, std::string* record) {
    record->clear();
    for (;;) {
        std::uint8_t markBytes[protocol::kRecordMarkSize];
        if (!ReadExact(fd, markBytes, sizeof markBytes)) return false;
        const protocol::RecordMark mark = protocol::ReadRecordMark(markBytes);
        if (record->size() + mark.length > kMaxRecord) return false;
        std::size_t at = record->size();
        record->resize(at + mark.length);
        if (mark.length && !ReadExact(fd, record->data() + at, mark.length)) return false;
        if (mark.last) return true;
    }
}

bool ValidDeviceName(const char* name) {
    static const std::regex kNames("(inst[0-9]+|gpib[0-9]+(,[0-9]+)?)", std::regex::icase);
    return name && std::regex_match(name, kNames);
}

}  // namespace

bool Vxi11Server::Start(const std::string& address, int port, std::string* error) {
    return listener_.Start(
        address, port,
        [this](int fd, int number) {
            Connection connection(*this, fd, number);
            connection.Serve();
        },
        error);
}

void Connection::Serve() {
    std::string record;
    while (!server_.instrument().halted() && ReadRecord(fd_, &record)) {
        if (!Dispatch(record)) return;
    }
}

bool Connection::Dispatch(const std::string& record) {
    protocol::RpcCall call(record.data(), record.size());
    if (!call.valid()) return false;  // not ONC RPC: nothing sensible to answer
    SVCXPRT xprt{};
    xprt.xp_fd = fd_;
    xprt.xp_ops = &kOps;
    xprt.xp_ops2 = &kOps2;
    xprt.xp_verf.oa_flavor = AUTH_NONE;
    xprt.xp_p1 = this;
    svc_req request{};
    request.rq_prog = static_cast<u_int32_t>(call.program());
    request.rq_vers = static_cast<u_int32_t>(call.version());
    request.rq_proc = static_cast<u_int32_t>(call.procedure());
    request.rq_cred = call.credentials();
    request.rq_xprt = &xprt;

    decoder_ = call.arguments();
    xid_ = call.xid();
    reply_.clear();
    drop_ = closeAfterReply_ = false;
    if (request.rq_prog != DEVICE_CORE) {
        svcerr_noprog(&xprt);
    } else if (request.rq_vers != DEVICE_CORE_VERSION) {
        svcerr_progvers(&xprt, DEVICE_CORE_VERSION, DEVICE_CORE_VERSION);
    } else {
        device_core_1(&request, &xprt);
    }
    decoder_ = nullptr;
    if (drop_ || reply_.empty()) return !drop_;
    return WriteAll(fd_, protocol::FrameRecord(reply_)) && !closeAfterReply_;
}

bool Connection::EncodeReply(rpc_msg* msg) {
    msg->rm_xid = xid_;
    reply_.assign(xdr_sizeof(reinterpret_cast<xdrproc_t>(reinterpret_cast<void (*)()>(xdr_replymsg)), msg), '\0');
    XDR xdrs;
    xdrmem_create(&xdrs, reply_.data(), static_cast<u_int>(reply_.size()), XDR_ENCODE);
    bool ok = xdr_replymsg(&xdrs, msg);
    reply_.resize(ok ? xdr_getpos(&xdrs) : 0);
    xdr_destroy(&xdrs);
    return ok;
}

void Connection::CreateLink(const Create_LinkParms& in, Create_LinkResp* out) {
    std::memset(out, 0, sizeof *out);
    out->maxRecvSize = server_.maxRecvSize();
    if (!ValidDeviceName(in.device)) {
        out->error = kDeviceNotAccessible;
        return;
    }
    long lid = server_.NewLinkId();
    {
        std::lock_guard<std::mutex> lock(mutex_);
        links_[lid];
    }
    if (in.lockDevice && !WaitForLock(lid, kFlagWaitLock, in.lock_timeout)) {
        DestroyLink(lid);
        out->error = kDeviceLocked;
        return;
    }
    out->lid = lid;
}

long Connection::Check(long lid) {
    std::lock_guard<std::mutex> lock(mutex_);
    return links_.count(lid) ? kNoError : kInvalidLink;
}

void Connection::Write(const Device_WriteParms& in, Device_WriteResp* out) {
    std::memset(out, 0, sizeof *out);
    if (long error = Admit(in.lid, in.flags, in.lock_timeout)) {
        out->error = error;
        return;
    }
    std::unique_lock<std::mutex> lock(mutex_);
    auto it = links_.find(in.lid);
    if (it == links_.end()) {
        out->error = kInvalidLink;
        return;
    }
    Link& link = it->second;
    link.input.append(in.data.data_val, in.data.data_len);
    out->size = in.data.data_len;
    if (!(in.flags & kFlagEnd)) return;
    std::string message = std::move(link.input);
    link.input.clear();
    ++link.executing;
    std::uint64_t generation = link.generation;
    lock.unlock();

    server_.recorder().Add(Channel::Vxi11, number_, message);
    Instrument& instrument = server_.instrument();
    if (instrument.faults().TakeDropOnMessage()) {
        drop_ = true;
        Complete(in.lid, generation, std::nullopt);
        return;
    }
    long lid = in.lid;
    worker_.Post([this, lid, generation, message = std::move(message)] {
        Complete(lid, generation, server_.instrument().Execute(message));
    });
}

// Runs on the worker once the instrument has answered a message.
void Connection::Complete(long lid, std::uint64_t generation, std::optional<std::string> reply) {
    Instrument& instrument = server_.instrument();
    {
        std::lock_guard<std::mutex> lock(mutex_);
        auto it = links_.find(lid);
        if (it == links_.end()) return;
        Link& link = it->second;
        --link.executing;
        if (reply && generation == link.generation) {
            if (link.hasOutput) {
                // The previous reply was never read.
                instrument.ReportError(-410);
            }
            ReplyPlan plan = instrument.faults().PlanReply(*reply + "\n");
            link.hasOutput = plan.send;
            link.output = std::move(plan.bytes);
            link.offset = 0;
            link.closeAfterOutput = plan.closeAfter;
            link.readyAt = Clock::now() + plan.delay;
        }
    }
    instrument.waker().NotifyAll();
}

void Connection::Read(const Device_ReadParms& in, Device_ReadResp* out) {
    std::memset(out, 0, sizeof *out);
    if (long error = Admit(in.lid, in.flags, in.lock_timeout)) {
        out->error = error;
        return;
    }
    Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(in.io_timeout);
    std::unique_lock<std::mutex> lock(mutex_);
    auto it = links_.find(in.lid);
    if (it == links_.end()) {
        out->error = kInvalidLink;
        return;
    }
    out->error = WaitForOutput(it->second, lock, deadline);
    if (out->error == 0) TakeOutput(it->second, in, out);
}

long Connection::WaitForOutput(Link& link, std::unique_lock<std::mutex>& lock, Clock::time_point deadline) {
    Instrument& instrument = server_.instrument();
    const std::uint64_t generation = link.generation;
    for (;;) {
        if (instrument.halted() || link.generation != generation) return kIoError;
        Clock::time_point now = Clock::now();
        if (link.executing == 0 && link.hasOutput && link.readyAt <= now) return 0;
        if (now >= deadline) {
            // Reading with nothing to read is the client's protocol error.
            if (link.executing == 0 && !link.hasOutput) instrument.ReportError(-420);
            return kIoTimeout;
        }
        Clock::time_point wake = link.executing == 0 && link.hasOutput ? std::min(link.readyAt, deadline) : deadline;
        int executing = link.executing;
        lock.unlock();
        instrument.waker().WaitUntil(wake, [&] {
            std::lock_guard<std::mutex> guard(mutex_);
            return instrument.halted() || link.executing != executing || link.generation != generation;
        });
        lock.lock();
    }
}

void Connection::TakeOutput(Link& link, const Device_ReadParms& in, Device_ReadResp* out) {
    std::size_t available = link.output.size() - link.offset;
    std::size_t count = std::min<std::size_t>(available, in.requestSize);
    long reason = 0;
    if (in.flags & kFlagTermChar) {
        const char* start = link.output.data() + link.offset;
        const void* hit = std::memchr(start, static_cast<unsigned char>(in.termChar), count);
        if (hit) {
            count = static_cast<std::size_t>(static_cast<const char*>(hit) - start) + 1;
            reason |= kReasonTermChar;
        }
    }
    bool last = link.offset + count == link.output.size();
    if (last && !link.closeAfterOutput) reason |= kReasonEnd;
    if (count == in.requestSize) reason |= kReasonRequestCount;
    out->data.data_val = static_cast<char*>(std::malloc(std::max<std::size_t>(count, 1)));
    std::memcpy(out->data.data_val, link.output.data() + link.offset, count);
    out->data.data_len = static_cast<u_int>(count);
    out->reason = reason;
    link.offset += count;
    if (last) {
        if (link.closeAfterOutput) drop_ = count == 0;
        closeAfterReply_ = link.closeAfterOutput;
        link.hasOutput = false;
        link.output.clear();
        link.offset = 0;
    }
}

void Connection::ReadStb(const Device_GenericParms& in, Device_ReadStbResp* out) {
    std::memset(out, 0, sizeof *out);
    bool available = false;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        auto it = links_.find(in.lid);
        if (it == links_.end()) {
            out->error = kInvalidLink;
            return;
        }
        available = it->second.hasOutput && it->second.readyAt <= Clock::now();
    }
    out->stb = server_.instrument().ReadStatusByte(available);
}

long Connection::Clear(long lid) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        auto it = links_.find(lid);
        if (it == links_.end()) return kInvalidLink;
        Link& link = it->second;
        link.input.clear();
        link.output.clear();
        link.offset = 0;
        link.hasOutput = false;
        ++link.generation;
    }
    server_.instrument().DeviceClear();
    return kNoError;
}

bool Connection::WaitForLock(long lid, long flags, unsigned long timeoutMs) {
    std::atomic<long>& owner = server_.lockOwner();
    auto take = [&] {
        long expected = 0;
        return owner.compare_exchange_strong(expected, lid) || expected == lid;
    };
    if (take()) return true;
    if (!(flags & kFlagWaitLock)) return false;
    Instrument& instrument = server_.instrument();
    instrument.waker().WaitUntil(Clock::now() + std::chrono::milliseconds(timeoutMs),
                                 [&] { return instrument.halted() || take(); });
    return owner.load() == lid;
}

long Connection::Admit(long lid, long flags, unsigned long timeoutMs) {
    if (long error = Check(lid)) return error;
    return MayAccess(lid, flags, timeoutMs) ? kNoError : kDeviceLocked;
}

bool Connection::MayAccess(long lid, long flags, unsigned long timeoutMs) {
    std::atomic<long>& owner = server_.lockOwner();
    auto open = [&] {
        const long holder = owner.load();
        return holder == 0 || holder == lid;
    };
    if (open()) return true;
    if (!(flags & kFlagWaitLock)) return false;
    Instrument& instrument = server_.instrument();
    instrument.waker().WaitUntil(Clock::now() + std::chrono::milliseconds(timeoutMs),
                                 [&] { return instrument.halted() || open(); });
    return open();
}

long Connection::Lock(long lid, long flags, unsigned long timeoutMs) {
    if (long error = Check(lid)) return error;
    return WaitForLock(lid, flags, timeoutMs) ? kNoError : kDeviceLocked;
}

long Connection::Unlock(long lid) {
    if (long error = Check(lid)) return error;
    long expected = lid;
    if (!server_.lockOwner().compare_exchange_strong(expected, 0)) return kNoLockHeld;
    server_.instrument().waker().NotifyAll();
    return kNoError;
}

long Connection::DestroyLink(long lid) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (!links_.erase(lid)) return kInvalidLink;
    }
    interrupts_.Disable(lid);
    long expected = lid;
    if (server_.lockOwner().compare_exchange_strong(expected, 0)) server_.instrument().waker().NotifyAll();
    return kNoError;
}

long Connection::CreateInterruptChannel(const Device_RemoteFunc& in) {
    if (interrupts_.open()) return kChannelAlreadyEstablished;
    if (in.progNum != DEVICE_INTR || in.progVers != DEVICE_INTR_VERSION || in.progFamily != DEVICE_TCP) {
        return kParameterError;
    }
    // The channel goes back only to the host the core channel came from.
    sockaddr_in peer{};
    socklen_t length = sizeof peer;
    if (::getpeername(fd_, reinterpret_cast<sockaddr*>(&peer), &length) < 0 || peer.sin_family != AF_INET ||
        ntohl(peer.sin_addr.s_addr) != in.hostAddr) {
        return kParameterError;
    }
    peer.sin_port = htons(in.hostPort);
    return interrupts_.Open(peer) ? kNoError : kChannelNotEstablished;
}

long Connection::DestroyInterruptChannel() {
    if (!interrupts_.open()) return kChannelNotEstablished;
    interrupts_.Close();
    return kNoError;
}

long Connection::EnableServiceRequest(const Device_EnableSrqParms& in) {
    if (long error = Check(in.lid)) return error;
    if (in.enable) {
        interrupts_.Enable(in.lid, std::string(in.handle.handle_val, in.handle.handle_len));
    } else {
        interrupts_.Disable(in.lid);
    }
    return kNoError;
}

void Connection::ReleaseLinks() {
    std::vector<long> ids;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        for (const auto& entry : links_) ids.push_back(entry.first);
    }
    for (long lid : ids) DestroyLink(lid);
}

}  // namespace emulator

// The procedures the rpcgen dispatcher calls. They find their connection
// through the transport, so they need no global state.
extern "C" {

using emulator::Acknowledge;
using emulator::ConnectionOf;

bool_t create_link_1_svc(Create_LinkParms* in, Create_LinkResp* out, svc_req* request) {
    ConnectionOf(request)->CreateLink(*in, out);
    return TRUE;
}

bool_t device_write_1_svc(Device_WriteParms* in, Device_WriteResp* out, svc_req* request) {
    ConnectionOf(request)->Write(*in, out);
    return TRUE;
}

bool_t device_read_1_svc(Device_ReadParms* in, Device_ReadResp* out, svc_req* request) {
    ConnectionOf(request)->Read(*in, out);
    return TRUE;
}

bool_t device_readstb_1_svc(Device_GenericParms* in, Device_ReadStbResp* out, svc_req* request) {
    ConnectionOf(request)->ReadStb(*in, out);
    return TRUE;
}

bool_t device_trigger_1_svc(Device_GenericParms* in, Device_Error* out, svc_req* request) {
    return Acknowledge(in, out, request);
}

bool_t device_clear_1_svc(Device_GenericParms* in, Device_Error* out, svc_req* request) {
    out->error = ConnectionOf(request)->Clear(in->lid);
    return TRUE;
}

bool_t device_remote_1_svc(Device_GenericParms* in, Device_Error* out, svc_req* request) {
    return Acknowledge(in, out, request);
}

bool_t device_local_1_svc(Device_GenericParms* in, Device_Error* out, svc_req* request) {
    return Acknowledge(in, out, request);
}

bool_t device_lock_1_svc(Device_LockParms* in, Device_Error* out, svc_req* request) {
    out->error = ConnectionOf(request)->Lock(in->lid, in->flags, in->lock_timeout);
    return TRUE;
}

bool_t device_unlock_1_svc(Device_Link* in, Device_Error* out, svc_req* request) {
    out->error = ConnectionOf(request)->Unlock(*in);
    return TRUE;
}

bool_t device_enable_srq_1_svc(Device_EnableSrqParms* in, Device_Error* out, svc_req* request) {
    out->error = ConnectionOf(request)->EnableServiceRequest(*in);
    return TRUE;
}

bool_t device_docmd_1_svc(Device_DocmdParms*, Device_DocmdResp* out, svc_req*) {
    std::memset(out, 0, sizeof *out);
    out->error = emulator::kOperationNotSupported;
    return TRUE;
}

bool_t destroy_link_1_svc(Device_Link* in, Device_Error* out, svc_req* request) {
    out->error = ConnectionOf(request)->DestroyLink(*in);
    return TRUE;
}

bool_t create_intr_chan_1_svc(Device_RemoteFunc* in, Device_Error* out, svc_req* request) {
    out->error = ConnectionOf(request)->CreateInterruptChannel(*in);
    return TRUE;
}

bool_t destroy_intr_chan_1_svc(void*, Device_Error* out, svc_req* request) {
    out->error = ConnectionOf(request)->DestroyInterruptChannel();
    return TRUE;
}

int device_core_1_freeresult(SVCXPRT*, xdrproc_t proc, caddr_t result) {
    xdr_free(proc, result);
    return 1;
}

// The abort and interrupt programs share the generated file; they are not
// served here (the interrupt program is the client's), but the dispatcher
// object needs their procedures to link.
bool_t device_abort_1_svc(Device_Link*, Device_Error* out, svc_req*) {
    out->error = emulator::kOperationNotSupported;
    return TRUE;
}

int device_async_1_freeresult(SVCXPRT*, xdrproc_t proc, caddr_t result) {
    xdr_free(proc, result);
    return 1;
}

bool_t device_intr_srq_1_svc(Device_SrqParms*, void*, svc_req*) { return TRUE; }

int device_intr_1_freeresult(SVCXPRT*, xdrproc_t proc, caddr_t result) {
    xdr_free(proc, result);
    return 1;
}

}  // extern "C"
