#include "platform/visa/discovery/vxi11_broadcast.h"

#include <arpa/inet.h>
#include <ifaddrs.h>
#include <net/if.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <set>

#include "platform/visa/transport/deadline.h"
#include "platform/visa/transport/fd_io.h"

namespace visa {
namespace {

constexpr std::uint32_t kPortmapperProgram = 100000, kPortmapperVersion = 2, kGetPort = 3;
constexpr std::uint32_t kVxi11CoreProgram = 0x0607AF, kVxi11CoreVersion = 1, kTcp = 6;

void Put(std::vector<std::uint8_t>& out, std::uint32_t v) {
    for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<std::uint8_t>(v >> shift));
}

std::uint32_t Get(const std::uint8_t* p) {
    return (std::uint32_t{p[0]} << 24) | (std::uint32_t{p[1]} << 16) | (std::uint32_t{p[2]} << 8) | p[3];
}

std::vector<std::uint8_t> GetPortCall(std::uint32_t xid) {
    std::vector<std::uint8_t> call;
    for (std::uint32_t word :
         {xid, 0u /* CALL */, 2u /* RPC version */, kPortmapperProgram, kPortmapperVersion, kGetPort, 0u,
          0u /* no credentials */, 0u, 0u /* no verifier */, kVxi11CoreProgram, kVxi11CoreVersion, kTcp, 0u}) {
        Put(call, word);
    }
    return call;
}

// The port of an accepted GETPORT reply to `xid`, 0 for anything else.
std::uint32_t PortOfReply(const std::uint8_t* p, std::size_t size, std::uint32_t xid) {
    if (size < 24 || Get(p) != xid || Get(p + 4) != 1 /* REPLY */ || Get(p + 8) != 0 /* accepted */) return 0;
    const std::size_t verifier = (std::size_t{Get(p + 16)} + 3) & ~std::size_t{3};
    const std::size_t at = 20 + verifier;
    if (size < at + 8 || Get(p + at) != 0 /* SUCCESS */) return 0;
    return Get(p + at + 4);
}

// Where the call goes: the given address, else every interface's broadcast address.
std::vector<in_addr> Targets(const std::string& address) {
    std::vector<in_addr> targets;
    if (!address.empty()) {
        in_addr a{};
        if (inet_pton(AF_INET, address.c_str(), &a) == 1) targets.push_back(a);
        return targets;
    }
    ifaddrs* list = nullptr;
    if (getifaddrs(&list) != 0) return targets;
    for (const ifaddrs* i = list; i; i = i->ifa_next) {
        if (!i->ifa_addr || i->ifa_addr->sa_family != AF_INET || !(i->ifa_flags & IFF_BROADCAST) || !i->ifa_broadaddr)
            continue;
        targets.push_back(reinterpret_cast<const sockaddr_in*>(i->ifa_broadaddr)->sin_addr);
    }
    freeifaddrs(list);
    return targets;
}

}  // namespace

std::vector<PortmapperAnswer> AskPortmappers(const std::string& address, std::uint16_t portmapperPort, int timeoutMs) {
    std::vector<PortmapperAnswer> found;
    UniqueFd fd(::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0));
    if (!fd.valid()) return found;
    const int on = 1;
    ::setsockopt(fd.get(), SOL_SOCKET, SO_BROADCAST, &on, sizeof on);
    const std::uint32_t xid = static_cast<std::uint32_t>(getpid()) * 2654435761u;
    const std::vector<std::uint8_t> call = GetPortCall(xid);
    for (const in_addr& target : Targets(address)) {
        sockaddr_in to{};
        to.sin_family = AF_INET;
        to.sin_port = htons(portmapperPort);
        to.sin_addr = target;
        ::sendto(fd.get(), call.data(), call.size(), 0, reinterpret_cast<const sockaddr*>(&to), sizeof to);
    }
    std::set<std::string> seen;
    const Deadline deadline = Deadline::After(timeoutMs);
    for (;;) {
        pollfd p{fd.get(), POLLIN, 0};
        if (deadline.Expired() || ::poll(&p, 1, deadline.PollMilliseconds()) <= 0) break;
        std::uint8_t reply[512];
        sockaddr_in from{};
        socklen_t length = sizeof from;
        const ssize_t n = ::recvfrom(fd.get(), reply, sizeof reply, 0, reinterpret_cast<sockaddr*>(&from), &length);
        if (n <= 0) continue;
        const std::uint32_t port = PortOfReply(reply, static_cast<std::size_t>(n), xid);
        char text[INET_ADDRSTRLEN] = "";
        inet_ntop(AF_INET, &from.sin_addr, text, sizeof text);
        if (port > 0 && port <= 0xFFFF && seen.insert(text).second) {
            found.push_back({text, static_cast<std::uint16_t>(port)});
        }
    }
    return found;
}

}  // namespace visa
