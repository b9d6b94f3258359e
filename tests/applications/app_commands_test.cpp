// Commands of the measurement applications that a plain substitution of the
// mnemonic and trace number would get wrong, the trace and marker numbers of
// repeated capabilities, segment tables and analysis results.
#include <functional>
#include <string>
#include <vector>

#include "emulator/instrument/traces.h"
#include "tests/applications/app_session.h"

namespace ztv::test {
namespace {

// The C functions that read or write an array of a measurement, or clear a part of it.
using ArrayRead = ViStatus (*)(ViSession, ViConstString, ViInt32, ViReal64[], ViInt32*);
using ArrayWrite = ViStatus (*)(ViSession, ViConstString, ViInt32, ViReal64[]);
using Clearing = ViStatus (*)(ViSession, ViConstString);

class AppCommands : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_NO_FATAL_FAILURE(session.Open()); }

    // A call that reads the array of `selector` into `buffer`.
    std::function<ViStatus(ViSession)> Read(ArrayRead read, const char* selector) {
        return [this, read, selector](ViSession vi) {
            return read(vi, selector, static_cast<ViInt32>(buffer.size()), buffer.data(), &actual);
        };
    }
    // A call that writes the first `count` of `values` to `selector`.
    static std::function<ViStatus(ViSession)> Write(ArrayWrite write, const char* selector, ViInt32 count,
                                                    ViReal64* values) {
        return [write, selector, count, values](ViSession vi) { return write(vi, selector, count, values); };
    }
    static std::function<ViStatus(ViSession)> Clear(Clearing clear, const char* selector) {
        return [clear, selector](ViSession vi) { return clear(vi, selector); };
    }

    AppSession session;
    std::vector<ViReal64> buffer = std::vector<ViReal64>(4);
    ViInt32 actual = 0;
};

TEST_F(AppCommands, IrregularCommandTexts) {
    ViReal64 two[] = {1, 2};
    ExpectSent(session,
               {
                   {"AM upper line without a format command",
                    Write(Ztv_ApplicationAMNoiseMeasurementLimitSet_UpperData, "Measurement1", 2, two),
                    0,
                    {"CALC:AM1:TRAC1:LIM:UPP:LDAT 1,2"}},
                   {"BB lower line in long form",
                    Read(Ztv_ApplicationBaseBandMeasurementLimitGet_LowerData, "Measurement1"),
                    0,
                    {"FORM:DATA ASC", "CALCulate:BB1:TRAC1:LIM:LOW:LDAT?"}},
                   {"SP upper line with LIMit",
                    Read(Ztv_ApplicationSpectrumMonitorMeasurementLimitGet_UpperData, "Measurement1"),
                    0,
                    {"FORM:DATA ASC", "CALC:SP1:TRAC1:LIMit:UPP:LDAT?"}},
                   {"FP store with STORe",
                    [&](ViSession vi) {
                        return Ztv_ApplicationFrequencyPowerMeasurementDataStoreData(vi, "Measurement3", "run.dat");
                    },
                    0,
                    {"MMEM:FP1:TRAC3:STORe:DATA \"run.dat\""}},
                   {"FP raw data with RDATa",
                    [&](ViSession vi) {
                        return Ztv_ApplicationFrequencyPowerMeasurementsGet_RawData(vi, 4, buffer.data(), &actual);
                    },
                    0,
                    {"FORM:DATA ASC", "CALC:FP1:DATA:RDATa?"}},
                   {"TR first trace is the wide path",
                    Read(Ztv_ApplicationTransientMeasurementGet_XData, "Measurement1"),
                    0,
                    {"FORM:DATA ASC", "CALC:TR1:WIDE:DATA:XDAT?"}},
                   {"TR other traces are the narrow path",
                    Read(Ztv_ApplicationTransientMeasurementGet_XData, "Measurement3"),
                    0,
                    {"FORM:DATA ASC", "CALC:TR1:NARR:DATA:XDAT?"}},
                   {"User X data per trace",
                    Read(Ztv_ApplicationUserMeaurementGet_Xdata, "Measurement5"),
                    0,
                    {"FORM:DATA ASC", "CALC:USER1:TRAC5:DATA:XDAT?"}},
                   {"User persistence clears all traces",
                    Clear(Ztv_ApplicationUserMeaurementPersistenceClear, "Measurement3"),
                    0,
                    {"DISP:USER1:ALLT:PERS:CLE"}},
                   {"PN upper clear ends in a blank",
                    Clear(Ztv_ApplicationPhaseNoiseMeasurementLimitClearUpper, "Measurement1"),
                    0,
                    {"CALC:PN1:TRAC1:LIM:UPP:SEGM:CLE "}},
                   {"PN lower clear does not",
                    Clear(Ztv_ApplicationPhaseNoiseMeasurementLimitClearLower, "Measurement1"),
                    0,
                    {"CALC:PN1:TRAC1:LIM:LOW:SEGM:CLE"}},
                   {"FP lower clear ends in a blank",
                    Clear(Ztv_ApplicationFrequencyPowerMeasurementLimitClearLower, "Measurement2"),
                    0,
                    {"CALC:FP1:TRAC2:LIM:LOW:SEGM:CLE "}},
               });
}

