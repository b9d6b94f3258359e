#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include "zentrava/com.h"

namespace {

// Runs body on a fresh thread, which starts outside any apartment.
template <typename Body>
void OnNewThread(Body body) {
    std::thread thread(body);
    thread.join();
}

TEST(Apartment, CountsEntriesPerKind) {
    struct Case {
        const char* name;
        DWORD first;
        DWORD second;
        HRESULT expectedSecond;
    };
    const Case cases[] = {
        {"multi then multi", COINIT_MULTITHREADED, COINIT_MULTITHREADED, S_FALSE},
        {"single then single", COINIT_APARTMENTTHREADED, COINIT_APARTMENTTHREADED, S_FALSE},
        {"multi then single", COINIT_MULTITHREADED, COINIT_APARTMENTTHREADED, RPC_E_CHANGED_MODE},
        {"single then multi", COINIT_APARTMENTTHREADED, COINIT_MULTITHREADED, RPC_E_CHANGED_MODE},
        // Flags other than the apartment kind do not change the kind.
        {"extra flags", COINIT_APARTMENTTHREADED, COINIT_APARTMENTTHREADED | 0x4, S_FALSE},
    };
    for (const Case& c : cases) {
        HRESULT first = E_FAIL, second = E_FAIL;
        OnNewThread([&] {
            first = CoInitializeEx(nullptr, c.first);
            second = CoInitializeEx(nullptr, c.second);
            if (SUCCEEDED(second)) CoUninitialize();
            CoUninitialize();
        });
        EXPECT_EQ(first, S_OK) << c.name;
        EXPECT_EQ(second, c.expectedSecond) << c.name;
    }
}

TEST(Apartment, UninitializeBalancesAndAllowsANewKind) {
    std::vector<HRESULT> results;
    OnNewThread([&] {
        results.push_back(CoInitializeEx(nullptr, COINIT_MULTITHREADED));
        results.push_back(CoInitializeEx(nullptr, COINIT_MULTITHREADED));
        CoUninitialize();
        // Still inside after one of two leaves.
        results.push_back(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED));
        CoUninitialize();
        // Left entirely: the other kind may be joined now.
        results.push_back(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED));
        CoUninitialize();
        CoUninitialize();  // one too many is harmless
        results.push_back(CoInitializeEx(nullptr, COINIT_MULTITHREADED));
        CoUninitialize();
    });
    const std::vector<HRESULT> expected = {S_OK, S_FALSE, RPC_E_CHANGED_MODE, S_OK, S_OK};
    EXPECT_EQ(results, expected);
}

TEST(Apartment, ThreadsAreIndependent) {
    HRESULT mainResult = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    ASSERT_TRUE(SUCCEEDED(mainResult));
    HRESULT otherResult = E_FAIL;
    OnNewThread([&] {
        otherResult = CoInitializeEx(nullptr, COINIT_MULTITHREADED);
        CoUninitialize();
    });
    EXPECT_EQ(otherResult, S_OK);
    CoUninitialize();
    EXPECT_EQ(CoInitializeEx(reinterpret_cast<void*>(1), COINIT_MULTITHREADED), E_INVALIDARG);
}

TEST(Apartment, CreationNeedsAnApartment) {
    HRESULT created = S_OK, classObject = S_OK;
    void* object = &created;
    OnNewThread([&] {
        created = CoCreateInstance(IID_IUnknown, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown, &object);
        classObject = CoGetClassObject(IID_IUnknown, CLSCTX_INPROC_SERVER, nullptr, IID_IClassFactory, &object);
    });
    EXPECT_EQ(created, CO_E_NOTINITIALIZED);
    EXPECT_EQ(classObject, CO_E_NOTINITIALIZED);
    EXPECT_EQ(object, nullptr);
}

}  // namespace
