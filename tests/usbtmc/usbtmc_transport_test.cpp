// The USBTMC transport over the model of the kernel driver: each case is a
// way the driver's rules lose step with the replies or fail for the wrong
// reason, and what the transport must do instead.
#include "platform/visa/transport/usb/usbtmc_transport.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <linux/usb/tmc.h>

#include <chrono>
#include <thread>

#include "tests/usbtmc/fake_usbtmc.h"

namespace ztv::test {
namespace {

using std::chrono::milliseconds;
using ::testing::ElementsAre;
using ::testing::HasSubstr;

// Replies with the message's header followed by "!", or `long` bytes for "LONG?".
std::optional<std::string> Echo(const std::string& message) {
    if (message.rfind("LONG", 0) == 0) return std::string(6000, 'x') + "end";
    if (message.back() != '?') return std::nullopt;
    return message + "!";
}

visa::UsbtmcQuery Query() { return {0x0957, 0x1A07, "MY001", std::nullopt}; }

class UsbtmcTransport : public ::testing::Test {
protected:
    explicit UsbtmcTransport(FakeUsbtmcOptions options = {}) : fake_(Echo, options) {}

    void Open(bool lock = false) {
        const visa::Status status =
            visa::UsbtmcTransport::Open(fake_.host(), Query(), lock, visa::Deadline::After(1000), &transport_);
        ASSERT_TRUE(status.ok()) << status.text;
    }
    visa::Status Send(const std::string& text, bool end = true, std::int64_t ms = 1000) {
        return transport_->Write(reinterpret_cast<const std::uint8_t*>(text.data()), text.size(), end,
                                 visa::Deadline::After(ms));
    }
    visa::Status Receive(std::string* text, std::int64_t ms = 1000, visa::ReadResult* result = nullptr,
                         bool termChar = false) {
        std::vector<std::uint8_t> buffer(8192);
        visa::ReadRequest request{buffer.data(), buffer.size(), termChar, '\n'};
        visa::ReadResult ignored;
        visa::ReadResult* into = result ? result : &ignored;
        const visa::Status status = transport_->Read(request, visa::Deadline::After(ms), into);
        text->assign(reinterpret_cast<const char*>(buffer.data()), into->count);
        return status;
    }
    // A query that must get its own answer.
    void ExpectOwnAnswer(const std::string& query) {
        ASSERT_TRUE(Send(query).ok());
        std::string reply;
        const visa::Status status = Receive(&reply);
        EXPECT_TRUE(status.ok()) << status.text;
        EXPECT_EQ(reply, query + "!\n");
    }

