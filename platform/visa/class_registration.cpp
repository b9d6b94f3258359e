// In-process registration of the resource manager and formatter classes, so
// that CoCreateInstance finds them without a registry entry.
#include <mutex>

#include "platform/visa/formatted_io.h"
#include "platform/visa/resource_manager.h"

namespace visa {
namespace {

constexpr DWORD kRegisterForMultipleUse = 1;

template <typename Object>
class Factory final : public IClassFactory {
public:
    HRESULT QueryInterface(REFIID riid, void** ppv) override {
        if (ppv == nullptr) return E_POINTER;
        if (riid != IID_IUnknown && riid != IID_IClassFactory) {
            *ppv = nullptr;
            return E_NOINTERFACE;
        }
        *ppv = static_cast<IClassFactory*>(this);
        return S_OK;
    }
    // The factories live as long as the process.
    ULONG AddRef() override { return 2; }
    ULONG Release() override { return 1; }

    HRESULT CreateInstance(IUnknown* outer, REFIID riid, void** ppv) override {
        if (ppv == nullptr) return E_POINTER;
        *ppv = nullptr;
        if (outer != nullptr) return CLASS_E_NOAGGREGATION;
        return com::ComPtr<Object>::Adopt(Object::Create())->QueryInterface(riid, ppv);
    }
    HRESULT LockServer(int /*lock*/) override { return S_OK; }
};

}  // namespace

HRESULT EnsureClassesRegistered() {
    // Never destroyed: the class table may still hold them while the process ends.
    static auto* resourceManagers = new Factory<ResourceManager>();
    static auto* formatters = new Factory<FormattedIO>();
    static std::once_flag once;
    static HRESULT result = S_OK;
    std::call_once(once, [] {
        DWORD cookie = 0;
        result = CoRegisterClassObject(CLSID_ResourceManager, resourceManagers, CLSCTX_INPROC_SERVER,
                                       kRegisterForMultipleUse, &cookie);
        if (SUCCEEDED(result)) {
            result = CoRegisterClassObject(CLSID_FormattedIO488, formatters, CLSCTX_INPROC_SERVER,
                                           kRegisterForMultipleUse, &cookie);
        }
    });
    return result;
}

}  // namespace visa
