#include "emulator/portmapper.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <rpc/rpc.h>
#include <rpc/pmap_prot.h>
#include <rpc/rpcb_prot.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstring>

#include "emulator/socket_io.h"

namespace emulator {

namespace {

constexpr unsigned long kPortmapProgram = 100000;
constexpr unsigned long kDeviceCoreProgram = 0x0607AF;
constexpr unsigned kCredentialBytes = 400;

std::string Encode(rpc_msg* reply) {
  char buffer[1024];
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
  wakeFd_ = eventfd(0, EFD_CLOEXEC);
  thread_ = std::thread([this] { Serve(); });
  return true;
}

void Portmapper::Stop() {
  if (tcpFd_ < 0) return;
  uint64_t one = 1;
  if (write(wakeFd_, &one, sizeof one) < 0) shutdown(tcpFd_, SHUT_RDWR);
  thread_.join();
  close(tcpFd_);
  close(udpFd_);
  close(wakeFd_);
  tcpFd_ = udpFd_ = wakeFd_ = -1;
  port_ = 0;
}

void Portmapper::Serve() {
  for (;;) {
    pollfd fds[3] = {{tcpFd_, POLLIN, 0}, {udpFd_, POLLIN, 0}, {wakeFd_, POLLIN, 0}};
    if (poll(fds, 3, -1) < 0) continue;
    if (fds[2].revents) return;
    if (fds[1].revents) {
      char buffer[2048];
      sockaddr_storage from{};
      socklen_t fromLength = sizeof from;
      ssize_t n = recvfrom(udpFd_, buffer, sizeof buffer, 0, reinterpret_cast<sockaddr*>(&from), &fromLength);
      if (n > 0) {
        std::string reply = Answer(std::string(buffer, static_cast<std::size_t>(n)));
        if (!reply.empty()) {
          sendto(udpFd_, reply.data(), reply.size(), 0, reinterpret_cast<sockaddr*>(&from), fromLength);
        }
      }
    }
    if (fds[0].revents) {
      int fd = accept4(tcpFd_, nullptr, nullptr, SOCK_CLOEXEC);
      if (fd >= 0) {
        ServeStream(fd);
        close(fd);
      }
    }
  }
}

// Clients ask one or two questions and hang up; serving them inline keeps
// the portmapper to one thread.
void Portmapper::ServeStream(int fd) const {
  for (;;) {
    pollfd fds[2] = {{fd, POLLIN, 0}, {wakeFd_, POLLIN, 0}};
    if (poll(fds, 2, 5000) <= 0 || fds[1].revents) return;
    uint32_t mark;
    if (!ReadExact(fd, &mark, 4)) return;
    mark = ntohl(mark);
    std::size_t length = mark & 0x7FFFFFFFu;
    if (!(mark & 0x80000000u) || length > 4096) return;  // one small fragment per call
    std::string call(length, '\0');
    if (!ReadExact(fd, call.data(), length)) return;
    std::string reply = Answer(call);
    if (reply.empty()) return;
    uint32_t out = htonl(0x80000000u | static_cast<uint32_t>(reply.size()));
    if (!WriteAll(fd, &out, 4) || !WriteAll(fd, reply)) return;
  }
}

std::string Portmapper::Answer(const std::string& callBytes) const {
  XDR xdrs;
  xdrmem_create(&xdrs, const_cast<char*>(callBytes.data()), static_cast<u_int>(callBytes.size()), XDR_DECODE);
  char credentials[2 * kCredentialBytes];
  rpc_msg call{};
  call.rm_call.cb_cred.oa_base = credentials;
  call.rm_call.cb_verf.oa_base = credentials + kCredentialBytes;
  if (!xdr_callmsg(&xdrs, &call) || call.rm_direction != CALL) {
    xdr_destroy(&xdrs);
    return {};
  }
  rpc_msg reply{};
  reply.rm_xid = call.rm_xid;
  reply.rm_direction = REPLY;
  reply.rm_reply.rp_stat = MSG_ACCEPTED;
  reply.acpted_rply.ar_verf.oa_flavor = AUTH_NONE;
  reply.acpted_rply.ar_stat = SUCCESS;
  reply.acpted_rply.ar_results.proc = AsXdrProc(xdr_void);
  reply.acpted_rply.ar_results.where = nullptr;

  const unsigned long vers = call.rm_call.cb_vers, proc = call.rm_call.cb_proc;
  u_long port = 0;
  char* address = nullptr;
  std::string addressText;
  if (call.rm_call.cb_prog != kPortmapProgram) {
    reply.acpted_rply.ar_stat = PROG_UNAVAIL;
  } else if (vers < 2 || vers > 4) {
    reply.acpted_rply.ar_stat = PROG_MISMATCH;
    reply.acpted_rply.ar_vers.low = 2;
    reply.acpted_rply.ar_vers.high = 4;
  } else if (proc == 0) {
    // NULL procedure: an empty answer proves we are here.
  } else if (vers == 2 && proc == PMAPPROC_GETPORT) {
    pmap args{};
    if (!xdr_pmap(&xdrs, &args)) {
      reply.acpted_rply.ar_stat = GARBAGE_ARGS;
    } else {
      bool core = args.pm_prog == kDeviceCoreProgram && args.pm_vers == 1 && args.pm_prot == IPPROTO_TCP;
      port = core ? static_cast<u_long>(corePort_) : 0;
      reply.acpted_rply.ar_results.proc = AsXdrProc(xdr_u_long);
      reply.acpted_rply.ar_results.where = reinterpret_cast<caddr_t>(&port);
    }
  } else if (vers >= 3 && proc == RPCBPROC_GETADDR) {
    rpcb args{};
    if (!xdr_rpcb(&xdrs, &args)) {
      reply.acpted_rply.ar_stat = GARBAGE_ARGS;
    } else {
      bool core = args.r_prog == kDeviceCoreProgram && args.r_vers == 1 && args.r_netid &&
                  std::strcmp(args.r_netid, "tcp") == 0;
      addressText = core ? UniversalAddress(address_, corePort_) : std::string();
      address = addressText.data();
      reply.acpted_rply.ar_results.proc = AsXdrProc(xdr_wrapstring);
      reply.acpted_rply.ar_results.where = reinterpret_cast<caddr_t>(&address);
      xdr_free(AsXdrProc(xdr_rpcb), &args);
    }
  } else {
    reply.acpted_rply.ar_stat = PROC_UNAVAIL;
  }
  xdr_destroy(&xdrs);
  return Encode(&reply);
}

}  // namespace emulator