TEST_F(AppCommands, MeasurementsAndMarkersCarryTheirNumbers) {
    struct Marker {
        const char* selector;
        ViAttr xValue;
        const char* query;
    } markers[] = {
        {"Measurement1:Marker7", ZTV_ATTR_APPLICATION_PHASENOISE_MEASUREMENT_MARKER_X_VALUE, "CALC:PN1:TRAC1:MARK7:X?"},
        {"Measurement1:Marker2", ZTV_ATTR_APPLICATION_AMNOISE_MEASUREMENT_MARKER_X_VALUE, "CALC:AM1:TRAC1:MARK2:X?"},
        {"Measurement4:Marker10", ZTV_ATTR_APPLICATION_FREQUENCYPOWER_MEASUREMENT_MARKER_X_VALUE,
         "CALC:FP1:TRAC4:MARK10:X?"},
        {"Measurement3:Marker1", ZTV_ATTR_APPLICATION_TRANSIENT_MEASUREMENT_MARKER_X_VALUE, "CALC:TR1:TRAC3:MARK1:X?"},
        {"Measurement8:Marker4", ZTV_ATTR_APPLICATION_USER_MEAUREMENT_MARKER_X_VALUE, "CALC:USER1:TRAC8:MARK4:X?"},
    };
    for (const Marker& m : markers) {
        SCOPED_TRACE(m.selector);
        ViReal64 x = -1;
        EXPECT_EQ(Ztv_GetAttributeViReal64(session.vi(), m.selector, m.xValue, &x), 0);
        EXPECT_EQ(session.Sent(), Messages{m.query});
        EXPECT_EQ(x, 0) << "an unset marker stands at 0";
    }
    ExpectSent(session, {
                            {"TR marker search",
                             [](ViSession vi) {
                                 return Ztv_ApplicationTransientMeasurementMarkerSearch(
                                     vi, "Measurement2:Marker5", ZTV_VAL_MARKER_SEARCH_TYPE_MINIMUM);
                             },
                             0,
                             {"CALC:TR1:TRAC2:MARK5:SEAR:EXEC:MIN"}},
                            {"User marker search",
                             [](ViSession vi) {
                                 return Ztv_ApplicationUserMeaurementMarkerSearch(vi, "Measurement6:Marker9",
                                                                                  ZTV_VAL_MARKER_SEARCH_TYPE_PEAK);
                             },
                             0,
                             {"CALC:USER1:TRAC6:MARK9:SEAR:EXEC:PEAK"}},
                            {"FP trace data",
                             Read(Ztv_ApplicationFrequencyPowerMeasurementDataGet_FormattedData, "Measurement3"),
                             0,
                             {"FORM:DATA ASC", "CALC:FP1:TRAC3:DATA:FDAT?"}},
                            {"TR trace data",
                             Read(Ztv_Get_FormattedData3, "Measurement4"),
                             0,
                             {"FORM:DATA ASC", "CALC:TR1:TRAC4:DATA:FDAT?"}},
                            {"User trace data",
                             Read(Ztv_ApplicationUserMeaurementDataGet_FormattedData, "Measurement2"),
                             0,
                             {"FORM:DATA ASC", "CALC:USER1:TRAC2:DATA:FDAT?"}},
                        });
}

TEST_F(AppCommands, SegmentTablesHoldWholeGroupsOfFour) {
    ViReal64 values[] = {1, 2, 3, 4, 5, 6, 7, 8};
    ExpectSent(
        session,
        {
            {"FP two upper segments",
             Write(Ztv_ApplicationFrequencyPowerMeasurementLimitUpperSegment, "Measurement2", 8, values),
             0,
             {"FORM:DATA ASC", "CALC:FP1:TRAC2:LIM:UPP:SEGM:COUN 2",
              "CALC:FP1:TRAC2:LIM:UPP:SEGM:DATA 1,2,3,4,5,6,7,8"}},
            {"FP six values",
             Write(Ztv_ApplicationFrequencyPowerMeasurementLimitUpperSegment, "Measurement2", 6, values),
             kUnexpectedResponse,
             {"FORM:DATA ASC"}},
            {"TR one lower segment",
             Write(Ztv_ApplicationTransientMeasurementLimitLowerSegment, "Measurement4", 4, values),
             0,
             {"FORM:DATA ASC", "CALC:TR1:TRAC4:LIM:LOW:SEGM:COUN 1", "CALC:TR1:TRAC4:LIM:LOW:SEGM:DATA 1,2,3,4"}},
            {"User five values",
             Write(Ztv_ApplicationUserMeaurementLimitLowerSegment, "Measurement7", 5, values),
             kUnexpectedResponse,
             {"FORM:DATA ASC"}},
            {"PN spurious table",
             Write(Ztv_ApplicationPhaseNoiseMeasurementSpuriousTableData, "Measurement1", 8, values),
             0,
             {"FORM:DATA ASC", "CALC:PN1:TRAC1:SPUR:THR:TABL:COUN 2",
              "CALC:PN1:TRAC1:SPUR:THR:TABL:DATA 1,2,3,4,5,6,7,8"}},
        });
}

