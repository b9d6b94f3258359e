// discover: the instruments on the LAN, found through multicast DNS and the
// VXI-11 portmapper broadcast by the library (Ztv_DiscoverInstruments), each
// listed once with its identity and every resource string it offers.
#include <cstdio>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "apps/ztv/commands.h"

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

// The library's list: a line per instrument, tab-separated fields.
std::string DiscoveredList(const Options& options) {
    // Naming one way restricts discovery to it; naming none or both asks both.
    const ViInt32 ways = (options.mdns || !options.vxi11 ? ZTV_DISCOVER_MDNS : 0) |
                         (options.vxi11 || !options.mdns ? ZTV_DISCOVER_VXI11 : 0);
    std::string list(65536, '\0');
    for (;;) {
        const ViStatus status = Ztv_DiscoverInstruments(ways, options.timeoutMs, options.address.c_str(), options.port,
                                                        static_cast<ViInt32>(list.size()), list.data());
        // Instruments answer again when asked again: a second round only when the first did not fit.
        if (status <= static_cast<ViStatus>(list.size())) break;
        list.assign(static_cast<std::size_t>(status), '\0');
    }
    list.resize(list.find('\0'));
    return list;
}

int Discover(const Options& options) {
    std::istringstream lines(DiscoveredList(options));
    int exit = kExitOk;
    bool any = false;
    for (std::string line; std::getline(lines, line);) {
        std::vector<std::string> fields;
        std::istringstream split(line);
        for (std::string field; std::getline(split, field, '\t');) fields.push_back(field);
        if (fields.size() < 2) continue;
        any = true;
        std::string corePort;
        if (fields.back().rfind("VXI11Port=", 0) == 0) {
            corePort = fields.back();
            fields.pop_back();
        }
        if (fields[0].empty()) {
            std::fprintf(stderr, "ztv: %s does not answer *IDN?\n", fields[1].c_str());
            exit = kExitFailed;
        }
        std::printf("%s\n", fields[0].empty() ? "(no identity)" : fields[0].c_str());
        for (std::size_t i = 1; i < fields.size(); ++i) {
            std::printf("    %s", fields[i].c_str());
            // Resource strings cannot carry the core channel port; say it
            // where the portmapper on 111 would not.
            if (!corePort.empty() && options.port != kStandardPortmapperPort && fields[i].ends_with("::inst0::INSTR")) {
                std::printf("  (%s)", corePort.c_str());
            }
            std::printf("\n");
        }
    }
    if (!any) std::fprintf(stderr, "ztv: no instrument answered within %d ms\n", options.timeoutMs);
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
