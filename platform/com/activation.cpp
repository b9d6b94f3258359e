// Object creation: classes registered in this process first, then the
// in-process server named by the registry.
#include <optional>
#include <string>

#include "platform/com/apartment.h"
#include "platform/com/class_table.h"
#include "platform/com/loaded_servers.h"
#include "platform/com/module_loader.h"
#include "platform/com/registry.h"
#include "zentrava/com.h"

namespace {

constexpr DWORD kInProcess = CLSCTX_INPROC_SERVER | CLSCTX_INPROC_HANDLER;

HRESULT ClassObjectFromRegistry(REFCLSID clsid, REFIID riid, void** ppv) {
    const std::string key = "CLSID\\" + GuidToString(clsid) + "\\InprocServer32";
    const std::optional<std::string> module = reg::GetString(reg::Hive::ClassesRoot, key, "");
    if (!module || module->empty()) return REGDB_E_CLASSNOTREG;
    return com_detail::ClassObjectFromModule(*module, clsid, riid, ppv);
}

}  // namespace

HRESULT CoGetClassObject(REFCLSID clsid, DWORD context, void* /*serverInfo*/, REFIID riid, void** ppv) {
    if (ppv == nullptr) return E_INVALIDARG;
    *ppv = nullptr;
    if ((context & CLSCTX_ALL) == 0) return E_INVALIDARG;
    if (!com_detail::ThreadHasApartment()) return CO_E_NOTINITIALIZED;

    if (IUnknown* registered = com_detail::FindRegisteredClassObject(clsid, context)) {
        const HRESULT hr = registered->QueryInterface(riid, ppv);
        registered->Release();
        return hr;
    }
    // Only in-process servers exist on this platform.
    if ((context & kInProcess) == 0) return REGDB_E_CLASSNOTREG;
    const HRESULT loaded = com_detail::ClassObjectFromLoadedServers(clsid, riid, ppv);
    if (loaded != CLASS_E_CLASSNOTAVAILABLE) return loaded;
    return ClassObjectFromRegistry(clsid, riid, ppv);
}

HRESULT CoCreateInstance(REFCLSID clsid, IUnknown* outer, DWORD context, REFIID riid, void** ppv) {
    if (ppv == nullptr) return E_INVALIDARG;
    *ppv = nullptr;
    if (!com_detail::ThreadHasApartment()) return CO_E_NOTINITIALIZED;
    // Aggregation is not supported by this runtime or by any of its classes.
    if (outer != nullptr) return CLASS_E_NOAGGREGATION;

    IClassFactory* factory = nullptr;
    HRESULT hr = CoGetClassObject(clsid, context, nullptr, IID_IClassFactory, reinterpret_cast<void**>(&factory));
    if (FAILED(hr)) return hr;
    hr = factory->CreateInstance(nullptr, riid, ppv);
    factory->Release();
    return hr;
}
