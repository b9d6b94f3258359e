// One-shot multicast DNS queries (RFC 6762 section 5.1) for DNS-SD service
// types (RFC 6763): one message with a PTR question for each type goes from an
// ephemeral port to 224.0.0.251:5353 on every multicast interface, and
// responders answer it directly to that port (section 6.7).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/visa/discovery/dns_message.h"

namespace visa {

// An instance of a service type, as its SRV, TXT and A records tell it.
struct AnnouncedService {
    std::string type;     // "_hislip._tcp"
    std::string address;  // the host's IPv4 address
    std::uint16_t port = 0;
    std::vector<std::string> texts;  // "key=value"
};

struct MdnsResponse {
    std::string from;  // the responder's address
    std::vector<DnsRecord> records;
};

// Sends the query and collects the well-formed responses until the time-out.
std::vector<MdnsResponse> QueryMdns(const std::vector<std::string>& types, int timeoutMs);

// Each instance of the `types` that the responses name with a PTR and an SRV,
// once; the address from an A record of the SRV's host, else the address the
// response came from.
std::vector<AnnouncedService> ServicesIn(const std::vector<MdnsResponse>& responses,
                                         const std::vector<std::string>& types);

}  // namespace visa
