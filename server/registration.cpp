#include "server/registration.h"

#include <dlfcn.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <pugixml.hpp>

#include "platform/com/registry.h"
#include "services/driver_identity.h"
#include "services/shared_data.h"

namespace ztv {
namespace {

using reg::Hive;
constexpr Hive kRoot = Hive::ClassesRoot;
constexpr std::string_view kCategory = "{47ed5152-a398-11d4-ba58-000064657374}";
constexpr std::string_view kTypeLibHelp = "IVI Zentrava 1.0 Type Library";

std::string ClassKey() { return "CLSID\\" + std::string(kClsidZentrava); }
std::string TypeLibKey() { return "TypeLib\\" + std::string(kLibId); }

// Applies writes in order and keeps the first failure.
class Writer {
public:
    Writer& Key(const std::string& key) {
        if (SUCCEEDED(result_)) result_ = reg::CreateKey(kRoot, key);
        return *this;
    }
    Writer& Value(const std::string& key, std::string_view name, std::string_view data) {
        if (SUCCEEDED(result_)) result_ = reg::SetString(kRoot, key, name, data);
        return *this;
    }
    Writer& Remove(const std::string& key) {
        if (SUCCEEDED(result_)) result_ = reg::DeleteTree(kRoot, key);
        return *this;
    }
    HRESULT Result() const { return SUCCEEDED(result_) ? S_OK : result_; }

private:
    HRESULT result_ = S_OK;
};

HRESULT RegisterAppId(Writer& w) {
    const std::string appId(kAppId);
    return w.Key("AppID")
        .Value("AppID\\" + appId, "", kDriverIdentifier)
        .Value("AppID\\Zentrava.DLL", "AppID", appId)
        .Result();
}

HRESULT RegisterClass(Writer& w) {
    const std::string clsid(kClsidZentrava), key = ClassKey();
    return w.Value(std::string(kProgId), "", kFriendlyName)
        .Value(std::string(kProgId) + "\\CLSID", "", clsid)
        .Value(std::string(kVersionIndependentProgId), "", kFriendlyName)
        .Value(std::string(kVersionIndependentProgId) + "\\CLSID", "", clsid)
        .Value(std::string(kVersionIndependentProgId) + "\\CurVer", "", kProgId)
        .Key("CLSID")
        .Remove(key)  // a fresh key each time, so that registering twice leaves one set
        .Value(key, "", kFriendlyName)
        .Value(key, "AppID", kAppId)
        .Value(key + "\\ProgID", "", kProgId)
        .Value(key + "\\VersionIndependentProgID", "", kVersionIndependentProgId)
        .Key(key + "\\Programmable")
        .Value(key + "\\InprocServer32", "", ModulePath())
        .Value(key + "\\InprocServer32", "ThreadingModel", "both")
        .Value(key + "\\TypeLib", "", kLibId)
        .Key(key + "\\Implemented Categories\\" + std::string(kCategory))
        .Result();
}

HRESULT RegisterTypeLibrary(Writer& w) {
    const std::string path = TypeLibraryPath();
    pugi::xml_document doc;
    if (!doc.load_file(path.c_str())) return TYPE_E_CANTLOADLIBRARY;
    const std::string version = TypeLibKey() + "\\1.0";
    return w.Remove(TypeLibKey())
        .Value(version, "", kTypeLibHelp)
        .Value(version + "\\FLAGS", "", "0")
        .Value(version + "\\HELPDIR", "", std::filesystem::path(path).parent_path().string())
        .Value(version + "\\409\\win32", "", path)
        .Result();
}

// The registry file as it was before registering. Each write replaces the
// file whole, but registration takes many writes: when one fails, the old
// file comes back (through a temporary file and a rename), so a failure
// leaves the old file rather than part of a registration.
class RegistrySnapshot {
public:
    RegistrySnapshot() : path_(reg::FilePath()) {
        std::ifstream in(path_, std::ios::binary);
        if (in) content_ = std::string(std::istreambuf_iterator<char>(in), {});
    }
    void Restore() const {
        std::error_code ec;
        if (!content_) {
            std::filesystem::remove(path_, ec);
            return;
        }
        const std::string temporary = path_ + ".restore";
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        out << *content_;
        out.close();
        if (out)
            std::filesystem::rename(temporary, path_, ec);
        else
            std::filesystem::remove(temporary, ec);
    }

private:
    std::string path_;
    std::optional<std::string> content_;  // none: there was no file
};

}  // namespace

std::string ModulePath() {
    Dl_info info{};
    if (!dladdr(reinterpret_cast<void*>(&RegisterServer), &info) || !info.dli_fname) return {};
    std::error_code ec;
    const auto path = std::filesystem::canonical(info.dli_fname, ec);
    return ec ? std::string(info.dli_fname) : path.string();
}

std::string TypeLibraryPath() { return (SharedDataFolderOf(ModulePath()) / "Zentrava.typelib.xml").string(); }

HRESULT RegisterServer() {
    const RegistrySnapshot before;
    Writer w;
    HRESULT hr = RegisterAppId(w);
    if (SUCCEEDED(hr)) hr = RegisterClass(w);
    if (SUCCEEDED(hr)) hr = RegisterTypeLibrary(w);
    if (FAILED(hr)) before.Restore();
    return hr;
}

HRESULT UnregisterServer() {
    Writer w;
    return w.Remove(ClassKey())
        .Remove(std::string(kProgId))
        .Remove(std::string(kVersionIndependentProgId))
        .Remove(TypeLibKey())
        .Remove("AppID\\" + std::string(kAppId))
        .Remove("AppID\\Zentrava.DLL")
        .Result();
}

}  // namespace ztv
