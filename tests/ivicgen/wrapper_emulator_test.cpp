// The C face against the emulated instrument: the exact bytes that reach it.
#include <algorithm>
#include <string>
#include <vector>

#include "emulator/emulator.h"
#include "tests/support/emulator_support.h"
#include "tests/support/ivic_support.h"

namespace ztv::test {
namespace {

class IviCOnEmulator : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(emulator::test::Started(emulator));
        const std::string resource = emulator.SocketResource();
        ASSERT_EQ(Ztv_InitWithOptions(const_cast<char*>(resource.c_str()), VI_FALSE, VI_FALSE, "", &vi), 0);
        emulator.ClearReceived();
    }
    void TearDown() override {
        EXPECT_EQ(Ztv_close(vi), 0);
        emulator.Stop();
    }

    std::vector<std::string> Sent() const {
        std::vector<std::string> sent;
        for (const auto& message : emulator.Received()) sent.push_back(message.bytes);
        return sent;
    }

    IsolatedEnvironment env;
    emulator::Emulator emulator;
    ViSession vi = VI_NULL;
};

using Messages = std::vector<std::string>;

TEST_F(IviCOnEmulator, AttributesSendTheirSettingsAndQueries) {
    EXPECT_EQ(Ztv_SetAttributeViReal64(vi, "", ZTV_ATTR_ATTENUATION, 10.5), 0);
    ViReal64 attenuation = 0;
    EXPECT_EQ(Ztv_GetAttributeViReal64(vi, "", ZTV_ATTR_ATTENUATION, &attenuation), 0);
    EXPECT_EQ(attenuation, 10.5);
    EXPECT_EQ(Ztv_SetAttributeViReal64(vi, "Measurement2:Marker3",
                                       ZTV_ATTR_APPLICATION_FREQUENCYPOWER_MEASUREMENT_MARKER_X_VALUE, 1.5e6),
              0);
    ViReal64 x = 0;  // a query: the emulator has seen everything before it
    EXPECT_EQ(Ztv_GetAttributeViReal64(vi, "Measurement2:Marker3",
                                       ZTV_ATTR_APPLICATION_FREQUENCYPOWER_MEASUREMENT_MARKER_X_VALUE, &x),
              0);
    EXPECT_EQ(Sent(), (Messages{"SENS:ATT:LEV 10.5\n", "SENS:ATT:LEV?\n", "CALC:FP1:TRAC2:MARK3:X 1500000\n",
                                "CALC:FP1:TRAC2:MARK3:X?\n"}));
}

TEST_F(IviCOnEmulator, WrappersSendTheirCommands) {
    EXPECT_EQ(Ztv_ApplicationFrequencyPowerMeasurementMarkerSearch(vi, "Measurement2:Marker3",
                                                                   ZTV_VAL_MARKER_SEARCH_TYPE_MAXIMUM),
              0);
    std::vector<ViReal64> trace(4);
    ViInt32 points = 0;
    EXPECT_EQ(Ztv_Get_FormattedData(vi, "Measurement1", 4, trace.data(), &points), 0);
    EXPECT_EQ(points, 1001);
    EXPECT_EQ(Sent(),
              (Messages{"CALC:FP1:TRAC2:MARK3:SEAR:EXEC:MAX\n", "FORM:DATA ASC\n", "CALC:PN1:TRAC1:DATA:FDAT?\n"}));
}

// Repeated reads refill one array on loan: every read must still give the
// reply's values, whatever the caller's buffer holds.
TEST_F(IviCOnEmulator, RepeatedTraceReadsKeepTheirValues) {
    std::vector<ViReal64> first(1001), again(1001, -7.0), head(4, -7.0);
    ViInt32 points = 0;
    ASSERT_EQ(Ztv_Get_FormattedData(vi, "Measurement1", 1001, first.data(), &points), 0);
    ASSERT_EQ(points, 1001);
    ASSERT_EQ(Ztv_Get_FormattedData(vi, "Measurement1", 4, head.data(), &points), 0);
    EXPECT_EQ(points, 1001);
    EXPECT_TRUE(std::equal(head.begin(), head.end(), first.begin()));
    ASSERT_EQ(Ztv_Get_FormattedData(vi, "Measurement1", 1001, again.data(), &points), 0);
    EXPECT_EQ(again, first);
}

TEST_F(IviCOnEmulator, TextAndRegisterResults) {
    const ViStatus needed = Ztv_SystemGetErrorCode(vi, 0, nullptr);
    ASSERT_GT(needed, 3);
    std::vector<char> whole(static_cast<std::size_t>(needed), '#');
    EXPECT_EQ(Ztv_SystemGetErrorCode(vi, needed, whole.data()), 0);
    EXPECT_EQ(std::string(whole.data()).size() + 1, static_cast<std::size_t>(needed));
    char head[3] = "##";
    EXPECT_EQ(Ztv_SystemGetErrorCode(vi, sizeof head, head), needed);
    EXPECT_EQ(std::string(head), std::string(whole.data(), 2));

    EXPECT_EQ(Ztv_StatusSetRegister(vi, ZTV_VAL_ZENTRAVA_STATUS_REGISTER_OPERATION,
                                    ZTV_VAL_ZENTRAVA_STATUS_SUB_REGISTER_ENABLE, 0x12345),
              0);
    ViInt32 enabled = -1;
    EXPECT_EQ(Ztv_StatusGetRegister(vi, ZTV_VAL_ZENTRAVA_STATUS_REGISTER_OPERATION,
                                    ZTV_VAL_ZENTRAVA_STATUS_SUB_REGISTER_ENABLE, &enabled),
              0);
    EXPECT_EQ(enabled, 0x2345);
    const Messages sent = Sent();
    ASSERT_EQ(sent.size(), 5u);
    EXPECT_EQ(sent[0], "SYSTem:ERRor:NEXT?\n");
    EXPECT_EQ(sent[3], "STAT:OPER:ENAB 9029\n");
    EXPECT_EQ(sent[4], "STAT:OPER:ENAB?\n");
}

TEST_F(IviCOnEmulator, DirectIoPassesTextThroughUnchanged) {
    EXPECT_EQ(Ztv_SystemWrite(vi, "*IDN?\n"), 0);
    char reply[256] = "";
    ViInt32 count = -1;
    EXPECT_EQ(Ztv_SystemRead(vi, sizeof reply, reply, &count), 0);
    EXPECT_EQ(std::string(reply), "Orvane Technologies,Q7310B,0123456789,1.0.9\n");
    EXPECT_EQ(count, static_cast<ViInt32>(std::string(reply).size()));

    // A reply that exactly fills the buffer loses its last character to the NUL.
    EXPECT_EQ(Ztv_SystemWrite(vi, "*IDN?\n"), 0);
    char head[8] = "";
    EXPECT_EQ(Ztv_SystemRead(vi, sizeof head, head, &count), static_cast<ViStatus>(sizeof head + 1));
    EXPECT_EQ(count, static_cast<ViInt32>(sizeof head));
    EXPECT_STREQ(head, "Orvane ");
    EXPECT_EQ(Sent(), (Messages{"*IDN?\n", "*IDN?\n"}));
}

}  // namespace
}  // namespace ztv::test
