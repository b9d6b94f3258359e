// GPIB sessions through the emulator's Prologix adapter fronts, GPIB-ETHERNET
// on loopback and GPIB-USB on a pseudo-terminal: what the driver sends the
// adapter for each operation, byte for byte, and how sessions fail and
// recover.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <thread>

#include "emulator/emulator.h"
#include "platform/visa/open_options.h"
#include "platform/visa/resource_name.h"
#include "platform/visa/transport/gpib/prologix_transport.h"
#include "platform/visa/transport/transport_factory.h"
#include "tests/support/emulator_support.h"

namespace visa {
namespace {

using ::testing::HasSubstr;
using namespace std::chrono_literals;

enum class Front { Ethernet, Usb };

// The adapter's set-up when a process first opens it, then the serial poll
// that finds the instrument at its address.
constexpr char kFirstOpen[] =
    "++ver\n++savecfg 0\n++mode 1\n++auto 0\n++eos 3\n++eoi 1\n++eot_enable 0\n++ifc\n++spoll 17\n";
constexpr char kResynchronised[] = "++ver\n++savecfg 0\n++mode 1\n++auto 0\n++eos 3\n++eoi 1\n++eot_enable 0\n";

Status Send(Transport& transport, std::string_view bytes, bool end = true) {
    return transport.Write(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size(), end,
                           Deadline::After(2000));
}

Status Receive(Transport& transport, std::string* reply, ReadResult* result) {
    reply->assign(1 << 20, '\0');
    const ReadRequest request{reinterpret_cast<std::uint8_t*>(reply->data()), reply->size(), false, '\n'};
    const Status status = transport.Read(request, Deadline::After(2000), result);
    reply->resize(result->count);
    return status;
}

class PrologixExchange : public ::testing::TestWithParam<Front> {
protected:
    void SetUp() override {
        emulator::Options options;
        options.socketPort = options.vxi11Port = options.hislipPort = -1;
        if (GetParam() == Front::Ethernet) {
            options.prologixPort = 0;
        } else {
            options.prologixPty = true;
        }
        emulator_ = std::make_unique<emulator::Emulator>(options);
        ASSERT_TRUE(emulator::test::Started(*emulator_));
        adapter_ =
            GetParam() == Front::Ethernet ? emulator_->PrologixSocketResource() : emulator_->PrologixPtyResource();
    }

    Status Open(const std::string& resource, std::unique_ptr<Transport>* transport, int timeoutMs = 2000) {
        ResourceAddress address;
        if (Status status = ParseResourceName(resource, &address); !status.ok()) return status;
        return OpenTransport(address, OpenOptions::Parse("GPIBAdapter=" + adapter_), false, Deadline::After(timeoutMs),
                             transport);
    }

    // What the adapter received since the last call: at least `size` bytes
    // where they arrive in time.
    std::string Received(std::size_t size) {
        const auto giveUp = std::chrono::steady_clock::now() + 2s;
        while (emulator_->PrologixInput().size() < size && std::chrono::steady_clock::now() < giveUp) {
            std::this_thread::sleep_for(5ms);
        }
        std::string bytes = emulator_->PrologixInput();
        emulator_->ClearPrologixInput();
        return bytes;
    }

