// Settings that depend on the instrument: the options it reports and its
// model. Each row runs against an emulator of that model and option text.
#include <functional>
#include <string>
#include <vector>

#include "tests/applications/app_session.h"

namespace ztv::test {
namespace {

std::function<ViStatus(ViSession)> BasebandDisplay(ViBoolean on) {
    return [on](ViSession vi) {
        return Ztv_SetAttributeViBoolean(vi, "", ZTV_ATTR_APPLICATION_BASEBAND_DISPLAY_STATE, on);
    };
}

std::function<ViStatus(ViSession)> FpTrigger(ViInt32 mode) {
    return [mode](ViSession vi) {
        return Ztv_SetAttributeViInt32(vi, "", ZTV_ATTR_APPLICATION_FREQUENCYPOWER_TRIGGER_MODE, mode);
    };
}

// A setting that needs an option asks for the options first and sends
// nothing more when the instrument lacks it.
TEST(AppOptions, SettingsThatNeedAnOptionAreRefusedWithoutIt) {
    struct InstrumentCase {
        const char* model;
        const char* options;
        Case call;
    };
    const InstrumentCase cases[] = {
        {"Q7310B",
         "QVX-BBM",
         {"baseband on with the option", BasebandDisplay(VI_TRUE), 0, {"*OPT?", "DISP:BB1:STAT 1"}}},
        {"Q7310B", "QVX-011", {"baseband on without it", BasebandDisplay(VI_TRUE), kUnexpectedResponse, {"*OPT?"}}},
        {"Q7310B", "QVX-011", {"baseband off without it", BasebandDisplay(VI_FALSE), 0, {"*OPT?", "DISP:BB1:STAT 0"}}},
        {"Q7310A", "0", {"the A model always has baseband", BasebandDisplay(VI_TRUE), 0, {"*OPT?", "DISP:BB1:STAT 1"}}},
        {"Q7310B",
         "QVX-BBM",
         {"FP analyzer", FpTrigger(ZTV_VAL_APP_TRIGGER_MODE_ANALYSER), 0, {"*OPT?", "TRIG:FP1:MODE ANAL"}}},
        {"Q7310B",
         "QVX-011",
         {"FP analyzer on an 011", FpTrigger(ZTV_VAL_APP_TRIGGER_MODE_ANALYSER), kUnexpectedResponse, {"*OPT?"}}},
        {"Q7310B",
         "QVX-011",
         {"FP tester on an 011", FpTrigger(ZTV_VAL_APP_TRIGGER_MODE_TESTER), 0, {"*OPT?", "TRIG:FP1:MODE TEST"}}},
        {"Q7310A",
         "QVX-BBM",
         {"FP analyzer on the A model", FpTrigger(ZTV_VAL_APP_TRIGGER_MODE_ANALYSER), kUnexpectedResponse, {"*OPT?"}}},
    };
    for (const InstrumentCase& c : cases) {
        SCOPED_TRACE(std::string(c.model) + " \"" + c.options + "\"");
        AppSession session;
        ASSERT_NO_FATAL_FAILURE(session.Open(c.model, c.options));
        ExpectSent(session, {c.call});
    }
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
