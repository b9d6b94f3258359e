// The in-process server's exported entry points.
#include "server/class_factory.h"
#include "server/object_table.h"
#include "server/registration.h"
#include "services/driver_identity.h"
#include "services/module_lock.h"
#include "zentrava/interfaces.h"

const CLSID CLSID_Zentrava = ztv::ClsidZentrava();

extern "C" {

HRESULT DllGetClassObject(REFCLSID rclsid, REFIID riid, void** ppv) {
    if (!ppv) return E_POINTER;
    *ppv = nullptr;
    for (const ztv::ObjectEntry& entry : ztv::ObjectTable()) {
        if (!entry.creatable || GuidLiteral(entry.clsid) != rclsid) continue;
        return ztv::DriverClassObject()->QueryInterface(riid, ppv);
    }
    return CLASS_E_CLASSNOTAVAILABLE;
}

HRESULT DllCanUnloadNow() { return ztv::ModuleLockCount() == 0 ? S_OK : S_FALSE; }

HRESULT DllRegisterServer() { return ztv::RegisterServer(); }

HRESULT DllUnregisterServer() { return ztv::UnregisterServer(); }

}  // extern "C"

namespace {

// Programs that link the driver create it without registering it first.
const bool announced = [] {
    CoAddLoadedServer(&DllGetClassObject);
    return true;
}();

}  // namespace
