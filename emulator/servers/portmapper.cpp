#include "emulator/servers/portmapper.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
// pmap_prot.h and rpcb_prot.h need the types rpc.h declares first.
// clang-format off
#include <rpc/rpc.h>
#include <rpc/pmap_prot.h>
#include <rpc/rpcb_prot.h>
// clang-format on
#include <sys/socket.h>
#include <unistd.h>

#include <cstring>
#include <vector>

#include "emulator/servers/socket_io.h"
#include "platform/protocol/rpc_call.h"
#include "platform/protocol/rpc_record_mark.h"

namespace emulator {

namespace {

constexpr unsigned long kPortmapProgram = 100000;
constexpr unsigned long kDeviceCoreProgram = 0x0607AF;

std::string Encode(rpc_msg* reply) {
    char buffer[4096];
    XDR xdrs;
    xdrmem_create(&xdrs, buffer, sizeof buffer, XDR_ENCODE);
    bool ok = xdr_replymsg(&xdrs, reply);
    std::string out = ok ? std::string(buffer, xdr_getpos(&xdrs)) : std::string();
    xdr_destroy(&xdrs);
    return out;
}

// XDR routines all travel as the one variadic xdrproc_t.
template <class Routine>
xdrproc_t AsXdrProc(Routine routine) {
    return reinterpret_cast<xdrproc_t>(reinterpret_cast<void (*)()>(routine));
}

std::string UniversalAddress(const std::string& host, int port) {
    return host + "." + std::to_string(port >> 8) + "." + std::to_string(port & 0xFF);
}

struct Mapping {
    unsigned long program;
    unsigned long version;
    unsigned long protocol;
    int port;
};

std::vector<Mapping> Mappings(int port, int corePort) {
    std::vector<Mapping> mappings;
    for (unsigned long version : {4ul, 3ul, 2ul}) {
        mappings.push_back({kPortmapProgram, version, IPPROTO_TCP, port});
        mappings.push_back({kPortmapProgram, version, IPPROTO_UDP, port});
    }
    mappings.push_back({kDeviceCoreProgram, 1, IPPROTO_TCP, corePort});
    return mappings;
}

// Like rpcbind: the exact version when registered, else any version of the
// program, so that the client learns the port and hears the versions there.
const Mapping* Find(const std::vector<Mapping>& mappings, unsigned long program, unsigned long version,
                    unsigned long protocol) {
    const Mapping* any = nullptr;
    for (const Mapping& mapping : mappings) {
        if (mapping.program != program || mapping.protocol != protocol) continue;
        if (mapping.version == version) return &mapping;
        if (any == nullptr) any = &mapping;
    }
    return any;
}

template <class Routine>
std::string WithResults(rpc_msg reply, Routine routine, void* where) {
    reply.acpted_rply.ar_results.proc = AsXdrProc(routine);
    reply.acpted_rply.ar_results.where = static_cast<caddr_t>(where);
    return Encode(&reply);
}

std::string GarbageArguments(rpc_msg reply) {
    reply.acpted_rply.ar_stat = GARBAGE_ARGS;
    return Encode(&reply);
}

// The procedures: each decodes its arguments and encodes the reply with its results.
std::string GetPort(XDR* arguments, rpc_msg reply, const std::vector<Mapping>& mappings, const std::string&) {
    pmap query{};
    if (!xdr_pmap(arguments, &query)) return GarbageArguments(reply);
    const Mapping* found = Find(mappings, query.pm_prog, query.pm_vers, query.pm_prot);
    u_long port = found ? static_cast<u_long>(found->port) : 0;
    return WithResults(reply, xdr_u_long, &port);
}

std::string DumpPorts(XDR*, rpc_msg reply, const std::vector<Mapping>& mappings, const std::string&) {
    std::vector<pmaplist> list(mappings.size());
    for (std::size_t i = 0; i < mappings.size(); ++i) {
        const Mapping& m = mappings[i];
        list[i].pml_map = {m.program, m.version, m.protocol, static_cast<unsigned long>(m.port)};
        list[i].pml_next = i + 1 < mappings.size() ? &list[i + 1] : nullptr;
    }
    pmaplist* head = list.data();
    return WithResults(reply, xdr_pmaplist, &head);
}

std::string GetAddress(XDR* arguments, rpc_msg reply, const std::vector<Mapping>& mappings, const std::string& host) {
    rpcb query{};
    if (!xdr_rpcb(arguments, &query)) return GarbageArguments(reply);
    const unsigned long protocol = query.r_netid && std::strcmp(query.r_netid, "udp") == 0   ? IPPROTO_UDP
                                   : query.r_netid && std::strcmp(query.r_netid, "tcp") == 0 ? IPPROTO_TCP
                                                                                             : 0;
    const Mapping* found = Find(mappings, query.r_prog, query.r_vers, protocol);
    xdr_free(AsXdrProc(xdr_rpcb), &query);
    std::string text = found ? UniversalAddress(host, found->port) : std::string();
    char* address = text.data();
    return WithResults(reply, xdr_wrapstring, &address);
}

std::string DumpAddresses(XDR*, rpc_msg reply, const std::vector<Mapping>& mappings, const std::string& host) {
    std::vector<rpcblist> list(mappings.size());
    std::vector<std::string> addresses;
    addresses.reserve(mappings.size());
    for (std::size_t i = 0; i < mappings.size(); ++i) {
        const Mapping& m = mappings[i];
        addresses.push_back(UniversalAddress(host, m.port));
        rpcb& entry = list[i].rpcb_map;
        entry.r_prog = m.program;
        entry.r_vers = m.version;
        entry.r_netid = const_cast<char*>(m.protocol == IPPROTO_TCP ? "tcp" : "udp");
        entry.r_addr = addresses.back().data();
        entry.r_owner = const_cast<char*>("superuser");
        list[i].rpcb_next = i + 1 < mappings.size() ? &list[i + 1] : nullptr;
    }
    rpcblist_ptr head = list.data();
    return WithResults(reply, xdr_rpcblist_ptr, &head);
}

// Version 2 (portmap) and versions 3 and 4 (rpcbind) number their procedures apart.
struct Procedure {
    bool rpcbind;
    unsigned long number;
    std::string (*answer)(XDR* arguments, rpc_msg reply, const std::vector<Mapping>& mappings, const std::string& host);
};
const Procedure kProcedures[] = {
    {false, PMAPPROC_GETPORT, &GetPort},
    {false, PMAPPROC_DUMP, &DumpPorts},
    {true, RPCBPROC_GETADDR, &GetAddress},
    {true, RPCBPROC_DUMP, &DumpAddresses},
};

}  // namespace

bool Portmapper::Start(const std::string& address, int port, int coreChannelPort, std::string* error) {
    tcpFd_ = ListenTcp(address, port, error);
    if (tcpFd_ < 0) return false;
    port_ = LocalPort(tcpFd_);
    udpFd_ = BindUdp(address, port_, error);
    if (udpFd_ < 0) {
        close(tcpFd_);
        tcpFd_ = -1;
        port_ = 0;
        return false;
    }
    address_ = address == "0.0.0.0" ? "127.0.0.1" : address;
    corePort_ = coreChannelPort;
    serving_.Start({udpFd_, tcpFd_}, [this](int socket) { Serve(socket); });
    return true;
}

void Portmapper::Stop() {
    serving_.Stop();
    tcpFd_ = udpFd_ = -1;
    port_ = 0;
}

void Portmapper::Serve(int socket) const {
    if (socket == udpFd_) {
        char buffer[2048];
        sockaddr_storage from{};
        socklen_t fromLength = sizeof from;
        ssize_t n = recvfrom(udpFd_, buffer, sizeof buffer, 0, reinterpret_cast<sockaddr*>(&from), &fromLength);
        if (n <= 0) return;
        std::string reply = Answer(std::string(buffer, static_cast<std::size_t>(n)));
        if (!reply.empty()) {
            sendto(udpFd_, reply.data(), reply.size(), 0, reinterpret_cast<sockaddr*>(&from), fromLength);
        }
        return;
    }
    int fd = accept4(tcpFd_, nullptr, nullptr, SOCK_CLOEXEC);
    if (fd >= 0) {
        ServeStream(fd);
        close(fd);
    }
}

// Clients ask one or two questions and hang up; serving them inline keeps
// the portmapper to one thread.
void Portmapper::ServeStream(int fd) const {
    for (;;) {
        pollfd fds[2] = {{fd, POLLIN, 0}, {serving_.wakeFd(), POLLIN, 0}};
        if (poll(fds, 2, 5000) <= 0 || fds[1].revents) return;
        std::uint8_t markBytes[protocol::kRecordMarkSize];
        if (!ReadExact(fd, markBytes, sizeof markBytes)) return;
        const protocol::RecordMark mark = protocol::ReadRecordMark(markBytes);
        if (!mark.last || mark.length > 4096) return;  // one small fragment per call
        std::string call(mark.length, '\0');
        if (!ReadExact(fd, call.data(), mark.length)) return;
        const std::string reply = Answer(call);
        if (reply.empty() || !WriteAll(fd, protocol::FrameRecord(reply))) return;
    }
}

std::string Portmapper::Answer(const std::string& callBytes) const {
    protocol::RpcCall call(callBytes.data(), callBytes.size());
    if (!call.valid()) return {};
    rpc_msg reply{};
    reply.rm_xid = call.xid();
    reply.rm_direction = REPLY;
    reply.rm_reply.rp_stat = MSG_ACCEPTED;
    reply.acpted_rply.ar_verf.oa_flavor = AUTH_NONE;
    reply.acpted_rply.ar_stat = SUCCESS;
    reply.acpted_rply.ar_results.proc = AsXdrProc(xdr_void);
    const unsigned long version = call.version();
    if (call.program() != kPortmapProgram) {
        reply.acpted_rply.ar_stat = PROG_UNAVAIL;
    } else if (version < 2 || version > 4) {
        reply.acpted_rply.ar_stat = PROG_MISMATCH;
        reply.acpted_rply.ar_vers.low = 2;
        reply.acpted_rply.ar_vers.high = 4;
    } else if (call.procedure() != 0) {  // the NULL procedure's empty answer proves we are here
        for (const Procedure& procedure : kProcedures) {
            if (procedure.rpcbind != (version >= 3) || procedure.number != call.procedure()) continue;
            return procedure.answer(call.arguments(), reply, Mappings(port_, corePort_), address_);
        }
        reply.acpted_rply.ar_stat = PROC_UNAVAIL;
    }
    return Encode(&reply);
}

}  // namespace emulator
