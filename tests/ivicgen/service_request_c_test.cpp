// The C face's service-request wait against the emulated instrument over HiSLIP.
#include <chrono>
#include <memory>
#include <string>
#include <thread>

#include "emulator/emulator.h"
#include "tests/support/emulator_support.h"
#include "tests/support/ivic_support.h"

namespace ztv::test {
namespace {

constexpr ViStatus kIoTimeout = static_cast<ViStatus>(0xBFFA4215u);

class WaitForServiceRequestC : public ::testing::Test {
protected:
    void SetUp() override {
        emulator::Options options;
        options.measurementDelayMs = 150;
        emulator = std::make_unique<emulator::Emulator>(options);
        ASSERT_TRUE(emulator::test::Started(*emulator));
        const std::string resource = emulator->HislipResource();
        ASSERT_EQ(Ztv_InitWithOptions(const_cast<char*>(resource.c_str()), VI_FALSE, VI_FALSE, "", &vi), 0);
        ASSERT_EQ(Ztv_SystemWrite(vi, "*CLS;*ESE 1;*SRE 32"), 0);
    }
    void TearDown() override {
        if (vi != VI_NULL) {
            EXPECT_EQ(Ztv_close(vi), 0);
        }
        emulator->Stop();
    }

    IsolatedEnvironment env;
    std::unique_ptr<emulator::Emulator> emulator;
    ViSession vi = VI_NULL;
};

TEST_F(WaitForServiceRequestC, ReturnsTheStatusByteWhenTheOperationCompletes) {
    ASSERT_EQ(Ztv_SystemWrite(vi, "INIT:PN1:IMM;*OPC"), 0);
    ViInt16 statusByte = 0;
    EXPECT_EQ(Ztv_WaitForServiceRequest(vi, 5000, &statusByte), 0) << LastError(vi).second;
    EXPECT_EQ(statusByte & 0x60, 0x60);
}

TEST_F(WaitForServiceRequestC, TimesOutWithTheDriversTimeoutStatus) {
    ViInt16 statusByte = 7;
    EXPECT_EQ(Ztv_WaitForServiceRequest(vi, 100, &statusByte), kIoTimeout);
    EXPECT_EQ(statusByte, 0);
    EXPECT_EQ(LastError(vi),
              std::make_pair(kIoTimeout,
                             std::string("Zentrava: IO timeout error: Timed out waiting for a service request.")));
    EXPECT_EQ(Ztv_WaitForServiceRequest(vi, 100, nullptr), kGenericFailure);
}

TEST_F(WaitForServiceRequestC, CloseFromAnotherThreadEndsTheWait) {
    ViStatus waited = 0;
    std::thread waiter([&] {
        ViInt16 statusByte = 0;
        waited = Ztv_WaitForServiceRequest(vi, -1, &statusByte);
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_EQ(Ztv_close(vi), 0);
    waiter.join();
    vi = VI_NULL;
    EXPECT_LT(waited, 0);
}

}  // namespace
}  // namespace ztv::test
