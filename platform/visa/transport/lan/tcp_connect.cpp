#include "platform/visa/transport/lan/tcp_connect.h"

#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>

#include <cerrno>
#include <string_view>

namespace visa {
namespace {

constexpr std::string_view kCannotResolve = "Cannot resolve host \"";

Status ConnectOne(const addrinfo& address, Deadline deadline, const std::string& peer, UniqueFd* out) {
    UniqueFd fd(::socket(address.ai_family, address.ai_socktype | SOCK_CLOEXEC | SOCK_NONBLOCK, address.ai_protocol));
    if (!fd.valid()) return Status::FromErrno(E_VISA_SYSTEM_ERROR, "Cannot create a socket for " + peer, errno);
    int rc;
    do {
        rc = ::connect(fd.get(), address.ai_addr, address.ai_addrlen);
    } while (rc < 0 && errno == EINTR);
    if (rc < 0 && errno != EINPROGRESS) {
        return Status::FromErrno(E_VISA_RSRC_NFOUND, "Cannot connect to " + peer, errno);
    }
    if (rc < 0) {
        if (Status waited = WaitFor(fd.get(), POLLOUT, deadline); !waited.ok()) {
            if (waited.code == E_VISA_TMO) return Status::Fail(E_VISA_TMO, "Timed out connecting to " + peer + ".");
            return waited;
        }
        int error = 0;
        socklen_t length = sizeof error;
        if (::getsockopt(fd.get(), SOL_SOCKET, SO_ERROR, &error, &length) < 0) error = errno;
        if (error == ECONNREFUSED) return Status::Fail(E_VISA_RSRC_NFOUND, "Connection refused by " + peer + ".");
        if (error != 0) return Status::FromErrno(E_VISA_RSRC_NFOUND, "Cannot connect to " + peer, error);
    }
    // Commands are short and every one waits for its reply: no Nagle delay.
    const int on = 1;
    ::setsockopt(fd.get(), IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
    ::setsockopt(fd.get(), SOL_SOCKET, SO_KEEPALIVE, &on, sizeof on);
    *out = std::move(fd);
    return Status::Ok();
}

}  // namespace

std::string PeerName(const std::string& host, std::uint16_t port) {
    const bool ipv6 = host.find(':') != std::string::npos;
    return (ipv6 ? "[" + host + "]" : host) + ":" + std::to_string(port);
}

Status ConnectTcp(const std::string& host, std::uint16_t port, Deadline deadline, UniqueFd* socket) {
    const std::string peer = PeerName(host, port);
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = AI_NUMERICSERV;
    addrinfo* found = nullptr;
    const int rc = ::getaddrinfo(host.c_str(), std::to_string(port).c_str(), &hints, &found);
    if (rc != 0) {
        return Status::Fail(E_VISA_RSRC_NFOUND, std::string(kCannotResolve) + host + "\": " + gai_strerror(rc) + ".");
    }
    Status last = Status::Fail(E_VISA_RSRC_NFOUND, "No address found for " + peer + ".");
    for (const addrinfo* address = found; address != nullptr; address = address->ai_next) {
        last = ConnectOne(*address, deadline, peer, socket);
        if (last.ok() || last.code == E_VISA_TMO) break;
    }
    ::freeaddrinfo(found);
    return last;
}

bool IsUnresolvedHost(const Status& status) {
    return status.code == E_VISA_RSRC_NFOUND && status.text.starts_with(kCannotResolve);
}

}  // namespace visa
