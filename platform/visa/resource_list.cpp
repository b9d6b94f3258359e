#include "platform/visa/resource_list.h"

#include <algorithm>
#include <filesystem>
#include <memory>

#include "platform/visa/discovery/lan_discovery.h"
#include "platform/visa/resource_name.h"
#include "platform/visa/text_util.h"
#include "platform/visa/transport/gpib/prologix_transport.h"
#include "platform/visa/transport/usb/usbtmc_locate.h"

namespace visa {
namespace {

constexpr char kSerialRoot[] = "/dev/serial/by-id";
constexpr char kSysfsRoot[] = "/sys";
constexpr int kDefaultDiscoveryTimeoutMs = 2000;
constexpr int kDefaultProbeTimeoutMs = 100;
constexpr int kIdentityTimeoutMs = 2000;
constexpr int kFirstGpibAddress = 1;
constexpr int kLastGpibAddress = 30;

// The instrument's "*IDN?" reply without its terminator; empty when it gives none.
std::string Identify(Transport& transport) {
    static const std::uint8_t query[] = {'*', 'I', 'D', 'N', '?', '\n'};
    const Deadline deadline = Deadline::After(kIdentityTimeoutMs);
    if (!transport.Write(query, sizeof query, true, deadline).ok()) return {};
    std::string reply(1024, '\0');
    const ReadRequest request{reinterpret_cast<std::uint8_t*>(reply.data()), reply.size(), true, '\n'};
    ReadResult result;
    if (!transport.Read(request, deadline, &result).ok()) return {};
    reply.resize(result.count);
    while (!reply.empty() && (reply.back() == '\n' || reply.back() == '\r')) reply.pop_back();
    return reply;
}

void Append(std::vector<ListedResource>* all, std::vector<ListedResource> more) {
    all->insert(all->end(), std::make_move_iterator(more.begin()), std::make_move_iterator(more.end()));
}

}  // namespace

std::vector<ListedResource> ListSerialPorts(const std::string& root) {
    std::vector<ListedResource> ports;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(root, error)) {
        ports.push_back({"ASRL" + entry.path().string() + "::INSTR", {}});
    }
    std::sort(ports.begin(), ports.end(), [](const auto& a, const auto& b) { return a.resource < b.resource; });
    return ports;
}

std::vector<ListedResource> ListUsbtmcDevices(const std::string& sysRoot) {
    std::vector<ListedResource> devices;
    for (std::string& resource : ListUsbtmcResources(sysRoot)) devices.push_back({std::move(resource), {}});
    return devices;
}

std::vector<ListedResource> ListLanInstruments(int timeoutMs) {
    std::vector<ListedResource> listed;
    if (timeoutMs <= 0) return listed;
    DiscoveryOptions options;
    options.timeoutMs = timeoutMs;
    for (const DiscoveredInstrument& instrument : DiscoverInstruments(options)) {
        for (const std::string& resource : instrument.resources) listed.push_back({resource, instrument.identity});
    }
    return listed;
}

std::vector<ListedResource> ListGpibListeners(const OpenOptions& options) {
    const std::optional<std::string> probeText = options.Get("ProbeTimeout");
    const int probeTimeoutMs =
        probeText ? ParseDecimal(*probeText, 1, 60000).value_or(kDefaultProbeTimeoutMs) : kDefaultProbeTimeoutMs;
    std::vector<ListedResource> listeners;
    for (const auto& [board, adapter] : BoundGpibBoards(options)) {
        const OpenOptions bound = OpenOptions::Parse("GPIBAdapter=" + adapter);
        // Held for the whole probe, so that each address shares one opening.
        std::shared_ptr<PrologixAdapter> held;
        if (!PrologixAdapter::Acquire(adapter, bound, Deadline::After(kIdentityTimeoutMs), &held).ok()) continue;
        for (int primary = kFirstGpibAddress; primary <= kLastGpibAddress; ++primary) {
            ResourceAddress address;
            const std::string name = "GPIB" + std::to_string(board) + "::" + std::to_string(primary) + "::INSTR";
            if (!ParseResourceName(name, &address).ok()) continue;
            std::unique_ptr<Transport> transport;
            const Status opened =
                PrologixTransport::Open(address, adapter, bound, Deadline::After(probeTimeoutMs), &transport);
            // Past a silent address the next may answer; any other failure
            // is the adapter's own.
            if (opened.code == E_VISA_NLISTENERS) continue;
            if (!opened.ok()) break;
            listeners.push_back({address.canonicalName, Identify(*transport)});
        }
    }
    return listeners;
}

std::vector<ListedResource> ListResources(const OpenOptions& options) {
    std::vector<ListedResource> all;
    const std::optional<std::string> discoveryText = options.Get("DiscoveryTimeout");
    const int discoveryTimeoutMs = discoveryText
                                       ? ParseDecimal(*discoveryText, 0, 60000).value_or(kDefaultDiscoveryTimeoutMs)
                                       : kDefaultDiscoveryTimeoutMs;
    Append(&all, ListUsbtmcDevices(options.Get("SysfsRoot").value_or(kSysfsRoot)));
    Append(&all, ListSerialPorts(options.Get("SerialRoot").value_or(kSerialRoot)));
    Append(&all, ListGpibListeners(options));
    Append(&all, ListLanInstruments(discoveryTimeoutMs));
    return all;
}

std::string FormatResourceList(const std::vector<ListedResource>& resources) {
    std::string text;
    for (const ListedResource& listed : resources) {
        text += listed.resource;
        if (!listed.identity.empty()) text += "\t" + listed.identity;
        text += "\n";
    }
    return text;
}

}  // namespace visa
