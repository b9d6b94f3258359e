// A sysfs tree as the kernel lays it out for USBTMC interfaces: the class
// entry <root>/class/usbmisc/<node> links to the USB interface, whose parent
// directory is the USB device, and its uevent names the device node.
#pragma once

#include <filesystem>
#include <fstream>
#include <optional>
#include <string>

namespace ztv::test {

struct SysfsInterface {
    std::string node;  // class entry, e.g. "usbtmc0"
    std::string port;  // USB device directory, e.g. "1-1"
    std::string vendor = "0957";
    std::string product = "1a07";
    std::optional<std::string> serial = "MY001";
    int interfaceNumber = 0;
    std::optional<std::string> devName;  // DEVNAME in uevent; none: no uevent file
};

inline void AddSysfsInterface(const std::filesystem::path& root, const SysfsInterface& entry) {
    namespace fs = std::filesystem;
    const fs::path device = root / "devices" / entry.port;
    const fs::path interface = device / (entry.port + ":1." + std::to_string(entry.interfaceNumber));
    fs::create_directories(interface);
    std::ofstream(device / "idVendor") << entry.vendor << "\n";
    std::ofstream(device / "idProduct") << entry.product << "\n";
    if (entry.serial) std::ofstream(device / "serial") << *entry.serial << "\n";
    char number[8];
    std::snprintf(number, sizeof number, "%02x", entry.interfaceNumber);
    std::ofstream(interface / "bInterfaceNumber") << number << "\n";
    const fs::path classEntry = root / "class" / "usbmisc" / entry.node;
    fs::create_directories(classEntry);
    fs::create_directory_symlink(interface, classEntry / "device");
    if (entry.devName)
        std::ofstream(classEntry / "uevent") << "MAJOR=180\nMINOR=176\nDEVNAME=" << *entry.devName << "\n";
}

inline void RemoveSysfsInterface(const std::filesystem::path& root, const std::string& node) {
    std::filesystem::remove_all(root / "class" / "usbmisc" / node);
}

}  // namespace ztv::test
