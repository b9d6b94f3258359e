#include "platform/com/loaded_servers.h"

#include <algorithm>
#include <mutex>
#include <vector>

namespace {

struct LoadedServers {
    std::mutex mutex;
    std::vector<DllGetClassObjectFn> entries;
};

// Never destroyed: servers announce themselves during static initialization
// and may be asked during static destruction.
LoadedServers& Servers() {
    static auto* servers = new LoadedServers;
    return *servers;
}

}  // namespace

void CoAddLoadedServer(DllGetClassObjectFn getClassObject) {
    if (!getClassObject) return;
    LoadedServers& servers = Servers();
    std::lock_guard lock(servers.mutex);
    if (std::find(servers.entries.begin(), servers.entries.end(), getClassObject) == servers.entries.end())
        servers.entries.push_back(getClassObject);
}

namespace com_detail {

HRESULT ClassObjectFromLoadedServers(REFCLSID clsid, REFIID riid, void** ppv) {
    std::vector<DllGetClassObjectFn> entries;
    {
        LoadedServers& servers = Servers();
        std::lock_guard lock(servers.mutex);
        entries = servers.entries;
    }
    for (DllGetClassObjectFn entry : entries) {
        const HRESULT hr = entry(clsid, riid, ppv);
        if (hr != CLASS_E_CLASSNOTAVAILABLE) return hr;
    }
    return CLASS_E_CLASSNOTAVAILABLE;
}

}  // namespace com_detail
