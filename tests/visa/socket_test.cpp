#include <gtest/gtest.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <thread>

#include "platform/visa/transport/fd_io.h"
#include "platform/visa/transport/lan/tcp_connect.h"
#include "visa_test_util.h"

namespace visa::test {
namespace {

// Answers "*IDN?" and "BLOCK?" (an indefinite block holding a line feed) at
// once, "PART?" with half a line before dropping the connection, and "SLOW?"
// only once the next command arrives on the same connection: a client that
// keeps the connection after a time-out reads that late answer as the reply
// to its next query.
void InstrumentHandler(int socket) {
    std::string line;
    bool lateReplyOwed = false;
    while (ReceiveLine(socket, &line)) {
        if (lateReplyOwed) {
            SendAll(socket, "late\n");
            lateReplyOwed = false;
        }
        if (line == "*IDN?\n") SendAll(socket, "ZT,Q7310B,1,1.0\n");
        if (line == "TWO?\n") SendAll(socket, "first\nsecond\n");
        if (line == "BLOCK?\n") SendAll(socket, "#0ab\ncd\n");
        if (line == "*STB?\n") SendAll(socket, "68\n");
        if (line == "SLOW?\n") lateReplyOwed = true;
        if (line == "PART?\n") {
            SendAll(socket, "partial");
            ::shutdown(socket, SHUT_RDWR);
            return;
        }
    }
}

class SocketSession : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_MULTITHREADED)));
        ASSERT_EQ(OpenMessage(Resource(server_.port()), "", 2000, &io_), S_OK) << TakeErrorText();
        io_->put_TerminationCharacterEnabled(VARIANT_TRUE);
    }
    void TearDown() override {
        io_ = {};
        CoUninitialize();
    }
    static std::string Resource(std::uint16_t port) { return "TCPIP::127.0.0.1::" + std::to_string(port) + "::SOCKET"; }

    LoopbackServer server_{InstrumentHandler};
    com::ComPtr<IMessage> io_;
};

TEST_F(SocketSession, ReadStopsAtTerminationCharacterAndKeepsTheRest) {
    EXPECT_EQ(ReplyOrError(io_.get(), "TWO?\n"), "first\n");
    com::Bstr second;
    ASSERT_EQ(io_->ReadString(100, second.Receive()), S_OK);
    EXPECT_EQ(second.Utf8(), "second\n");

    SHORT type = 0;
    io_->get_HardwareInterfaceType(&type);
    EXPECT_EQ(type, INTF_TCPIP);
    SHORT statusByte = 0;
    ASSERT_EQ(io_->ReadSTB(&statusByte), S_OK);
    EXPECT_EQ(statusByte, 68);
}

// Reads of 64 KiB and more receive straight into the caller's buffer; what
// follows the termination character must still wait for the next read.
TEST_F(SocketSession, LargeReadKeepsWhatFollowsTheTerminationCharacter) {
    for (const LONG count : {LONG{64 * 1024}, LONG{1 << 20}}) {
        LONG written = 0;
        ASSERT_EQ(io_->WriteString(com::Bstr("TWO?\n").get(), &written), S_OK);
        for (const char* expected : {"first\n", "second\n"}) {
            com::Bstr reply;
            ASSERT_EQ(io_->ReadString(count, reply.Receive()), S_OK) << count;
            EXPECT_EQ(reply.Utf8(), expected) << count;
        }
    }
}

TEST_F(SocketSession, TerminationCharacterIsTheOnlyEndOfAnIndefiniteBlock) {
    std::string block;
    ASSERT_EQ(QueryBlock(io_.get(), "BLOCK?\n", &block), S_OK) << TakeErrorText();
    EXPECT_EQ(block, "ab");
}

TEST_F(SocketSession, CountLimitsARead) {
    LONG written = 0;
    const com::Bstr command("*IDN?\n");
    ASSERT_EQ(io_->WriteString(command.get(), &written), S_OK);
    EXPECT_EQ(written, 6);
    com::Bstr head;
    ASSERT_EQ(io_->ReadString(3, head.Receive()), S_OK);
    EXPECT_EQ(head.Utf8(), "ZT,");
    com::Bstr rest;
    ASSERT_EQ(io_->ReadString(100, rest.Receive()), S_OK);
    EXPECT_EQ(rest.Utf8(), "Q7310B,1,1.0\n");
}

TEST_F(SocketSession, QueryAfterTimeoutNeverGetsTheStaleReply) {
    io_->put_Timeout(200);
    std::string reply;
    EXPECT_EQ(Query(io_.get(), "SLOW?\n", &reply), E_VISA_TMO);
    EXPECT_EQ(TakeErrorText(), "Timeout expired before operation completed.");
    io_->put_Timeout(2000);
    EXPECT_EQ(ReplyOrError(io_.get(), "*IDN?\n"), "ZT,Q7310B,1,1.0\n");
}

TEST_F(SocketSession, DroppedConnectionIsReportedAndClearReconnects) {
    std::string reply;
    EXPECT_EQ(Query(io_.get(), "PART?\n", &reply), E_VISA_CONN_LOST);
    EXPECT_NE(TakeErrorText().find("127.0.0.1"), std::string::npos);
    ASSERT_EQ(io_->Clear(), S_OK) << TakeErrorText();
    EXPECT_EQ(ReplyOrError(io_.get(), "*IDN?\n"), "ZT,Q7310B,1,1.0\n");
    EXPECT_EQ(server_.connections(), 2);
}

