#include <dlfcn.h>
#include <gtest/gtest.h>

#include <cstdlib>

#include "visa_test_util.h"

namespace visa::test {
namespace {

class SystemVisa : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_MULTITHREADED))); }
    void TearDown() override {
        ::unsetenv("ZENTRAVA_VISA_LIBRARY");
        CoUninitialize();
    }
};

TEST_F(SystemVisa, AbsentLibraryIsAClearOpenError) {
    ::setenv("ZENTRAVA_VISA_LIBRARY", "/nonexistent/libvisa.so", 1);
    for (const char* resource : {"GPIB0::17::INSTR", "VXI0::1::INSTR"}) {
        com::ComPtr<IMessage> io;
        EXPECT_EQ(OpenMessage(resource, "", 2000, &io), E_VISA_LIBRARY_NFOUND);
        const std::string text = TakeErrorText();
        EXPECT_NE(text.find(resource), std::string::npos) << text;
        EXPECT_NE(text.find("/nonexistent/libvisa.so"), std::string::npos) << text;
    }
}

TEST_F(SystemVisa, LibraryWithoutVisaFunctionsIsRejected) {
    ::setenv("ZENTRAVA_VISA_LIBRARY", "libm.so.6", 1);
    com::ComPtr<IMessage> io;
    EXPECT_EQ(OpenMessage("GPIB0::17::INSTR", "", 2000, &io), E_VISA_LIBRARY_NFOUND);
    EXPECT_NE(TakeErrorText().find("lacks viOpenDefaultRM"), std::string::npos);
}

TEST_F(SystemVisa, RoundTripThroughTheVendorLibrary) {
    ::setenv("ZENTRAVA_VISA_LIBRARY", ZTV_FAKE_VISA, 1);
    com::ComPtr<IMessage> io;
    ASSERT_EQ(OpenMessage("gpib0::17::instr", "", 2000, &io), S_OK) << TakeErrorText();
    SHORT type = 0;
    io->get_HardwareInterfaceType(&type);
    EXPECT_EQ(type, INTF_GPIB);
    std::string reply;
    EXPECT_EQ(ReplyOrError(io.get(), "*IDN?\n"), "ZT,FAKEVISA\n");

    // The session's attributes reach the library.
    void* library = ::dlopen(ZTV_FAKE_VISA, RTLD_NOW | RTLD_NOLOAD);
    ASSERT_NE(library, nullptr);
    auto attribute = reinterpret_cast<std::uintptr_t (*)(std::uint32_t)>(::dlsym(library, "fakeVisaAttribute"));
    auto clears = reinterpret_cast<int (*)()>(::dlsym(library, "fakeVisaClears"));
    io->put_TerminationCharacterEnabled(VARIANT_TRUE);
    io->put_TerminationCharacter('\r');
    EXPECT_EQ(ReplyOrError(io.get(), "a\rb\r"), "a\r");
    EXPECT_EQ(attribute(0x3FFF0038u), 1u);
    EXPECT_EQ(attribute(0x3FFF0018u), static_cast<std::uintptr_t>('\r'));
    EXPECT_LE(attribute(0x3FFF001Au), 2000u);

    // "b\r" is still queued; a time-out makes the next write clear it first.
    com::Bstr rest;
    ASSERT_EQ(io->ReadString(100, rest.Receive()), S_OK);
    EXPECT_EQ(io->ReadString(100, rest.Receive()), E_VISA_TMO);
    EXPECT_EQ(TakeErrorText(), "Timeout expired before operation completed.");
    const int clearsBefore = clears();
    io->put_TerminationCharacter('\n');
    ASSERT_EQ(Query(io.get(), "*IDN?\n", &reply), S_OK);
    EXPECT_EQ(clears(), clearsBefore + 1);

    SHORT statusByte = 0;
    ASSERT_EQ(io->ReadSTB(&statusByte), S_OK);
    EXPECT_EQ(statusByte, 0x50);
    ::dlclose(library);
}

TEST_F(SystemVisa, VendorErrorTextIsPassedOn) {
    ::setenv("ZENTRAVA_VISA_LIBRARY", ZTV_FAKE_VISA, 1);
    com::ComPtr<IMessage> io;
    EXPECT_EQ(OpenMessage("GPIB0::18::INSTR", "", 2000, &io), E_VISA_RSRC_NFOUND);
    EXPECT_EQ(TakeErrorText(), "Fake VISA: resource not found.");
}

}  // namespace
}  // namespace visa::test
