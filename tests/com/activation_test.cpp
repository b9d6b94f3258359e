#include <dlfcn.h>
#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include "platform/com/registry.h"
#include "tests/com/temp_registry.h"
#include "tests/com/test_module_ids.h"
#include "zentrava/com.h"

namespace {

using reg::Hive;

class LocalFactory final : public IClassFactory {
public:
    HRESULT QueryInterface(REFIID riid, void** ppv) override {
        if (riid != IID_IUnknown && riid != IID_IClassFactory) {
            *ppv = nullptr;
            return E_NOINTERFACE;
        }
        *ppv = this;
        AddRef();
        return S_OK;
    }
    ULONG AddRef() override { return ++refs; }
    ULONG Release() override { return --refs; }
    HRESULT CreateInstance(IUnknown*, REFIID riid, void** ppv) override {
        auto* object = new AnswerObject(7);
        const HRESULT hr = object->QueryInterface(riid, ppv);
        object->Release();
        return hr;
    }
    HRESULT LockServer(int) override { return S_OK; }
    std::atomic<ULONG> refs{1};
};

std::string ClassKey(REFCLSID clsid) { return "CLSID\\" + GuidToString(clsid); }

void RegisterModule(REFCLSID clsid, const std::string& path) {
    ASSERT_EQ(reg::SetString(Hive::ClassesRoot, ClassKey(clsid) + "\\InprocServer32", "", path), S_OK);
}

int AnswerOf(REFCLSID clsid, HRESULT* hr) {
    ITestAnswer* answer = nullptr;
    *hr = CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_ITestAnswer(), reinterpret_cast<void**>(&answer));
    if (FAILED(*hr)) return -1;
    const int value = answer->Answer();
    answer->Release();
    return value;
}

int ModuleLiveObjects() {
    void* handle = dlopen(ZTV_COM_TEST_MODULE, RTLD_NOW | RTLD_NOLOAD);
    if (handle == nullptr) return -1;
    auto live = reinterpret_cast<LiveObjectsFn>(dlsym(handle, "TestModuleLiveObjects"));
    const int count = live != nullptr ? live() : -1;
    dlclose(handle);
    return count;
}

class Activation : public TempRegistryTest {
protected:
    void SetUp() override {
        TempRegistryTest::SetUp();
        ASSERT_EQ(CoInitializeEx(nullptr, COINIT_MULTITHREADED), S_OK);
    }
    void TearDown() override {
        CoUninitialize();
        TempRegistryTest::TearDown();
    }
};

TEST_F(Activation, RegisteredClassObjectIsUsedAndRevoked) {
    const CLSID clsid = NameBasedGuid("activation.local");
    LocalFactory factory;
    DWORD cookie = 0;
    ASSERT_EQ(CoRegisterClassObject(clsid, &factory, CLSCTX_INPROC_SERVER, 0, &cookie), S_OK);
    EXPECT_NE(cookie, 0u);
    EXPECT_EQ(factory.refs, 2u);

    HRESULT hr;
    EXPECT_EQ(AnswerOf(clsid, &hr), 7);
    EXPECT_EQ(hr, S_OK);
    IClassFactory* classObject = nullptr;
    ASSERT_EQ(CoGetClassObject(clsid, CLSCTX_ALL, nullptr, IID_IClassFactory, reinterpret_cast<void**>(&classObject)),
              S_OK);
    EXPECT_EQ(classObject, &factory);
    classObject->Release();
    EXPECT_EQ(factory.refs, 2u);

    EXPECT_EQ(CoRevokeClassObject(cookie), S_OK);
    EXPECT_EQ(factory.refs, 1u);
    EXPECT_EQ(CoRevokeClassObject(cookie), CO_E_OBJNOTREG);
    EXPECT_EQ(AnswerOf(clsid, &hr), -1);
    EXPECT_EQ(hr, REGDB_E_CLASSNOTREG);
}

TEST_F(Activation, RegisteredClassObjectHonoursContext) {
    const CLSID clsid = NameBasedGuid("activation.local-server");
    LocalFactory factory;
    DWORD cookie = 0;
    ASSERT_EQ(CoRegisterClassObject(clsid, &factory, CLSCTX_LOCAL_SERVER, 0, &cookie), S_OK);
    void* object = nullptr;
    EXPECT_EQ(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown, &object), REGDB_E_CLASSNOTREG);
    EXPECT_EQ(CoCreateInstance(clsid, nullptr, CLSCTX_LOCAL_SERVER, IID_IUnknown, &object), S_OK);
    static_cast<IUnknown*>(object)->Release();
    EXPECT_EQ(CoRevokeClassObject(cookie), S_OK);
    EXPECT_EQ(CoRegisterClassObject(clsid, nullptr, CLSCTX_INPROC_SERVER, 0, &cookie), E_INVALIDARG);
}

