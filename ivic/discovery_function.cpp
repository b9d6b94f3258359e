// Extension of the C face: the instruments on the LAN, through the library's
// discovery, as text a C caller can read line by line.
#include <cstdint>
#include <string>

#include "ivic/status_translation.h"
#include "platform/visa/discovery/lan_discovery.h"
#include "zentrava/Zentrava.h"
#include "zentrava/raii.h"

extern "C" {

ViStatus Ztv_DiscoverInstruments(ViInt32 Ways, ViInt32 TimeoutMs, ViConstString Vxi11Address, ViInt32 PortmapperPort,
                                 ViInt32 BufferSize, ViChar List[]) {
    if ((Ways & ~(ZTV_DISCOVER_MDNS | ZTV_DISCOVER_VXI11)) != 0 || TimeoutMs < 0 || PortmapperPort < 0 ||
        PortmapperPort > 65535) {
        return ztv::kIviCGenericFailure;
    }
    visa::DiscoveryOptions options;
    options.mdns = (Ways & ZTV_DISCOVER_MDNS) != 0;
    options.vxi11 = (Ways & ZTV_DISCOVER_VXI11) != 0;
    options.timeoutMs = TimeoutMs;
    options.vxi11Address = Vxi11Address ? Vxi11Address : "";
    if (PortmapperPort != 0) options.portmapperPort = static_cast<std::uint16_t>(PortmapperPort);
    std::string list;
    for (const visa::DiscoveredInstrument& instrument : visa::DiscoverInstruments(options)) {
        list += instrument.identity;
        for (const std::string& resource : instrument.resources) list += "\t" + resource;
        if (instrument.vxi11CorePort != 0) list += "\tVXI11Port=" + std::to_string(instrument.vxi11CorePort);
        list += "\n";
    }
    return ztv::StoreText(com::Bstr(list).get(), BufferSize, List);
}

}  // extern "C"
