// Direct I/O of the C face on every LAN transport: a read that times out is
// the driver's I/O time-out, and byte reads carry binary blocks whole.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "emulator/emulator.h"
#include "tests/support/emulator_support.h"
#include "tests/support/ivic_support.h"

namespace ztv::test {
namespace {

constexpr ViStatus kIoTimeout = static_cast<ViStatus>(0xBFFA4215u);

enum class Link { Socket, Vxi11, Hislip };

class DirectIo : public ::testing::TestWithParam<Link> {
protected:
    void SetUp() override {
        emulator::Options options;
        options.portmapper = false;
        emulator_ = std::make_unique<emulator::Emulator>(options);
        ASSERT_TRUE(emulator::test::Started(*emulator_));
        vxi11Port_ = std::make_unique<ScopedEnv>("ZENTRAVA_VXI11_PORT", std::to_string(emulator_->Vxi11Port()));
        const std::string resource = GetParam() == Link::Socket  ? emulator_->SocketResource()
                                     : GetParam() == Link::Vxi11 ? emulator_->Vxi11Resource()
                                                                 : emulator_->HislipResource();
        ASSERT_EQ(Ztv_InitWithOptions(const_cast<char*>(resource.c_str()), VI_FALSE, VI_FALSE, "", &vi_), 0)
            << resource;
        ASSERT_EQ(Ztv_SetAttributeViInt32(vi_, "", ZTV_ATTR_SYSTEM_TIMEOUT_MILLISECONDS, 300), 0);
    }
    void TearDown() override {
        if (vi_ != VI_NULL) Ztv_close(vi_);
        emulator_->Stop();
    }
    std::string LastErrorText() { return LastError(vi_).second; }

    IsolatedEnvironment env_;
    std::unique_ptr<emulator::Emulator> emulator_;
    std::unique_ptr<ScopedEnv> vxi11Port_;
    ViSession vi_ = VI_NULL;
};

TEST_P(DirectIo, AReadWithoutReplyTimesOut) {
    ASSERT_EQ(Ztv_SystemWrite(vi_, "FOO:BAR?\n"), 0);
    char text[64] = "";
    ViInt32 count = -1;
    EXPECT_EQ(Ztv_SystemRead(vi_, sizeof text, text, &count), kIoTimeout);
    EXPECT_EQ(count, 0);
    EXPECT_NE(LastErrorText().find("IO timeout error"), std::string::npos) << LastErrorText();

    std::vector<ViByte> bytes(64);
    EXPECT_EQ(Ztv_SystemReadBytes(vi_, static_cast<ViInt32>(bytes.size()), bytes.data(), &count), kIoTimeout);
    EXPECT_EQ(count, 0);
}

TEST_P(DirectIo, ByteReadsCarryAnImageWhole) {
    ASSERT_EQ(Ztv_SystemWrite(vi_, "HCOP:SDUM:DATA? BMP\n"), 0);
    std::string reply;
    std::vector<ViByte> bytes(1 << 20);
    const std::size_t whole = 2 + 5 + 57654;  // "#557654" and the image
    // A byte equal to the terminator may end one read on the raw socket.
    for (int reads = 0; reply.size() < whole && reads < 100; ++reads) {
        ViInt32 count = 0;
        ASSERT_EQ(Ztv_SystemReadBytes(vi_, static_cast<ViInt32>(bytes.size()), bytes.data(), &count), 0)
            << LastErrorText();
        ASSERT_GT(count, 0);
        reply.append(reinterpret_cast<const char*>(bytes.data()), static_cast<std::size_t>(count));
    }
    ASSERT_GE(reply.size(), whole);
    EXPECT_EQ(reply.substr(0, 9), "#557654BM");

    ViInt32 count = 0;
    EXPECT_EQ(Ztv_SystemReadBytes(vi_, 16, nullptr, &count), static_cast<ViStatus>(0x80000000u));
    EXPECT_EQ(Ztv_SystemReadBytes(vi_, 16, bytes.data(), nullptr), static_cast<ViStatus>(0x80000000u));
}

INSTANTIATE_TEST_SUITE_P(Lan, DirectIo, ::testing::Values(Link::Socket, Link::Vxi11, Link::Hislip),
                         [](const ::testing::TestParamInfo<Link>& info) {
                             return info.param == Link::Socket  ? "Socket"
                                    : info.param == Link::Vxi11 ? "Vxi11"
                                                                : "Hislip";
                         });

}  // namespace
}  // namespace ztv::test
