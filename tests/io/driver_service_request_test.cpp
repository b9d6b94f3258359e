// The driver object's service-request extension and its C++ helper, on every
// LAN interface of the emulator: the request's status byte, the time-out,
// Close from another thread, and where no session can wait.
#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>

#include "tests/io/driver_on_emulator.h"
#include "zentrava/zentrava.hpp"

namespace ztv::test {
namespace {

class DriverServiceRequest : public ::testing::TestWithParam<Link> {
protected:
    void SetUp() override {
        ASSERT_EQ(rig_.Initialize(false, false), S_OK) << ThreadErrorText();
        ASSERT_EQ(rig_.io().InstrWrite("*CLS;*ESE 1;*SRE 32", kCurrentTimeout), S_OK) << ThreadErrorText();
        root_ = zentrava::query<IZentrava>(zentrava::ComPtr<IIviDriver>::Share(rig_.driver()), IID_IZentrava);
    }

    static emulator::Options Delayed() {
        emulator::Options options;
        options.measurementDelayMs = 150;
        return options;
    }

    DriverOnEmulator rig_{GetParam(), Delayed()};
    zentrava::ComPtr<IZentrava> root_;
};

TEST_P(DriverServiceRequest, ReturnsTheStatusByteWhenTheMeasurementEnds) {
    ASSERT_EQ(rig_.io().InstrWrite("INIT:PN1:IMM;*OPC", kCurrentTimeout), S_OK) << ThreadErrorText();
    EXPECT_EQ(zentrava::wait_for_srq(root_, 5000) & 0x60, 0x60);  // event summary, request service
}

TEST_P(DriverServiceRequest, ATimeOutIsTheDriversIoTimeout) {
    try {
        zentrava::wait_for_srq(root_, 100);
        ADD_FAILURE() << "no request was due";
    } catch (const zentrava::Error& error) {
        EXPECT_EQ(std::string(error.what()), "Zentrava: IO timeout error: Timed out waiting for a service request.");
    }
}

TEST_P(DriverServiceRequest, CloseFromAnotherThreadEndsTheWait) {
    const auto waiting = zentrava::query<IZentravaServiceRequest>(root_, IID_IZentravaServiceRequest);
    HRESULT waited = S_OK;
    std::thread waiter([&] {
        SHORT statusByte = 0;
        waited = waiting->WaitForServiceRequest(-1, &statusByte);
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_EQ(rig_.driver()->Close(), S_OK);
    waiter.join();
    EXPECT_TRUE(FAILED(waited));
}

INSTANTIATE_TEST_SUITE_P(Lan, DriverServiceRequest,
                         ::testing::Values(Link::Socket, Link::Vxi11, Link::Hislip, Link::Gpib), LinkName);

TEST(DriverServiceRequestRefused, WithoutAnInstrumentSession) {
    Ref<IIviDriver> driver = NewDriver();
    auto waiting = Query<IZentravaServiceRequest>(driver.get(), IID_IZentravaServiceRequest);
    SHORT statusByte = 0;
    EXPECT_TRUE(FAILED(waiting->WaitForServiceRequest(100, &statusByte)));  // not initialized
    ASSERT_EQ(InitializeDriver(driver.get(), "TCPIP0::127.0.0.1::inst0::INSTR", false, false, "Simulate=true"), S_OK)
        << ThreadErrorText();
    EXPECT_EQ(waiting->WaitForServiceRequest(100, &statusByte), visa::E_VISA_NSUP_OPER);
    EXPECT_EQ(ThreadErrorText(), "Waiting for a service request is not supported on this interface.");
    auto support = Query<ISupportErrorInfo>(driver.get(), IID_ISupportErrorInfo);
    EXPECT_EQ(support->InterfaceSupportsErrorInfo(IID_IZentravaServiceRequest), S_OK);
}

}  // namespace
}  // namespace ztv::test
