// The class object of the driver class: creates uninitialized driver objects.
#include "server/class_factory.h"

#include <mutex>

#include "core/driver.h"
#include "platform/com/static_class_factory.h"
#include "services/module_lock.h"

namespace ztv {
namespace {

// The factory is cached for the life of the module, like a static object.
class DriverClassFactory final : public com::StaticClassFactory {
public:
    HRESULT LockServer(int lock) override {
        if (lock)
            ModuleLock();
        else
            ModuleUnlock();
        return S_OK;
    }

private:
    HRESULT CreateObject(REFIID riid, void** ppv) override { return Zentrava::CreateInstance(riid, ppv); }
};

}  // namespace

IClassFactory* DriverClassObject() {
    static DriverClassFactory factory;
    return &factory;
}

}  // namespace ztv
