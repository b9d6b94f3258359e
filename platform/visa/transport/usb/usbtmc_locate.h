// Finding the device node of a USB instrument through sysfs: each
// <sys>/class/usbmisc/usbtmcN links to its USB interface, whose parent device
// carries idVendor, idProduct and (on most instruments) serial; the node's
// name under <dev> is the DEVNAME of its uevent.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/visa/status.h"

namespace visa {

struct UsbtmcQuery {
    std::uint16_t vendorId = 0;
    std::uint16_t productId = 0;
    // Compared without regard to letter case; empty matches only devices
    // without a serial number.
    std::string serialNumber;
    // Without one, the lowest-numbered USBTMC interface of the device.
    std::optional<int> interfaceNumber;
};

// `sysRoot` and `devRoot` are "/sys" and "/dev" outside of tests.
Status LocateUsbtmc(const UsbtmcQuery& query, const std::string& sysRoot, const std::string& devRoot,
                    std::string* devicePath);

// Every USBTMC interface under `sysRoot` as a VISA resource string,
// USB0::0xVVVV::0xPPPP::SERIAL::INSTR, with the interface number where a
// device has several, sorted.
std::vector<std::string> ListUsbtmcResources(const std::string& sysRoot);

}  // namespace visa
