// Self-registration into the registry file and creation by ProgID.
#include "server/registration.h"

#include <gtest/gtest.h>

#include "platform/com/registry.h"
#include "services/driver_identity.h"
#include "tests/support/test_support.h"
#include "zentrava/interfaces.h"

namespace ztv::test {
namespace {

using reg::Hive;
constexpr Hive kRoot = Hive::ClassesRoot;
const std::string kClassKey = "CLSID\\{4a62ca90-81d4-4a6d-91b8-8d2816874b05}";

class Registration : public ::testing::Test {
protected:
    IsolatedEnvironment env;
    std::optional<std::string> Value(const std::string& key, const std::string& name = "") {
        return reg::GetString(kRoot, key, name);
    }
};

TEST_F(Registration, WritesExactlyTheClassProgIdAndAppIdEntries) {
    ASSERT_EQ(DllRegisterServer(), S_OK);
    const std::pair<std::pair<std::string, std::string>, std::string> expected[] = {
        {{"AppID\\{361ff2e8-a895-462c-a27c-1bbcc07de9be}", ""}, "Zentrava"},
        {{"AppID\\Zentrava.DLL", "AppID"}, "{361ff2e8-a895-462c-a27c-1bbcc07de9be}"},
        {{"Zentrava.Zentrava.1", ""}, "Zentrava Object"},
        {{"Zentrava.Zentrava.1\\CLSID", ""}, "{4a62ca90-81d4-4a6d-91b8-8d2816874b05}"},
        {{"Zentrava.Zentrava", ""}, "Zentrava Object"},
        {{"Zentrava.Zentrava\\CLSID", ""}, "{4a62ca90-81d4-4a6d-91b8-8d2816874b05}"},
        {{"Zentrava.Zentrava\\CurVer", ""}, "Zentrava.Zentrava.1"},
        {{kClassKey, ""}, "Zentrava Object"},
        {{kClassKey, "AppID"}, "{361ff2e8-a895-462c-a27c-1bbcc07de9be}"},
        {{kClassKey + "\\ProgID", ""}, "Zentrava.Zentrava.1"},
        {{kClassKey + "\\VersionIndependentProgID", ""}, "Zentrava.Zentrava"},
        {{kClassKey + "\\InprocServer32", ""}, ModulePath()},
        {{kClassKey + "\\InprocServer32", "ThreadingModel"}, "both"},
        {{kClassKey + "\\TypeLib", ""}, "{31f79f5e-74dc-4e9e-be0e-8612668e7863}"},
        {{"TypeLib\\{31f79f5e-74dc-4e9e-be0e-8612668e7863}\\1.0", ""}, "IVI Zentrava 1.0 Type Library"},
    };
    for (const auto& [where, data] : expected) EXPECT_EQ(Value(where.first, where.second), data) << where.first;
    EXPECT_TRUE(reg::KeyExists(kRoot, kClassKey + "\\Programmable"));
    EXPECT_TRUE(reg::KeyExists(kRoot, kClassKey + "\\Implemented Categories\\{47ed5152-a398-11d4-ba58-000064657374}"));
    // The library this process loaded the driver from (the tests link libzentrava_internal.so).
    EXPECT_NE(ModulePath().find("/libzentrava"), std::string::npos);
}

TEST_F(Registration, RegisteringTwiceLeavesOneSetAndUnregisteringKeepsTheRoots) {
    ASSERT_EQ(DllRegisterServer(), S_OK);
    ASSERT_EQ(reg::CreateKey(kRoot, kClassKey + "\\Stale"), S_OK);
    ASSERT_EQ(DllRegisterServer(), S_OK);
    EXPECT_FALSE(reg::KeyExists(kRoot, kClassKey + "\\Stale"));
    EXPECT_EQ(reg::SubKeys(kRoot, "CLSID").size(), 1u);

    ASSERT_EQ(DllUnregisterServer(), S_OK);
    EXPECT_TRUE(reg::KeyExists(kRoot, "AppID"));
    EXPECT_TRUE(reg::KeyExists(kRoot, "CLSID"));
    for (const char* gone : {"Zentrava.Zentrava", "Zentrava.Zentrava.1", "AppID\\Zentrava.DLL",
                             "AppID\\{361ff2e8-a895-462c-a27c-1bbcc07de9be}"})
        EXPECT_FALSE(reg::KeyExists(kRoot, gone)) << gone;
    EXPECT_FALSE(reg::KeyExists(kRoot, kClassKey));
    EXPECT_FALSE(reg::KeyExists(kRoot, "TypeLib\\{31f79f5e-74dc-4e9e-be0e-8612668e7863}\\1.0"));
    EXPECT_EQ(DllUnregisterServer(), S_OK);  // already gone is not an error
}

TEST_F(Registration, CreatesByProgIdThroughTheRegistry) {
    ASSERT_EQ(DllRegisterServer(), S_OK);
    CLSID clsid{};
    ASSERT_EQ(CLSIDFromProgID(u"Zentrava.Zentrava", &clsid), S_OK);
    EXPECT_EQ(clsid, ClsidZentrava());
    Ref<IIviDriver> driver;
    ASSERT_EQ(CoCreateInstance(clsid, nullptr, CLSCTX_ALL, IID_IIviDriver, driver.outVoid()), S_OK);
    ASSERT_EQ(InitializeDriver(driver.get(), "x", false, false, "Simulate=true"), S_OK);
    // Once registered, error objects name the driver's ProgID as their source.
    EXPECT_EQ(driver->Close(), S_OK);
    EXPECT_EQ(driver->Close(), E_IVI_NOT_INITIALIZED);
    EXPECT_EQ(ThreadErrorSource(), "Zentrava.Zentrava.1");
}

TEST_F(Registration, OnlyTheDriverClassHasAClassObject) {
    Ref<IClassFactory> factory;
    EXPECT_EQ(DllGetClassObject(ClsidZentrava(), IID_IClassFactory, factory.outVoid()), S_OK);
    ASSERT_NE(factory.get(), nullptr);
    void* object = reinterpret_cast<void*>(1);
    EXPECT_EQ(DllGetClassObject(GuidLiteral("{6abdddad-a977-4d26-a438-0ec18356aaf6}"), IID_IClassFactory, &object),
              CLASS_E_CLASSNOTAVAILABLE);
    EXPECT_EQ(object, nullptr);

    EXPECT_EQ(factory->LockServer(1), S_OK);
    EXPECT_EQ(DllCanUnloadNow(), S_FALSE);
    EXPECT_EQ(factory->LockServer(0), S_OK);
    void* aggregated = nullptr;
    EXPECT_EQ(factory->CreateInstance(factory.get(), IID_IUnknown, &aggregated), CLASS_E_NOAGGREGATION);
    EXPECT_EQ(aggregated, nullptr);
}

}  // namespace
}  // namespace ztv::test
