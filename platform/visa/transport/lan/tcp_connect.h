// Opening a TCP connection within the open time-out.
#pragma once

#include <cstdint>
#include <string>

#include "platform/visa/status.h"
#include "platform/visa/transport/deadline.h"
#include "platform/visa/transport/fd_io.h"

namespace visa {

// "host:port", with brackets around IPv6 literals, for error texts.
std::string PeerName(const std::string& host, std::uint16_t port);

// Connects without blocking past the deadline (a slow connect fails with
// E_VISA_TMO, a refused or unreachable peer with E_VISA_RSRC_NFOUND). The
// socket comes back non-blocking, with TCP_NODELAY and keep-alive set.
Status ConnectTcp(const std::string& host, std::uint16_t port, Deadline deadline, UniqueFd* socket);

// Whether a ConnectTcp failure says that the host name does not resolve, the
// one failure that is about the name rather than the peer.
bool IsUnresolvedHost(const Status& status);

}  // namespace visa
