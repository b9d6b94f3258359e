// The class object of the driver class: creates uninitialized driver objects.
#include "server/class_factory.h"

#include <mutex>

#include "core/driver.h"
#include "services/module_lock.h"

namespace ztv {
namespace {

class DriverClassFactory final : public IClassFactory {
public:
    HRESULT QueryInterface(REFIID riid, void** ppv) override {
        if (!ppv) return E_POINTER;
        if (riid == IID_IUnknown || riid == IID_IClassFactory) {
            *ppv = static_cast<IClassFactory*>(this);
            AddRef();
            return S_OK;
        }
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    // The factory is cached for the life of the module, like a static object.
    ULONG AddRef() override { return 2; }
    ULONG Release() override { return 1; }

    HRESULT CreateInstance(IUnknown* outer, REFIID riid, void** ppv) override {
        if (!ppv) return E_POINTER;
        *ppv = nullptr;
        if (outer) return CLASS_E_NOAGGREGATION;
        return Zentrava::CreateInstance(riid, ppv);
    }
    HRESULT LockServer(int lock) override {
        if (lock)
            ModuleLock();
        else
            ModuleUnlock();
        return S_OK;
    }
};

}  // namespace

IClassFactory* DriverClassObject() {
    static DriverClassFactory factory;
    return &factory;
}

}  // namespace ztv
