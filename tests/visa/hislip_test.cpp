#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/socket.h>

#include <cstring>
#include <mutex>

#include "tests/support/hislip_oracle.h"
#include "visa_test_util.h"

namespace visa::test {
namespace {

using namespace oracle::hislip;

bool ReceiveMessage(int socket, Message* message) {
    std::string header(kHeaderSize, '\0');
    std::uint64_t length = 0;
    if (!ReceiveExactly(socket, header.data(), kHeaderSize) || !ParseHeader(header, message, &length)) return false;
    message->payload.assign(length, '\0');
    return ReceiveExactly(socket, message->payload.data(), length);
}

void SendMessage(int socket, std::uint8_t type, std::uint8_t control, std::uint32_t parameter,
                 const std::string& payload = {}) {
    SendAll(socket, Frame(type, control, parameter, payload));
}

// A minimal HiSLIP instrument. "*IDN?" is answered at once, "BIG?" with a
// reply spread over several messages, "STALE?" only after the next query
// arrives (and with its own, by then outdated, message ID).
class HislipServer {
public:
    explicit HislipServer(std::uint64_t maximumMessageSize) : maximum_(maximumMessageSize) {}

    std::uint16_t port() const { return server_.port(); }

    struct Received {
        std::uint8_t type;
        std::uint32_t id;
        std::size_t size;
    };
    std::vector<Received> received() {
        std::lock_guard lock(mutex_);
        return received_;
    }
    std::string subAddress() {
        std::lock_guard lock(mutex_);
        return subAddress_;
    }
    int clears() {
        std::lock_guard lock(mutex_);
        return clears_;
    }
    std::vector<Message> statusQueries() {
        std::lock_guard lock(mutex_);
        return statusQueries_;
    }

private:
    void Serve(int socket) {
        Message message;
        std::string pending;
        // The message ID of a query whose answer is held back, 0 when none is.
        std::uint32_t staleId = 0;
        while (ReceiveMessage(socket, &message)) {
            std::lock_guard lock(mutex_);
            switch (message.type) {
                case kInitialize:
                    subAddress_ = message.payload;
                    SendMessage(socket, kInitializeResponse, 0, (0x0100u << 16) | 7);
                    break;
                case kAsyncInitialize:
                    SendMessage(socket, kAsyncInitializeResponse, 0, ('Z' << 8) | 'T');
                    break;
                case kAsyncMaximumMessageSize:
                    SendMessage(socket, kAsyncMaximumMessageSizeResponse, 0, 0, BigEndian(maximum_, 8));
                    break;
                case kAsyncDeviceClear:
                    SendMessage(socket, kAsyncDeviceClearAcknowledge, 0, 0);
                    break;
                case kDeviceClearComplete:
                    ++clears_;
                    pending.clear();
                    SendMessage(socket, kDeviceClearAcknowledge, message.control, 0);
                    break;
                case kAsyncStatusQuery:
                    statusQueries_.push_back(message);
                    SendMessage(socket, kAsyncStatusResponse, 0x50, 0);
                    break;
                case kData:
                case kDataEnd:
                    received_.push_back({message.type, message.parameter, message.payload.size()});
                    pending += message.payload;
                    if (message.type == kDataEnd) {
                        if (staleId != 0) SendMessage(socket, kDataEnd, 0, staleId, "old\n");
                        staleId = 0;
                        Answer(socket, pending, message.parameter, &staleId);
                        pending.clear();
                    }
                    break;
                default:
                    received_.push_back({message.type, message.parameter, message.payload.size()});
                    break;
            }
        }
    }

    void Answer(int socket, const std::string& command, std::uint32_t id, std::uint32_t* staleId) {
        if (command == "*IDN?\n") SendMessage(socket, kDataEnd, 0, id, "ZT,HISLIP\n");
        if (command == "STALE?\n") *staleId = id;
        if (command == "BROKEN?\n") {
            // A header cut short and read on from inside its data: a length no message has.
            const std::string header = std::string("HS") + static_cast<char>(kDataEnd) + std::string(5, '\0');
            SendAll(socket, header + BigEndian(std::uint64_t{1} << 40, 8) + "tail");
        }
        if (command == "BIG?\n") {
            SendMessage(socket, kData, 0, id, std::string(3000, 'a'));
            SendMessage(socket, kData, 0, id, std::string(3000, 'b') + "\n");
            SendMessage(socket, kDataEnd, 0, id, std::string(3000, 'c') + "\n");
        }
        if (command.size() > 1000) SendMessage(socket, kDataEnd, 0, id, std::to_string(command.size()) + "\n");
    }

    std::uint64_t maximum_;
    std::mutex mutex_;
    std::vector<Received> received_;
    std::string subAddress_;
    int clears_ = 0;
    std::vector<Message> statusQueries_;
    LoopbackServer server_{[this](int socket) { Serve(socket); }};
};

class HislipSession : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_MULTITHREADED))); }
    void TearDown() override {
        io_ = {};
        CoUninitialize();
    }
    void Open(HislipServer& server) {
        const std::string resource = "TCPIP::127.0.0.1::hislip0," + std::to_string(server.port()) + "::INSTR";
        ASSERT_EQ(OpenMessage(resource, "", 2000, &io_), S_OK) << TakeErrorText();
        io_->put_TerminationCharacterEnabled(VARIANT_TRUE);
    }
    com::ComPtr<IMessage> io_;
};

