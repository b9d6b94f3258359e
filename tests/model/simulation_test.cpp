// Members while simulating: last values per node, simulated values, arrays,
// model restrictions, restricted enumeration values and the order of checks.
#include <gtest/gtest.h>

#include <functional>

#include "tests/model/model_session.h"

namespace ztv::test {
namespace {

class Simulated : public ::testing::Test {
protected:
    ModelSession session;
    void SetUp() override { ASSERT_EQ(session.OpenSimulated(), S_OK) << ThreadErrorText(); }
};

TEST_F(Simulated, EachValueTypeReadsBackWhatWasWritten) {
    auto root = session.Root<IZentrava>(IID_IZentrava);
    EXPECT_EQ(root->put_Attenuation(12.5), S_OK);
    double attenuation = 0;
    EXPECT_EQ(root->get_Attenuation(&attenuation), S_OK);
    EXPECT_EQ(attenuation, 12.5);

    auto window = session.Root<IZentravaDisplayTextWindow>(IID_IZentravaDisplayTextWindow);
    EXPECT_EQ(window->put_FontSize(-7), S_OK);
    LONG size = 0;
    EXPECT_EQ(window->get_FontSize(&size), S_OK);
    EXPECT_EQ(size, -7);

    Bstr text("say \"hi\"");
    EXPECT_EQ(window->put_Text(text.get()), S_OK);
    Bstr first, second;
    EXPECT_EQ(window->get_Text(first.out()), S_OK);
    EXPECT_EQ(window->get_Text(second.out()), S_OK);
    EXPECT_EQ(first.str(), "say \"hi\"");
    EXPECT_NE(first.get(), second.get()) << "each read hands out its own copy";

    auto display = session.Root<IZentravaDisplay>(IID_IZentravaDisplay);
    EXPECT_EQ(display->put_ClockEnabled(VARIANT_TRUE), S_OK);
    VARIANT_BOOL clock = VARIANT_FALSE;
    EXPECT_EQ(display->get_ClockEnabled(&clock), S_OK);
    EXPECT_EQ(clock, VARIANT_TRUE);

    auto output = session.Root<IZentravaTriggerOutput>(IID_IZentravaTriggerOutput);
    ZentravaTriggerSlopeEnum slope = ZentravaTriggerSlopeNegative;
    EXPECT_EQ(output->get_Slope(&slope), S_OK);
    EXPECT_EQ(slope, ZentravaTriggerSlopePositive);
    EXPECT_EQ(output->put_Slope(ZentravaTriggerSlopeNegative), S_OK);
    EXPECT_EQ(output->get_Slope(&slope), S_OK);
    EXPECT_EQ(slope, ZentravaTriggerSlopeNegative);
}

TEST_F(Simulated, UnwrittenPropertiesAnswerTheirSimulatedValues) {
    auto display = session.Root<IZentravaDisplay>(IID_IZentravaDisplay);
    VARIANT_BOOL enabled = VARIANT_FALSE, maximize = VARIANT_TRUE;
    EXPECT_EQ(display->get_Enabled(&enabled), S_OK);
    EXPECT_EQ(display->get_Maximize(&maximize), S_OK);
    EXPECT_EQ(enabled, VARIANT_TRUE);
    EXPECT_EQ(maximize, VARIANT_FALSE);

    auto system = session.Root<IZentravaSystem>(IID_IZentravaSystem);
    Bstr date, time, serial;
    EXPECT_EQ(system->get_Date(date.out()), S_OK);
    EXPECT_EQ(system->get_Time(time.out()), S_OK);
    EXPECT_EQ(system->get_SerialNumber(serial.out()), S_OK);
    EXPECT_EQ(date.str(), "Mar 14, 2006");
    EXPECT_EQ(time.str(), "12:00:00");
    EXPECT_EQ(serial.str(), "0123456789");
    LONG timeout = 0;
    EXPECT_EQ(system->get_TimeoutMilliseconds(&timeout), S_OK);
    EXPECT_EQ(timeout, 2000);
    EXPECT_EQ(system->put_TimeoutMilliseconds(20), S_OK);
    EXPECT_EQ(system->get_TimeoutMilliseconds(&timeout), S_OK);
    EXPECT_EQ(timeout, 100) << "time-outs below 100 ms are raised";

    ZentravaROscilatorStatusEnum source = ZentravaROscilatorStatusEXT;
    EXPECT_EQ(session.Root<IZentravaReferenceOscillator>(IID_IZentravaReferenceOscillator)->get_Status2(&source), S_OK);
    EXPECT_EQ(source, ZentravaROscilatorStatusINT);

    LONG reg = 5;
    auto status = session.Root<IZentravaStatus>(IID_IZentravaStatus);
    EXPECT_EQ(status->put_Register(ZentravaStatusRegisterOperation, ZentravaStatusSubRegisterEnable, 77), S_OK);
    EXPECT_EQ(status->get_Register(ZentravaStatusRegisterOperation, ZentravaStatusSubRegisterEnable, &reg), S_OK);
    EXPECT_EQ(reg, 0) << "the register is a fixed simulated value";
}

TEST_F(Simulated, InvalidateAndResetForgetEveryNodesValues) {
    auto root = session.Root<IZentrava>(IID_IZentrava);
    auto measurement =
        session.Item<IZentravaFPMeasurements, IZentravaFPMeasurement>(IID_IZentravaFPMeasurements, "Measurement3");
    ASSERT_NE(measurement.get(), nullptr);
    Ref<IZentravaFPMarker> fpMarker;
    Bstr name("Marker2");
    ASSERT_EQ(As<IZentravaFPMarkers>(measurement.get(), IID_IZentravaFPMarkers)->get_Item(name.get(), fpMarker.out()),
              S_OK);

    auto check = [&](double attenuation, double x) {
        double a = -1, v = -1;
        EXPECT_EQ(root->get_Attenuation(&a), S_OK);
        EXPECT_EQ(fpMarker->get_XValue(&v), S_OK);
        EXPECT_EQ(a, attenuation);
        EXPECT_EQ(v, x);
    };
    root->put_Attenuation(3.5);
    fpMarker->put_XValue(1e6);
    check(3.5, 1e6);
    EXPECT_EQ(As<IIviDriverOperation>(session.driver(), IID_IIviDriverOperation)->InvalidateAllAttributes(), S_OK);
    check(0, 0);
    root->put_Attenuation(3.5);
    fpMarker->put_XValue(1e6);
    EXPECT_EQ(As<IIviDriverUtility>(session.driver(), IID_IIviDriverUtility)->Reset(), S_OK);
    check(0, 0);
}

TEST_F(Simulated, EachInstanceKeepsItsOwnValues) {
    auto one =
        session.Item<IZentravaFPMeasurements, IZentravaFPMeasurement>(IID_IZentravaFPMeasurements, "Measurement1");
    auto two =
        session.Item<IZentravaFPMeasurements, IZentravaFPMeasurement>(IID_IZentravaFPMeasurements, "Measurement2");
    auto limitOne = As<IZentravaFPMeasurementLimit>(one.get(), IID_IZentravaFPMeasurementLimit);
    auto limitTwo = As<IZentravaFPMeasurementLimit>(two.get(), IID_IZentravaFPMeasurementLimit);
    EXPECT_EQ(limitOne->put_Enabled(VARIANT_TRUE), S_OK);
    VARIANT_BOOL a = VARIANT_FALSE, b = VARIANT_TRUE;
    EXPECT_EQ(limitOne->get_Enabled(&a), S_OK);
    EXPECT_EQ(limitTwo->get_Enabled(&b), S_OK);
    EXPECT_EQ(a, VARIANT_TRUE);
    EXPECT_EQ(b, VARIANT_FALSE);

    Ref<IZentravaFPMeasurementLimit> viaChild;
    EXPECT_EQ(two->get_Limit(viaChild.out()), S_OK);
    EXPECT_EQ(viaChild->get_Enabled(&b), S_OK);
    EXPECT_EQ(b, VARIANT_FALSE) << "a child getter stays on its own object";
}

TEST_F(Simulated, ArrayReadersAnswerFiveZerosAndWritersSendNothing) {
    auto measurement = session.Item<IZentravaPNMeasurements, IZentravaPNMeasurement>(IID_IZentravaPNMeasurements, "");
    auto data = As<IZentravaPNMeasurementData>(measurement.get(), IID_IZentravaPNMeasurementData);
    SAFEARRAY* values = nullptr;
    ASSERT_EQ(data->GetFormatted(&values), S_OK);
    EXPECT_EQ(Doubles(values), std::vector<double>(5, 0.0));
    LONG lower = -1;
    SafeArrayGetLBound(values, 1, &lower);
    EXPECT_EQ(lower, 0);
    SafeArrayDestroy(values);
    SAFEARRAY* six = MakeDoubles({1, 2, 3, 4, 5, 6});
    EXPECT_EQ(
        As<IZentravaPNMeasurementLimit>(measurement.get(), IID_IZentravaPNMeasurementLimit)->SetLowerSegments(six),
        S_OK);
    SafeArrayDestroy(six);
}

TEST_F(Simulated, ResultListsAnswerTheirSimulatedResults) {
    auto measurement = session.Item<IZentravaPNMeasurements, IZentravaPNMeasurement>(IID_IZentravaPNMeasurements, "");
    auto function = As<IZentravaPNMeasurementFunction>(measurement.get(), IID_IZentravaPNMeasurementFunction);
    double r[6] = {1, 1, 1, 1, 1, 1};
    EXPECT_EQ(function->IntegralData(&r[0], &r[1], &r[2], &r[3], &r[4], &r[5]), S_OK);
    EXPECT_EQ(std::vector<double>(r, r + 6), (std::vector<double>{-34.0824085933, 9999000.0, 0.0279508209495,
                                                                  1.60146407433, 4.44851131759e-11, 28646.0733229}));
    double mean = 1, deviation = 1, peak = 1;
    EXPECT_EQ(function->StatisticMemory(&mean, &deviation, &peak), S_OK);
    EXPECT_EQ(mean + deviation + peak, 0.0);
    EXPECT_EQ(function->StatisticData(&mean, nullptr, &peak), E_IVI_NULL_POINTER);
    EXPECT_EQ(ThreadErrorText(), "Zentrava: Null pointer passed for method StatisticData, parameter StdDev.");
}

struct ModelCase {
    const char* name;
    std::function<HRESULT(ModelSession&)> call;
    const char* member;
};

TEST(ModelRestriction, Q7310BMembersFailOnQ7310AAndWorkOnQ7310B) {
    const ModelCase cases[] = {
        {"trigger output getter",
         [](ModelSession& s) {
             VARIANT_BOOL v;
             return s.Root<IZentravaTriggerOutput>(IID_IZentravaTriggerOutput)->get_Enabled(&v);
         },
         "get_Enabled"},
        {"display setter",
         [](ModelSession& s) {
             return s.Root<IZentravaDisplay>(IID_IZentravaDisplay)->put_ProgressEnabled(VARIANT_TRUE);
         },
         "put_ProgressEnabled"},
        {"method",
         [](ModelSession& s) {
             SAFEARRAY* state = nullptr;
             return s.Root<IZentravaSystem>(IID_IZentravaSystem)->GetState(&state);
         },
         "GetState"},
        {"AM child getter",
         [](ModelSession& s) {
             Ref<IZentravaAMMeasurements> measurements;
             return s.Root<IZentravaAM>(IID_IZentravaAM)->get_Measurements(measurements.out());
         },
         "get_Measurements"},
        {"AM collection",
         [](ModelSession& s) {
             LONG count;
             return s.Root<IZentravaAMMeasurements>(IID_IZentravaAMMeasurements)->get_Count(&count);
         },
         "get_Count"},
    };
    for (const ModelCase& c : cases) {
        SCOPED_TRACE(c.name);
        ModelSession a, b;
        ASSERT_EQ(a.OpenSimulated("Q7310A"), S_OK);
        ASSERT_EQ(b.OpenSimulated("Q7310B"), S_OK);
        EXPECT_EQ(c.call(a), E_ZENTRAVA_MODEL_NOT_SUPPORTED);
        EXPECT_EQ(ThreadErrorText(),
                  std::string("Zentrava: Instrument model does not support this feature: ") + c.member + ".");
        EXPECT_EQ(c.call(b), S_OK) << ThreadErrorText();
    }
}

TEST(ModelRestriction, ModelNamesCompareExactly) {
    ModelSession session;
    ASSERT_EQ(session.OpenSimulated("q7310b"), S_OK);
    VARIANT_BOOL v;
    EXPECT_EQ(session.Root<IZentravaTriggerOutput>(IID_IZentravaTriggerOutput)->get_Enabled(&v),
              E_ZENTRAVA_MODEL_NOT_SUPPORTED);
    double attenuation = 1;
    EXPECT_EQ(session.Root<IZentrava>(IID_IZentrava)->get_Attenuation(&attenuation), S_OK)
        << "rows for every model still apply";
}

TEST(RestrictedValues, ValuesOfTheOtherModelAreRefusedWithTheirNumber) {
    ModelSession a, b;
    ASSERT_EQ(a.OpenSimulated("Q7310A"), S_OK);
    ASSERT_EQ(b.OpenSimulated("Q7310B"), S_OK);
    EXPECT_EQ(a.Root<IZentravaTrigger>(IID_IZentravaTrigger)->put_Mode(ZentravaApplicationAM1), E_IVI_INVALID_VALUE);
    EXPECT_EQ(ThreadErrorText(), "Zentrava: Invalid value (4) for method put_Mode, parameter val.");
    EXPECT_EQ(a.Root<IZentravaTrigger>(IID_IZentravaTrigger)->put_Mode(ZentravaApplicationFP1), S_OK);
    EXPECT_EQ(b.Root<IZentravaTrigger>(IID_IZentravaTrigger)->put_Mode(ZentravaApplicationAM1), S_OK);

    LONG value = 0;
    EXPECT_EQ(a.Root<IZentravaStatus>(IID_IZentravaStatus)
                  ->get_Register(ZentravaStatusRegisterQuesLimitAM, ZentravaStatusSubRegisterEvent, &value),
              E_IVI_INVALID_VALUE);
    EXPECT_EQ(ThreadErrorText(), "Zentrava: Invalid value (8) for method get_Register, parameter Register.");
    EXPECT_EQ(
        a.Root<IZentravaStatus>(IID_IZentravaStatus)->SetConditionRegisterBit(ZentravaStatusRegisterQuesLimitAM, 3),
        E_IVI_INVALID_VALUE);
    EXPECT_EQ(ThreadErrorText(), "Zentrava: Invalid value (8) for method SetConditionRegisterBit, parameter Register.");

    auto tr = [](ModelSession& s) {
        Ref<IZentravaTRFrequencyNarrow> narrow = s.Root<IZentravaTRFrequencyNarrow>(IID_IZentravaTRFrequencyNarrow);
        return narrow->put_Range(ZentravaFrequencyRange_80MHz);
    };
    EXPECT_EQ(tr(a), E_IVI_INVALID_VALUE);
    EXPECT_EQ(tr(b), S_OK);
}

TEST(CheckOrder, InitializationComesFirstThenPointersThenModel) {
    ModelSession session;
    auto root = session.Root<IZentrava>(IID_IZentrava);
    ASSERT_NE(root.get(), nullptr) << "the object model's interfaces exist before Initialize";
    EXPECT_EQ(root->get_Attenuation(nullptr), E_IVI_NOT_INITIALIZED);
    EXPECT_EQ(ThreadErrorText(), "Zentrava: A connection to the instrument has not been established.");
    Ref<IZentravaSystem> system;
    EXPECT_EQ(root->get_System(system.out()), S_OK) << "child getters work before Initialize";

    ASSERT_EQ(session.OpenSimulated("Q7310A"), S_OK);
    EXPECT_EQ(root->get_Attenuation(nullptr), E_IVI_NULL_POINTER);
    EXPECT_EQ(ThreadErrorText(), "Zentrava: Null pointer passed for method get_Attenuation, parameter val.");
    EXPECT_EQ(session.Root<IZentravaTriggerOutput>(IID_IZentravaTriggerOutput)->get_Enabled(nullptr),
              E_IVI_NULL_POINTER)
        << "the pointer check comes before the model check";
    EXPECT_EQ(system->get_Beeper(nullptr), E_IVI_NULL_POINTER);
}

TEST(CheckOrder, ErrorObjectsNameTheMembersInterface) {
    ModelSession session;
    ASSERT_EQ(session.OpenSimulated(), S_OK);
    session.Root<IZentravaDisplay>(IID_IZentravaDisplay)->get_Enabled(nullptr);
    IErrorInfo* info = nullptr;
    ASSERT_EQ(GetErrorInfo(0, &info), S_OK);
    GUID iid = GUID_NULL;
    info->GetGUID(&iid);
    info->Release();
    EXPECT_EQ(iid, IID_IZentravaDisplay);
    auto support = As<ISupportErrorInfo>(session.driver(), IID_ISupportErrorInfo);
    EXPECT_EQ(support->InterfaceSupportsErrorInfo(IID_IZentravaDisplay), S_OK);
    EXPECT_EQ(support->InterfaceSupportsErrorInfo(IID_IZentravaPNMarker), S_FALSE) << "a marker's, not the root's";
}

}  // namespace
}  // namespace ztv::test
