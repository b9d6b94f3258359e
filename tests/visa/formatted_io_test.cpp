#include <gtest/gtest.h>

#include <cstring>
#include <deque>
#include <random>

#include "tests/visa/memory_message.h"
#include "visa_test_util.h"

namespace visa::test {
namespace {

class FormattedIo : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_MULTITHREADED)));
        ASSERT_EQ(EnsureClassesRegistered(), S_OK);
        ASSERT_EQ(CoCreateInstance(CLSID_FormattedIO488, nullptr, CLSCTX_INPROC_SERVER, IID_IFormattedIO488,
                                   io_.ReceiveVoid()),
                  S_OK);
        ASSERT_EQ(io_->putref_IO(&session_), S_OK);
    }
    void TearDown() override {
        io_ = {};
        CoUninitialize();
    }
    std::string AllWritten() const {
        std::string all;
        for (const auto& write : session_.writes) all += write.first;
        return all;
    }

    MemoryMessage session_;
    com::ComPtr<IFormattedIO488> io_;
};

template <typename T>
std::vector<T> ArrayOf(const VARIANT& value, VARTYPE type) {
    EXPECT_EQ(value.vt, VT_ARRAY | type);
    if (value.vt != (VT_ARRAY | type)) return {};
    const auto* data = static_cast<const T*>(value.parray->pvData);
    return std::vector<T>(data, data + value.parray->rgsabound[0].cElements);
}

TEST_F(FormattedIo, ListOfManyRealsIsParsedExactly) {
    std::mt19937_64 random(7310);
    std::uniform_real_distribution<double> mantissa(-1.0, 1.0);
    std::uniform_int_distribution<int> exponent(-300, 300);
    std::vector<double> expected(100001);
    std::string reply;
    char text[40];
    for (std::size_t i = 0; i < expected.size(); ++i) {
        expected[i] = std::ldexp(mantissa(random), exponent(random));
        // Both the shortest-form parser's forms and those left to strtod.
        std::snprintf(text, sizeof text, i % 3 == 0 ? "%+.17E" : "%.17g", expected[i]);
        reply += (i > 0 ? "," : "") + std::string(text);
    }
    session_.replies.push_back(reply + "\n");
    VARIANT list;
    ASSERT_EQ(io_->ReadList(ASCIIType_R8, nullptr, &list), S_OK) << TakeErrorText();
    const std::vector<double> values = ArrayOf<double>(list, VT_R8);
    ASSERT_EQ(values.size(), expected.size());
    for (std::size_t i = 0; i < values.size(); ++i) {
        ASSERT_EQ(std::memcmp(&values[i], &expected[i], sizeof(double)), 0) << i << ": " << values[i];
    }
    VariantClear(&list);
}

// A list longer than one read may return fails as soon as it is, with the rest
// of the reply left for the device clear, instead of growing without bound.
TEST_F(FormattedIo, ListBeyondTheMaximumFailsEarly) {
    constexpr std::size_t kMaximum = std::size_t{16} << 20;
    std::string reply;
    reply.reserve(2 * (kMaximum + 200000));
    for (std::size_t i = 0; i < kMaximum + 200000; ++i) reply += "0,";
    session_.replies.push_back(reply + "0\n");
    VARIANT list;
    EXPECT_EQ(io_->ReadList(ASCIIType_R8, nullptr, &list), E_VISA_INV_FMT);
    EXPECT_NE(TakeErrorText().find("more than 16777216 values"), std::string::npos);
    ASSERT_EQ(session_.replies.size(), 1u);
    EXPECT_GT(session_.replies.front().size(), 0u);
}

