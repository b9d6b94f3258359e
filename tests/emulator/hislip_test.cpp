#include <gtest/gtest.h>

#include "emulator/emulator.h"
#include "tests/emulator/test_clients.h"
#include "tests/support/emulator_support.h"

namespace emulator {
namespace {

using namespace oracle::hislip;
using test::HislipClient;
using test::RawClient;

constexpr std::uint32_t kFirstMessageId = 0xFFFFFF00u;

class HislipTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(test::Started(emulator_)); }
    int port() const { return emulator_.HislipPort(); }

    static Message Exchange(RawClient& channel, const std::string& frame) {
        channel.Send(frame);
        return HislipClient::Read(channel).value_or(Message{0xFF, 0, 0, "<closed>"});
    }

    Emulator emulator_{test::ServingOnly(Channel::Hislip)};
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
    std::vector<ReceivedMessage> received = emulator_.Received();
    ASSERT_EQ(received.size(), 2u);
    EXPECT_EQ(received[0].bytes, "*IDN?\n");
    EXPECT_EQ(received[1].bytes, "SENS:ATT:LEV 3;LEV?");
    EXPECT_EQ(received[1].channel, Channel::Hislip);
}

TEST_F(HislipTest, LongRepliesAreSplitAtTheClientsMaximumMessageSize) {
    HislipClient client(port());
    // 80 bytes including the 16-byte header.
    Message response = Exchange(client.async(), Frame(kAsyncMaximumMessageSize, 0, 0, BigEndian(80, 8)));
    EXPECT_EQ(response.type, kAsyncMaximumMessageSizeResponse);
    EXPECT_EQ(response.payload.size(), 8u);
    emulator_.instrument().SetTracePoints(101);
    int messages = 0;
    std::string reply = client.Query("CALC:PN1:TRAC1:DATA:FDAT?", kFirstMessageId, &messages);
    std::string whole = *emulator_.instrument().Execute("CALC:PN1:TRAC1:DATA:FDAT?") + "\n";
    EXPECT_EQ(reply, whole);
    EXPECT_EQ(messages, static_cast<int>((whole.size() + 63) / 64));
}

TEST_F(HislipTest, StatusQueryReportsTheStatusByte) {
    HislipClient client(port());
    EXPECT_EQ(client.Query("*CLS;*OPC?;FOO", kFirstMessageId), "1\n");
    Message status = Exchange(client.async(), Frame(kAsyncStatusQuery, 1, kFirstMessageId, ""));
    EXPECT_EQ(status.type, kAsyncStatusResponse);
    EXPECT_EQ(status.control, 0x04);  // error available
}

TEST_F(HislipTest, DeviceClearDiscardsADelayedReply) {
    HislipClient client(port());
    emulator_.faults().SetReplyDelay(60000);
    client.SendData("*IDN?", kFirstMessageId);
    Message ack = Exchange(client.async(), Frame(kAsyncDeviceClear, 0, 0, ""));
    EXPECT_EQ(ack.type, kAsyncDeviceClearAcknowledge);
    emulator_.faults().SetReplyDelay(0);
    Message done = Exchange(client.sync(), Frame(kDeviceClearComplete, 0, 0, ""));
    EXPECT_EQ(done.type, kDeviceClearAcknowledge) << int(done.control) << " " << done.payload;
    std::uint32_t replyId = 0;
    EXPECT_EQ(client.Query("*OPT?", kFirstMessageId, nullptr, &replyId), "QVX-BBM\n");
    EXPECT_EQ(replyId, kFirstMessageId);
}

TEST_F(HislipTest, LocksAreExclusiveBetweenSessions) {
    HislipClient first(port()), second(port());
    EXPECT_EQ(Exchange(first.async(), Frame(kAsyncLock, 1, 0, "")).control, 1);
    EXPECT_EQ(Exchange(second.async(), Frame(kAsyncLock, 1, 10, "")).control, 0);
    Message info = Exchange(second.async(), Frame(kAsyncLockInfo, 0, 0, ""));
    EXPECT_EQ(info.type, kAsyncLockInfoResponse);
    EXPECT_EQ(info.control, 1);
    EXPECT_EQ(Exchange(second.async(), Frame(kAsyncLock, 0, 0, "")).control, 3);  // holds none
    EXPECT_EQ(Exchange(first.async(), Frame(kAsyncLock, 0, 0, "")).control, 1);
    EXPECT_EQ(Exchange(second.async(), Frame(kAsyncLock, 1, 0, "")).control, 1);
}

TEST_F(HislipTest, ProtocolViolationsAreReportedAsErrors) {
    {
        RawClient garbage(port());
        Message fatal = Exchange(garbage, "GET / HTTP/1.0\r\n\r\n");
        EXPECT_EQ(fatal.type, kFatalError);
        EXPECT_EQ(fatal.control, 1);  // poorly formed header
        EXPECT_EQ(garbage.ReadToEnd(), "");
    }
    {
        HislipClient syncOnly(port(), false);
        Message fatal = Exchange(syncOnly.sync(), Frame(kDataEnd, 0, kFirstMessageId, "*IDN?"));
        EXPECT_EQ(fatal.type, kFatalError);
        EXPECT_EQ(fatal.control, 2);  // channels not established
    }
    {
        RawClient stray(port());
        EXPECT_EQ(Exchange(stray, Frame(kData, 0, 0, "x")).type, kFatalError);
    }
    {
        HislipClient client(port());
        Message error = Exchange(client.sync(), Frame(99, 0, 0, "?"));
        EXPECT_EQ(error.type, kError);
        EXPECT_EQ(error.control, 1);                               // unrecognized message type
        EXPECT_EQ(client.Query("*TST?", kFirstMessageId), "0\n");  // the session goes on
    }
}

TEST_F(HislipTest, DroppedConnectionCutsTheReplyShort) {
    HislipClient client(port());
    emulator_.faults().DropDuringNextReply(4);
    client.SendData("*IDN?", kFirstMessageId);
    std::string rest = client.sync().ReadToEnd();
    ASSERT_EQ(rest.size(), 16u + 4u);
    EXPECT_EQ(rest.substr(16), "Orva");
}

TEST_F(HislipTest, ServiceRequestIsSentWhenAnEnabledStatusBitRises) {
    HislipClient client(port());
    HislipClient bystander(port());
    emulator_.instrument().SetMeasurementDelay(150);
    client.SendData("*CLS;*ESE 1;*SRE 32;INIT:PN1:IMM;*OPC", kFirstMessageId);
    // Both sessions hear it once the measurement ends on its own, with no message in between.
    for (HislipClient* session : {&client, &bystander}) {
        std::optional<Message> request = HislipClient::Read(session->async());
        ASSERT_TRUE(request);
        EXPECT_EQ(request->type, 20);       // AsyncServiceRequest
        EXPECT_EQ(request->control, 0x60);  // event summary and request service
    }
    // The bit stays up until the event register is read: no second request.
    EXPECT_EQ(client.Query("*ESR?", kFirstMessageId + 2), "1\n");
    Message status = Exchange(client.async(), Frame(kAsyncStatusQuery, 0, 0, ""));
    EXPECT_EQ(status.type, kAsyncStatusResponse);
    EXPECT_EQ(status.control, 0);
}

}  // namespace
}  // namespace emulator
