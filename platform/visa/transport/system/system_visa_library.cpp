#include "platform/visa/transport/system/system_visa_library.h"

#include <dlfcn.h>

#include <cstdlib>
#include <vector>

namespace visa {
namespace {

// Names under which VISA vendors install their library on Linux.
const char* const kUsualNames[] = {"libvisa.so", "libvisa.so.0", "librsvisa.so", "libiovisa.so", "libktvisa32.so"};

template <typename Function>
void Bind(void* handle, const char* name, Function* slot, std::string* missing) {
    *slot = reinterpret_cast<Function>(::dlsym(handle, name));
    if (*slot == nullptr) *missing += (missing->empty() ? "" : ", ") + std::string(name);
}

}  // namespace

SystemVisaLibrary::~SystemVisaLibrary() {
    if (handle_ != nullptr) ::dlclose(handle_);
}

Status SystemVisaLibrary::Load(std::shared_ptr<SystemVisaLibrary>* library) {
    std::vector<std::string> candidates;
    if (const char* chosen = std::getenv("ZENTRAVA_VISA_LIBRARY"); chosen != nullptr && *chosen != '\0') {
        candidates.emplace_back(chosen);
    } else {
        candidates.assign(std::begin(kUsualNames), std::end(kUsualNames));
    }
    std::string tried;
    for (const std::string& candidate : candidates) {
        void* handle = ::dlopen(candidate.c_str(), RTLD_NOW | RTLD_LOCAL);
        if (handle == nullptr) {
            tried += (tried.empty() ? "" : "; ") + std::string(::dlerror());
            continue;
        }
        std::shared_ptr<SystemVisaLibrary> loaded(new SystemVisaLibrary());
        loaded->handle_ = handle;
        loaded->path_ = candidate;
        SystemVisaApi& api = loaded->api_;
        std::string missing;
        Bind(handle, "viOpenDefaultRM", &api.viOpenDefaultRM, &missing);
        Bind(handle, "viOpen", &api.viOpen, &missing);
        Bind(handle, "viClose", &api.viClose, &missing);
        Bind(handle, "viWrite", &api.viWrite, &missing);
        Bind(handle, "viRead", &api.viRead, &missing);
        Bind(handle, "viClear", &api.viClear, &missing);
        Bind(handle, "viReadSTB", &api.viReadSTB, &missing);
        Bind(handle, "viAssertTrigger", &api.viAssertTrigger, &missing);
        Bind(handle, "viSetAttribute", &api.viSetAttribute, &missing);
        Bind(handle, "viStatusDesc", &api.viStatusDesc, &missing);
        if (!missing.empty()) {
            // The library is closed again when `loaded` goes.
            tried += (tried.empty() ? "" : "; ") + candidate + " lacks " + missing;
            continue;
        }
        *library = std::move(loaded);
        return Status::Ok();
    }
    return Status::Fail(E_VISA_LIBRARY_NFOUND,
                        "No VISA library found (set ZENTRAVA_VISA_LIBRARY to its path). Tried: " + tried + ".");
}

}  // namespace visa