TEST_F(FormattedIo, ListsOfOtherTypesAndBadElements) {
    session_.replies = {"1;2, 3\n", "a,b\n", "\n", "1,,2\n", "1,x\n"};
    VARIANT list;
    ASSERT_EQ(io_->ReadList(ASCIIType_I4, nullptr, &list), S_OK);
    EXPECT_EQ(ArrayOf<LONG>(list, VT_I4), (std::vector<LONG>{1, 2, 3}));
    VariantClear(&list);
    ASSERT_EQ(io_->ReadList(ASCIIType_BSTR, nullptr, &list), S_OK);
    ASSERT_EQ(list.vt, VT_ARRAY | VT_BSTR);
    EXPECT_EQ(WideToUtf8(static_cast<BSTR*>(list.parray->pvData)[1]), "b");
    VariantClear(&list);
    ASSERT_EQ(io_->ReadList(ASCIIType_R8, nullptr, &list), S_OK);
    EXPECT_TRUE(ArrayOf<double>(list, VT_R8).empty());
    VariantClear(&list);
    EXPECT_EQ(io_->ReadList(ASCIIType_R8, nullptr, &list), E_VISA_INV_FMT);
    EXPECT_EQ(io_->ReadList(ASCIIType_R8, nullptr, &list), E_VISA_INV_FMT);
    EXPECT_NE(TakeErrorText().find("\"x\""), std::string::npos);
}

TEST_F(FormattedIo, NumbersOfEachType) {
    struct Case {
        const char* reply;
        IEEEASCIIType type;
        VARTYPE vt;
        double value;
    };
    const Case cases[] = {{"1.5E+06\n", ASCIIType_R8, VT_R8, 1.5e6}, {"+3.9\n", ASCIIType_I2, VT_I2, 3},
                          {" -42\n", ASCIIType_I4, VT_I4, -42},      {"255\n", ASCIIType_UI1, VT_UI1, 255},
                          {"0.25\n", ASCIIType_R4, VT_R4, 0.25},     {"-7.5e-1\n", ASCIIType_Any, VT_R8, -0.75}};
    for (const Case& c : cases) {
        session_.replies.push_back(c.reply);
        VARIANT value;
        ASSERT_EQ(io_->ReadNumber(c.type, VARIANT_TRUE, &value), S_OK) << c.reply;
        EXPECT_EQ(value.vt, c.vt) << c.reply;
        double got = c.vt == VT_R8   ? value.dblVal
                     : c.vt == VT_R4 ? value.fltVal
                     : c.vt == VT_I2 ? value.iVal
                     : c.vt == VT_I4 ? value.lVal
                                     : value.bVal;
        EXPECT_EQ(got, c.value) << c.reply;
    }
    for (const char* bad : {"300\n", "abc\n", "\n"}) {
        session_.replies.push_back(bad);
        VARIANT value;
        EXPECT_EQ(io_->ReadNumber(ASCIIType_UI1, VARIANT_TRUE, &value), E_VISA_INV_FMT) << bad;
        io_->FlushRead();
    }
}

TEST_F(FormattedIo, NumbersOneAfterAnotherAndFlushRead) {
    session_.replies = {"1,2,3\n", "next\n"};
    VARIANT value;
    ASSERT_EQ(io_->ReadNumber(ASCIIType_I4, VARIANT_FALSE, &value), S_OK);
    EXPECT_EQ(value.lVal, 1);
    ASSERT_EQ(io_->ReadNumber(ASCIIType_I4, VARIANT_FALSE, &value), S_OK);
    EXPECT_EQ(value.lVal, 2);
    ASSERT_EQ(io_->FlushRead(), S_OK);
    com::Bstr text;
    ASSERT_EQ(io_->ReadString(text.Receive()), S_OK);
    EXPECT_EQ(text.Utf8(), "next\n");
}

TEST_F(FormattedIo, ReplyThatExactlyFillsTheBufferEndsWithoutAnotherRead) {
    session_.replies.push_back(std::string(4095, 'x') + "\n");
    com::Bstr text;
    ASSERT_EQ(io_->ReadString(text.Receive()), S_OK) << TakeErrorText();
    EXPECT_EQ(text.Utf8().size(), 4096u);
    EXPECT_EQ(session_.reads, 1);
}

