// The session's attributes: their defaults, the values they refuse, and that
// each one reaches the transport on the next transfer.
#include "platform/visa/message_session.h"

#include <gtest/gtest.h>

#include "visa_test_util.h"

namespace visa {
namespace {

// Records what the session asks of it; every transfer succeeds at once.
class RecordingTransport final : public Transport {
public:
    struct Seen {
        ReadRequest read;
        bool end = false;
        bool infinite = false;
    };

    explicit RecordingTransport(Seen* seen) : seen_(seen) {}

    Status Write(const std::uint8_t*, std::size_t, bool end, Deadline deadline) override {
        seen_->end = end;
        seen_->infinite = deadline.infinite();
        return {};
    }
    Status Read(const ReadRequest& request, Deadline deadline, ReadResult* result) override {
        seen_->read = request;
        seen_->infinite = deadline.infinite();
        *result = {};
        return {};
    }
    Status Clear(Deadline) override { return {}; }
    Status ReadStatusByte(Deadline, std::uint8_t* statusByte) override {
        *statusByte = 0;
        return {};
    }
    Status Trigger(Deadline) override { return {}; }

private:
    Seen* seen_;
};

class SessionAttributes : public ::testing::Test {
protected:
    // One read and one write, so that the transport has seen every attribute.
    void Transfer() {
        std::uint8_t byte = 0;
        LONG count = 0;
        ASSERT_EQ(session_->ReadBytes(&byte, 1, &count), S_OK);
        ASSERT_EQ(session_->WriteBytes(&byte, 1, &count), S_OK);
    }

    RecordingTransport::Seen seen_;
    com::ComPtr<IMessage> session_ = com::ComPtr<IMessage>::Adopt(
        MessageSession::Create(std::make_unique<RecordingTransport>(&seen_), ResourceAddress{}));
};

TEST_F(SessionAttributes, StartAsVisaDefines) {
    LONG timeout = 0;
    BYTE termChar = 0;
    VARIANT_BOOL termCharEnabled = VARIANT_TRUE;
    VARIANT_BOOL sendEnd = VARIANT_FALSE;
    ASSERT_EQ(session_->get_Timeout(&timeout), S_OK);
    ASSERT_EQ(session_->get_TerminationCharacter(&termChar), S_OK);
    ASSERT_EQ(session_->get_TerminationCharacterEnabled(&termCharEnabled), S_OK);
    ASSERT_EQ(session_->get_SendEndEnabled(&sendEnd), S_OK);
    EXPECT_EQ(timeout, 2000);
    EXPECT_EQ(termChar, '\n');
    EXPECT_EQ(termCharEnabled, VARIANT_FALSE);
    EXPECT_EQ(sendEnd, VARIANT_TRUE);
}

TEST_F(SessionAttributes, EachReachesTheTransportAndReadsBack) {
    ASSERT_EQ(session_->put_TerminationCharacter('\r'), S_OK);
    ASSERT_EQ(session_->put_TerminationCharacterEnabled(VARIANT_TRUE), S_OK);
    ASSERT_EQ(session_->put_SendEndEnabled(VARIANT_FALSE), S_OK);
    ASSERT_EQ(session_->put_Timeout(kInfiniteTimeout), S_OK);
    Transfer();
    EXPECT_EQ(seen_.read.termChar, '\r');
    EXPECT_TRUE(seen_.read.termCharEnabled);
    EXPECT_FALSE(seen_.end);
    EXPECT_TRUE(seen_.infinite);

    BYTE termChar = 0;
    VARIANT_BOOL termCharEnabled = VARIANT_FALSE;
    VARIANT_BOOL sendEnd = VARIANT_TRUE;
    LONG timeout = 0;
    ASSERT_EQ(session_->get_TerminationCharacter(&termChar), S_OK);
    ASSERT_EQ(session_->get_TerminationCharacterEnabled(&termCharEnabled), S_OK);
    ASSERT_EQ(session_->get_SendEndEnabled(&sendEnd), S_OK);
    ASSERT_EQ(session_->get_Timeout(&timeout), S_OK);
    EXPECT_EQ(termChar, '\r');
    EXPECT_EQ(termCharEnabled, VARIANT_TRUE);
    EXPECT_EQ(sendEnd, VARIANT_FALSE);
    EXPECT_EQ(timeout, kInfiniteTimeout);

    // Any nonzero VARIANT_BOOL is true, as in COM.
    ASSERT_EQ(session_->put_SendEndEnabled(1), S_OK);
    ASSERT_EQ(session_->put_Timeout(0), S_OK);
    Transfer();
    EXPECT_TRUE(seen_.end);
    EXPECT_FALSE(seen_.infinite);
}

TEST_F(SessionAttributes, TimeoutBelowForeverIsRefusedAndKept) {
    ASSERT_EQ(session_->put_Timeout(500), S_OK);
    EXPECT_EQ(session_->put_Timeout(-2), E_INVALIDARG);
    EXPECT_EQ(test::TakeErrorText(), "The time-out is milliseconds from 0, or -1 to wait forever.");
    LONG timeout = 0;
    ASSERT_EQ(session_->get_Timeout(&timeout), S_OK);
    EXPECT_EQ(timeout, 500);
}

TEST_F(SessionAttributes, GettersRefuseANullPointer) {
    EXPECT_EQ(session_->get_Timeout(nullptr), E_POINTER);
    EXPECT_EQ(session_->get_TerminationCharacter(nullptr), E_POINTER);
    EXPECT_EQ(session_->get_TerminationCharacterEnabled(nullptr), E_POINTER);
    EXPECT_EQ(session_->get_SendEndEnabled(nullptr), E_POINTER);
}

}  // namespace
}  // namespace visa
