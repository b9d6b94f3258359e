#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <thread>

#include "platform/ivi/iviss.h"
#include "tests/ivi/session_fixture.h"

namespace {

class IviSessionError : public IviSessionTest {};

TEST_F(IviSessionError, NewSessionHasNoError) {
    ViStatus code = -1;
    ViChar text[4] = "zzz";
    EXPECT_EQ(IviSession_GetError(vi_, sizeof text, &code, text), VI_SUCCESS);
    EXPECT_EQ(code, VI_SUCCESS);
    EXPECT_STREQ(text, "");
}

TEST_F(IviSessionError, SetGetAndClear) {
    ASSERT_EQ(IviSession_SetError(vi_, static_cast<ViStatus>(0xBFFA000C), "Attribute not recognized."), VI_SUCCESS);
    ViStatus code = 0;
    ViChar text[64];
    ASSERT_EQ(IviSession_GetError(vi_, sizeof text, &code, text), VI_SUCCESS);
    EXPECT_EQ(code, static_cast<ViStatus>(0xBFFA000C));
    EXPECT_STREQ(text, "Attribute not recognized.");

    // Reading with a buffer hands the record over; asking only for the size does not.
    ASSERT_EQ(IviSession_GetError(vi_, sizeof text, &code, text), VI_SUCCESS);
    EXPECT_EQ(code, VI_SUCCESS);
    EXPECT_STREQ(text, "");
    IviSession_SetError(vi_, 3, "kept");
    EXPECT_EQ(IviSession_GetError(vi_, 0, &code, nullptr), 5);
    ASSERT_EQ(IviSession_GetError(vi_, sizeof text, &code, text), VI_SUCCESS);
    EXPECT_STREQ(text, "kept");

    IviSession_SetError(vi_, 4, "cleared");
    ASSERT_EQ(IviSession_ClearError(vi_), VI_SUCCESS);
    ASSERT_EQ(IviSession_GetError(vi_, sizeof text, &code, text), VI_SUCCESS);
    EXPECT_EQ(code, VI_SUCCESS);
    EXPECT_STREQ(text, "");
}

TEST_F(IviSessionError, NullDescriptionIsRecordedAsNoText) {
    ASSERT_EQ(IviSession_SetError(vi_, 5, "old text"), VI_SUCCESS);
    ASSERT_EQ(IviSession_SetError(vi_, 7, nullptr), VI_SUCCESS);
    ViStatus code = 0;
    EXPECT_EQ(IviSession_GetError(vi_, 0, &code, nullptr), 1);
    EXPECT_EQ(code, 7);
}

TEST_F(IviSessionError, RecordsAreKeptPerSession) {
    ViSession other;
    ASSERT_EQ(IviSession_New(&other), VI_SUCCESS);
    IviSession_SetError(vi_, 1, "first");
    IviSession_SetError(other, 2, "second");
    IviSession_SetError(VI_NULL, 3, "thread");
    ViStatus code = 0;
    ViChar text[16];
    IviSession_GetError(vi_, sizeof text, &code, text);
    EXPECT_EQ(code, 1);
    EXPECT_STREQ(text, "first");
    IviSession_GetError(other, sizeof text, &code, text);
    EXPECT_EQ(code, 2);
    EXPECT_STREQ(text, "second");
    IviSession_Dispose(other);
}

struct BufferCase {
    const char* name;
    ViInt32 size;  // buffer size passed in
    bool nullBuffer;
    ViStatus expectedStatus;
    const char* expectedText;  // nullptr: the buffer must be untouched
};

void PrintTo(const BufferCase& c, std::ostream* out) { *out << c.name; }

// The stored text is "Hello" (5 characters, 6 with the terminator).
class IviSessionErrorBuffer : public ::testing::TestWithParam<BufferCase> {};

TEST_P(IviSessionErrorBuffer, FollowsTheTextOutputRule) {
    const BufferCase& c = GetParam();
    ViSession vi;
    ASSERT_EQ(IviSession_New(&vi), VI_SUCCESS);
    ASSERT_EQ(IviSession_SetError(vi, -42, "Hello"), VI_SUCCESS);

    ViChar buffer[16];
    std::memset(buffer, '#', sizeof buffer);
    ViStatus code = 0;
    EXPECT_EQ(IviSession_GetError(vi, c.size, &code, c.nullBuffer ? nullptr : buffer), c.expectedStatus);
    EXPECT_EQ(code, -42) << "the code is stored whatever the buffer";
    if (c.expectedText) {
        EXPECT_STREQ(buffer, c.expectedText);
        size_t used = std::strlen(c.expectedText) + 1;
        for (size_t i = used; i < sizeof buffer; ++i) EXPECT_EQ(buffer[i], '#') << "written past the text at " << i;
    } else {
        for (char ch : buffer) EXPECT_EQ(ch, '#');
    }
    IviSession_Dispose(vi);
}

INSTANTIATE_TEST_SUITE_P(Cases, IviSessionErrorBuffer,
                         ::testing::Values(BufferCase{"Roomy", 16, false, VI_SUCCESS, "Hello"},
                                           BufferCase{"ExactFit", 6, false, VI_SUCCESS, "Hello"},
                                           BufferCase{"OneShort", 5, false, 6, "Hell"},
                                           BufferCase{"RoomForTerminatorOnly", 1, false, 6, ""},
                                           BufferCase{"ZeroSize", 0, false, 6, nullptr},
                                           BufferCase{"NullBuffer", 16, true, 6, nullptr},
                                           BufferCase{"NegativeSizeCopiesAll", -1, false, VI_SUCCESS, "Hello"}),
                         [](const ::testing::TestParamInfo<BufferCase>& info) { return std::string(info.param.name); });

// VI_NULL addresses a record of the calling thread, not a shared one.
TEST(IviSessionThreadError, NullSessionRecordIsPerThread) {
    ASSERT_EQ(IviSession_SetError(VI_NULL, 11, "main thread"), VI_SUCCESS);

    ViStatus seenByOther = -1;
    std::string textSeenByOther = "unset";
    ViStatus otherAfterSet = -1;
    std::thread other([&] {
        ViChar text[32];
        IviSession_GetError(VI_NULL, sizeof text, &seenByOther, text);
        textSeenByOther = text;
        IviSession_SetError(VI_NULL, 22, "other thread");
        IviSession_GetError(VI_NULL, 0, &otherAfterSet, nullptr);
    });
    other.join();
    EXPECT_EQ(seenByOther, VI_SUCCESS);
    EXPECT_EQ(textSeenByOther, "");
    EXPECT_EQ(otherAfterSet, 22);

    ViStatus code = 0;
    ViChar text[32];
    ASSERT_EQ(IviSession_GetError(VI_NULL, sizeof text, &code, text), VI_SUCCESS);
    EXPECT_EQ(code, 11);
    EXPECT_STREQ(text, "main thread");

    ASSERT_EQ(IviSession_ClearError(VI_NULL), VI_SUCCESS);
    IviSession_GetError(VI_NULL, sizeof text, &code, text);
    EXPECT_EQ(code, VI_SUCCESS);
    EXPECT_STREQ(text, "");
}

}  // namespace
