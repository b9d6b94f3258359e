// Settings that depend on the instrument: the options it reports and its
// model. Each row runs against an emulator of that model and option text.
#include <string>
#include <vector>

#include "tests/applications/app_session.h"

namespace ztv::test {
namespace {

struct InstrumentCase {
    const char* model;
    const char* options;
    Case call;
};

void RunOnEach(const std::vector<InstrumentCase>& cases) {
    for (const InstrumentCase& c : cases) {
        SCOPED_TRACE(std::string(c.model) + " \"" + c.options + "\"");
        AppSession session;
        ASSERT_NO_FATAL_FAILURE(session.Open(c.model, c.options));
        ExpectSent(session, {c.call});
    }
}

ViStatus BasebandDisplay(ViSession vi, ViBoolean on) {
    return Ztv_SetAttributeViBoolean(vi, "", ZTV_ATTR_APPLICATION_BASEBAND_DISPLAY_STATE, on);
}

ViStatus FpTrigger(ViSession vi, ViInt32 mode) {
    return Ztv_SetAttributeViInt32(vi, "", ZTV_ATTR_APPLICATION_FREQUENCYPOWER_TRIGGER_MODE, mode);
}

TEST(AppOptions, BasebandDisplayNeedsTheBasebandOption) {
    RunOnEach({
        {"Q7310B",
         "QVX-BBM",
         {"on with the option",
          [](ViSession vi) { return BasebandDisplay(vi, VI_TRUE); },
          0,
          {"*OPT?", "DISP:BB1:STAT 1"}}},
        {"Q7310B",
         "QVX-011",
         {"on without it", [](ViSession vi) { return BasebandDisplay(vi, VI_TRUE); }, kUnexpectedResponse, {"*OPT?"}}},
        {"Q7310B",
         "QVX-011",
         {"off without it",
          [](ViSession vi) { return BasebandDisplay(vi, VI_FALSE); },
          0,
          {"*OPT?", "DISP:BB1:STAT 0"}}},
        {"Q7310A",
         "0",
         {"the A model always has it",
          [](ViSession vi) { return BasebandDisplay(vi, VI_TRUE); },
          0,
          {"*OPT?", "DISP:BB1:STAT 1"}}},
    });
}

TEST(AppOptions, FrequencyPowerAnalyzerModeNeedsTheAnalyzer) {
    RunOnEach({
        {"Q7310B",
         "QVX-BBM",
         {"analyzer",
          [](ViSession vi) { return FpTrigger(vi, ZTV_VAL_APP_TRIGGER_MODE_ANALYSER); },
          0,
          {"*OPT?", "TRIG:FP1:MODE ANAL"}}},
        {"Q7310B",
         "QVX-011",
         {"analyzer on an 011",
          [](ViSession vi) { return FpTrigger(vi, ZTV_VAL_APP_TRIGGER_MODE_ANALYSER); },
          kUnexpectedResponse,
          {"*OPT?"}}},
        {"Q7310B",
         "QVX-011",
         {"tester on an 011",
          [](ViSession vi) { return FpTrigger(vi, ZTV_VAL_APP_TRIGGER_MODE_TESTER); },
          0,
          {"*OPT?", "TRIG:FP1:MODE TEST"}}},
        {"Q7310A",
         "QVX-BBM",
         {"analyzer on the A model",
          [](ViSession vi) { return FpTrigger(vi, ZTV_VAL_APP_TRIGGER_MODE_ANALYSER); },
          kUnexpectedResponse,
          {"*OPT?"}}},
    });
}

// Every AM member is refused on the A model before anything is sent; the
// same calls work on the B model, as the PN ones do on both.
TEST(AppOptions, AmNoiseIsAQ7310BApplication) {
    ViReal64 two[] = {1, 2};
    const std::vector<Case> am = {
        {"AM setting",
         [](ViSession vi) {
             return Ztv_SetAttributeViReal64(vi, "", ZTV_ATTR_APPLICATION_AMNOISE_FREQUENCY_START_OFFSET, 10);
         },
         0,
         {"SENS:AM1:FREQ:STAR 10"}},
        {"AM marker",
         [](ViSession vi) {
             ViReal64 x = 0;
             return Ztv_GetAttributeViReal64(vi, "Measurement1:Marker2",
                                             ZTV_ATTR_APPLICATION_AMNOISE_MEASUREMENT_MARKER_X_VALUE, &x);
         },
         0,
         {"CALC:AM1:TRAC1:MARK2:X?"}},
        {"AM measurement function",
         [&](ViSession vi) { return Ztv_ApplicationAMNoiseMeasurementLimitSet_UpperData(vi, "Measurement1", 2, two); },
         0,
         {"CALC:AM1:TRAC1:LIM:UPP:LDAT 1,2"}},
        {"AM collection function",
         [](ViSession vi) { return Ztv_ApplicationAMNoiseMeasurementsInitiate(vi); },
         0,
         {"INIT:AM1:IMM"}},
    };
    for (const char* model : {"Q7310A", "Q7310B"}) {
        SCOPED_TRACE(model);
        AppSession session;
        ASSERT_NO_FATAL_FAILURE(session.Open(model));
        std::vector<Case> cases = am;
        if (std::string(model) == "Q7310A") {
            for (Case& c : cases) {
                c.status = kModelNotSupported;
                c.sent.clear();
            }
        }
        cases.push_back({"PN marker",
                         [](ViSession vi) {
                             ViReal64 x = 0;
                             return Ztv_GetAttributeViReal64(vi, "Measurement1:Marker2",
                                                             ZTV_ATTR_APPLICATION_PHASENOISE_MEASUREMENT_MARKER_X_VALUE,
                                                             &x);
                         },
                         0,
                         {"CALC:PN1:TRAC1:MARK2:X?"}});
        ExpectSent(session, cases);
    }
}

}  // namespace
}  // namespace ztv::test
