#include "platform/ivi/config_store.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <new>
#include <sstream>

#include "platform/ivi/store_xml_reader.h"

namespace ivi {
namespace {

template <typename Item>
const Item* FindNamed(const std::vector<Item>& items, std::string_view name) {
    for (const Item& item : items) {
        if (NamesEqual(item.name, name)) return &item;
    }
    return nullptr;
}

char AsciiLower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

}  // namespace

bool NamesEqual(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (AsciiLower(a[i]) != AsciiLower(b[i])) return false;
    }
    return true;
}

const DataComponent* FindDataComponent(const std::vector<DataComponent>& components, std::string_view name) {
    return FindNamed(components, name);
}

std::string ConfigStore::ProcessDefaultLocation() {
    const char* location = std::getenv("IVI_CONFIG_STORE");
    return location ? std::string(location) : std::string();
}

std::string ConfigStore::MasterLocation() { return "/etc/ivi/IviConfigurationStore.xml"; }

HRESULT ConfigStore::Deserialize(const std::string& path) {
    try {
        std::ifstream file(path, std::ios::binary);
        if (!file) {
            const int cause = errno;
            lastError_ = path + ": cannot open the configuration store: " + std::strerror(cause);
            return cause == ENOENT || path.empty() ? STORE_E_FILE_NOT_FOUND : E_FAIL;
        }
        std::ostringstream text;
        text << file.rdbuf();
        if (file.bad()) {
            lastError_ = path + ": cannot read the configuration store";
            return E_FAIL;
        }
        StoreContents parsed;
        std::string error;
        if (!ReadStoreXml(text.view(), parsed, error)) {
            lastError_ = path + ": " + error;
            return E_FAIL;
        }
        contents_ = std::move(parsed);
        lastError_.clear();
        return S_OK;
    } catch (const std::bad_alloc&) {
        lastError_ = "out of memory while reading the configuration store";
        return E_OUTOFMEMORY;
    }
}

const DriverSession* ConfigStore::GetDriverSession(std::string_view name) const {
    if (const LogicalName* logicalName = FindNamed(contents_.logicalNames, name)) return logicalName->session;
    return FindNamed(contents_.driverSessions, name);
}

const SoftwareModule* ConfigStore::GetSoftwareModule(std::string_view name) const {
    return FindNamed(contents_.softwareModules, name);
}

const HardwareAsset* ConfigStore::GetHardwareAsset(std::string_view name) const {
    return FindNamed(contents_.hardwareAssets, name);
}

}  // namespace ivi
