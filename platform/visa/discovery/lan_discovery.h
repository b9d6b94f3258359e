// The instruments on the LAN, found both ways at once: multicast DNS
// (DNS-SD service types of LXI, VXI-11, HiSLIP and raw SCPI sockets) and the
// VXI-11 portmapper broadcast. Each is asked *IDN? and nothing else, so that
// discovery never changes an instrument's state.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace visa {

struct DiscoveryOptions {
    bool mdns = true;
    bool vxi11 = true;
    // How long each way waits for answers, and how long each *IDN? may take.
    int timeoutMs = 2000;
    // VXI-11: ask this IPv4 address instead of broadcasting, at this portmapper port.
    std::string vxi11Address;
    std::uint16_t portmapperPort = 111;
};

struct DiscoveredInstrument {
    std::string host;  // IPv4 address
    // Every resource string it offers: HiSLIP, then VXI-11, then sockets.
    std::vector<std::string> resources;
    std::string identity;  // the *IDN? reply; empty when none came
    std::string error;     // why no identity came
    // The VXI-11 core channel's port, where a portmapper said it; 0 otherwise.
    std::uint16_t vxi11CorePort = 0;
};

// One entry per host: those multicast DNS found, then those only the
// broadcast found.
std::vector<DiscoveredInstrument> DiscoverInstruments(const DiscoveryOptions& options);

}  // namespace visa
