#include <gtest/gtest.h>

#include "emulator/emulator.h"
#include "tests/emulator/test_clients.h"

namespace emulator {
namespace {

using test::HislipClient;
using test::HislipFrame;
using test::HislipMessage;
using test::RawClient;

enum : std::uint8_t {
    kInitializeResponse = 1,
    kFatalError = 2,
    kError = 3,
    kAsyncLock = 4,
    kAsyncLockResponse = 5,
    kData = 6,
    kDataEnd = 7,
    kDeviceClearComplete = 8,
    kDeviceClearAcknowledge = 9,
    kAsyncMaximumMessageSize = 15,
    kAsyncMaximumMessageSizeResponse = 16,
    kAsyncDeviceClear = 19,
    kAsyncStatusQuery = 21,
    kAsyncStatusResponse = 22,
    kAsyncDeviceClearAcknowledge = 23,
    kAsyncLockInfo = 24,
    kAsyncLockInfoResponse = 25,
};

constexpr std::uint32_t kFirstMessageId = 0xFFFFFF00u;

class HislipTest : public ::testing::Test {
protected:
    void SetUp() override {
        Options options;
        options.socketPort = options.vxi11Port = -1;
        emulator_ = std::make_unique<Emulator>(options);
        std::string error;
        ASSERT_TRUE(emulator_->Start(&error)) << error;
    }
    int port() const { return emulator_->HislipPort(); }

    static HislipMessage Exchange(RawClient& channel, const std::string& frame) {
        channel.Send(frame);
        return HislipClient::Read(channel).value_or(HislipMessage{0xFF, 0, 0, "<closed>"});
    }