TEST_F(Activation, RegisteredClassObjectWinsOverTheRegistry) {
    RegisterModule(CLSID_TestModuleClass(), ZTV_COM_TEST_MODULE);
    LocalFactory factory;
    DWORD cookie = 0;
    ASSERT_EQ(CoRegisterClassObject(CLSID_TestModuleClass(), &factory, CLSCTX_INPROC_SERVER, 0, &cookie), S_OK);
    HRESULT hr;
    EXPECT_EQ(AnswerOf(CLSID_TestModuleClass(), &hr), 7);
    CoRevokeClassObject(cookie);
    EXPECT_EQ(AnswerOf(CLSID_TestModuleClass(), &hr), 42);
}

TEST_F(Activation, CreatesThroughTheRegisteredModule) {
    RegisterModule(CLSID_TestModuleClass(), ZTV_COM_TEST_MODULE);
    ITestAnswer* first = nullptr;
    ASSERT_EQ(CoCreateInstance(CLSID_TestModuleClass(), nullptr, CLSCTX_INPROC_SERVER, IID_ITestAnswer(),
                               reinterpret_cast<void**>(&first)),
              S_OK);
    EXPECT_EQ(first->Answer(), 42);
    ITestAnswer* second = nullptr;
    ASSERT_EQ(CoCreateInstance(CLSID_TestModuleClass(), nullptr, CLSCTX_ALL, IID_ITestAnswer(),
                               reinterpret_cast<void**>(&second)),
              S_OK);
    EXPECT_NE(first, second);
    // The module the runtime loaded is the one the process sees.
    EXPECT_EQ(ModuleLiveObjects(), 2);
    first->Release();
    second->Release();
    EXPECT_EQ(ModuleLiveObjects(), 0);

    IClassFactory* factory = nullptr;
    ASSERT_EQ(CoGetClassObject(CLSID_TestModuleClass(), CLSCTX_INPROC_SERVER, nullptr, IID_IClassFactory,
                               reinterpret_cast<void**>(&factory)),
              S_OK);
    IUnknown* object = nullptr;
    EXPECT_EQ(factory->CreateInstance(nullptr, IID_IUnknown, reinterpret_cast<void**>(&object)), S_OK);
    object->Release();
    factory->Release();
}

TEST_F(Activation, FailuresAreReportedByCause) {
    const CLSID missingFile = NameBasedGuid("activation.missing-file");
    const CLSID noEntry = NameBasedGuid("activation.no-entry");
    const CLSID notInModule = NameBasedGuid("activation.not-in-module");
    const CLSID emptyPath = NameBasedGuid("activation.empty-path");
    RegisterModule(missingFile, (folder() / "no-such-module.so").string());
    RegisterModule(noEntry, ZTV_COM_NO_ENTRY_MODULE);
    RegisterModule(notInModule, ZTV_COM_TEST_MODULE);
    RegisterModule(emptyPath, "");
    ASSERT_EQ(reg::CreateKey(Hive::ClassesRoot, ClassKey(NameBasedGuid("activation.key-only"))), S_OK);

    struct Case {
        const char* name;
        CLSID clsid;
        IUnknown* outer;
        const IID* iid;
        HRESULT expected;
    };
    AnswerObject outer(7);
    const Case cases[] = {
        {"unregistered", NameBasedGuid("activation.unregistered"), nullptr, &IID_IUnknown, REGDB_E_CLASSNOTREG},
        {"no InprocServer32", NameBasedGuid("activation.key-only"), nullptr, &IID_IUnknown, REGDB_E_CLASSNOTREG},
        {"empty module path", emptyPath, nullptr, &IID_IUnknown, REGDB_E_CLASSNOTREG},
        {"module not found", missingFile, nullptr, &IID_IUnknown, CO_E_DLLNOTFOUND},
        {"no DllGetClassObject", noEntry, nullptr, &IID_IUnknown, CO_E_ERRORINDLL},
        {"module lacks the class", notInModule, nullptr, &IID_IUnknown, CLASS_E_CLASSNOTAVAILABLE},
        {"interface not offered", CLSID_TestModuleClass(), nullptr, &IID_IErrorInfo, E_NOINTERFACE},
        {"aggregation", CLSID_TestModuleClass(), &outer, &IID_IUnknown, CLASS_E_NOAGGREGATION},
    };
    RegisterModule(CLSID_TestModuleClass(), ZTV_COM_TEST_MODULE);
    for (const Case& c : cases) {
        void* object = &outer;
        EXPECT_EQ(CoCreateInstance(c.clsid, c.outer, CLSCTX_INPROC_SERVER, *c.iid, &object), c.expected) << c.name;
        EXPECT_EQ(object, nullptr) << c.name;
    }
    void* object = nullptr;
    EXPECT_EQ(CoCreateInstance(CLSID_TestModuleClass(), nullptr, CLSCTX_LOCAL_SERVER, IID_IUnknown, &object),
              REGDB_E_CLASSNOTREG);
    EXPECT_EQ(CoCreateInstance(CLSID_TestModuleClass(), nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown, nullptr),
              E_INVALIDARG);
}

