#include "services/tracing/trace_files.h"

#include <dlfcn.h>
#include <strings.h>

#include <cstdlib>

#include "services/shared_data.h"

namespace ztv {
namespace {

namespace fs = std::filesystem;

bool HasExtension(const fs::path& path, const char* extension) {
    return strcasecmp(path.extension().c_str(), extension) == 0;
}

fs::path Absolute(const fs::path& path) {
    std::error_code ec;
    fs::path full = fs::absolute(path, ec);
    return ec ? path : full.lexically_normal();
}

bool IsFile(const fs::path& path) {
    std::error_code ec;
    return fs::is_regular_file(path, ec);
}

}  // namespace

fs::path TraceFilePath(std::string_view requested, std::string_view baseName, std::time_t now) {
    if (!requested.empty()) {
        fs::path path{std::string(requested)};
        if (!HasExtension(path, ".xml")) path += ".xml";
        return Absolute(path);
    }
    std::tm local{};
    localtime_r(&now, &local);
    char stamp[32];
    std::strftime(stamp, sizeof stamp, "%Y-%m-%d_%H-%M-%S", &local);
    return Absolute(std::string(baseName) + "_" + stamp + ".xml");
}

fs::path ComponentsFolder() {
    if (const char* configured = std::getenv("ZENTRAVA_COMPONENTS_DIR"); configured && *configured) return configured;
    Dl_info info{};
    if (!dladdr(reinterpret_cast<void*>(&ComponentsFolder), &info) || !info.dli_fname) return {};
    std::error_code ec;
    fs::path library = fs::canonical(info.dli_fname, ec);
    if (ec) library = info.dli_fname;
    return SharedDataFolderOf(library) / "components";
}

fs::path FindStylesheet(std::string_view transform, const fs::path& components, std::string_view company) {
    fs::path name{std::string(transform)};
    if (name.has_parent_path()) return IsFile(name) ? Absolute(name) : fs::path{};
    if (name.empty())
        name = "trace.xslt";
    else if (!HasExtension(name, ".xslt"))
        name += ".xslt";
    std::error_code ec;
    fs::path folder = components / std::string(company);
    if (!fs::is_directory(folder, ec)) folder = components / std::string(kFrameworkComponentsFolder);
    const fs::path path = folder / name;
    return IsFile(path) ? Absolute(path) : fs::path{};
}

}  // namespace ztv