    std::unique_ptr<Emulator> emulator_;
};

TEST_F(HislipTest, HandshakeOpensASynchronizedSession) {
    HislipClient client(port());
    EXPECT_EQ(client.initializeResponse().type, kInitializeResponse);
    EXPECT_EQ(client.initializeResponse().control & 1, 0);            // synchronized mode
    EXPECT_EQ(client.initializeResponse().parameter >> 16, 0x0100u);  // protocol 1.0
    EXPECT_NE(client.session(), 0);
    HislipClient other(port());
    EXPECT_NE(other.session(), client.session());
}

TEST_F(HislipTest, RepliesEchoTheMessageIdAndAreRecordedExactly) {
    HislipClient client(port());
    std::uint32_t replyId = 0;
    EXPECT_EQ(client.Query("*IDN?\n", kFirstMessageId, nullptr, &replyId),
              "Orvane Technologies,Q7310B,0123456789,1.0.9\n");
    EXPECT_EQ(replyId, kFirstMessageId);
    client.SendData("SENS:ATT:", kFirstMessageId + 2, false);
    EXPECT_EQ(client.Query("LEV 3;LEV?", kFirstMessageId + 2, nullptr, &replyId), "3\n");
    EXPECT_EQ(replyId, kFirstMessageId + 2);
    std::vector<ReceivedMessage> received = emulator_->Received();
    ASSERT_EQ(received.size(), 2u);
    EXPECT_EQ(received[0].bytes, "*IDN?\n");
    EXPECT_EQ(received[1].bytes, "SENS:ATT:LEV 3;LEV?");
    EXPECT_EQ(received[1].channel, Channel::Hislip);
}

TEST_F(HislipTest, LongRepliesAreSplitAtTheClientsMaximumMessageSize) {
    HislipClient client(port());
    std::string size(8, '\0');
    size[7] = 80;  // 80 bytes including the 16-byte header
    HislipMessage response = Exchange(client.async(), HislipFrame(kAsyncMaximumMessageSize, 0, 0, size));
    EXPECT_EQ(response.type, kAsyncMaximumMessageSizeResponse);
    EXPECT_EQ(response.payload.size(), 8u);
    emulator_->instrument().SetTracePoints(101);
    int messages = 0;
    std::string reply = client.Query("CALC:PN1:TRAC1:DATA:FDAT?", kFirstMessageId, &messages);
    std::string whole = *emulator_->instrument().Execute("CALC:PN1:TRAC1:DATA:FDAT?") + "\n";
    EXPECT_EQ(reply, whole);
    EXPECT_EQ(messages, static_cast<int>((whole.size() + 63) / 64));
}

TEST_F(HislipTest, StatusQueryReportsTheStatusByte) {
    HislipClient client(port());
    EXPECT_EQ(client.Query("*CLS;*OPC?;FOO", kFirstMessageId), "1\n");
    HislipMessage status = Exchange(client.async(), HislipFrame(kAsyncStatusQuery, 1, kFirstMessageId, ""));
    EXPECT_EQ(status.type, kAsyncStatusResponse);
    EXPECT_EQ(status.control, 0x04);  // error available
}

TEST_F(HislipTest, DeviceClearDiscardsADelayedReply) {
    HislipClient client(port());
    emulator_->faults().SetReplyDelay(60000);
    client.SendData("*IDN?", kFirstMessageId);
    HislipMessage ack = Exchange(client.async(), HislipFrame(kAsyncDeviceClear, 0, 0, ""));
    EXPECT_EQ(ack.type, kAsyncDeviceClearAcknowledge);
    emulator_->faults().SetReplyDelay(0);
    HislipMessage done = Exchange(client.sync(), HislipFrame(kDeviceClearComplete, 0, 0, ""));
    EXPECT_EQ(done.type, kDeviceClearAcknowledge) << int(done.control) << " " << done.payload;
    std::uint32_t replyId = 0;
    EXPECT_EQ(client.Query("*OPT?", kFirstMessageId, nullptr, &replyId), "QVX-BBM\n");
    EXPECT_EQ(replyId, kFirstMessageId);
}

TEST_F(HislipTest, LocksAreExclusiveBetweenSessions) {
    HislipClient first(port()), second(port());
    EXPECT_EQ(Exchange(first.async(), HislipFrame(kAsyncLock, 1, 0, "")).control, 1);
    EXPECT_EQ(Exchange(second.async(), HislipFrame(kAsyncLock, 1, 10, "")).control, 0);
    HislipMessage info = Exchange(second.async(), HislipFrame(kAsyncLockInfo, 0, 0, ""));
    EXPECT_EQ(info.type, kAsyncLockInfoResponse);
    EXPECT_EQ(info.control, 1);
    EXPECT_EQ(Exchange(second.async(), HislipFrame(kAsyncLock, 0, 0, "")).control, 3);  // holds none
    EXPECT_EQ(Exchange(first.async(), HislipFrame(kAsyncLock, 0, 0, "")).control, 1);
    EXPECT_EQ(Exchange(second.async(), HislipFrame(kAsyncLock, 1, 0, "")).control, 1);
}

TEST_F(HislipTest, ProtocolViolationsAreReportedAsErrors) {
    {
        RawClient garbage(port());
        HislipMessage fatal = Exchange(garbage, "GET / HTTP/1.0\r\n\r\n");
        EXPECT_EQ(fatal.type, kFatalError);
        EXPECT_EQ(fatal.control, 1);  // poorly formed header
        EXPECT_EQ(garbage.ReadToEnd(), "");
    }
    {
        HislipClient syncOnly(port(), false);
        HislipMessage fatal = Exchange(syncOnly.sync(), HislipFrame(kDataEnd, 0, kFirstMessageId, "*IDN?"));
        EXPECT_EQ(fatal.type, kFatalError);
        EXPECT_EQ(fatal.control, 2);  // channels not established
    }
    {
        RawClient stray(port());
        EXPECT_EQ(Exchange(stray, HislipFrame(kData, 0, 0, "x")).type, kFatalError);
    }
    {
        HislipClient client(port());
        HislipMessage error = Exchange(client.sync(), HislipFrame(99, 0, 0, "?"));
        EXPECT_EQ(error.type, kError);
        EXPECT_EQ(error.control, 1);                               // unrecognized message type
        EXPECT_EQ(client.Query("*TST?", kFirstMessageId), "0\n");  // the session goes on
    }
}

TEST_F(HislipTest, DroppedConnectionCutsTheReplyShort) {
    HislipClient client(port());
    emulator_->faults().DropDuringNextReply(4);
    client.SendData("*IDN?", kFirstMessageId);
    std::string rest = client.sync().ReadToEnd();
    ASSERT_EQ(rest.size(), 16u + 4u);
    EXPECT_EQ(rest.substr(16), "Orva");
}

TEST_F(HislipTest, ServiceRequestIsSentWhenAnEnabledStatusBitRises) {
    HislipClient client(port());
    HislipClient bystander(port());
    emulator_->instrument().SetMeasurementDelay(150);
    client.SendData("*CLS;*ESE 1;*SRE 32;INIT:PN1:IMM;*OPC", kFirstMessageId);
    // Both sessions hear it once the measurement ends on its own, with no message in between.
    for (HislipClient* session : {&client, &bystander}) {
        std::optional<HislipMessage> request = HislipClient::Read(session->async());
        ASSERT_TRUE(request);
        EXPECT_EQ(request->type, 20);       // AsyncServiceRequest
        EXPECT_EQ(request->control, 0x60);  // event summary and request service
    }
    // The bit stays up until the event register is read: no second request.
    EXPECT_EQ(client.Query("*ESR?", kFirstMessageId + 2), "1\n");
    HislipMessage status = Exchange(client.async(), HislipFrame(kAsyncStatusQuery, 0, 0, ""));
    EXPECT_EQ(status.type, kAsyncStatusResponse);
    EXPECT_EQ(status.control, 0);
}

}  // namespace
}  // namespace emulator
