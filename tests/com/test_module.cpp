// A minimal in-process server for the activation tests: one class whose
// objects answer 42, with a class factory reached through DllGetClassObject.
#include <atomic>

#include "platform/com/static_class_factory.h"
#include "tests/com/test_module_ids.h"
#include "zentrava/com.h"

namespace {

std::atomic<int> g_liveObjects{0};

// One static instance lives as long as the module.
class Factory final : public com::StaticClassFactory {
    HRESULT CreateObject(REFIID riid, void** ppv) override {
        auto* object = new AnswerObject(42, &g_liveObjects);
        const HRESULT hr = object->QueryInterface(riid, ppv);
        object->Release();
        return hr;
    }
};

Factory g_factory;

}  // namespace

extern "C" HRESULT DllGetClassObject(REFCLSID clsid, REFIID riid, void** ppv) {
    if (clsid != CLSID_TestModuleClass()) {
        *ppv = nullptr;
        return CLASS_E_CLASSNOTAVAILABLE;
    }
    return g_factory.QueryInterface(riid, ppv);
}

extern "C" int TestModuleLiveObjects() { return g_liveObjects; }