TEST_F(Activation, ConcurrentCreationAndRegistration) {
    RegisterModule(CLSID_TestModuleClass(), ZTV_COM_TEST_MODULE);
    constexpr int kThreads = 4;
    std::vector<int> failures(kThreads, 0);
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([t, &failures] {
            CoInitializeEx(nullptr, COINIT_MULTITHREADED);
            const CLSID local = NameBasedGuid("activation.thread" + std::to_string(t));
            LocalFactory factory;
            for (int i = 0; i < 5; ++i) {
                DWORD cookie = 0;
                HRESULT hr;
                if (CoRegisterClassObject(local, &factory, CLSCTX_INPROC_SERVER, 0, &cookie) != S_OK) ++failures[t];
                if (AnswerOf(local, &hr) != 7) ++failures[t];
                if (AnswerOf(CLSID_TestModuleClass(), &hr) != 42) ++failures[t];
                if (CoRevokeClassObject(cookie) != S_OK) ++failures[t];
            }
            if (factory.refs != 1) ++failures[t];
            CoUninitialize();
        });
    }
    for (std::thread& thread : threads) thread.join();
    EXPECT_EQ(failures, std::vector<int>(kThreads, 0));
}

class ProgId : public Activation {
protected:
    void SetUp() override {
        Activation::SetUp();
        // Version-independent ProgID whose own CLSID is stale: CurVer must win.
        Set("CLSID\\" + GuidToString(CLSID_TestModuleClass()) + "\\ProgID", "Zentrava.Test.2");
        Set("Zentrava.Test\\CurVer", "Zentrava.Test.2");
        Set("Zentrava.Test\\CLSID", GuidToString(NameBasedGuid("stale")));
        Set("Zentrava.Test.2\\CLSID", "{C0FFEE00-1234-4ABC-8DEF-0123456789AB}");
        RegisterModule(CLSID_TestModuleClass(), ZTV_COM_TEST_MODULE);
    }
    static void Set(const std::string& key, const std::string& data) {
        ASSERT_EQ(reg::SetString(Hive::ClassesRoot, key, "", data), S_OK);
    }
};

TEST_F(ProgId, ClassFromProgIdFollowsCurVer) {
    struct Case {
        const char16_t* progId;
        HRESULT expected;
        CLSID clsid;
    };
    const Case cases[] = {
        {u"Zentrava.Test", S_OK, CLSID_TestModuleClass()},
        {u"zentrava.test.2", S_OK, CLSID_TestModuleClass()},
        {u"Zentrava.Unknown", CO_E_CLASSSTRING, GUID_NULL},
        {u"", CO_E_CLASSSTRING, GUID_NULL},
    };
    for (const Case& c : cases) {
        CLSID clsid = GUID_NULL;
        EXPECT_EQ(CLSIDFromProgID(c.progId, &clsid), c.expected) << WideToUtf8(c.progId);
        EXPECT_EQ(clsid, c.clsid) << WideToUtf8(c.progId);
    }
    CLSID clsid;
    ASSERT_EQ(CLSIDFromString(u"Zentrava.Test", &clsid), S_OK);
    HRESULT hr;
    EXPECT_EQ(AnswerOf(clsid, &hr), 42);
    EXPECT_EQ(CLSIDFromString(u"Zentrava.Nothing", &clsid), CO_E_CLASSSTRING);
    EXPECT_EQ(CLSIDFromProgID(nullptr, &clsid), E_INVALIDARG);
}

TEST_F(ProgId, CurVerFallsBackAndStopsOnLoops) {
    Set("Loop.A\\CurVer", "Loop.B");
    Set("Loop.B\\CurVer", "Loop.A");
    Set("Loop.A\\CLSID", GuidToString(NameBasedGuid("loop")));
    Set("Dangling\\CurVer", "Dangling.9");
    Set("Dangling\\CLSID", GuidToString(NameBasedGuid("dangling")));
    CLSID clsid;
    ASSERT_EQ(CLSIDFromProgID(u"Loop.A", &clsid), S_OK);
    EXPECT_EQ(clsid, NameBasedGuid("loop"));
    ASSERT_EQ(CLSIDFromProgID(u"Dangling", &clsid), S_OK);
    EXPECT_EQ(clsid, NameBasedGuid("dangling"));
}

TEST_F(ProgId, ProgIdFromClass) {
    LPOLESTR progId = nullptr;
    ASSERT_EQ(ProgIDFromCLSID(CLSID_TestModuleClass(), &progId), S_OK);
    ASSERT_NE(progId, nullptr);
    EXPECT_EQ(std::u16string(progId), u"Zentrava.Test.2");
    CoTaskMemFree(progId);

    progId = reinterpret_cast<LPOLESTR>(&progId);
    EXPECT_EQ(ProgIDFromCLSID(NameBasedGuid("stale"), &progId), REGDB_E_CLASSNOTREG);
    EXPECT_EQ(progId, nullptr);
    EXPECT_EQ(ProgIDFromCLSID(CLSID_TestModuleClass(), nullptr), E_INVALIDARG);
}

}  // namespace