TEST_F(FormattedIo, DefiniteAndIndefiniteBlocks) {
    session_.put_TerminationCharacterEnabled(VARIANT_TRUE);  // line feeds inside blocks must not end them
    session_.replies = {"#210\n\n\x01\x02\x03\x04\x05\x06\x07\x08\n", "junk#14\x01\x02\x03\x04\n", "#0abc\n",
                        "x#11A\n"};
    VARIANT block;
    ASSERT_EQ(io_->ReadIEEEBlock(BinaryType_UI1, VARIANT_FALSE, VARIANT_TRUE, &block), S_OK) << TakeErrorText();
    EXPECT_EQ(ArrayOf<BYTE>(block, VT_UI1), (std::vector<BYTE>{10, 10, 1, 2, 3, 4, 5, 6, 7, 8}));
    VariantClear(&block);
    ASSERT_EQ(io_->ReadIEEEBlock(BinaryType_I2, VARIANT_TRUE, VARIANT_TRUE, &block), S_OK) << TakeErrorText();
    EXPECT_EQ(ArrayOf<SHORT>(block, VT_I2), (std::vector<SHORT>{0x0102, 0x0304}));  // big-endian by default
    VariantClear(&block);
    ASSERT_EQ(io_->ReadIEEEBlock(BinaryType_UI1, VARIANT_FALSE, VARIANT_TRUE, &block), S_OK);
    EXPECT_EQ(ArrayOf<BYTE>(block, VT_UI1), (std::vector<BYTE>{'a', 'b', 'c'}));
    VariantClear(&block);
    EXPECT_EQ(io_->ReadIEEEBlock(BinaryType_UI1, VARIANT_FALSE, VARIANT_TRUE, &block), E_VISA_INV_FMT);
}

TEST_F(FormattedIo, MalformedBlocksAreRefusedAndTheBadByteStaysUnread) {
    const struct {
        const char* reply;
        IEEEBinaryType type;
        VARIANT_BOOL seek;
        const char* error;
        const char* unread;  // what a text read returns next; null: not checked
    } cases[] = {
        {"1,2\n", BinaryType_UI1, VARIANT_FALSE, "The reply does not start with an IEEE 488.2 block.", "1,2\n"},
        {" \n", BinaryType_UI1, VARIANT_TRUE, "The reply holds no IEEE 488.2 block.", nullptr},
        {"#A12\n", BinaryType_UI1, VARIANT_FALSE, "Malformed IEEE 488.2 block header.", "A12\n"},
        {"#\n", BinaryType_UI1, VARIANT_FALSE, "Malformed IEEE 488.2 block header.", "\n"},
        {"#", BinaryType_UI1, VARIANT_FALSE, "Malformed IEEE 488.2 block header.", nullptr},  // ended early
        {"#31", BinaryType_UI1, VARIANT_FALSE, "Malformed IEEE 488.2 block length.", nullptr},
        {"#2a1\n", BinaryType_UI1, VARIANT_FALSE, "Malformed IEEE 488.2 block length.", "a1\n"},
        {"#31\n", BinaryType_UI1, VARIANT_FALSE, "Malformed IEEE 488.2 block length.", "\n"},
        {"#3-10\n", BinaryType_UI1, VARIANT_FALSE, "Malformed IEEE 488.2 block length.", "-10\n"},
        {"#13abc\n", BinaryType_I2, VARIANT_FALSE, "The block length 3 is not a whole number of elements.", nullptr},
        {"#0abc\n", BinaryType_I2, VARIANT_FALSE, "The block is not a whole number of elements.", nullptr},
    };
    for (const auto& c : cases) {
        session_.replies = {c.reply};
        VARIANT block;
        EXPECT_EQ(io_->ReadIEEEBlock(c.type, c.seek, VARIANT_FALSE, &block), E_VISA_INV_FMT) << c.reply;
        EXPECT_EQ(TakeErrorText(), c.error) << c.reply;
        if (c.unread == nullptr) {
            io_->FlushRead();
            continue;
        }
        com::Bstr rest;
        ASSERT_EQ(io_->ReadString(rest.Receive()), S_OK) << c.reply;
        EXPECT_EQ(rest.Utf8(), c.unread) << c.reply;
    }
}

TEST_F(FormattedIo, LineFeedInAnIndefiniteBlockIsDataOnlyWhereTheLinkCarriesEnd) {
    const struct {
        bool carriesEnd;
        std::vector<BYTE> block;
    } cases[] = {{true, {'a', 'b', '\n', 'c', 'd'}}, {false, {'a', 'b'}}};
    for (const auto& c : cases) {
        session_.carriesEnd = c.carriesEnd;
        session_.put_TerminationCharacterEnabled(VARIANT_TRUE);
        session_.replies = {"#0ab\ncd\n"};
        VARIANT block;
        ASSERT_EQ(io_->ReadIEEEBlock(BinaryType_UI1, VARIANT_FALSE, VARIANT_FALSE, &block), S_OK) << TakeErrorText();
        EXPECT_EQ(ArrayOf<BYTE>(block, VT_UI1), c.block) << c.carriesEnd;
        VariantClear(&block);
        VARIANT_BOOL termChar = VARIANT_FALSE;
        session_.get_TerminationCharacterEnabled(&termChar);
        EXPECT_EQ(termChar, VARIANT_TRUE) << c.carriesEnd;
    }
}

