#include "platform/com/module_loader.h"

#include <dlfcn.h>

#include <map>
#include <mutex>

namespace {

struct LoadedModules {
    std::mutex mutex;
    std::map<std::string, DllGetClassObjectFn> entryPoints;
};

LoadedModules& Modules() {
    // Modules are never unloaded (objects from them may outlive any owner),
    // so the table need not be destroyed either.
    static auto* modules = new LoadedModules;
    return *modules;
}

HRESULT EntryPoint(const std::string& path, DllGetClassObjectFn* entry) {
    LoadedModules& modules = Modules();
    std::lock_guard lock(modules.mutex);
    if (auto it = modules.entryPoints.find(path); it != modules.entryPoints.end()) {
        *entry = it->second;
        return S_OK;
    }
    void* handle = dlopen(path.c_str(), RTLD_NOW);
    if (handle == nullptr) return CO_E_DLLNOTFOUND;
    void* symbol = dlsym(handle, "DllGetClassObject");
    if (symbol == nullptr) {
        dlclose(handle);
        return CO_E_ERRORINDLL;
    }
    *entry = reinterpret_cast<DllGetClassObjectFn>(symbol);
    modules.entryPoints.emplace(path, *entry);
    return S_OK;
}

}  // namespace

namespace com_detail {

HRESULT ClassObjectFromModule(const std::string& path, REFCLSID clsid, REFIID riid, void** ppv) {
    DllGetClassObjectFn entry = nullptr;
    const HRESULT hr = EntryPoint(path, &entry);
    if (FAILED(hr)) return hr;
    return entry(clsid, riid, ppv);
}

}  // namespace com_detail