// The six integral results as the emulator computes them for the PN trace.
std::vector<double> EmulatorIntegral(AppSession& session) {
    std::vector<double> values;
    std::string reply = *session.emu().instrument().Execute("CALC:PN1:TRAC1:FUNC:INT:DATA?");
    for (std::size_t at = 0; at < reply.size();) {
        std::size_t comma = reply.find(',', at);
        values.push_back(std::stod(reply.substr(at, comma - at)));
        at = comma == std::string::npos ? reply.size() : comma + 1;
    }
    return values;
}

TEST_F(AppCommands, IntegralResultsFillTheOutputsInReplyOrder) {
    const std::vector<double> expected = EmulatorIntegral(session);
    ASSERT_EQ(expected.size(), 6u);
    std::vector<ViReal64> out(6, -1.0);
    EXPECT_EQ(Ztv_ApplicationPhaseNoiseMeasurementFunctionIntegralData(session.vi(), "Measurement1", &out[0], &out[1],
                                                                       &out[2], &out[3], &out[4], &out[5]),
              0);
    EXPECT_EQ(session.Sent(), Messages{"CALC:PN1:TRAC1:FUNC:INT:DATA?"});
    for (std::size_t i = 0; i < 6; ++i) EXPECT_NEAR(out[i], expected[i], std::abs(expected[i]) * 1e-8) << i;
}

TEST_F(AppCommands, AShortResultReplyFailsAndKeepsTheMissingOutputs) {
    const std::string reply = *session.emu().instrument().Execute("CALC:PN1:TRAC1:FUNC:INT:DATA?");
    std::size_t cut = 0;
    for (int commas = 0; commas < 3; ++commas) cut = reply.find(',', cut) + 1;
    session.emu().faults().TruncateNextReply(cut - 1);  // three elements, then the line feed
    std::vector<ViReal64> out(6, -1.0);
    EXPECT_LT(Ztv_ApplicationPhaseNoiseMeasurementFunctionIntegralData(session.vi(), "Measurement1", &out[0], &out[1],
                                                                       &out[2], &out[3], &out[4], &out[5]),
              0);
    const std::vector<double> expected = EmulatorIntegral(session);
    for (std::size_t i = 0; i < 3; ++i) EXPECT_NEAR(out[i], expected[i], std::abs(expected[i]) * 1e-8) << i;
    for (std::size_t i = 3; i < 6; ++i) EXPECT_EQ(out[i], -1.0) << i;
}

TEST_F(AppCommands, EmulatedLimitTestAndIntegrationRangeFollowTheSettings) {
    ViReal64 loose[] = {1, 0, 40e6, 0};
    ViReal64 tight[] = {1, -150, 40e6, -150};
    ViBoolean fail = VI_TRUE;
    ASSERT_EQ(Ztv_ApplicationPhaseNoiseMeasurementLimitUpperSegment(session.vi(), "Measurement1", 4, loose), 0);
    EXPECT_EQ(Ztv_GetAttributeViBoolean(session.vi(), "Measurement1",
                                        ZTV_ATTR_APPLICATION_PHASENOISE_MEASUREMENT_LIMIT_FAIL, &fail),
              0);
    EXPECT_EQ(fail, VI_FALSE);
    ASSERT_EQ(Ztv_ApplicationPhaseNoiseMeasurementLimitUpperSegment(session.vi(), "Measurement1", 4, tight), 0);
    EXPECT_EQ(Ztv_GetAttributeViBoolean(session.vi(), "Measurement1",
                                        ZTV_ATTR_APPLICATION_PHASENOISE_MEASUREMENT_LIMIT_FAIL, &fail),
              0);
    EXPECT_EQ(fail, VI_TRUE);

    ASSERT_EQ(Ztv_SetAttributeViReal64(session.vi(), "Measurement1",
                                       ZTV_ATTR_APPLICATION_PHASENOISE_MEASUREMENT_BANDMARKERX_START, 12e3),
              0);
    ASSERT_EQ(Ztv_SetAttributeViReal64(session.vi(), "Measurement1",
                                       ZTV_ATTR_APPLICATION_PHASENOISE_MEASUREMENT_BANDMARKERX_STOP, 20e6),
              0);
    std::vector<ViReal64> out(6, 0.0);
    ASSERT_EQ(Ztv_ApplicationPhaseNoiseMeasurementFunctionIntegralData(session.vi(), "Measurement1", &out[0], &out[1],
                                                                       &out[2], &out[3], &out[4], &out[5]),
              0);
    EXPECT_EQ(out[1], 20e6 - 12e3) << "the range is the band marker's";
}

}  // namespace
}  // namespace ztv::test
