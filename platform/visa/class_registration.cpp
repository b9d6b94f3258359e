// In-process registration of the resource manager and formatter classes, so
// that CoCreateInstance finds them without a registry entry.
#include <mutex>

#include "platform/com/static_class_factory.h"
#include "platform/visa/formatted/formatted_io.h"
#include "platform/visa/resource_manager.h"

namespace visa {
namespace {

constexpr DWORD kRegisterForMultipleUse = 1;

// The factories live as long as the process.
template <typename Object>
class Factory final : public com::StaticClassFactory {
    HRESULT CreateObject(REFIID riid, void** ppv) override {
        return com::ComPtr<Object>::Adopt(Object::Create())->QueryInterface(riid, ppv);
    }
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
