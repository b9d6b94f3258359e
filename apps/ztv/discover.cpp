// discover: the instruments on the LAN, found through multicast DNS and the
// VXI-11 portmapper broadcast by the library, each listed once with its
// identity and every resource string it offers.
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "apps/ztv/commands.h"
#include "platform/visa/discovery/lan_discovery.h"

namespace ztv_tool {

namespace {

constexpr int kStandardPortmapperPort = 111;

struct Options {
    bool mdns = false;
    bool vxi11 = false;
    int timeoutMs = 2000;
    std::string address;
    int port = kStandardPortmapperPort;
};

int Discover(const Options& options) {
    visa::DiscoveryOptions discovery;
    // Naming one way restricts discovery to it; naming none or both asks both.
    discovery.mdns = options.mdns || !options.vxi11;
    discovery.vxi11 = options.vxi11 || !options.mdns;
    discovery.timeoutMs = options.timeoutMs;
    discovery.vxi11Address = options.address;
    discovery.portmapperPort = static_cast<std::uint16_t>(options.port);
    const std::vector<visa::DiscoveredInstrument> found = visa::DiscoverInstruments(discovery);
    int exit = kExitOk;
    for (const visa::DiscoveredInstrument& instrument : found) {
        if (instrument.identity.empty()) {
            std::fprintf(stderr, "ztv: %s does not tell its identity: %s\n", instrument.host.c_str(),
                         instrument.error.c_str());
            exit = kExitFailed;
        }
        std::printf("%s\n", instrument.identity.empty() ? instrument.host.c_str() : instrument.identity.c_str());
        for (const std::string& resource : instrument.resources) {
            std::printf("    %s", resource.c_str());
            // Resource strings cannot carry the core channel port; say it
            // where the portmapper on 111 would not.
            if (instrument.vxi11CorePort != 0 && options.port != kStandardPortmapperPort &&
                resource.ends_with("::inst0::INSTR")) {
                std::printf("  (VXI11Port=%d)", instrument.vxi11CorePort);
            }
            std::printf("\n");
        }
    }
    if (found.empty()) std::fprintf(stderr, "ztv: no instrument answered within %d ms\n", options.timeoutMs);
    return exit;
}

}  // namespace

Runner AddDiscover(CLI::App& parent, const Globals&) {
    CLI::App* command = parent.add_subcommand(
        "discover", "find instruments on the LAN (multicast DNS and VXI-11 broadcast) and identify them");
    auto options = std::make_shared<Options>();
    command->add_flag("--mdns", options->mdns, "only multicast DNS (DNS-SD)");
    command->add_flag("--vxi11", options->vxi11, "only the VXI-11 portmapper broadcast");
    command->add_option("--timeout", options->timeoutMs, "how long to wait for answers, ms (2000)")
        ->check(CLI::Range(1, 600000));
    command->add_option("--address", options->address, "VXI-11: ask this IPv4 address instead of broadcasting")
        ->check(CLI::ValidIPV4);
    command->add_option("--port", options->port, "VXI-11: portmapper port (111)")->check(CLI::Range(1, 65535));
    return [=] { return Discover(*options); };
}

}  // namespace ztv_tool
