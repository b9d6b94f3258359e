#include "platform/visa/transport/usbtmc_locate.h"

#include <charconv>
#include <cstdio>
#include <filesystem>
#include <fstream>

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

bool Matches(const UsbtmcQuery& query, const fs::path& interfaceDir) {
    const fs::path deviceDir = interfaceDir.parent_path();
    const auto vendor = ReadHexAttribute(deviceDir / "idVendor");
    const auto product = ReadHexAttribute(deviceDir / "idProduct");
    const auto serial = ReadAttribute(deviceDir / "serial");
    if (!vendor || !product || !serial) return false;
    if (*vendor != query.vendorId || *product != query.productId || !EqualsNoCase(*serial, query.serialNumber)) {
        return false;
    }
    if (query.interfaceNumber) {
        const auto number = ReadHexAttribute(interfaceDir / "bInterfaceNumber");
        if (!number || static_cast<int>(*number) != *query.interfaceNumber) return false;
    }
    return true;
}

}  // namespace

Status LocateUsbtmc(const UsbtmcQuery& query, const std::string& sysRoot, const std::string& devRoot,
                    std::string* devicePath) {
    const fs::path classDir = fs::path(sysRoot) / "class" / "usbmisc";
    std::error_code error;
    for (fs::directory_iterator it(classDir, error), end; !error && it != end; it.increment(error)) {
        const std::string name = it->path().filename().string();
        if (!StartsWithNoCase(name, "usbtmc")) continue;
        std::error_code linkError;
        const fs::path interfaceDir = fs::canonical(it->path() / "device", linkError);
        if (linkError || !Matches(query, interfaceDir)) continue;
        *devicePath = (fs::path(devRoot) / name).string();
        return Status::Ok();
    }
    char ids[32];
    std::snprintf(ids, sizeof ids, "0x%04X::0x%04X", query.vendorId, query.productId);
    return Status::Fail(E_VISA_RSRC_NFOUND, std::string("No USBTMC device ") + ids + " with serial number \"" +
                                                query.serialNumber + "\" under " + classDir.string() +
                                                " (is the usbtmc kernel module loaded?).");
}

}  // namespace visa
