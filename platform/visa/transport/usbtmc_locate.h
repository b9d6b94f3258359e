// Finding the /dev/usbtmcN node of a USB instrument through sysfs: each
// /sys/class/usbmisc/usbtmcN links to its USB interface, whose parent device
// carries idVendor, idProduct and serial.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "platform/visa/status.h"

namespace visa {

struct UsbtmcQuery {
    std::uint16_t vendorId = 0;
    std::uint16_t productId = 0;
    std::string serialNumber;  // compared without regard to letter case
    std::optional<int> interfaceNumber;
};

// `sysRoot` and `devRoot` are "/sys" and "/dev" outside of tests.
Status LocateUsbtmc(const UsbtmcQuery& query, const std::string& sysRoot, const std::string& devRoot,
                    std::string* devicePath);

}  // namespace visa
