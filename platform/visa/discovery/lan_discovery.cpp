#include "platform/visa/discovery/lan_discovery.h"

#include <future>
#include <memory>
#include <set>
#include <thread>

#include "platform/visa/discovery/mdns_query.h"
#include "platform/visa/discovery/vxi11_broadcast.h"
#include "platform/visa/open_options.h"
#include "platform/visa/resource_name.h"
#include "platform/visa/transport/transport_factory.h"

namespace visa {
namespace {

const std::vector<std::string> kServiceTypes = {"_lxi._tcp", "_vxi-11._tcp", "_hislip._tcp", "_scpi-raw._tcp"};

// What the answers say of one host.
struct Host {
    std::string address;
    std::set<std::uint16_t> hislipPorts;
    bool vxi11 = false;
    std::uint16_t vxi11CorePort = 0;
    std::set<std::uint16_t> socketPorts;
};

Host& HostAt(std::vector<Host>& hosts, const std::string& address) {
    for (Host& host : hosts) {
        if (host.address == address) return host;
    }
    return hosts.emplace_back(Host{address, {}, false, 0, {}});
}

std::vector<std::string> ResourcesOf(const Host& host) {
    std::vector<std::string> resources;
    const std::string prefix = "TCPIP0::" + host.address + "::";
    for (std::uint16_t port : host.hislipPorts) {
        resources.push_back(prefix + "hislip0," + std::to_string(port) + "::INSTR");
    }
    if (host.vxi11) resources.push_back(prefix + "inst0::INSTR");
    for (std::uint16_t port : host.socketPorts) resources.push_back(prefix + std::to_string(port) + "::SOCKET");
    return resources;
}

Status AskIdentity(const std::string& resource, std::uint16_t vxi11CorePort, int timeoutMs, std::string* identity) {
    ResourceAddress address;
    if (Status status = ParseResourceName(resource, &address); !status.ok()) return status;
    const OpenOptions options =
        OpenOptions::Parse(vxi11CorePort != 0 ? "VXI11Port=" + std::to_string(vxi11CorePort) : std::string());
    const Deadline deadline = Deadline::After(timeoutMs);
    std::unique_ptr<Transport> transport;
    if (Status status = OpenTransport(address, options, false, deadline, &transport); !status.ok()) return status;
    static constexpr char kQuery[] = "*IDN?\n";
    if (Status status =
            transport->Write(reinterpret_cast<const std::uint8_t*>(kQuery), sizeof kQuery - 1, true, deadline);
        !status.ok()) {
        return status;
    }
    std::uint8_t reply[512];
    ReadResult result;
    if (Status status = transport->Read(ReadRequest{reply, sizeof reply, true, '\n'}, deadline, &result);
        !status.ok()) {
        return status;
    }
    identity->assign(reinterpret_cast<const char*>(reply), result.count);
    while (!identity->empty() && (identity->back() == '\n' || identity->back() == '\r')) identity->pop_back();
    return Status::Ok();
}

// The first resource, in the order offered, that answers *IDN?.
void Identify(DiscoveredInstrument* instrument, int timeoutMs) {
    for (const std::string& resource : instrument->resources) {
        const Status status = AskIdentity(resource, instrument->vxi11CorePort, timeoutMs, &instrument->identity);
        if (status.ok()) {
            instrument->error.clear();
            return;
        }
        instrument->error = resource + ": " + status.text;
    }
}

}  // namespace

std::vector<DiscoveredInstrument> DiscoverInstruments(const DiscoveryOptions& options) {
    // The broadcast waits on a thread of its own while multicast DNS waits here.
    std::future<std::vector<PortmapperAnswer>> portmappers;
    if (options.vxi11) {
        portmappers = std::async(std::launch::async, AskPortmappers, options.vxi11Address, options.portmapperPort,
                                 options.timeoutMs);
    }
    std::vector<Host> hosts;
    if (options.mdns) {
        for (const AnnouncedService& service : ServicesIn(QueryMdns(kServiceTypes, options.timeoutMs), kServiceTypes)) {
            Host& host = HostAt(hosts, service.address);
            if (service.type == "_hislip._tcp") host.hislipPorts.insert(service.port);
            if (service.type == "_vxi-11._tcp") host.vxi11 = true;
            if (service.type == "_scpi-raw._tcp") host.socketPorts.insert(service.port);
        }
    }
    if (options.vxi11) {
        for (const PortmapperAnswer& answer : portmappers.get()) {
            Host& host = HostAt(hosts, answer.address);
            host.vxi11 = true;
            host.vxi11CorePort = answer.corePort;
        }
    }
    std::vector<DiscoveredInstrument> instruments;
    for (const Host& host : hosts) {
        DiscoveredInstrument instrument{host.address, ResourcesOf(host), "", "", host.vxi11CorePort};
        if (instrument.resources.empty()) continue;  // announced only as LXI: no way to talk to it named
        instruments.push_back(std::move(instrument));
    }
    std::vector<std::thread> asking;
    for (DiscoveredInstrument& instrument : instruments) {
        asking.emplace_back(Identify, &instrument, options.timeoutMs);
    }
    for (std::thread& thread : asking) thread.join();
    return instruments;
}

}  // namespace visa
