#include "platform/com/class_table.h"

#include <mutex>
#include <vector>

#include "platform/com/apartment.h"

namespace {

struct Registration {
    DWORD cookie;
    CLSID clsid;
    IUnknown* classObject;
    DWORD context;
};

struct ClassTable {
    std::mutex mutex;
    std::vector<Registration> entries;
    DWORD lastCookie = 0;
};

ClassTable& Table() {
    // Never destroyed: objects may be revoked from other libraries' static
    // destructors after this one's would have run.
    static auto* table = new ClassTable;
    return *table;
}

}  // namespace

namespace com_detail {

IUnknown* FindRegisteredClassObject(REFCLSID clsid, DWORD context) {
    ClassTable& table = Table();
    std::lock_guard lock(table.mutex);
    for (const Registration& entry : table.entries) {
        if (entry.clsid == clsid && (entry.context & context) != 0) {
            entry.classObject->AddRef();
            return entry.classObject;
        }
    }
    return nullptr;
}

}  // namespace com_detail

HRESULT CoRegisterClassObject(REFCLSID clsid, IUnknown* factory, DWORD context, DWORD /*flags*/, DWORD* cookie) {
    if (factory == nullptr || cookie == nullptr) return E_INVALIDARG;
    *cookie = 0;
    if ((context & CLSCTX_ALL) == 0) return E_INVALIDARG;
    if (!com_detail::ThreadHasApartment()) return CO_E_NOTINITIALIZED;

    ClassTable& table = Table();
    factory->AddRef();
    std::lock_guard lock(table.mutex);
    const DWORD assigned = ++table.lastCookie;
    table.entries.push_back({assigned, clsid, factory, context});
    *cookie = assigned;
    return S_OK;
}

// Works without an apartment too, so that clean-up code after CoUninitialize
// can still give back what it registered.
HRESULT CoRevokeClassObject(DWORD cookie) {
    ClassTable& table = Table();
    IUnknown* revoked = nullptr;
    {
        std::lock_guard lock(table.mutex);
        for (auto it = table.entries.begin(); it != table.entries.end(); ++it) {
            if (it->cookie == cookie) {
                revoked = it->classObject;
                table.entries.erase(it);
                break;
            }
        }
    }
    if (revoked == nullptr) return CO_E_OBJNOTREG;
    revoked->Release();  // outside the lock: the object's destructor may call back in
    return S_OK;
}
