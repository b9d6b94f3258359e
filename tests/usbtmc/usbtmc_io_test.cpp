// The driver object over USB: the emulator's SCPI engine behind the model of
// the kernel's usbtmc driver, reached through OpenTransport like a real
// instrument. The same faults, reply shapes and service requests as on the
// LAN interfaces; the next query always reads its own reply.
#include <errno.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <thread>

#include "emulator/instrument/instrument.h"
#include "tests/support/test_support.h"
#include "tests/usbtmc/fake_usbtmc.h"
#include "zentrava/zentrava.hpp"

namespace ztv::test {
namespace {

using std::chrono::milliseconds;
using ::testing::HasSubstr;
using ::testing::StartsWith;

constexpr LONG kTimeoutMs = 500;
// How much later than its time-out a failure may be reported: the clear that follows has bounds of its own.
constexpr milliseconds kLateness{500};

emulator::InstrumentOptions Delayed() {
    emulator::InstrumentOptions options;
    options.measurementDelayMs = 150;
    return options;
}

// The instrument's service requests reach the interrupt-IN endpoint.
class NotifyingInstrument {
public:
    explicit NotifyingInstrument(FakeUsbtmc& device, emulator::Instrument& instrument)
        : thread_([&device, &instrument, this] {
              bool requesting = false;
              while (const auto statusByte =
                         instrument.WaitForServiceRequest(&requesting, [this] { return stop_.load(); })) {
                  device.RequestService(*statusByte);
              }
          }),
          instrument_(instrument) {}
    ~NotifyingInstrument() {
        stop_ = true;
        instrument_.waker().NotifyAll();
        thread_.join();
    }

private:
    std::atomic<bool> stop_{false};
    std::thread thread_;
    emulator::Instrument& instrument_;
};

class UsbtmcDriver : public ::testing::Test {
protected:
    explicit UsbtmcDriver(FakeUsbtmcOptions options = {})
        : device_([this](const std::string& message) { return instrument_.Execute(message); }, options) {
        device_.SetStatusByte([this](bool messageAvailable) { return instrument_.ReadStatusByte(messageAvailable); });
    }

    void Open() {
        ASSERT_EQ(InitializeDriver(driver_.get(), FakeUsbtmc::kResource, true, false, ""), S_OK) << ThreadErrorText();
        ASSERT_EQ(object().Provider().SetIOTimeout(2000), S_OK);
        device_.Forget();
    }
    Zentrava& object() { return *static_cast<Zentrava*>(driver_.get()); }
    Ref<visa::IMessage> message() { return Ref<visa::IMessage>(object().Provider().Message()); }
    // Whatever the test did to the two numbers before.
    void ExpectOwnReplies() {
        instrument_.SetSetting("SENS:ATT:LEV", "12.5");
        instrument_.SetSetting("SENS:FREQ", "3.4e9");
        test::ExpectOwnReplies(object());
    }

