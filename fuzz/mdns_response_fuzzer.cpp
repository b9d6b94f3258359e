// Multicast DNS responses as any host on the LAN may send them to discovery.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "platform/visa/discovery/mdns_query.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    visa::MdnsResponse response{"192.0.2.1", {}};
    if (visa::ParseDnsResponse(data, size, &response.records)) {
        visa::ServicesIn({response}, {"_lxi._tcp", "_vxi-11._tcp", "_hislip._tcp", "_scpi-raw._tcp"});
    }
    return 0;
}