TEST_F(FormattedIo, WritesAreBufferedAndEndOnlyTheLastPiece) {
    VARIANT number;
    VariantInit(&number);
    number.vt = VT_R8;
    number.dblVal = 1.25;
    const com::Bstr prefix("SOUR:FREQ ");
    ASSERT_EQ(io_->WriteString(prefix.get(), VARIANT_FALSE), S_OK);
    EXPECT_TRUE(session_.writes.empty());
    ASSERT_EQ(io_->WriteNumber(number, ASCIIType_R8, VARIANT_TRUE), S_OK);
    ASSERT_EQ(session_.writes.size(), 1u);
    EXPECT_EQ(session_.writes[0], std::make_pair(std::string("SOUR:FREQ 1.25"), true));

    session_.writes.clear();
    ASSERT_EQ(io_->SetBufferSize(IO_OUT_BUF, 8), S_OK);
    const com::Bstr longText("ABCDEFGHIJKLMNOPQRSTUVWXYZ");
    ASSERT_EQ(io_->WriteString(longText.get(), VARIANT_TRUE), S_OK);
    EXPECT_EQ(AllWritten(), "ABCDEFGHIJKLMNOPQRSTUVWXYZ");
    for (std::size_t i = 0; i < session_.writes.size(); ++i) {
        EXPECT_EQ(session_.writes[i].second, i + 1 == session_.writes.size());
    }
    EXPECT_GE(session_.writes.size(), 2u);
    VARIANT_BOOL sendEnd = VARIANT_FALSE;
    session_.get_SendEndEnabled(&sendEnd);
    EXPECT_EQ(sendEnd, VARIANT_TRUE);  // the session's own setting is restored
}

TEST_F(FormattedIo, ListsAndBlocksAreWrittenInInstrumentFormat) {
    SAFEARRAY* reals = SafeArrayCreateVector(VT_R8, 0, 3);
    const double values[] = {1, 2.5, -3e-7};
    std::memcpy(reals->pvData, values, sizeof values);
    VARIANT list;
    VariantInit(&list);
    list.vt = VT_ARRAY | VT_R8;
    list.parray = reals;
    ASSERT_EQ(io_->WriteList(&list, ASCIIType_R8, nullptr, VARIANT_TRUE), S_OK);
    EXPECT_EQ(session_.writes.back().first, "1,2.5,-3e-07");

    SAFEARRAY* shorts = SafeArrayCreateVector(VT_I2, 0, 2);
    const SHORT words[] = {1, 0x0A0B};
    std::memcpy(shorts->pvData, words, sizeof words);
    VARIANT block;
    VariantInit(&block);
    block.vt = VT_ARRAY | VT_I2;
    block.parray = shorts;
    const com::Bstr command("DATA ");
    ASSERT_EQ(io_->WriteIEEEBlock(command.get(), block, VARIANT_TRUE), S_OK);
    EXPECT_EQ(session_.writes.back().first, std::string("DATA #14\x00\x01\x0A\x0B", 12));
    EXPECT_TRUE(session_.writes.back().second);
    VariantClear(&list);
    VariantClear(&block);
}

TEST(FormattedIoWithoutSession, ReportsMissingIo) {
    ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_MULTITHREADED)));
    {
        ASSERT_EQ(EnsureClassesRegistered(), S_OK);
        com::ComPtr<IFormattedIO488> io;
        ASSERT_EQ(CoCreateInstance(CLSID_FormattedIO488, nullptr, CLSCTX_INPROC_SERVER, IID_IFormattedIO488,
                                   io.ReceiveVoid()),
                  S_OK);
        com::Bstr text;
        EXPECT_EQ(io->ReadString(text.Receive()), E_VISA_INV_SETUP);
        EXPECT_NE(TakeErrorText().find("IO"), std::string::npos);
    }
    CoUninitialize();
}

}  // namespace
}  // namespace visa::test
