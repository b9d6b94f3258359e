// The command pipeline against the emulator: the exact bytes it puts on
// each LAN interface, status polling, time-out restore and reply conversion.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cmath>

#include "tests/io/driver_on_emulator.h"

namespace ztv::test {
namespace {

using ::testing::ElementsAre;
using ::testing::ElementsAreArray;

using PipelineBytes = OnEachLink;

TEST_P(PipelineBytes, WriteTerminatorIsAppendedOnlyWhenMissing) {
    Open();
    struct Case {
        const char* command;
        const char* sent;
    } cases[] = {
        {"*CLS", "*CLS\n"},
        {"*CLS\n", "*CLS\n"},
        {"SENS:ATT:LEV 10.5", "SENS:ATT:LEV 10.5\n"},
        {"SYST:SET \"a\nb\"\n", "SYST:SET \"a\nb\"\n"},  // an inner line feed does not count
    };
    for (const Case& c : cases) {
        rig().ClearSent();
        ASSERT_EQ(rig().io().InstrWrite(c.command, kCurrentTimeout), S_OK) << c.command << ThreadErrorText();
        EXPECT_THAT(rig().Sent(), ElementsAre(c.sent)) << c.command;
    }
}

TEST_P(PipelineBytes, FormattedAndCommandStackForms) {
    Open();
    CDriverIOManager& io = rig().io();
    ASSERT_EQ(io.InstrPrintf("SENS:AM1:FBAN %s", "LONG"), S_OK);
    ASSERT_EQ(io.InstrPrintf("SENS:ATT:LEV %.15g", 0.1), S_OK);
    ASSERT_EQ(io.InstrPrintfNoPoll("SENS:PN1:SWE:POIN %d", 401), S_OK);
    // With an empty stack the current command is empty: only the terminator goes out.
    ASSERT_EQ(io.InstrPrintCommand(), S_OK);
    io.PushCommand("DISP:AM1:GRAT:AXIS:Y:STAT 1");
    io.PushCommand("SENS:ATT:LEV 3");
    ASSERT_EQ(io.InstrPrintCommand(), S_OK);
    io.PopCommand();
    ASSERT_EQ(io.InstrPrintCommandNoPoll(), S_OK);
    io.PopCommand();
    EXPECT_THAT(rig().Sent(), ElementsAre("SENS:AM1:FBAN LONG\n", "SENS:ATT:LEV 0.1\n", "SENS:PN1:SWE:POIN 401\n", "\n",
                                          "SENS:ATT:LEV 3\n", "DISP:AM1:GRAT:AXIS:Y:STAT 1\n"));
    EXPECT_EQ(rig().instrument().Setting("SENS:ATT:LEV"), "3");
}

TEST_P(PipelineBytes, StatusIsPolledOnlyWhenAskedAndTestsBitsTwoToFive) {
    Open();
    CDriverIOManager& io = rig().io();
    // Off: even a failing command sends no "*ESR?".
    rig().faults().ForceEsrBits(0x20, true);
    ASSERT_EQ(io.InstrWrite("SENS:ATT:LEV 1", kCurrentTimeout), S_OK);
    double level = 0;
    ASSERT_EQ(io.InstrQuery("SENS:ATT:LEV?", &level, kCurrentTimeout), S_OK);
    EXPECT_THAT(rig().Sent(), ElementsAre("SENS:ATT:LEV 1\n", "SENS:ATT:LEV?\n"));
    rig().faults().Clear();

    ASSERT_EQ(rig().operation()->put_QueryInstrumentStatus(VARIANT_TRUE), S_OK) << ThreadErrorText();
    struct Case {
        int esrBits;
        HRESULT result;
    } cases[] = {
        {0x20, E_IVI_INSTRUMENT_STATUS},  // command error
        {0x10, E_IVI_INSTRUMENT_STATUS},  // execution error
        {0x08, E_IVI_INSTRUMENT_STATUS},  // device-dependent error
        {0x04, E_IVI_INSTRUMENT_STATUS},  // query error
        {0x01, S_OK},                     // operation complete
        {0x02 | 0x40 | 0x80, S_OK},       // request control, user request, power on
        {0, S_OK},
    };
    for (const Case& c : cases) {
        rig().ClearSent();
        rig().faults().ForceEsrBits(c.esrBits, false);
        EXPECT_EQ(io.InstrWrite("SENS:ATT:LEV 2", kCurrentTimeout), c.result) << c.esrBits;
        if (FAILED(c.result)) {
            EXPECT_EQ(ThreadErrorText(), kInstrumentStatusText);
        }
        EXPECT_THAT(rig().Sent(), ElementsAre("SENS:ATT:LEV 2\n", "*ESR?\n")) << c.esrBits;
    }
    // The instrument's own complaint, without any injected fault.
    rig().ClearSent();
    EXPECT_EQ(io.InstrPrintf("FOO:BAR %d", 1), E_IVI_INSTRUMENT_STATUS);
    EXPECT_THAT(rig().Sent(), ElementsAre("FOO:BAR 1\n", "*ESR?\n"));
    // NoPoll forms stay quiet even with polling on.
    rig().ClearSent();
    EXPECT_EQ(io.InstrWriteNoPoll("FOO:BAR", kCurrentTimeout), S_OK);
    EXPECT_THAT(rig().Sent(), ElementsAre("FOO:BAR\n"));
}

TEST_P(PipelineBytes, PerOperationTimeoutLeavesTheSessionTimeoutAlone) {
    Open();
    CDriverIOManager& io = rig().io();
    ASSERT_EQ(io.Provider().SetIOTimeout(1234), S_OK);
    auto sessionTimeout = [&] {
        LONG ms = 0;
        EXPECT_EQ(io.Provider().GetIOTimeout(&ms), S_OK);
        return ms;
    };

    LONG opc = 0;
    ASSERT_EQ(io.InstrQuery("*OPC?", &opc, 5000), S_OK);
    EXPECT_EQ(sessionTimeout(), 1234);
    ASSERT_EQ(rig().utility()->Reset(), S_OK) << ThreadErrorText();  // runs with 30000 ms
    EXPECT_EQ(sessionTimeout(), 1234);
    ASSERT_EQ(rig().utility()->Disable(), S_OK) << ThreadErrorText();
    EXPECT_EQ(sessionTimeout(), 1234);

    // The failing path restores it too.
    rig().faults().SwallowReplies(1);
    double value = 0;
    EXPECT_EQ(io.InstrQuery("SENS:ATT:LEV?", &value, 100), E_ZENTRAVA_IO_TIMEOUT);
    EXPECT_EQ(sessionTimeout(), 1234);
    EXPECT_THAT(rig().Sent(), ElementsAre("*OPC?\n", "*RST;*OPC?\n", "*RST;*OPC?\n", "SENS:ATT:LEV?\n"));
}

TEST_P(PipelineBytes, NumericRepliesConvertAndNarrow) {
    Open();
    CDriverIOManager& io = rig().io();
    const double nan = std::nan("");
    struct Case {
        const char* reply;
        double asDouble;  // NaN: no number in the reply
        LONG asLong;
        BYTE asByte;
        SHORT asShort;
    } cases[] = {
        {"300", 300, 300, 44, 300},
        {"1.5E+06", 1.5e6, 1500000, 0x60, static_cast<SHORT>(0xE360)},
        {"70000", 70000, 70000, 0x70, 4464},
        {"1.9", 1.9, 1, 1, 1},
        {"-1.9", -1.9, -1, 0xFF, -1},
        {"  +2.5e1 dB", 25, 25, 25, 25},
        {"abc", nan, 0, 0, 0},
        {"", nan, 0, 0, 0},
    };
    for (const Case& c : cases) {
        rig().instrument().SetSetting("SENS:ATT:LEV", c.reply);
        rig().ClearSent();
        double d = -7;
        float f = -7;
        LONG l = -7;
        BYTE b = 7;
        SHORT s = -7;
        ASSERT_EQ(io.InstrQuery("SENS:ATT:LEV?", &d, kCurrentTimeout), S_OK) << c.reply << ThreadErrorText();
        ASSERT_EQ(io.InstrQuery("SENS:ATT:LEV?", &f, kCurrentTimeout), S_OK) << c.reply;
        ASSERT_EQ(io.InstrQuery("SENS:ATT:LEV?", &l, kCurrentTimeout), S_OK) << c.reply;
        ASSERT_EQ(io.InstrQuery("SENS:ATT:LEV?", &b, kCurrentTimeout), S_OK) << c.reply;
        ASSERT_EQ(io.InstrQuery("SENS:ATT:LEV?", &s, kCurrentTimeout), S_OK) << c.reply;
        if (std::isnan(c.asDouble)) {
            EXPECT_TRUE(std::isnan(d)) << c.reply;
            EXPECT_TRUE(std::isnan(f)) << c.reply;
        } else {
            EXPECT_EQ(d, c.asDouble) << c.reply;
            EXPECT_EQ(f, static_cast<float>(c.asDouble)) << c.reply;
        }
        EXPECT_EQ(l, c.asLong) << c.reply;
        EXPECT_EQ(b, c.asByte) << c.reply;
        EXPECT_EQ(s, c.asShort) << c.reply;
        EXPECT_THAT(rig().Sent(), ElementsAreArray(std::vector<std::string>(5, "SENS:ATT:LEV?\n")));
    }
}

TEST_P(PipelineBytes, BooleanRepliesOfTheCurrentCommand) {
    Open();
    CDriverIOManager& io = rig().io();
    struct Case {
        const char* reply;
        HRESULT result;
        VARIANT_BOOL value;
    } cases[] = {
        {"1", S_OK, VARIANT_TRUE},
        {" 0 ", S_OK, VARIANT_FALSE},
        {"\t1 ", S_OK, VARIANT_TRUE},
        {"ON", E_IVI_UNEXPECTED_RESPONSE, VARIANT_FALSE},
        {"10", E_IVI_UNEXPECTED_RESPONSE, VARIANT_FALSE},
        {"", E_IVI_UNEXPECTED_RESPONSE, VARIANT_FALSE},
    };
    io.PushCommand("DISP:AM1:GRAT:AXIS:Y:STAT?");
    for (const Case& c : cases) {
        rig().instrument().SetSetting("DISP:AM1:GRAT:AXIS:Y:STAT", c.reply);
        rig().ClearSent();
        VARIANT_BOOL value = 5;
        EXPECT_EQ(io.InstrQueryCommandBool(&value, kCurrentTimeout), c.result) << '"' << c.reply << '"';
        EXPECT_EQ(value, c.value) << '"' << c.reply << '"';
        if (FAILED(c.result)) {
            EXPECT_EQ(ThreadErrorText(), "Zentrava: Unexpected response from instrument.");
        }
        EXPECT_THAT(rig().Sent(), ElementsAre("DISP:AM1:GRAT:AXIS:Y:STAT?\n"));
    }
    io.PopCommand();
}

TEST_P(PipelineBytes, StringRepliesLoseOneTerminatorAndRespectTheLimit) {
    Open();
    CDriverIOManager& io = rig().io();
    rig().instrument().SetSetting("SYST:COMM:LAN:HOST", "\"bench-7\"");
    std::string reply;
    ASSERT_EQ(io.InstrQuery("SYST:COMM:LAN:HOST?", &reply, 1024, kCurrentTimeout), S_OK);
    EXPECT_EQ(reply, "\"bench-7\"");
    io.PushCommand("SYST:COMM:LAN:HOST?");
    BSTR wide = nullptr;
    ASSERT_EQ(io.InstrQueryCommand(&wide, kCurrentTimeout), S_OK);
    EXPECT_EQ(WideToUtf8(wide), "\"bench-7\"");
    SysFreeString(wide);
    io.PopCommand();
}

INSTANTIATE_TEST_SUITE_P(Lan, PipelineBytes, ::testing::ValuesIn(kAllLinks), LinkName);

}  // namespace
}  // namespace ztv::test
