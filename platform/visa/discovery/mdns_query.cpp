#include "platform/visa/discovery/mdns_query.h"

#include <arpa/inet.h>
#include <ifaddrs.h>
#include <net/if.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>

#include <set>
#include <utility>

#include "platform/visa/transport/deadline.h"
#include "platform/visa/transport/fd_io.h"

namespace visa {
namespace {

constexpr const char* kMdnsGroup = "224.0.0.251";
constexpr std::uint16_t kMdnsPort = 5353;
constexpr const char* kLocalDomain = ".local";
// The largest message RFC 6762 allows (section 17).
constexpr std::size_t kLargestResponse = 9000;

// The IPv4 addresses of the interfaces that are up and carry multicast.
std::vector<in_addr> MulticastInterfaces() {
    std::vector<in_addr> found;
    ifaddrs* list = nullptr;
    if (getifaddrs(&list) != 0) return found;
    for (const ifaddrs* i = list; i; i = i->ifa_next) {
        if (!i->ifa_addr || i->ifa_addr->sa_family != AF_INET) continue;
        if ((i->ifa_flags & (IFF_UP | IFF_MULTICAST)) != (IFF_UP | IFF_MULTICAST)) continue;
        found.push_back(reinterpret_cast<const sockaddr_in*>(i->ifa_addr)->sin_addr);
    }
    freeifaddrs(list);
    return found;
}

const DnsRecord* Find(const std::vector<MdnsResponse>& responses, DnsType type, const std::string& name,
                      std::string* from = nullptr) {
    for (const MdnsResponse& response : responses) {
        for (const DnsRecord& record : response.records) {
            if (record.type != type || !SameDnsName(record.name, name)) continue;
            if (from) *from = response.from;
            return &record;
        }
    }
    return nullptr;
}

}  // namespace

std::vector<MdnsResponse> QueryMdns(const std::vector<std::string>& types, int timeoutMs) {
    std::vector<MdnsResponse> responses;
    std::vector<std::string> names;
    for (const std::string& type : types) names.push_back(type + kLocalDomain);
    const std::vector<std::uint8_t> query = BuildDnsQuery(names, DnsType::Ptr);
    UniqueFd fd(::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0));
    if (!fd.valid() || query.empty()) return responses;
    const int ttl = 255;  // as RFC 6762 section 11 asks of every mDNS packet
    ::setsockopt(fd.get(), IPPROTO_IP, IP_MULTICAST_TTL, &ttl, sizeof ttl);
    sockaddr_in group{};
    group.sin_family = AF_INET;
    group.sin_port = htons(kMdnsPort);
    inet_pton(AF_INET, kMdnsGroup, &group.sin_addr);
    for (const in_addr& interface : MulticastInterfaces()) {
        ::setsockopt(fd.get(), IPPROTO_IP, IP_MULTICAST_IF, &interface, sizeof interface);
        ::sendto(fd.get(), query.data(), query.size(), 0, reinterpret_cast<const sockaddr*>(&group), sizeof group);
    }
    const Deadline deadline = Deadline::After(timeoutMs);
    std::vector<std::uint8_t> buffer(kLargestResponse);
    for (;;) {
        pollfd p{fd.get(), POLLIN, 0};
        if (deadline.Expired() || ::poll(&p, 1, deadline.PollMilliseconds()) <= 0) break;
        sockaddr_in from{};
        socklen_t length = sizeof from;
        const ssize_t n =
            ::recvfrom(fd.get(), buffer.data(), buffer.size(), 0, reinterpret_cast<sockaddr*>(&from), &length);
        MdnsResponse response;
        if (n <= 0 || !ParseDnsResponse(buffer.data(), static_cast<std::size_t>(n), &response.records)) continue;
        char text[INET_ADDRSTRLEN] = "";
        inet_ntop(AF_INET, &from.sin_addr, text, sizeof text);
        response.from = text;
        responses.push_back(std::move(response));
    }
    return responses;
}

std::vector<AnnouncedService> ServicesIn(const std::vector<MdnsResponse>& responses,
                                         const std::vector<std::string>& types) {
    std::vector<AnnouncedService> services;
    std::set<std::pair<std::string, std::string>> seen;  // type and instance key
    for (const std::string& type : types) {
        for (const MdnsResponse& response : responses) {
            for (const DnsRecord& pointer : response.records) {
                if (pointer.type != DnsType::Ptr || !SameDnsName(pointer.name, type + kLocalDomain)) continue;
                AnnouncedService service{type, "", 0, {}};
                const DnsRecord* srv = Find(responses, DnsType::Srv, pointer.target, &service.address);
                if (!srv) continue;
                if (!seen.emplace(type, DnsNameKey(pointer.target)).second) continue;
                service.port = srv->port;
                if (const DnsRecord* txt = Find(responses, DnsType::Txt, pointer.target)) service.texts = txt->texts;
                if (const DnsRecord* a = Find(responses, DnsType::A, srv->target)) service.address = a->address;
                services.push_back(std::move(service));
            }
        }
    }
    return services;
}

}  // namespace visa
