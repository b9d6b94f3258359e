// Every kind of function wrapper, and attributes below the root, in a
// simulated session: arrays, texts, in-out reals, selectors, name getters,
// counts and the status register.
#include <algorithm>
#include <vector>

#include "tests/support/ivic_support.h"

namespace ztv::test {
namespace {

class IviCWrappers : public SimulatedSession {};

// Simulated array getters return five zeros.
TEST_F(IviCWrappers, ArrayResultsFillWhatFitsAndReportTheFullSize) {
    struct Case {
        ViInt32 bufferSize;
        bool data, actual;
        ViStatus status;
        int copied;
    } cases[] = {
        {0, true, true, 0, 0},
        {-3, true, true, 0, 0},
        {3, true, true, 0, 3},
        {8, true, true, 0, 5},
        {8, false, true, kGenericFailure, 0},
        {8, true, false, kGenericFailure, 5},
    };
    for (const Case& c : cases) {
        std::vector<ViReal64> buffer(8, 9.0);
        ViInt32 actual = -1;
        EXPECT_EQ(Ztv_Get_FormattedData(vi, "Measurement1", c.bufferSize, c.data ? buffer.data() : nullptr,
                                        c.actual ? &actual : nullptr),
                  c.status)
            << c.bufferSize;
        EXPECT_EQ(std::count(buffer.begin(), buffer.end(), 0.0), c.copied) << c.bufferSize;
        if (c.actual) {
            EXPECT_EQ(actual, 5) << c.bufferSize;
        }
    }
    ViByte bytes[4] = {1, 2, 3, 4};
    ViInt32 actual = -1;
    EXPECT_EQ(Ztv_SystemGetScreenBitmap(vi, 4, bytes, &actual), 0);
    EXPECT_GE(actual, 0);
}

TEST_F(IviCWrappers, ArrayInputsAndPlainCallsSucceedInSimulation) {
    ViReal64 data[3] = {1, 2, 3};
    EXPECT_EQ(Ztv_Set_FormattedData(vi, "Measurement1", 3, data), 0);
    EXPECT_EQ(Ztv_ApplicationFrequencyPowerMeasurementsSet_RawData(vi, 0, nullptr), 0);
    ViByte state[2] = {0x12, 0x34};
    EXPECT_EQ(Ztv_SystemPutState(vi, 2, state), 0);
    EXPECT_EQ(Ztv_ApplicationPhaseNoiseMeasurementsInitiate(vi), 0);
    EXPECT_EQ(Ztv_ApplicationSpectrumMonitorFrequencyConfigureStartStop(vi, 1e6, 2e6), 0);
    EXPECT_EQ(Ztv_DisplaySetMessage(vi, "hello", VI_TRUE), 0);
}

TEST_F(IviCWrappers, InOutRealsAreAllStoredEvenWhenOneIsMissing) {
    ViReal64 noise = 1, range = 1, rad = 1, deg = 1, jitter = 1, fm = 1;
    EXPECT_EQ(Ztv_ApplicationPhaseNoiseMeasurementFunctionIntegralData(vi, "Measurement1", &noise, &range, &rad, &deg,
                                                                       &jitter, &fm),
              0);
    EXPECT_DOUBLE_EQ(noise, -34.0824085933);
    EXPECT_DOUBLE_EQ(jitter, 4.44851131759e-11);
    noise = range = fm = 0;
    EXPECT_EQ(Ztv_ApplicationPhaseNoiseMeasurementFunctionIntegralData(vi, "Measurement1", &noise, &range, &rad, &deg,
                                                                       nullptr, &fm),
              kGenericFailure);
    EXPECT_DOUBLE_EQ(noise, -34.0824085933);
    EXPECT_DOUBLE_EQ(range, 9999000.0);
    EXPECT_DOUBLE_EQ(fm, 28646.0733229);
}

// The selector names a measurement, then a marker; missing levels and
// unknown names fail before the member runs.
TEST_F(IviCWrappers, SelectorsReachMeasurementsAndMarkers) {
    struct Case {
        const char* selector;
        ViStatus status;
    } cases[] = {
        {"Measurement1:Marker2", 0},
        {"::Measurement1::Marker2::", 0},
        {" measurement1 :marker10", 0},
        {"Measurement1", kBadlyFormed},
        {"", kBadlyFormed},
        {nullptr, kBadlyFormed},
        {"Measurement1:Marker11", kUnknownPhysicalName},
        {"Measurement2:Marker1", kUnknownPhysicalName},  // phase noise has one measurement
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Ztv_ApplicationPhaseNoiseMeasurementMarkerSearch(vi, c.selector, ZTV_VAL_MARKER_SEARCH_TYPE_MAXIMUM),
                  c.status)
            << (c.selector ? c.selector : "null");
        if (c.status == kBadlyFormed) {
            const auto [code, text] = LastError(vi);
            EXPECT_EQ(code, kBadlyFormed);
            // The IVI text, then the form expected and the selector given.
            EXPECT_EQ(
                text.rfind("The repeated capability selector is badly-formed. Expected a measurement and a marker "
                           "name joined by \":\", as \"Measurement1:Marker1\"; given \"",
                           0),
                0u)
                << text;
            EXPECT_NE(text.find(std::string("given \"") + (c.selector ? c.selector : "") + "\"."), std::string::npos)
                << text;
        }
    }
    // An unknown name is told apart from the names that exist at its level.
    const struct {
        const char* selector;
        const char* ending;
    } unknown[] = {
        {"Measurement2:Marker1",
         "Unknown physical repeated capability selector. \"Measurement2\" is not one of: Measurement1."},
        {"Measurement1:Marker11",
         "Unknown physical repeated capability selector. \"Marker11\" is not one of: Marker1, Marker2, Marker3, "
         "Marker4, Marker5, Marker6, Marker7, Marker8, Marker9, Marker10."},
    };
    for (const auto& c : unknown) {
        Ztv_ApplicationPhaseNoiseMeasurementMarkerSearch(vi, c.selector, ZTV_VAL_MARKER_SEARCH_TYPE_MAXIMUM);
        const auto [code, text] = LastError(vi);
        EXPECT_EQ(code, kUnknownPhysicalName);
        EXPECT_TRUE(text.ends_with(c.ending)) << text;
    }
    EXPECT_EQ(Ztv_ApplicationFrequencyPowerMeasurementMathMemorize(vi, "Measurement4"), 0);
    EXPECT_EQ(Ztv_ApplicationFrequencyPowerMeasurementMathMemorize(vi, "Measurement5"), kUnknownPhysicalName);
    EXPECT_EQ(Ztv_ApplicationFrequencyPowerMeasurementMathMemorize(vi, ":"), kBadlyFormed);
}

TEST_F(IviCWrappers, AttributesBelowTheRootUseTheirSelectorLevels) {
    const ViAttr markerX = ZTV_ATTR_APPLICATION_FREQUENCYPOWER_MEASUREMENT_MARKER_X_VALUE;
    EXPECT_EQ(Ztv_SetAttributeViReal64(vi, "Measurement2:Marker3", markerX, 1.5e6), 0);
    ViReal64 x = 0;
    EXPECT_EQ(Ztv_GetAttributeViReal64(vi, "::measurement2::marker3::", markerX, &x), 0);
    EXPECT_EQ(x, 1.5e6);
    EXPECT_EQ(Ztv_GetAttributeViReal64(vi, "Measurement1:Marker3", markerX, &x), 0);
    EXPECT_EQ(x, 0.0);  // another marker keeps its own value
    EXPECT_EQ(Ztv_GetAttributeViReal64(vi, "Measurement2", markerX, &x), kBadlyFormed);

    // A measurement attribute ignores a marker level.
    const ViAttr smoothing = ZTV_ATTR_APPLICATION_FREQUENCYPOWER_MEASUREMENT_SMOOTHING_ENABLED;
    EXPECT_EQ(Ztv_SetAttributeViBoolean(vi, "Measurement2", smoothing, VI_TRUE), 0);
    ViBoolean on = VI_FALSE;
    EXPECT_EQ(Ztv_GetAttributeViBoolean(vi, "Measurement2:Marker3", smoothing, &on), 0);
    EXPECT_EQ(on, VI_TRUE);
    EXPECT_EQ(Ztv_GetAttributeViBoolean(vi, "Measurement3", smoothing, &on), 0);
    EXPECT_EQ(on, VI_FALSE);
    EXPECT_EQ(Ztv_GetAttributeViBoolean(vi, "Measurement9", smoothing, &on), kUnknownPhysicalName);

    // Root attributes ignore the selector.
    EXPECT_EQ(Ztv_SetAttributeViInt32(vi, "Measurement9:Marker99", ZTV_ATTR_TRIGGER_MODE, 1), 0);
    ViInt32 mode = -1;
    EXPECT_EQ(Ztv_GetAttributeViInt32(vi, nullptr, ZTV_ATTR_TRIGGER_MODE, &mode), 0);
    EXPECT_EQ(mode, 1);
    EXPECT_EQ(Ztv_SetAttributeViString(vi, "", ZTV_ATTR_APPLICATION_TRANSIENT_DISPLAY_LABEL, "trace A"), 0);
    char label[4];
    EXPECT_EQ(Ztv_GetAttributeViString(vi, "", ZTV_ATTR_APPLICATION_TRANSIENT_DISPLAY_LABEL, sizeof label, label), 8);
    EXPECT_STREQ(label, "tra");
}

TEST_F(IviCWrappers, CollectionsAnswerNamesAndCountsOnTheDriverObject) {
    char name[16] = "";
    EXPECT_EQ(Ztv_GetFPMeasurementName(vi, 2, sizeof name, name), 0);
    EXPECT_STREQ(name, "Measurement2");
    EXPECT_EQ(Ztv_GetFPMeasurementName(vi, 2, 4, name), 13);
    EXPECT_STREQ(name, "Mea");
    EXPECT_EQ(Ztv_GetUserMeasurementName(vi, 0, sizeof name, name), kInvalidValue);
    ViInt32 count = 0;
    EXPECT_EQ(Ztv_GetAttributeViInt32(vi, "", ZTV_ATTR_APPLICATION_USER_MEAUREMENTS_COUNT, &count), 0);
    EXPECT_EQ(count, 8);
    EXPECT_EQ(Ztv_GetAttributeViInt32(vi, "", ZTV_ATTR_APPLICATION_TRANSIENT_MEASUREMENTS_COUNT, &count), 0);
    EXPECT_EQ(count, 4);
    // Marker collections belong to measurements, not to the driver object.
    EXPECT_EQ(Ztv_GetPNMarkerName(vi, 1, sizeof name, name), kGenericFailure);
}

// A marker collection is a measurement's: its count is read through the
// measurement the selector names.
TEST_F(IviCWrappers, MarkerCountsAreReadThroughTheirMeasurement) {
    constexpr ViAttr kMarkerCounts[] = {
        ZTV_ATTR_APPLICATION_AMNOISE_MEASUREMENT_MARKERS_COUNT,
        ZTV_ATTR_APPLICATION_BASEBAND_MEASUREMENT_MARKERS_COUNT,
        ZTV_ATTR_APPLICATION_FREQUENCYPOWER_MEASUREMENT_MARKERS_COUNT,
        ZTV_ATTR_APPLICATION_PHASENOISE_MEASUREMENT_MARKERS_COUNT,
        ZTV_ATTR_APPLICATION_SPECTRUMMONITOR_MEASUREMENT_MARKERS_COUNT,
        ZTV_ATTR_APPLICATION_TRANSIENT_MEASUREMENT_MARKERS_COUNT,
        ZTV_ATTR_APPLICATION_USER_MEAUREMENT_MARKERS_COUNT,
    };
    for (ViAttr attribute : kMarkerCounts) {
        SCOPED_TRACE(attribute);
        ViInt32 count = -1;
        EXPECT_EQ(Ztv_GetAttributeViInt32(vi, "Measurement1", attribute, &count), 0);
        EXPECT_EQ(count, 10);
        EXPECT_NE(Ztv_GetAttributeViInt32(vi, "", attribute, &count), 0);
    }
}

TEST_F(IviCWrappers, StatusRegisterAndDirectIo) {
    ViInt32 value = -1;
    EXPECT_EQ(Ztv_StatusSetRegister(vi, ZTV_VAL_ZENTRAVA_STATUS_REGISTER_OPERATION,
                                    ZTV_VAL_ZENTRAVA_STATUS_SUB_REGISTER_ENABLE, 5),
              0);
    EXPECT_EQ(Ztv_StatusGetRegister(vi, ZTV_VAL_ZENTRAVA_STATUS_REGISTER_OPERATION,
                                    ZTV_VAL_ZENTRAVA_STATUS_SUB_REGISTER_ENABLE, &value),
              0);
    EXPECT_EQ(value, 0);  // simulated registers always read 0
    EXPECT_EQ(Ztv_StatusGetRegister(vi, 0, ZTV_VAL_ZENTRAVA_STATUS_SUB_REGISTER_EVENT, nullptr), kGenericFailure);
    EXPECT_EQ(Ztv_StatusSetRegister(vi, 0, ZTV_VAL_ZENTRAVA_STATUS_SUB_REGISTER_EVENT, 1), kInvalidValue);
    // No I/O while simulating.
    const ViStatus written = Ztv_SystemWrite(vi, "*CLS");
    EXPECT_LT(written, 0);
    const auto [code, text] = LastError(vi);
    EXPECT_EQ(code, written);
    EXPECT_FALSE(text.empty());
    char reply[8];
    ViInt32 count = -1;
    EXPECT_LT(Ztv_SystemRead(vi, sizeof reply, reply, &count), 0);
    EXPECT_EQ(count, 0);
}

}  // namespace
}  // namespace ztv::test