    std::unique_ptr<emulator::Emulator> emulator_;
    std::string adapter_;
};

TEST_P(PrologixExchange, EachOperationSendsExactlyItsCommands) {
    std::unique_ptr<Transport> gpib;
    ASSERT_TRUE(Open("GPIB0::17::INSTR", &gpib).ok());
    EXPECT_EQ(Received(sizeof kFirstOpen - 1), kFirstOpen);

    std::string reply;
    ReadResult result;
    struct Step {
        const char* name;
        std::function<Status()> run;
        std::string sent;
    };
    const Step steps[] = {
        {"first write addresses the instrument", [&] { return Send(*gpib, "*CLS\n"); }, "++addr 17\n*CLS\x1b\n\n"},
        {"escapes", [&] { return Send(*gpib, "+\x1b\r:\n"); }, "\x1b+\x1b\x1b\x1b\r:\x1b\n\n"},
        {"write without END", [&] { return Send(*gpib, "*CL", false); }, "++eoi 0\n*CL\n"},
        {"write with END again", [&] { return Send(*gpib, "S\n"); }, "++eoi 1\nS\x1b\n\n"},
        {"query",
         [&] {
             Status status = Send(*gpib, "*IDN?\n");
             return status.ok() ? Receive(*gpib, &reply, &result) : status;
         },
         "*IDN?\x1b\n\n++read eoi\n"},
        {"device clear", [&] { return gpib->Clear(Deadline::After(2000)); }, "++clr\n++ver\n"},
        {"serial poll",
         [&] {
             std::uint8_t statusByte = 0;
             return gpib->ReadStatusByte(Deadline::After(2000), &statusByte);
         },
         "++spoll 17\n"},
        {"trigger", [&] { return gpib->Trigger(Deadline::After(2000)); }, "++trg 17\n"},
    };
    for (const Step& step : steps) {
        SCOPED_TRACE(step.name);
        const Status status = step.run();
        EXPECT_TRUE(status.ok()) << status.text;
        EXPECT_EQ(Received(step.sent.size()), step.sent);
    }
    EXPECT_EQ(reply, "Orvane Technologies,Q7310B,0123456789,1.0.9\n");
    EXPECT_EQ(result.end, ReadEnd::End);
}

TEST_P(PrologixExchange, SessionsShareTheAdapterAndReAddressAfterAnother) {
    std::unique_ptr<Transport> first;
    ASSERT_TRUE(Open("GPIB0::17::INSTR", &first).ok());
    ASSERT_TRUE(Send(*first, "*CLS\n").ok());
    Received(sizeof kFirstOpen - 1 + std::string_view("++addr 17\n*CLS\x1b\n\n").size());

    // The same adapter: no second set-up, only the poll of the new address.
    std::unique_ptr<Transport> second;
    ASSERT_TRUE(Open("GPIB0::17::INSTR", &second).ok());
    EXPECT_EQ(Received(11), "++spoll 17\n");

    // A session that found nobody leaves the adapter in doubt: the next
    // exchange brings it back in step and addresses its instrument again.
    std::unique_ptr<Transport> nobody;
    EXPECT_FALSE(Open("GPIB0::5::INSTR", &nobody, 300).ok());
    Received(10);
    ASSERT_TRUE(Send(*first, "*CLS\n").ok());
    const std::string expected = std::string(kResynchronised) + "++addr 17\n*CLS\x1b\n\n";
    EXPECT_EQ(Received(expected.size()), expected);
}

TEST_P(PrologixExchange, AnAddressWithoutListenerFailsNamingIt) {
    constexpr int kOpenTimeoutMs = 300;
    std::unique_ptr<Transport> gpib;
    const auto start = std::chrono::steady_clock::now();
    const Status status = Open("GPIB0::5::INSTR", &gpib, kOpenTimeoutMs);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(kOpenTimeoutMs) + 1s);
    EXPECT_EQ(status.code, E_VISA_NLISTENERS);
    EXPECT_THAT(status.text, HasSubstr("GPIB address 5 (GPIB0::5::INSTR)"));
    EXPECT_THAT(status.text, HasSubstr(adapter_));
    // The instrument at its own address is reachable all the same.
    EXPECT_TRUE(Open("GPIB0::17::INSTR", &gpib).ok());
}

TEST_P(PrologixExchange, BinaryBlocksAreReadToTheEndWithTheirLineFeeds) {
    std::unique_ptr<Transport> gpib;
    ASSERT_TRUE(Open("GPIB0::17::INSTR", &gpib).ok());
    ASSERT_TRUE(Send(*gpib, "FORM:DATA REAL,64;:CALC:PN1:TRAC1:DATA:FDAT?\n").ok());
    std::string block;
    ReadResult result;
    ASSERT_TRUE(Receive(*gpib, &block, &result).ok());
    EXPECT_EQ(result.end, ReadEnd::End);
    ASSERT_GT(block.size(), 2u);
    ASSERT_EQ(block[0], '#');
    const std::size_t digits = static_cast<std::size_t>(block[1] - '0');
    const std::size_t length = std::stoul(block.substr(2, digits));
    const std::string payload = block.substr(2 + digits, length);
    EXPECT_EQ(block.size(), 2 + digits + length + 1);
    EXPECT_NE(payload.find('\n'), std::string::npos) << "the trace should hold line feeds";
    EXPECT_EQ(block.back(), '\n');
}

TEST_P(PrologixExchange, ServiceRequestsArePolled) {
    std::unique_ptr<Transport> gpib;
    ASSERT_TRUE(Open("GPIB0::17::INSTR", &gpib).ok());
    ASSERT_TRUE(Send(*gpib, "*CLS;*ESE 1;*SRE 32\n").ok());
    std::uint8_t statusByte = 0;
    EXPECT_EQ(gpib->WaitForServiceRequest(Deadline::After(200), &statusByte).code, E_VISA_TMO);
    ASSERT_TRUE(Send(*gpib, "*OPC\n").ok());
    const Status status = gpib->WaitForServiceRequest(Deadline::After(2000), &statusByte);
    EXPECT_TRUE(status.ok()) << status.text;
    EXPECT_EQ(statusByte & kRequestServiceBit, kRequestServiceBit);
    EXPECT_THAT(Received(0), HasSubstr("++srq\n++spoll 17\n"));
}

std::string FrontName(const ::testing::TestParamInfo<Front>& info) {
    return info.param == Front::Ethernet ? "Ethernet" : "Usb";
}

INSTANTIATE_TEST_SUITE_P(Adapters, PrologixExchange, ::testing::Values(Front::Ethernet, Front::Usb), FrontName);

TEST(PrologixAdapter, SomethingElseOnTheLinkIsNamed) {
    emulator::Emulator instrument(emulator::test::ServingOnly(emulator::Channel::Socket));
    ASSERT_TRUE(emulator::test::Started(instrument));
    // A raw SCPI socket is no adapter: it does not answer "++ver".
    const std::string notAnAdapter = instrument.SocketResource();
    ResourceAddress address;
    ASSERT_TRUE(ParseResourceName("GPIB0::17::INSTR", &address).ok());
    std::unique_ptr<Transport> gpib;
    const Status status =
        OpenTransport(address, OpenOptions::Parse("GPIBAdapter=" + notAnAdapter), false, Deadline::After(300), &gpib);
    EXPECT_EQ(status.code, E_VISA_RSRC_NFOUND);
    EXPECT_EQ(status.text, "No GPIB adapter answered \"++ver\" at " + notAnAdapter + ".");

    const Status wrongKind = OpenTransport(address, OpenOptions::Parse("GPIBAdapter=TCPIP0::localhost::inst0::INSTR"),
                                           false, Deadline::After(300), &gpib);
    EXPECT_EQ(wrongKind.code, E_VISA_INV_SETUP);
}

}  // namespace
}  // namespace visa