TEST_F(HislipSession, HandshakeAndQueryUseFirstMessageId) {
    HislipServer server(1 << 20);
    Open(server);
    EXPECT_EQ(ReplyOrError(io_.get(), "*IDN?\n"), "ZT,HISLIP\n");
    EXPECT_EQ(server.subAddress(), "hislip0");
    const auto received = server.received();
    ASSERT_EQ(received.size(), 1u);
    EXPECT_EQ(received[0].type, kDataEnd);
    EXPECT_EQ(received[0].id, 0xFFFFFF00u);
}

TEST_F(HislipSession, PortCanComeFromTheOptions) {
    HislipServer server(1 << 20);
    ASSERT_EQ(
        OpenMessage("TCPIP::127.0.0.1::hislip0::INSTR", "HiSLIPPort=" + std::to_string(server.port()), 2000, &io_),
        S_OK)
        << TakeErrorText();
    EXPECT_EQ(ReplyOrError(io_.get(), "*IDN?\n"), "ZT,HISLIP\n");
}

TEST_F(HislipSession, WritesAboveTheMaximumMessageSizeAreSplit) {
    HislipServer server(16 + 64);
    Open(server);
    const std::string command = "BLOB " + std::string(1195, 'x');
    std::string reply;
    ASSERT_EQ(Query(io_.get(), command, &reply), S_OK) << TakeErrorText();
    EXPECT_EQ(reply, "1200\n");  // the server saw the whole message joined
    const auto received = server.received();
    ASSERT_EQ(received.size(), 19u);  // 1200 bytes in payloads of at most 64
    for (std::size_t i = 0; i < received.size(); ++i) {
        EXPECT_LE(received[i].size, 64u);
        EXPECT_EQ(received[i].type, i + 1 == received.size() ? kDataEnd : kData);
        EXPECT_EQ(received[i].id, 0xFFFFFF00u + 2 * i);
    }
}

TEST_F(HislipSession, ReplyOverSeveralMessagesStopsAtTermCharThenAtEnd) {
    HislipServer server(1 << 20);
    Open(server);
    std::string first;
    ASSERT_EQ(Query(io_.get(), "BIG?\n", &first), S_OK);
    EXPECT_EQ(first.size(), 1024u);  // the count limit of Query
    com::Bstr rest;
    ASSERT_EQ(io_->ReadString(10000, rest.Receive()), S_OK);
    EXPECT_EQ(first.size() + rest.Utf8().size(), 6001u);  // up to the line feed after the b's
    EXPECT_EQ(rest.Utf8().back(), '\n');
    io_->put_TerminationCharacterEnabled(VARIANT_FALSE);
    com::Bstr last;
    ASSERT_EQ(io_->ReadString(10000, last.Receive()), S_OK);
    EXPECT_EQ(last.Utf8(), std::string(3000, 'c') + "\n");
}

// Replies the client must not take fail their query, and the next query
// still reads its own reply.
TEST_F(HislipSession, BadRepliesFailTheirQueryAndTheNextQueryReadsItsOwn) {
    struct Case {
        const char* command;
        LONG timeout;
        HRESULT failure;
        ::testing::Matcher<std::string> error;
    };
    const Case cases[] = {
        // A reply with an outdated message ID is discarded.
        {"STALE?\n", 200, E_VISA_TMO, ::testing::Eq("Timeout expired before operation completed.")},
        // An impossible length closes the session; the next call reconnects.
        {"BROKEN?\n", 500, E_VISA_IO, ::testing::HasSubstr("more than agreed; connection closed.")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.command);
        HislipServer server(1 << 20);
        Open(server);
        io_->put_Timeout(c.timeout);
        std::string reply;
        EXPECT_EQ(Query(io_.get(), c.command, &reply), c.failure);
        EXPECT_THAT(TakeErrorText(), c.error);
        EXPECT_EQ(ReplyOrError(io_.get(), "*IDN?\n"), "ZT,HISLIP\n");
    }
}

TEST_F(HislipSession, DeviceClearHandshakeResetsMessageIds) {
    HislipServer server(1 << 20);
    Open(server);
    std::string reply;
    ASSERT_EQ(Query(io_.get(), "*IDN?\n", &reply), S_OK);
    ASSERT_EQ(io_->Clear(), S_OK) << TakeErrorText();
    EXPECT_EQ(server.clears(), 1);
    ASSERT_EQ(Query(io_.get(), "*IDN?\n", &reply), S_OK);
    const auto received = server.received();
    ASSERT_EQ(received.size(), 2u);
    EXPECT_EQ(received[1].id, 0xFFFFFF00u);
}

TEST_F(HislipSession, StatusQueryReportsDeliveredReply) {
    HislipServer server(1 << 20);
    Open(server);
    std::string reply;
    ASSERT_EQ(Query(io_.get(), "*IDN?\n", &reply), S_OK);
    SHORT statusByte = 0;
    ASSERT_EQ(io_->ReadSTB(&statusByte), S_OK) << TakeErrorText();
    EXPECT_EQ(statusByte, 0x50);
    const auto queries = server.statusQueries();
    ASSERT_EQ(queries.size(), 1u);
    EXPECT_EQ(queries[0].control & 1, 1);  // the reply was read whole
    EXPECT_EQ(queries[0].parameter, 0xFFFFFF00u);
}

TEST_F(HislipSession, RefusedPortIsAnUnknownResource) {
    std::uint16_t port = 0;
    {
        LoopbackServer closedAgain(nullptr);
        port = closedAgain.port();
    }
    EXPECT_EQ(OpenMessage("TCPIP::127.0.0.1::hislip0," + std::to_string(port) + "::INSTR", "", 2000, &io_),
              E_VISA_RSRC_NFOUND);
    EXPECT_NE(TakeErrorText().find("refused"), std::string::npos);
}

}  // namespace
}  // namespace visa::test