    FakeUsbtmc fake_;
    std::unique_ptr<visa::Transport> transport_;
};

TEST_F(UsbtmcTransport, RetryAfterATimeOutNeverReadsTheLateReply) {
    Open();
    ExpectOwnAnswer("A?");  // the reply flags now say END
    for (const bool longReply : {false, true}) {
        SCOPED_TRACE(longReply ? "longer than a packet" : "short");
        const int clears = fake_.Clears();
        fake_.DelayNextReply(milliseconds(300));
        ASSERT_TRUE(Send(longReply ? "LONG" : "LATE?").ok());
        std::string reply;
        EXPECT_EQ(Receive(&reply, 150).code, visa::E_VISA_TMO);
        std::this_thread::sleep_for(milliseconds(350));  // the late reply is in the device now
        // The retry clears first: the late reply is gone and nothing answers.
        visa::ReadResult result;
        EXPECT_EQ(Receive(&reply, 200, &result).code, visa::E_VISA_TMO) << reply;
        EXPECT_EQ(result.count, 0u);
        EXPECT_EQ(fake_.Clears(), clears + 1);
        ExpectOwnAnswer("B?");
        ExpectOwnAnswer("C?");
    }
}

TEST_F(UsbtmcTransport, AReplyToNoRequestIsLostStepAndClears) {
    Open();
    ExpectOwnAnswer("A?");
    fake_.InjectStrayReply("stray\n");
    ASSERT_TRUE(Send("B?").ok());
    std::string reply;
    const visa::Status status = Receive(&reply);
    EXPECT_EQ(status.code, visa::E_VISA_IO);
    EXPECT_THAT(status.text, HasSubstr("did not answer its request; the device was cleared"));
    EXPECT_EQ(fake_.Clears(), 1);
    ExpectOwnAnswer("C?");
}

TEST_F(UsbtmcTransport, EachTransferGetsTheTimeLeft) {
    Open();
    // Half a reply after 200 ms, the rest never: the second read may only wait what is left of 300 ms.
    fake_.DelayNextReply(milliseconds(200));
    fake_.CutNextReply();
    ASSERT_TRUE(Send("SLOW?").ok());
    fake_.Forget();
    std::string reply;
    EXPECT_EQ(Receive(&reply, 300).code, visa::E_VISA_TMO);
    const std::vector<std::uint32_t> timeouts = fake_.Timeouts();
    ASSERT_EQ(timeouts.size(), 2u);
    EXPECT_GT(timeouts[0], 200u);
    EXPECT_LE(timeouts[1], 150u);
    ExpectOwnAnswer("NEXT?");
}

TEST_F(UsbtmcTransport, ASignalDuringALongReplyLosesNothing) {
    Open();
    ASSERT_TRUE(Send("LONG").ok());
    fake_.InterruptNextRead();
    std::string reply;
    visa::ReadResult result;
    ASSERT_TRUE(Receive(&reply, 1000, &result).ok());
    EXPECT_EQ(reply, std::string(6000, 'x') + "end\n");
    EXPECT_EQ(result.end, visa::ReadEnd::End);
    ExpectOwnAnswer("A?");
}

TEST_F(UsbtmcTransport, AMessageLeftOpenIsEndedByAnEmptyWriteWithEnd) {
    Open();
    ASSERT_TRUE(Send("*CL", false).ok());
    ASSERT_TRUE(Send("S", false).ok());
    EXPECT_TRUE(fake_.Messages().empty());
    ASSERT_TRUE(Send("", true).ok());
    EXPECT_THAT(fake_.Messages(), ElementsAre("*CLS"));
    EXPECT_EQ(fake_.Transfers().back(), std::make_pair(std::string("S"), true));
    // A read sends what was held back, still without END.
    ASSERT_TRUE(Send("Q", false).ok());
    ASSERT_TRUE(Send("?", true).ok());
    std::string reply;
    ASSERT_TRUE(Receive(&reply).ok());
    EXPECT_EQ(reply, "Q?!\n");
}

TEST_F(UsbtmcTransport, ControlRequestsSlowerThanTheDeadlineTimeOut) {
    Open();
    fake_.SetStatusByte([](bool) { return std::uint8_t{0x10}; });
    fake_.DelayControlRequests(milliseconds(600));
    std::uint8_t statusByte = 0;
    EXPECT_EQ(transport_->ReadStatusByte(visa::Deadline::After(200), &statusByte).code, visa::E_VISA_TMO);
    // The next call waits for the request still running, within its own deadline.
    EXPECT_EQ(transport_->Clear(visa::Deadline::After(100)).code, visa::E_VISA_TMO);
    fake_.DelayControlRequests(milliseconds(0));
    ASSERT_TRUE(transport_->ReadStatusByte(visa::Deadline::After(2000), &statusByte).ok());
    EXPECT_EQ(statusByte, 0x10);
    ASSERT_TRUE(transport_->Clear(visa::Deadline::After(2000)).ok());
    EXPECT_EQ(fake_.Clears(), 1);
    ExpectOwnAnswer("A?");
}

TEST_F(UsbtmcTransport, AnExclusiveLockKeepsOtherProcessesOut) {
    Open(true);
    std::unique_ptr<visa::Transport> second;
    visa::Status status = visa::UsbtmcTransport::Open(fake_.host(), Query(), true, visa::Deadline::After(100), &second);
    EXPECT_EQ(status.code, visa::E_VISA_IO);
    EXPECT_THAT(status.text, HasSubstr("is in use: another process holds its exclusive lock"));
    transport_.reset();
    status = visa::UsbtmcTransport::Open(fake_.host(), Query(), true, visa::Deadline::After(100), &second);
    EXPECT_TRUE(status.ok()) << status.text;
}

TEST_F(UsbtmcTransport, OpenErrorsSayWhatToDo) {
    struct Case {
        int err;
        HRESULT code;
        const char* says;
    } cases[] = {
        {EACCES, visa::E_VISA_INV_SETUP, "udev rule 60-zentrava-usbtmc.rules"},
        {ENODEV, visa::E_VISA_RSRC_NFOUND, "is gone: No such device"},
        {EBUSY, visa::E_VISA_IO, "Cannot open "},
    };
    for (const Case& c : cases) {
        fake_.FailNextOpen(c.err);
        std::unique_ptr<visa::Transport> opened;
        const visa::Status status =
            visa::UsbtmcTransport::Open(fake_.host(), Query(), false, visa::Deadline::After(100), &opened);
        EXPECT_EQ(status.code, c.code) << status.text;
        EXPECT_THAT(status.text, HasSubstr(c.says));
    }
    fake_.FailNextOpen(EACCES);
    std::unique_ptr<visa::Transport> opened;
    const visa::Status denied =
        visa::UsbtmcTransport::Open(fake_.host(), Query(), false, visa::Deadline::After(100), &opened);
    EXPECT_EQ(denied.text, "No permission to open " + fake_.host().devRoot +
                               "/usbtmc0: install the udev rule 60-zentrava-usbtmc.rules (it gives the group plugdev "
                               "access to USBTMC instruments), join plugdev, then plug the instrument in again.");
}

TEST_F(UsbtmcTransport, ATriggerMessageOnlyWhereTheDeviceHasTheCapability) {
    Open();
    ASSERT_TRUE(transport_->Trigger(visa::Deadline::After(500)).ok());
    EXPECT_EQ(fake_.Triggers(), 1);
    EXPECT_TRUE(fake_.Messages().empty());
}

TEST_F(UsbtmcTransport, AFailedTransferIsNoUnplugWhileWaitingForAServiceRequest) {
    Open();
    // A timed-out read leaves POLLERR on the file.
    fake_.DropNextReply();
    ASSERT_TRUE(Send("LOST?").ok());
    std::string reply;
    ASSERT_EQ(Receive(&reply, 150).code, visa::E_VISA_TMO);
    std::thread device([this] {
        std::this_thread::sleep_for(milliseconds(100));
        fake_.RequestService(0x21);
    });
    std::uint8_t statusByte = 0;
    const visa::Status status = transport_->WaitForServiceRequest(visa::Deadline::After(2000), &statusByte);
    device.join();
    EXPECT_TRUE(status.ok()) << status.text;
    EXPECT_EQ(statusByte, 0x61);

    // An unplug is one.
    std::thread unplug([this] {
        std::this_thread::sleep_for(milliseconds(100));
        fake_.Unplug();
    });
    EXPECT_EQ(transport_->WaitForServiceRequest(visa::Deadline::After(2000), &statusByte).code, visa::E_VISA_CONN_LOST);
    unplug.join();
}

TEST_F(UsbtmcTransport, AClosedFileEndsTheServiceRequestWaitAtOnce) {
    Open();
    fake_.InvalidateOpenFiles();
    std::uint8_t statusByte = 0;
    const visa::Status status = transport_->WaitForServiceRequest(visa::Deadline::After(60000), &statusByte);
    EXPECT_EQ(status.code, visa::E_VISA_IO);
    EXPECT_THAT(status.text, HasSubstr("Bad file descriptor"));
}

class UsbtmcPlainDevice : public UsbtmcTransport {
protected:
    UsbtmcPlainDevice() : UsbtmcTransport(PlainUsbtmc()) {}
};

TEST_F(UsbtmcPlainDevice, TriggersWithAStarTrgMessage) {
    Open();
    ASSERT_TRUE(transport_->Trigger(visa::Deadline::After(500)).ok());
    EXPECT_THAT(fake_.Messages(), ElementsAre("*TRG"));
    EXPECT_EQ(fake_.Triggers(), 0);
    ExpectOwnAnswer("A?");
}

TEST_F(UsbtmcPlainDevice, HasNoStatusByte) {
    Open();
    std::uint8_t statusByte = 0;
    const visa::Status status = transport_->ReadStatusByte(visa::Deadline::After(500), &statusByte);
    EXPECT_EQ(status.code, visa::E_VISA_NSUP_OPER);
    EXPECT_THAT(status.text, HasSubstr("without USB488: it has no status byte"));
}

TEST_F(UsbtmcPlainDevice, ReadsToEndWhenItCannotStopAtACharacter) {
    Open();
    for (const char* query : {"A\nB?", "C\nD?"}) {
        ASSERT_TRUE(Send(query).ok());
        std::string reply;
        visa::ReadResult result;
        ASSERT_TRUE(Receive(&reply, 1000, &result, true).ok());
        EXPECT_EQ(reply, std::string(query) + "!\n");
        EXPECT_EQ(result.end, visa::ReadEnd::End);
    }
    EXPECT_EQ(fake_.Refusals(), 1);
}

TEST_F(UsbtmcPlainDevice, SaysWhenTheKernelCannotLeaveAMessageOpen) {
    Open();
    const visa::Status status = Send("*CL", false);
    EXPECT_EQ(status.code, visa::E_VISA_NSUP_OPER);
    EXPECT_THAT(status.text, HasSubstr("Linux 4.20 and later can"));
}

}  // namespace
}  // namespace ztv::test
