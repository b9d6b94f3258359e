#include "platform/visa/transport/usb/usbtmc_locate.h"

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>

#include "platform/text/number_codec.h"
#include "platform/visa/text_util.h"

namespace visa {
namespace {

namespace fs = std::filesystem;

std::optional<std::string> ReadAttribute(const fs::path& file) {
    std::ifstream in(file);
    std::string value;
    if (!in || !std::getline(in, value)) return std::nullopt;
    return std::string(codec::TrimBlanks(value));
}

std::optional<unsigned long> ReadHexAttribute(const fs::path& file) {
    const auto text = ReadAttribute(file);
    if (!text || text->empty()) return std::nullopt;
    unsigned long value = 0;
    const char* end = text->data() + text->size();
    const auto [stop, error] = std::from_chars(text->data(), end, value, 16);
    if (error != std::errc() || stop != end) return std::nullopt;
    return value;
}

// The node udev made for a class entry; its own name where uevent says nothing.
std::string DeviceNodeName(const fs::path& classEntry) {
    std::ifstream in(classEntry / "uevent");
    constexpr std::string_view kKey = "DEVNAME=";
    for (std::string line; std::getline(in, line);) {
        if (line.compare(0, kKey.size(), kKey) == 0 && line.size() > kKey.size()) return line.substr(kKey.size());
    }
    return classEntry.filename().string();
}

// One USBTMC interface as sysfs describes it.
struct Interface {
    unsigned long vendor = 0;
    unsigned long product = 0;
    std::string serial;  // empty when the device has none
    int number = 0;
    fs::path device;  // the USB device's directory, shared by its interfaces
    std::string node;
};

std::vector<Interface> ScanInterfaces(const std::string& sysRoot) {
    std::vector<Interface> found;
    std::error_code error;
    for (fs::directory_iterator it(fs::path(sysRoot) / "class" / "usbmisc", error), end; !error && it != end;
         it.increment(error)) {
        if (!StartsWithNoCase(it->path().filename().string(), "usbtmc")) continue;
        std::error_code linkError;
        const fs::path interfaceDir = fs::canonical(it->path() / "device", linkError);
        if (linkError) continue;
        Interface entry;
        entry.device = interfaceDir.parent_path();
        const auto vendor = ReadHexAttribute(entry.device / "idVendor");
        const auto product = ReadHexAttribute(entry.device / "idProduct");
        const auto number = ReadHexAttribute(interfaceDir / "bInterfaceNumber");
        if (!vendor || !product || !number) continue;
        entry.vendor = *vendor;
        entry.product = *product;
        entry.number = static_cast<int>(*number);
        entry.serial = ReadAttribute(entry.device / "serial").value_or("");
        entry.node = DeviceNodeName(it->path());
        found.push_back(std::move(entry));
    }
    return found;
}

std::string UsbIds(unsigned long vendor, unsigned long product) {
    char ids[32];
    std::snprintf(ids, sizeof ids, "0x%04lX::0x%04lX", vendor, product);
    return ids;
}

}  // namespace

Status LocateUsbtmc(const UsbtmcQuery& query, const std::string& sysRoot, const std::string& devRoot,
                    std::string* devicePath) {
    const Interface* best = nullptr;
    const std::vector<Interface> interfaces = ScanInterfaces(sysRoot);
    for (const Interface& candidate : interfaces) {
        if (candidate.vendor != query.vendorId || candidate.product != query.productId ||
            !EqualsNoCase(candidate.serial, query.serialNumber)) {
            continue;
        }
        if (query.interfaceNumber && candidate.number != *query.interfaceNumber) continue;
        if (!best || candidate.number < best->number) best = &candidate;
    }
    if (best) {
        *devicePath = (fs::path(devRoot) / best->node).string();
        return Status::Ok();
    }
    const std::string serial =
        query.serialNumber.empty() ? "without a serial number" : "with serial number \"" + query.serialNumber + "\"";
    const std::string interface =
        query.interfaceNumber ? " on interface " + std::to_string(*query.interfaceNumber) : std::string();
    return Status::Fail(E_VISA_RSRC_NFOUND, "No USBTMC device " + UsbIds(query.vendorId, query.productId) + " " +
                                                serial + interface + " under " +
                                                (fs::path(sysRoot) / "class" / "usbmisc").string() +
                                                " (is the usbtmc kernel module loaded?).");
}

std::vector<std::string> ListUsbtmcResources(const std::string& sysRoot) {
    const std::vector<Interface> interfaces = ScanInterfaces(sysRoot);
    std::map<fs::path, int> perDevice;
    for (const Interface& entry : interfaces) ++perDevice[entry.device];
    std::vector<std::string> resources;
    for (const Interface& entry : interfaces) {
        std::string name = "USB0::" + UsbIds(entry.vendor, entry.product);
        if (!entry.serial.empty()) name += "::" + entry.serial;
        if (perDevice[entry.device] > 1) name += "::" + std::to_string(entry.number);
        resources.push_back(name + "::INSTR");
    }
    std::sort(resources.begin(), resources.end());
    return resources;
}

}  // namespace visa
