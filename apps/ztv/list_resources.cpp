// list-resources: every resource the driver could open now, one a line, with
// the instrument's identity where it answered. The list is the C face's.
#include <algorithm>
#include <cstdio>
#include <memory>
#include <string>

#include "apps/ztv/commands.h"
#include "zentrava/resources.hpp"

namespace ztv_tool {

namespace {

struct Options {
    int probeTimeoutMs = 100;
    int discoveryTimeoutMs = 2000;
    std::string sysfsRoot;
    std::string serialRoot;
    std::string gpibAdapter;
};

int ListResources(const Options& options) {
    std::string text = "ProbeTimeout=" + std::to_string(options.probeTimeoutMs) +
                       ";DiscoveryTimeout=" + std::to_string(options.discoveryTimeoutMs);
    if (!options.sysfsRoot.empty()) text += ";SysfsRoot=" + options.sysfsRoot;
    if (!options.serialRoot.empty()) text += ";SerialRoot=" + options.serialRoot;
    if (!options.gpibAdapter.empty()) text += ";GPIBAdapter=" + options.gpibAdapter;
    const std::vector<zentrava::ListedResource> found = zentrava::list_resources(text);
    std::size_t width = 0;
    for (const auto& listed : found) width = std::max(width, listed.resource.size());
    for (const auto& listed : found) {
        if (listed.identity.empty()) {
            std::printf("%s\n", listed.resource.c_str());
        } else {
            std::printf("%-*s  %s\n", static_cast<int>(width), listed.resource.c_str(), listed.identity.c_str());
        }
    }
    return kExitOk;
}

}  // namespace

Runner AddListResources(CLI::App& parent) {
    CLI::App* command = parent.add_subcommand("list-resources", "list every resource the driver could open now");
    auto options = std::make_shared<Options>();
    command->add_option("--probe-timeout", options->probeTimeoutMs, "how long each GPIB address may take to answer, ms")
        ->check(CLI::Range(1, 60000));
    command
        ->add_option("--discovery-timeout", options->discoveryTimeoutMs,
                     "how long LAN discovery waits, ms (0: no LAN instruments)")
        ->check(CLI::Range(0, 60000));
    command->add_option("--sysfs-root", options->sysfsRoot, "where USBTMC devices are found (/sys)");
    command->add_option("--serial-root", options->serialRoot, "where serial ports are named (/dev/serial/by-id)");
    command->add_option("--gpib-adapter", options->gpibAdapter,
                        "the Prologix adapter of GPIB board 0 (else $ZENTRAVA_GPIB<n> for board n)");
    return [=] { return ListResources(*options); };
}

}  // namespace ztv_tool