TEST_F(SocketSession, ClosedSessionRefusesIo) {
    ASSERT_EQ(io_->Close(), S_OK);
    std::string reply;
    EXPECT_EQ(Query(io_.get(), "*IDN?\n", &reply), E_VISA_INV_OBJECT);
    EXPECT_EQ(TakeErrorText(), "The session is closed.");
}

TEST(SocketConnect, SetsNoDelay) {
    LoopbackServer server([](int) {});
    UniqueFd socket;
    ASSERT_TRUE(ConnectTcp("127.0.0.1", server.port(), Deadline::After(2000), &socket).ok());
    int noDelay = 0;
    socklen_t length = sizeof noDelay;
    ASSERT_EQ(::getsockopt(socket.get(), IPPROTO_TCP, TCP_NODELAY, &noDelay, &length), 0);
    EXPECT_NE(noDelay, 0);
}

TEST(SocketConnect, RefusedPortIsAnUnknownResource) {
    ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_MULTITHREADED)));
    std::uint16_t port = 0;
    {
        LoopbackServer closedAgain(nullptr);
        port = closedAgain.port();
    }
    com::ComPtr<IMessage> io;
    EXPECT_EQ(OpenMessage("TCPIP::127.0.0.1::" + std::to_string(port) + "::SOCKET", "", 2000, &io), E_VISA_RSRC_NFOUND);
    EXPECT_EQ(TakeErrorText(), "Connection refused by 127.0.0.1:" + std::to_string(port) + ".");
    CoUninitialize();
}

TEST(SocketConnect, SlowConnectTimesOutInsteadOfHanging) {
    // A listener that never accepts, with its queue filled, leaves further
    // connection attempts unanswered.
    LoopbackServer full(nullptr, 0);
    std::vector<UniqueFd> fillers;
    for (int i = 0; i < 8; ++i) {
        UniqueFd filler;
        if (!ConnectTcp("127.0.0.1", full.port(), Deadline::After(100), &filler).ok()) break;
        fillers.push_back(std::move(filler));
    }
    UniqueFd socket;
    const Status status = ConnectTcp("127.0.0.1", full.port(), Deadline::After(200), &socket);
    if (status.ok()) GTEST_SKIP() << "this kernel accepts connections beyond the listen backlog";
    EXPECT_EQ(status.code, E_VISA_TMO);
    EXPECT_EQ(status.text, "Timed out connecting to 127.0.0.1:" + std::to_string(full.port()) + ".");
}

// A blocking socket waits inside recv, bounded by the deadline it is given;
// the time-out it arms for one read must not outlive that read.
TEST(SocketReceive, WaitsInsideTheReadUntilTheDeadline) {
    const struct {
        const char* name;
        const char* waiting;  // what the peer sent before the read
        bool peerClosed;
        std::int64_t deadlineMs;  // negative: none
        HRESULT expected;
    } cases[] = {
        {"data waiting", "abc", false, 1000, S_OK},
        {"data waiting, no deadline", "abc", false, -1, S_OK},
        {"nothing within the deadline", "", false, 30, E_VISA_TMO},
        {"nothing and no time left", "", false, 0, E_VISA_TMO},
        {"peer gone", "", true, 1000, E_VISA_CONN_LOST},
    };
    for (const auto& c : cases) {
        int ends[2];
        ASSERT_EQ(::socketpair(AF_UNIX, SOCK_STREAM, 0, ends), 0);
        UniqueFd mine(ends[0]), peer(ends[1]);
        ASSERT_TRUE(SetBlocking(mine.get()).ok());
        SendAll(peer.get(), c.waiting);
        if (c.peerClosed) peer.reset();
        int armedMs = -1;
        std::uint8_t buffer[16];
        std::size_t got = 0;
        const Status status =
            ReceiveWaiting(mine.get(), buffer, sizeof buffer, Deadline::After(c.deadlineMs), "peer", &armedMs, &got);
        EXPECT_EQ(status.code, c.expected) << c.name << ": " << status.text;
        if (c.expected == S_OK) {
            EXPECT_EQ(std::string(buffer, buffer + got), c.waiting) << c.name;
        }
        if (c.deadlineMs > 0) {
            EXPECT_LE(armedMs, c.deadlineMs) << c.name;
        }
        if (c.deadlineMs < 0) {
            EXPECT_EQ(armedMs, 0) << c.name;
        }
    }
}

// A read without deadline after one with a short deadline must wait for its
// data, not stop at the time-out the earlier read armed.
TEST(SocketReceive, ReadWithoutDeadlineOutlivesAnEarlierShortTimeout) {
    int ends[2];
    ASSERT_EQ(::socketpair(AF_UNIX, SOCK_STREAM, 0, ends), 0);
    UniqueFd mine(ends[0]), peer(ends[1]);
    ASSERT_TRUE(SetBlocking(mine.get()).ok());
    int armedMs = -1;
    std::uint8_t buffer[16];
    std::size_t got = 0;
    ASSERT_EQ(ReceiveWaiting(mine.get(), buffer, sizeof buffer, Deadline::After(20), "peer", &armedMs, &got).code,
              E_VISA_TMO);
    std::thread late([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        SendAll(peer.get(), "late");
    });
    const Status status = ReceiveWaiting(mine.get(), buffer, sizeof buffer, Deadline::Never(), "peer", &armedMs, &got);
    late.join();
    ASSERT_TRUE(status.ok()) << status.text;
    EXPECT_EQ(std::string(buffer, buffer + got), "late");
}

}  // namespace
}  // namespace visa::test
