// The driver through a vendor VISA library (a stand-in built for the tests):
// GPIB sessions keep the library's own termination settings, and a failed
// read device-clears through the library.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include "tests/support/test_support.h"

namespace ztv::test {
namespace {

constexpr unsigned kAttrTermCharEnabled = 0x3FFF0038u;

class SystemVisaIO : public ::testing::Test {
protected:
    void SetUp() override {
        library_ = ::dlopen(ZTV_FAKE_VISA, RTLD_NOW);
        ASSERT_NE(library_, nullptr) << ::dlerror();
        attribute_ = reinterpret_cast<AttributeFn>(::dlsym(library_, "fakeVisaAttribute"));
        clears_ = reinterpret_cast<ClearsFn>(::dlsym(library_, "fakeVisaClears"));
        ASSERT_TRUE(attribute_ && clears_);
    }
    void TearDown() override {
        if (library_) ::dlclose(library_);
    }

    using AttributeFn = std::uintptr_t (*)(std::uint32_t);
    using ClearsFn = int (*)();
    IsolatedEnvironment env;
    ScopedEnv visaLibrary{"ZENTRAVA_VISA_LIBRARY", ZTV_FAKE_VISA};
    void* library_ = nullptr;
    AttributeFn attribute_ = nullptr;
    ClearsFn clears_ = nullptr;
};

TEST_F(SystemVisaIO, GpibSessionKeepsTheLibraryDefaultsAndClearsOnFailure) {
    Ref<IIviDriver> driver = NewDriver();
    ASSERT_EQ(InitializeDriver(driver.get(), "GPIB0::17::INSTR", false, false, ""), S_OK) << ThreadErrorText();
    EXPECT_EQ(attribute_(kAttrTermCharEnabled), 0u);
    Ref<IIviDriverIdentity> identity = Query<IIviDriverIdentity>(driver.get(), IID_IIviDriverIdentity);
    Bstr model;
    ASSERT_EQ(identity->get_InstrumentModel(model.out()), S_OK);
    EXPECT_EQ(model.str(), "FAKEVISA");

    // Nothing queued: the read times out and the session is device-cleared.
    Zentrava& object = *static_cast<Zentrava*>(driver.get());
    const int clearsBefore = clears_();
    std::string text;
    EXPECT_EQ(object.Provider().InstrRead(&text, 100, true, 100), E_ZENTRAVA_IO_TIMEOUT);
    EXPECT_EQ(clears_(), clearsBefore + 1);
    bool timedOut = false;
    ASSERT_EQ(object.Provider().IsTimeout(&timedOut), S_OK);
    EXPECT_TRUE(timedOut);

    // The stand-in echoes what it receives.
    std::string reply;
    ASSERT_EQ(object.IO().InstrQuery("SENS:ATT:LEV?", &reply, 1024, kCurrentTimeout), S_OK) << ThreadErrorText();
    EXPECT_EQ(reply, "SENS:ATT:LEV?");
    EXPECT_EQ(driver->Close(), S_OK);
}

TEST_F(SystemVisaIO, ResourceTheLibraryDoesNotKnowIsUnknown) {
    Ref<IIviDriver> driver = NewDriver();
    EXPECT_EQ(InitializeDriver(driver.get(), "GPIB0::5::INSTR", false, false, ""), E_IVI_RESOURCE_UNKNOWN);
    EXPECT_EQ(ThreadErrorText(), "Zentrava: Unknown resource. Fake VISA: resource not found.");
}

}  // namespace
}  // namespace ztv::test