    IsolatedEnvironment env_;
    emulator::Instrument instrument_{Delayed()};
    FakeUsbtmc device_;
    Ref<IIviDriver> driver_ = NewDriver();
};

TEST_F(UsbtmcDriver, InitializeIdentifiesOverUsb) {
    Open();
    Ref<IIviDriverIdentity> identity = Query<IIviDriverIdentity>(driver_.get(), IID_IIviDriverIdentity);
    Bstr model;
    ASSERT_EQ(identity->get_InstrumentModel(model.out()), S_OK);
    EXPECT_EQ(model.str(), "Q7310B");
}

enum class UsbFault { Late, Lost, CutShort, Unplugged };

TEST_F(UsbtmcDriver, FaultMatrixEachFaultFailsInTimeAndTheSessionRecovers) {
    struct Case {
        const char* name;
        UsbFault fault;
        HRESULT result;
    } cases[] = {
        {"late reply", UsbFault::Late, E_ZENTRAVA_IO_TIMEOUT},
        {"lost reply", UsbFault::Lost, E_ZENTRAVA_IO_TIMEOUT},
        {"reply cut short", UsbFault::CutShort, E_ZENTRAVA_IO_TIMEOUT},
        {"unplugged and plugged back", UsbFault::Unplugged, E_ZENTRAVA_IO_GENERAL},
    };
    Open();
    double level = 1;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_EQ(object().Provider().SetIOTimeout(kTimeoutMs), S_OK);
        instrument_.SetSetting("SENS:ATT:LEV", std::to_string(level));
        switch (c.fault) {
            case UsbFault::Late:
                device_.DelayNextReply(milliseconds(3 * kTimeoutMs));
                break;
            case UsbFault::Lost:
                device_.DropNextReply();
                break;
            case UsbFault::CutShort:
                device_.CutNextReply();
                break;
            case UsbFault::Unplugged:
                device_.Unplug();
                break;
        }
        double value = -1;
        const auto start = std::chrono::steady_clock::now();
        const HRESULT result = object().IO().InstrQuery("SENS:ATT:LEV?", &value, kCurrentTimeout);
        const auto took = std::chrono::duration_cast<milliseconds>(std::chrono::steady_clock::now() - start);
        std::printf("fault matrix: %-28s Usbtmc  %5lld ms\n", c.name, static_cast<long long>(took.count()));
        EXPECT_EQ(result, c.result) << ThreadErrorText();
        EXPECT_THAT(ThreadErrorText(), StartsWith(c.result == E_ZENTRAVA_IO_TIMEOUT ? "Zentrava: IO timeout error: "
                                                                                    : "Zentrava: IO error: "));
        EXPECT_LE(took, milliseconds(kTimeoutMs) + kLateness);
        if (c.fault == UsbFault::Unplugged) device_.PlugBack();

        // A new value each time: a late or stale reply cannot pass for it.
        level += 1;
        instrument_.SetSetting("SENS:ATT:LEV", std::to_string(level));
        ASSERT_EQ(object().Provider().SetIOTimeout(4 * kTimeoutMs), S_OK);
        for (int again = 0; again < 2; ++again) {
            EXPECT_EQ(object().IO().InstrQuery("SENS:ATT:LEV?", &value, kCurrentTimeout), S_OK) << ThreadErrorText();
            EXPECT_EQ(value, level);
        }
        level += 1;
    }
}

TEST_F(UsbtmcDriver, LongRepliesAreReadAcrossManyTransfers) {
    Open();
    instrument_.SetSetting("SYST:TEXT", std::string(9000, 'x'));
    EXPECT_EQ(QueryText(object(), "SYST:TEXT?"), std::string(1024, 'x'));
    ExpectOwnReplies();
    instrument_.SetSetting("SYST:TEXT", "7" + std::string(9999, '0'));
    EXPECT_EQ(QueryNumber(object(), "SYST:TEXT?"), 7e99);  // the first 100 digits
    ExpectOwnReplies();
    EXPECT_GT(device_.Requests(), 10);  // the premise: each long reply took many read() calls
}

// "*LRN?" answers a block of lines: its data holds line feeds and ends with one.
TEST_F(UsbtmcDriver, BlocksWithLineFeedsAreReadByTheirLength) {
    Open();
    instrument_.SetSetting("SENS:ATT:LEV", "12.5");
    instrument_.SetSetting("SENS:FREQ", "3.4e9");
    ExpectLearnBlocksReadByTheirLength(object());
}

TEST_F(UsbtmcDriver, ServiceRequestStatusByteClearAndTrigger) {
    Open();
    NotifyingInstrument notifying(device_, instrument_);
    ASSERT_EQ(object().IO().InstrWrite("*CLS;*ESE 1;*SRE 32", kCurrentTimeout), S_OK) << ThreadErrorText();
    ASSERT_EQ(object().IO().InstrWrite("INIT:PN1:IMM;*OPC", kCurrentTimeout), S_OK) << ThreadErrorText();
    auto root = zentrava::query<IZentrava>(zentrava::ComPtr<IIviDriver>::Share(driver_.get()), IID_IZentrava);
    EXPECT_EQ(zentrava::wait_for_srq(root, 5000) & 0x60, 0x60);  // event summary, request service

    instrument_.ReportError(-113);
    SHORT statusByte = 0;
    ASSERT_EQ(message()->ReadSTB(&statusByte), S_OK) << ThreadErrorText();
    EXPECT_EQ(statusByte & 0x04, 0x04);  // error available

    const int clears = device_.Clears();
    ASSERT_EQ(message()->Clear(), S_OK) << ThreadErrorText();
    EXPECT_EQ(device_.Clears(), clears + 1);

    ASSERT_EQ(message()->AssertTrigger(), S_OK) << ThreadErrorText();
    EXPECT_EQ(device_.Triggers(), 1);
}

TEST_F(UsbtmcDriver, OpenErrorsNameTheCauseAndTheRemedy) {
    device_.FailNextOpen(EACCES);
    EXPECT_EQ(InitializeDriver(driver_.get(), FakeUsbtmc::kResource, false, false, ""), E_IVI_RESOURCE_UNKNOWN);
    EXPECT_EQ(ThreadErrorText(), "Zentrava: Unknown resource. No permission to open " + device_.host().devRoot +
                                     "/usbtmc0: install the udev rule 60-zentrava-usbtmc.rules (it gives the group "
                                     "plugdev access to USBTMC instruments), join plugdev, then plug the instrument "
                                     "in again.");
    EXPECT_EQ(InitializeDriver(driver_.get(), "USB0::0x0957::0x1A07::MY999::INSTR", false, false, ""),
              E_IVI_RESOURCE_UNKNOWN);
    EXPECT_EQ(ThreadErrorText(),
              "Zentrava: Unknown resource. No USBTMC device 0x0957::0x1A07 with serial number "
              "\"MY999\" under " +
                  device_.host().sysRoot + "/class/usbmisc (is the usbtmc kernel module loaded?).");
    EXPECT_EQ(InitializeDriver(driver_.get(), "USB0::0x0957::0x1A07::MY001::RAW", false, false, ""),
              E_IVI_RESOURCE_UNKNOWN);
    EXPECT_THAT(ThreadErrorText(), HasSubstr("is a USB RAW session, which this driver does not use"));
}

class UsbtmcDriverPlainDevice : public UsbtmcDriver {
protected:
    UsbtmcDriverPlainDevice() : UsbtmcDriver(PlainUsbtmc()) {}
};

TEST_F(UsbtmcDriverPlainDevice, TriggersBySendingStarTrg) {
    Open();
    ASSERT_EQ(message()->AssertTrigger(), S_OK) << ThreadErrorText();
    EXPECT_EQ(device_.Messages(), std::vector<std::string>{"*TRG"});
    EXPECT_EQ(device_.Triggers(), 0);
    ExpectOwnReplies();
}

}  // namespace
}  // namespace ztv::test
