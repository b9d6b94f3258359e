// Waiting for a service request on the transports, against the emulator on
// loopback: the HiSLIP service-request message, the VXI-11 interrupt channel
// and the serial-poll fallback.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <memory>
#include <string>
#include <thread>

#include "emulator/emulator.h"
#include "platform/visa/message_session.h"
#include "platform/visa/transport/lan/hislip_transport.h"
#include "platform/visa/transport/lan/socket_transport.h"
#include "platform/visa/transport/lan/vxi11_transport.h"
#include "tests/support/emulator_support.h"

namespace visa {
namespace {

using Clock = std::chrono::steady_clock;
constexpr int kMeasurementMs = 150;

class ServiceRequestWait : public ::testing::TestWithParam<const char*> {
protected:
    void SetUp() override {
        emulator::Options options;
        options.measurementDelayMs = kMeasurementMs;
        emulator_ = std::make_unique<emulator::Emulator>(options);
        ASSERT_TRUE(emulator::test::Started(*emulator_));
    }

    std::unique_ptr<Transport> Open() {
        std::unique_ptr<Transport> transport;
        const std::string kind = GetParam();
        const Deadline deadline = Deadline::After(2000);
        Status status;
        if (kind == "hislip") {
            status = HislipTransport::Open("127.0.0.1", emulator_->HislipPort(), "hislip0", deadline, &transport);
        } else if (kind == "vxi11") {
            status = Vxi11Transport::Open("127.0.0.1", emulator_->Vxi11Port(), "inst0", false, deadline, &transport);
        } else {
            status = SocketTransport::Open("127.0.0.1", emulator_->SocketPort(), deadline, &transport);
        }
        EXPECT_TRUE(status.ok()) << status.text;
        return transport;
    }

    static void Send(Transport& transport, const std::string& message) {
        Status status = transport.Write(reinterpret_cast<const std::uint8_t*>(message.data()), message.size(), true,
                                        Deadline::After(2000));
        ASSERT_TRUE(status.ok()) << status.text;
    }

    // Starts a measurement that requests service when it ends.
    static void StartMeasurement(Transport& transport) { Send(transport, "*CLS;*ESE 1;*SRE 32;INIT:PN1:IMM;*OPC\n"); }

    std::unique_ptr<emulator::Emulator> emulator_;
};

TEST_P(ServiceRequestWait, ReturnsTheStatusByteWhenTheMeasurementEnds) {
    std::unique_ptr<Transport> transport = Open();
    ASSERT_TRUE(transport);
    const Clock::time_point started = Clock::now();
    StartMeasurement(*transport);
    std::uint8_t statusByte = 0;
    Status status = transport->WaitForServiceRequest(Deadline::After(5000), &statusByte);
    const auto waited = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - started).count();
    ASSERT_TRUE(status.ok()) << status.text;
    EXPECT_EQ(statusByte & 0x60, 0x60);  // event summary, request service
    // How late after the measurement's end the request arrived, for the log only.
    std::printf("[ %s ] service request %lld ms after the measurement ended\n", GetParam(),
                static_cast<long long>(waited - kMeasurementMs));
    EXPECT_EQ(emulator_->instrument().PeekEventStatus() & 1, 1);
}

TEST_P(ServiceRequestWait, ARequestRaisedBeforeTheFirstWaitIsNotLost) {
    std::unique_ptr<Transport> transport = Open();
    ASSERT_TRUE(transport);
    StartMeasurement(*transport);
    std::this_thread::sleep_for(std::chrono::milliseconds(kMeasurementMs + 100));
    std::uint8_t statusByte = 0;
    Status status = transport->WaitForServiceRequest(Deadline::After(1000), &statusByte);
    ASSERT_TRUE(status.ok()) << status.text;
    EXPECT_EQ(statusByte & 0x40, 0x40);
}

TEST_P(ServiceRequestWait, TimesOutWithoutARequest) {
    std::unique_ptr<Transport> transport = Open();
    ASSERT_TRUE(transport);
    Send(*transport, "*CLS;*ESE 1;*SRE 32\n");  // enabled, but nothing completes
    std::uint8_t statusByte = 0;
    Status status = transport->WaitForServiceRequest(Deadline::After(200), &statusByte);
    EXPECT_EQ(status.code, E_VISA_TMO);
    EXPECT_EQ(status.text, "Timed out waiting for a service request.");
}

TEST_P(ServiceRequestWait, InterruptFromAnotherThreadEndsTheWait) {
    std::unique_ptr<Transport> transport = Open();
    ASSERT_TRUE(transport);
    Send(*transport, "*CLS;*ESE 1;*SRE 32\n");
    Status status;
    std::thread waiter([&] {
        std::uint8_t statusByte = 0;
        status = transport->WaitForServiceRequest(Deadline::After(30000), &statusByte);
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    transport->Interrupt();
    waiter.join();
    EXPECT_EQ(status.code, E_VISA_INV_OBJECT) << status.text;
}

TEST_P(ServiceRequestWait, TwoSessionsWaitAtOnce) {
    std::unique_ptr<Transport> first = Open();
    std::unique_ptr<Transport> second = Open();
    std::unique_ptr<Transport> starter = Open();
    ASSERT_TRUE(first && second && starter);
    Send(*starter, "*CLS;*ESE 1;*SRE 32\n");
    Status results[2];
    std::uint8_t bytes[2] = {};
    std::thread waiters[2];
    Transport* transports[2] = {first.get(), second.get()};
    for (int i = 0; i < 2; ++i) {
        waiters[i] = std::thread(
            [&, i] { results[i] = transports[i]->WaitForServiceRequest(Deadline::After(5000), &bytes[i]); });
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    StartMeasurement(*starter);
    for (std::thread& waiter : waiters) waiter.join();
    for (int i = 0; i < 2; ++i) {
        EXPECT_TRUE(results[i].ok()) << i << ": " << results[i].text;
        EXPECT_EQ(bytes[i] & 0x40, 0x40) << i;
    }
}

TEST_P(ServiceRequestWait, SessionCloseFromAnotherThreadEndsTheWait) {
    std::unique_ptr<Transport> transport = Open();
    ASSERT_TRUE(transport);
    Send(*transport, "*CLS;*ESE 1;*SRE 32\n");
    MessageSession* session = MessageSession::Create(std::move(transport), ResourceAddress{});
    IServiceRequestWait* waiting = nullptr;
    ASSERT_EQ(session->QueryInterface(IID_IServiceRequestWait, reinterpret_cast<void**>(&waiting)), S_OK);
    HRESULT result = S_OK;
    std::thread waiter([&] {
        SHORT statusByte = 0;
        result = waiting->WaitForServiceRequest(-1, &statusByte);
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_EQ(session->Close(), S_OK);
    waiter.join();
    EXPECT_EQ(result, E_VISA_INV_OBJECT);
    SHORT statusByte = 0;
    EXPECT_EQ(waiting->WaitForServiceRequest(100, &statusByte), E_VISA_INV_OBJECT);  // closed for good
    waiting->Release();
    session->Release();
}

INSTANTIATE_TEST_SUITE_P(Transports, ServiceRequestWait, ::testing::Values("hislip", "vxi11", "socket"),
                         [](const auto& info) { return std::string(info.param); });

}  // namespace
}  // namespace visa
