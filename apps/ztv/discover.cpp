// discover: VXI-11 instruments on the LAN. A portmapper GETPORT call for the
// VXI-11 core program goes out over UDP to every interface's broadcast
// address (or to one address); each responder is then asked *IDN? over VXI-11.
#include <arpa/inet.h>
#include <ifaddrs.h>
#include <net/if.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "apps/ztv/commands.h"

namespace ztv_tool {

namespace {

constexpr std::uint32_t kPortmapperProgram = 100000, kPortmapperVersion = 2, kGetPort = 3;
constexpr std::uint32_t kVxi11CoreProgram = 0x0607AF, kVxi11CoreVersion = 1, kTcp = 6;
constexpr int kStandardPortmapperPort = 111;

struct Options {
    int timeoutMs = 1000;
    std::string address;
    int port = kStandardPortmapperPort;
};

struct Responder {
    std::string address;
    int corePort;
};

void Put(std::vector<std::uint8_t>& out, std::uint32_t v) {
    for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<std::uint8_t>(v >> shift));
}

std::uint32_t Get(const std::uint8_t* p) {
    return (std::uint32_t{p[0]} << 24) | (std::uint32_t{p[1]} << 16) | (std::uint32_t{p[2]} << 8) | p[3];
}

std::vector<std::uint8_t> GetPortCall(std::uint32_t xid) {
    std::vector<std::uint8_t> call;
    for (std::uint32_t word : {xid, 0u /* CALL */, 2u /* RPC version */, kPortmapperProgram, kPortmapperVersion, kGetPort,
                               0u, 0u /* no credentials */, 0u, 0u /* no verifier */, kVxi11CoreProgram,
                               kVxi11CoreVersion, kTcp, 0u}) {
        Put(call, word);
    }
    return call;
}

// The port of an accepted GETPORT reply to `xid`, 0 for anything else.
int PortOfReply(const std::uint8_t* p, std::size_t size, std::uint32_t xid) {
    if (size < 24 || Get(p) != xid || Get(p + 4) != 1 /* REPLY */ || Get(p + 8) != 0 /* accepted */) return 0;
    const std::size_t verifier = (Get(p + 16) + 3) & ~3u;
    const std::size_t at = 20 + verifier;
    if (size < at + 8 || Get(p + at) != 0 /* SUCCESS */) return 0;
    return static_cast<int>(Get(p + at + 4));
}

// Where the call goes: the given address, else every interface's broadcast address.
std::vector<in_addr> Targets(const std::string& address, std::string* error) {
    std::vector<in_addr> targets;
    if (!address.empty()) {
        in_addr a{};
        if (inet_pton(AF_INET, address.c_str(), &a) != 1) *error = "--address " + address + ": not an IPv4 address";
        else targets.push_back(a);
        return targets;
    }
    ifaddrs* list = nullptr;
    if (getifaddrs(&list) != 0) return targets;
    for (ifaddrs* i = list; i; i = i->ifa_next) {
        if (!i->ifa_addr || i->ifa_addr->sa_family != AF_INET || !(i->ifa_flags & IFF_BROADCAST) || !i->ifa_broadaddr) continue;
        targets.push_back(reinterpret_cast<sockaddr_in*>(i->ifa_broadaddr)->sin_addr);
    }
    freeifaddrs(list);
    return targets;
}

std::vector<Responder> Ask(const std::vector<in_addr>& targets, const Options& options) {
    std::vector<Responder> found;
    const int fd = socket(AF_INET, SOCK_DGRAM, 0);
    if (fd < 0) return found;
    const int on = 1;
    setsockopt(fd, SOL_SOCKET, SO_BROADCAST, &on, sizeof on);
    const std::uint32_t xid = static_cast<std::uint32_t>(getpid()) * 2654435761u;
    const std::vector<std::uint8_t> call = GetPortCall(xid);
    for (const in_addr& target : targets) {
        sockaddr_in to{};
        to.sin_family = AF_INET;
        to.sin_port = htons(static_cast<std::uint16_t>(options.port));
        to.sin_addr = target;
        sendto(fd, call.data(), call.size(), 0, reinterpret_cast<sockaddr*>(&to), sizeof to);
    }
    std::set<std::string> seen;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(options.timeoutMs);
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        pollfd p{fd, POLLIN, 0};
        if (left.count() <= 0 || poll(&p, 1, static_cast<int>(left.count())) <= 0) break;
        std::uint8_t reply[512];
        sockaddr_in from{};
        socklen_t length = sizeof from;
        const ssize_t n = recvfrom(fd, reply, sizeof reply, 0, reinterpret_cast<sockaddr*>(&from), &length);
        if (n <= 0) continue;
        const int port = PortOfReply(reply, static_cast<std::size_t>(n), xid);
        char text[INET_ADDRSTRLEN] = "";
        inet_ntop(AF_INET, &from.sin_addr, text, sizeof text);
        if (port > 0 && seen.insert(text).second) found.push_back({text, port});
    }
    close(fd);
    return found;
}

int Identify(Session& s, std::string* identity) {
    char reply[512] = "";
    ViInt32 count = 0;
    if (!s.Check(Ztv_SystemWrite(s.vi(), "*IDN?\n"), "asking *IDN?") ||
        !s.Check(Ztv_SystemRead(s.vi(), sizeof reply - 1, reply, &count), "reading the identity")) {
        return kExitFailed;
    }
    *identity = std::string(reply, static_cast<std::size_t>(count));
    while (!identity->empty() && (identity->back() == '\n' || identity->back() == '\r')) identity->pop_back();
    return kExitOk;
}

int Discover(const Globals& globals, const Options& options) {
    std::string error;
    const std::vector<in_addr> targets = Targets(options.address, &error);
    if (!error.empty()) return UsageError(error);
    int exit = kExitOk;
    const std::vector<Responder> found = Ask(targets, options);
    for (const Responder& r : found) {
        // The core channel port came with the reply; the driver takes it
        // from the environment instead of asking the portmapper on 111 again.
        setenv("ZENTRAVA_VXI11_PORT", std::to_string(r.corePort).c_str(), 1);
        Globals one = globals;
        one.resource = "TCPIP0::" + r.address + "::inst0::INSTR";
        std::string identity;
        if (WithSession(one, [&](Session& s) { return Identify(s, &identity); }) != kExitOk) {
            exit = kExitFailed;
            continue;
        }
        std::printf("%s  %s", one.resource.c_str(), identity.c_str());
        if (options.port != kStandardPortmapperPort) std::printf("  (VXI11Port=%d)", r.corePort);
        std::printf("\n");
    }
    if (found.empty()) std::fprintf(stderr, "ztv: no instrument answered within %d ms\n", options.timeoutMs);
    return exit;
}

}  // namespace

Runner AddDiscover(CLI::App& parent, const Globals& globals) {
    CLI::App* command = parent.add_subcommand("discover", "find VXI-11 instruments on the LAN and identify them");
    auto options = std::make_shared<Options>();
    command->add_option("--timeout", options->timeoutMs, "how long to wait for answers, ms")->check(CLI::Range(1, 600000));
    command->add_option("--address", options->address, "ask this IPv4 address instead of broadcasting");
    command->add_option("--port", options->port, "portmapper port (111)")->check(CLI::Range(1, 65535));
    return [=, &globals] { return Discover(globals, *options); };
}

}  // namespace ztv_tool
