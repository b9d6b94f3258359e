// A read-only IVI Configuration Store, loaded from an XML file (the format is
// described in platform/ivi/README.md). Object names and properties follow the
// IVI Configuration Server: hardware assets, software modules, driver sessions
// with virtual names, logical names, and data components on each of them.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "zentrava/com.h"

namespace ivi {

// Deserialize result when the file does not exist (HRESULT of ERROR_FILE_NOT_FOUND).
constexpr HRESULT STORE_E_FILE_NOT_FOUND = MakeHresult(0x80070002);

struct DataComponent {
    std::string name;
    std::string type;  // "String", "Integer", "Real", "Boolean", "Structure", "APIReference"
    std::string text;  // the value as written; empty for a Structure
    int32_t integer = 0;
    double real = 0;
    bool boolean = false;
    std::vector<DataComponent> children;  // a Structure's members
};

struct VirtualRange {
    int32_t min, max, startingPhysicalIndex;
};

struct VirtualName {
    std::string name, mapTo;
    std::vector<VirtualRange> ranges;
};

struct HardwareAsset {
    std::string name, description, ioResourceDescriptor;
    std::vector<DataComponent> dataComponents;
};

struct SoftwareModule {
    std::string name, description, prefix, modulePath, progId;
    std::vector<DataComponent> dataComponents;
};

struct DriverSession {
    std::string name, description;
    const HardwareAsset* hardwareAsset = nullptr;
    const SoftwareModule* softwareModule = nullptr;
    bool cache = true, interchangeCheck = false, queryInstrStatus = false, rangeCheck = true, recordCoercions = false,
         simulate = false;
    std::string driverSetup;
    std::vector<VirtualName> virtualNames;
    std::vector<DataComponent> dataComponents;
};

struct LogicalName {
    std::string name;
    const DriverSession* session = nullptr;
};

// Everything one store file holds. The pointers in DriverSession and
// LogicalName point into these vectors.
struct StoreContents {
    std::vector<HardwareAsset> hardwareAssets;
    std::vector<SoftwareModule> softwareModules;
    std::vector<DriverSession> driverSessions;
    std::vector<LogicalName> logicalNames;
};

class ConfigStore {
public:
    ConfigStore() = default;
    // Copying would leave the cross-references pointing into the source;
    // moving keeps them valid because vector moves keep their elements.
    ConfigStore(const ConfigStore&) = delete;
    ConfigStore& operator=(const ConfigStore&) = delete;
    ConfigStore(ConfigStore&&) = default;
    ConfigStore& operator=(ConfigStore&&) = default;

    // $IVI_CONFIG_STORE, or "" when it is not set.
    static std::string ProcessDefaultLocation();
    // The machine-wide store file.
    static std::string MasterLocation();

    // Loads the store from path. On failure the store keeps its earlier
    // contents and LastError() says what was wrong (with the line number).
    // Results: S_OK, STORE_E_FILE_NOT_FOUND, E_FAIL (unreadable or malformed),
    // E_OUTOFMEMORY.
    HRESULT Deserialize(const std::string& path);
    const std::string& LastError() const { return lastError_; }

    // A logical name is resolved first, then a driver session's own name.
    // Names compare case-insensitively. nullptr when unknown.
    const DriverSession* GetDriverSession(std::string_view name) const;
    const SoftwareModule* GetSoftwareModule(std::string_view name) const;
    const HardwareAsset* GetHardwareAsset(std::string_view name) const;

    const std::vector<HardwareAsset>& HardwareAssets() const { return contents_.hardwareAssets; }
    const std::vector<SoftwareModule>& SoftwareModules() const { return contents_.softwareModules; }
    const std::vector<DriverSession>& DriverSessions() const { return contents_.driverSessions; }
    const std::vector<LogicalName>& LogicalNames() const { return contents_.logicalNames; }

private:
    StoreContents contents_;
    std::string lastError_;
};

// The first component of that name (case-insensitive), or nullptr.
const DataComponent* FindDataComponent(const std::vector<DataComponent>& components, std::string_view name);

// ASCII case-insensitive equality, as the store compares names.
bool NamesEqual(std::string_view a, std::string_view b);

}  // namespace ivi
