#include <gtest/gtest.h>

#include <cstring>

#include "zentrava/com.h"

namespace {

std::uint32_t PrefixOf(BSTR text) {
    std::uint32_t bytes;
    std::memcpy(&bytes, reinterpret_cast<const char*>(text) - 4, sizeof bytes);
    return bytes;
}

TEST(Bstr, LayoutIsByteCountTextAndTerminator) {
    BSTR text = SysAllocString(u"Q7310B");
    ASSERT_NE(text, nullptr);
    EXPECT_EQ(PrefixOf(text), 12u);
    EXPECT_EQ(SysStringLen(text), 6u);
    EXPECT_EQ(text[6], u'\0');
    EXPECT_EQ(BstrView(text), u"Q7310B");
    SysFreeString(text);
}

TEST(Bstr, EmbeddedNulsCountInTheLength) {
    const OLECHAR source[] = {u'a', 0, u'b', 0, u'c'};
    BSTR text = SysAllocStringLen(source, 5);
    ASSERT_NE(text, nullptr);
    EXPECT_EQ(SysStringLen(text), 5u);
    EXPECT_EQ(PrefixOf(text), 10u);
    EXPECT_EQ(std::memcmp(text, source, sizeof source), 0);
    EXPECT_EQ(text[5], 0);
    // Text functions stop at the first NUL, as on Windows.
    EXPECT_EQ(BstrView(text), u"a");
    SysFreeString(text);
}

TEST(Bstr, NullAndEmpty) {
    EXPECT_EQ(SysAllocString(nullptr), nullptr);
    EXPECT_EQ(SysStringLen(nullptr), 0u);
    EXPECT_EQ(BstrView(nullptr), u"");
    EXPECT_EQ(WideToUtf8(static_cast<const OLECHAR*>(nullptr)), "");
    SysFreeString(nullptr);

    BSTR empty = SysAllocString(u"");
    ASSERT_NE(empty, nullptr);
    EXPECT_EQ(SysStringLen(empty), 0u);
    EXPECT_EQ(empty[0], 0);
    SysFreeString(empty);

    BSTR blank = SysAllocStringLen(nullptr, 3);
    ASSERT_NE(blank, nullptr);
    EXPECT_EQ(SysStringLen(blank), 3u);
    EXPECT_EQ(blank[3], 0);
    SysFreeString(blank);
}

TEST(Bstr, ReAllocReplacesAndAcceptsItsOwnText) {
    BSTR text = SysAllocString(u"first value");
    ASSERT_EQ(SysReAllocString(&text, u"second"), 1);
    EXPECT_EQ(BstrView(text), u"second");
    EXPECT_EQ(SysStringLen(text), 6u);
    // Source inside the string being replaced.
    ASSERT_EQ(SysReAllocString(&text, text + 3), 1);
    EXPECT_EQ(BstrView(text), u"ond");
    ASSERT_EQ(SysReAllocString(&text, nullptr), 1);
    EXPECT_EQ(text, nullptr);
    EXPECT_EQ(SysReAllocString(nullptr, u"x"), 0);
}

TEST(Bstr, FromUtf8) {
    BSTR text = Utf8ToBstr("Zentrava: \xC2\xB5s");
    ASSERT_NE(text, nullptr);
    EXPECT_EQ(BstrView(text), u"Zentrava: \u00B5s");
    EXPECT_EQ(SysStringLen(text), 12u);
    SysFreeString(text);
    BSTR empty = Utf8ToBstr("");
    ASSERT_NE(empty, nullptr);
    EXPECT_EQ(SysStringLen(empty), 0u);
    SysFreeString(empty);
}

TEST(Utf, WellFormedTextRoundTrips) {
    struct Case {
        std::string utf8;
        std::u16string utf16;
    };
    const Case cases[] = {
        {"", u""},
        {"SENS:ATT:LEV 10.5", u"SENS:ATT:LEV 10.5"},
        {std::string("a\0b", 3), std::u16string(u"a\0b", 3)},
        {"\x7F\xC2\x80\xDF\xBF", u"\u007F\u0080\u07FF"},
        {"\xE0\xA0\x80\xED\x9F\xBF\xEE\x80\x80\xEF\xBF\xBF", u"\u0800\uD7FF\uE000\uFFFF"},
        {"\xF0\x90\x80\x80", u"\U00010000"},
        {"\xF0\x9F\x98\x80 dB", u"\U0001F600 dB"},
        {"\xF4\x8F\xBF\xBF", u"\U0010FFFF"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Utf8ToWide(c.utf8), c.utf16) << c.utf8;
        EXPECT_EQ(WideToUtf8(c.utf16), c.utf8) << c.utf8;
    }
    EXPECT_EQ(Utf8ToWide("\xF0\x9F\x98\x80").size(), 2u);
}

TEST(Utf, IllFormedUtf8BecomesReplacementCharacters) {
    struct Case {
        const char* name;
        std::string utf8;
        std::u16string utf16;
    };
    const Case cases[] = {
        {"lone continuation", "a\x80z", u"a\uFFFDz"},
        {"invalid lead bytes", "\xC0\xC1\xF5\xFF", u"\uFFFD\uFFFD\uFFFD\uFFFD"},
        {"overlong two bytes", "\xC0\xAF", u"\uFFFD\uFFFD"},
        {"overlong three bytes", "\xE0\x80\xAF", u"\uFFFD\uFFFD\uFFFD"},
        {"encoded surrogate", "\xED\xA0\x80", u"\uFFFD\uFFFD\uFFFD"},
        {"above U+10FFFF", "\xF4\x90\x80\x80", u"\uFFFD\uFFFD\uFFFD\uFFFD"},
        {"truncated three bytes", "\xE2\x82", u"\uFFFD"},
        {"truncated then ASCII",
         "\xE2\x82"
         "A",
         u"\uFFFDA"},
        {"truncated four bytes", "x\xF0\x9F\x98", u"x\uFFFD"},
    };
    for (const Case& c : cases) EXPECT_EQ(Utf8ToWide(c.utf8), c.utf16) << c.name;
}

TEST(Utf, LoneSurrogatesBecomeReplacementCharacters) {
    const std::string replacement = "\xEF\xBF\xBD";
    EXPECT_EQ(WideToUtf8(std::u16string{0xD800}), replacement);
    EXPECT_EQ(WideToUtf8(std::u16string{0xDC00, u'a'}), replacement + "a");
    EXPECT_EQ(WideToUtf8(std::u16string{0xD83D, 0xD83D, 0xDE00}), replacement + "\xF0\x9F\x98\x80");
    EXPECT_EQ(WideToUtf8(std::u16string{u'a', 0xDE00, 0xD83D}), "a" + replacement + replacement);
}

}  // namespace
