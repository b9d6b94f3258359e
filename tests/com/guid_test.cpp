#include <gtest/gtest.h>

#include "zentrava/com.h"

namespace {

const GUID kNamespaceDns = GuidLiteral("6ba7b810-9dad-11d1-80b4-00c04fd430c8");
const GUID kNamespaceUrl = GuidLiteral("6ba7b811-9dad-11d1-80b4-00c04fd430c8");

TEST(GuidText, ParsesAndFormatsLowerCaseWithBraces) {
    struct Case {
        const char* input;
        const char* formatted;
    };
    const Case cases[] = {
        {"{00000000-0000-0000-0000-000000000000}", "{00000000-0000-0000-0000-000000000000}"},
        {"{4A62CA90-81D4-4A6D-91B8-8D2816874B05}", "{4a62ca90-81d4-4a6d-91b8-8d2816874b05}"},
        {"4a62ca90-81d4-4a6d-91b8-8d2816874b05", "{4a62ca90-81d4-4a6d-91b8-8d2816874b05}"},
        {"{ffffffff-ffff-ffff-ffff-fffffffffffe}", "{ffffffff-ffff-ffff-ffff-fffffffffffe}"},
        {"{01234567-89aB-cDeF-0123-456789abcdef}", "{01234567-89ab-cdef-0123-456789abcdef}"},
    };
    for (const Case& c : cases) {
        GUID guid;
        ASSERT_TRUE(GuidFromString(c.input, &guid)) << c.input;
        EXPECT_EQ(GuidToString(guid), c.formatted) << c.input;
        GUID again;
        ASSERT_TRUE(GuidFromString(GuidToString(guid), &again));
        EXPECT_EQ(again, guid);
    }
}

TEST(GuidText, FieldsFollowTheTextOrder) {
    const GUID g = GuidLiteral("{01234567-89ab-cdef-0011-223344556677}");
    EXPECT_EQ(g.Data1, 0x01234567u);
    EXPECT_EQ(g.Data2, 0x89ab);
    EXPECT_EQ(g.Data3, 0xcdef);
    const std::uint8_t tail[8] = {0x00, 0x11, 0x22, 0x33, 0x44, 0x55, 0x66, 0x77};
    for (int i = 0; i < 8; ++i) EXPECT_EQ(g.Data4[i], tail[i]) << i;
}

TEST(GuidText, RejectsMalformedText) {
    const char* cases[] = {
        "",
        "{}",
        "{4a62ca90-81d4-4a6d-91b8-8d2816874b05",    // one brace
        "4a62ca90-81d4-4a6d-91b8-8d2816874b05}",    // other brace
        "(4a62ca90-81d4-4a6d-91b8-8d2816874b05)",   // wrong brackets
        "{4a62ca9081d4-4a6d-91b8-8d2816874b05-}",   // dash moved
        "{4a62ca90-81d4-4a6d-91b88d2816874b05}",    // dash missing
        "{4a62ca90-81d4-4a6d-91b8-8d2816874b0g}",   // not hex
        "{4a62ca90-81d4-4a6d-91b8-8d2816874b0}",    // short
        "{4a62ca90-81d4-4a6d-91b8-8d2816874b055}",  // long
        " {4a62ca90-81d4-4a6d-91b8-8d2816874b05}",  // blank
        "{+a62ca90-81d4-4a6d-91b8-8d2816874b05}",
    };
    for (const char* text : cases) {
        GUID guid = IID_IUnknown;
        EXPECT_FALSE(GuidFromString(text, &guid)) << text;
        EXPECT_EQ(guid, IID_IUnknown) << "output changed for " << text;
    }
}

TEST(GuidText, WellKnownInterfaceIdentifiers) {
    EXPECT_EQ(GuidToString(GUID_NULL), "{00000000-0000-0000-0000-000000000000}");
    EXPECT_EQ(GuidToString(IID_IUnknown), "{00000000-0000-0000-c000-000000000046}");
    EXPECT_EQ(GuidToString(IID_IClassFactory), "{00000001-0000-0000-c000-000000000046}");
    EXPECT_EQ(GuidToString(IID_IErrorInfo), "{1cf2b120-547d-101b-8e65-08002b2bd119}");
    EXPECT_EQ(GuidToString(IID_ICreateErrorInfo), "{22f03340-547d-101b-8e65-08002b2bd119}");
    EXPECT_EQ(GuidToString(IID_ISupportErrorInfo), "{df0b3d60-548f-101b-8e65-08002b2bd119}");
}

TEST(GuidText, EqualityLooksAtEveryByte) {
    GUID a = IID_IErrorInfo;
    for (int i = 0; i < 8; ++i) {
        GUID b = a;
        b.Data4[i] ^= 1;
        EXPECT_NE(a, b) << i;
    }
    GUID b = a;
    b.Data3 ^= 1;
    EXPECT_FALSE(IsEqualGUID(a, b));
}

TEST(GuidLiteralDeathTest, AbortsOnMalformedText) {
    EXPECT_DEATH(GuidLiteral("{not-a-guid}"), "malformed GUID literal");
}

TEST(NameBasedGuid, MatchesVersion5Vectors) {
    struct Case {
        const GUID* nameSpace;
        std::string name;
        const char* expected;
    };
    const Case cases[] = {
        {&kNamespaceDns, "python.org", "{886313e1-3b8a-5372-9b90-0c9aee199e5d}"},
        {&kNamespaceUrl, "http://www.ietf.org/rfc/rfc4122.txt", "{d0690b3c-b29d-52e7-81b0-d573b503f2d4}"},
        {&kNamespaceDns, "", "{4ebd0208-8328-5d69-8c44-ec50939c0967}"},
        // 55 and 56 hashed bytes: the last that pads within one block, the first that needs two.
        {&kNamespaceDns, std::string(39, 'x'), "{2f80c0d1-1c62-579f-8d68-e61ad5592c9b}"},
        {&kNamespaceDns, std::string(40, 'x'), "{e56fd57a-7633-5e1d-8f80-70e05ac413e5}"},
        {&kNamespaceDns, std::string(200, 'a'), "{fe30bfa6-ef90-59b3-b108-118411d0f0ab}"},
        {&ZENTRAVA_NAME_NAMESPACE, "Zentrava.Zentrava", "{9f739b2c-ccf6-5ae9-beb3-0777b71cc96b}"},
        {&ZENTRAVA_NAME_NAMESPACE,
         "Gr\xC3\xB6\xC3\x9F"
         "e",
         "{e76b1174-67cd-5dbc-901e-f9cc107619e0}"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(GuidToString(NameBasedGuid(*c.nameSpace, c.name)), c.expected) << c.name;
    }
}

TEST(NameBasedGuid, DefaultNamespaceIsStableAndDistinguishesNames) {
    EXPECT_EQ(GuidToString(ZENTRAVA_NAME_NAMESPACE), "{7f4aaa2e-a68e-482b-b9cb-9b5aef80a61f}");
    EXPECT_EQ(NameBasedGuid("Zentrava.Zentrava"), NameBasedGuid(ZENTRAVA_NAME_NAMESPACE, "Zentrava.Zentrava"));
    EXPECT_NE(NameBasedGuid("Zentrava.Zentrava"), NameBasedGuid("zentrava.zentrava"));
    EXPECT_NE(NameBasedGuid("a"), NameBasedGuid(kNamespaceDns, "a"));
    for (const char* name : {"", "a", "IZentrava", "IZentravaSystemBeeper"}) {
        const GUID g = NameBasedGuid(name);
        EXPECT_EQ(g.Data3 >> 12, 5) << name;
        EXPECT_EQ(g.Data4[0] & 0xC0, 0x80) << name;
    }
}

TEST(GuidWide, StringFromGuid2WritesTerminatedTextOrNothing) {
    OLECHAR buffer[39];
    EXPECT_EQ(StringFromGUID2(IID_IErrorInfo, buffer, 39), 39);
    EXPECT_EQ(std::u16string(buffer), u"{1cf2b120-547d-101b-8e65-08002b2bd119}");
    EXPECT_EQ(StringFromGUID2(IID_IErrorInfo, buffer, 38), 0);
    EXPECT_EQ(StringFromGUID2(IID_IErrorInfo, nullptr, 39), 0);
}

TEST(GuidWide, ClsidFromStringNeedsBracesAndKnowsNull) {
    CLSID clsid;
    EXPECT_EQ(CLSIDFromString(u"{1CF2B120-547D-101B-8E65-08002B2BD119}", &clsid), S_OK);
    EXPECT_EQ(clsid, IID_IErrorInfo);
    EXPECT_EQ(CLSIDFromString(nullptr, &clsid), S_OK);
    EXPECT_EQ(clsid, GUID_NULL);
    EXPECT_EQ(CLSIDFromString(u"{1cf2b120-547d-101b-8e65-08002b2bd119}", nullptr), E_INVALIDARG);
}

}  // namespace
