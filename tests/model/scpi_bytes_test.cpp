// The exact commands each kind of member sends, against the instrument
// emulator: plain and enumeration properties, strings, fixed commands,
// formatted arguments, arrays, switches, selectors and the hand-written members.
#include <gtest/gtest.h>

#include <functional>

#include "tests/model/model_session.h"

namespace ztv::test {
namespace {

class Scpi : public ::testing::Test {
protected:
    ModelSession session;
    void SetUp() override { ASSERT_NO_FATAL_FAILURE(session.OpenEmulated()); }

    template <class I>
    Ref<I> Root(const IID& iid) {
        return session.Root<I>(iid);
    }
    Ref<IZentravaPNMeasurement> Pn() {
        return session.Item<IZentravaPNMeasurements, IZentravaPNMeasurement>(IID_IZentravaPNMeasurements, "");
    }
    Ref<IZentravaFPMarker> FpMarker(std::string_view measurement, std::string_view marker) {
        auto m =
            session.Item<IZentravaFPMeasurements, IZentravaFPMeasurement>(IID_IZentravaFPMeasurements, measurement);
        Ref<IZentravaFPMarker> item;
        Bstr name(marker);
        As<IZentravaFPMarkers>(m.get(), IID_IZentravaFPMarkers)->get_Item(name.get(), item.out());
        return item;
    }
    Ref<IZentravaPNMarker> PnMarker(std::string_view marker) {
        Ref<IZentravaPNMarker> item;
        Bstr name(marker);
        As<IZentravaPNMarkers>(Pn().get(), IID_IZentravaPNMarkers)->get_Item(name.get(), item.out());
        return item;
    }
};

struct Case {
    const char* name;
    std::function<HRESULT()> call;
    HRESULT result;
    std::vector<std::string> sent;
};

void ExpectSent(ModelSession& session, const std::vector<Case>& cases) {
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        session.Sent();
        EXPECT_EQ(c.call(), c.result) << ThreadErrorText();
        EXPECT_EQ(session.Sent(), c.sent);
    }
}

TEST_F(Scpi, PropertiesFormatTheirValues) {
    auto root = Root<IZentrava>(IID_IZentrava);
    auto output = Root<IZentravaTriggerOutput>(IID_IZentravaTriggerOutput);
    auto window = Root<IZentravaDisplayTextWindow>(IID_IZentravaDisplayTextWindow);
    auto system = Root<IZentravaSystem>(IID_IZentravaSystem);
    auto afc = Root<IZentravaDCSourceDCControlAutoFrequencyControl>(IID_IZentravaDCSourceDCControlAutoFrequencyControl);
    auto external = Root<IZentravaTriggerExternal>(IID_IZentravaTriggerExternal);
    Bstr quoted("a \"b\""), date("2024,3,14");
    ExpectSent(session,
               {
                   {"double", [&] { return root->put_Attenuation(10.5); }, S_OK, {"SENS:ATT:LEV 10.5"}},
                   {"double rounding", [&] { return root->put_Attenuation(0.1); }, S_OK, {"SENS:ATT:LEV 0.1"}},
                   {"large double", [&] { return root->put_Attenuation(2.5e9); }, S_OK, {"SENS:ATT:LEV 2500000000"}},
                   {"boolean true", [&] { return output->put_Enabled(VARIANT_TRUE); }, S_OK, {"TRIG:OUTP:STAT 1"}},
                   {"any non-zero is true", [&] { return output->put_Enabled(5); }, S_OK, {"TRIG:OUTP:STAT 1"}},
                   {"boolean false", [&] { return output->put_Enabled(VARIANT_FALSE); }, S_OK, {"TRIG:OUTP:STAT 0"}},
                   {"integer", [&] { return afc->put_NumberOfIterations(-3); }, S_OK, {"SOUR:VOLT:CONT:AFC:ITER -3"}},
                   {"quoted string as it stands",
                    [&] { return window->put_Text(quoted.get()); },
                    S_OK,
                    {"DISP:ECHO:DATA \"a \"b\"\""}},
                   {"unquoted string", [&] { return system->put_Date(date.get()); }, S_OK, {"SYST:DATE 2024,3,14"}},
                   {"enumeration token",
                    [&] { return external->put_Slope(ZentravaTriggerSlopeNegative); },
                    S_OK,
                    {"TRIG:EXT:SLOP NEG"}},
                   {"value without a token sends nothing",
                    [&] { return external->put_Slope(static_cast<ZentravaTriggerSlopeEnum>(9)); },
                    S_OK,
                    {}},
               });
}

TEST_F(Scpi, GettersQueryAndConvertReplies) {
    auto root = Root<IZentrava>(IID_IZentrava);
    auto external = Root<IZentravaTriggerExternal>(IID_IZentravaTriggerExternal);
    auto output = Root<IZentravaTriggerOutput>(IID_IZentravaTriggerOutput);
    ASSERT_EQ(root->put_Attenuation(12.25), S_OK);
    ASSERT_EQ(external->put_Slope(ZentravaTriggerSlopeNegative), S_OK);
    ASSERT_EQ(output->put_Enabled(VARIANT_TRUE), S_OK);
    double attenuation = 0;
    ZentravaTriggerSlopeEnum slope = ZentravaTriggerSlopePositive;
    VARIANT_BOOL enabled = VARIANT_FALSE;
    ExpectSent(session, {
                            {"double", [&] { return root->get_Attenuation(&attenuation); }, S_OK, {"SENS:ATT:LEV?"}},
                            {"enumeration", [&] { return external->get_Slope(&slope); }, S_OK, {"TRIG:EXT:SLOP?"}},
                            {"boolean", [&] { return output->get_Enabled(&enabled); }, S_OK, {"TRIG:OUTP:STAT?"}},
                        });
    EXPECT_EQ(attenuation, 12.25);
    EXPECT_EQ(slope, ZentravaTriggerSlopeNegative);
    EXPECT_EQ(enabled, VARIANT_TRUE);

    for (const char* reply : {"pos", "POSITIVE", "1"}) {
        SCOPED_TRACE(reply);
        session.emu().instrument().SetSetting("TRIG:EXT:SLOP", reply);
        EXPECT_EQ(external->get_Slope(&slope), E_IVI_UNEXPECTED_RESPONSE);
        EXPECT_EQ(ThreadErrorText(), "Zentrava: Unexpected response from instrument.");
        // A reply longer than the token length leaves its tail unread: start
        // the next case on a fresh session.
        session.driver()->Close();
        ASSERT_EQ(InitializeDriver(session.driver(), session.emu().SocketResource(), false, false, ""), S_OK);
    }
}

TEST_F(Scpi, RepeatedCapabilitiesFillTraceAndMarkerNumbers) {
    auto marker = FpMarker("Measurement2", "Marker3");
    ASSERT_NE(marker.get(), nullptr);
    auto fp4 =
        session.Item<IZentravaFPMeasurements, IZentravaFPMeasurement>(IID_IZentravaFPMeasurements, "Measurement4");
    auto scaleY = As<IZentravaFPMeasurementScaleY>(fp4.get(), IID_IZentravaFPMeasurementScaleY);
    auto pnMarker = PnMarker("Marker10");
    double x = 0;
    ExpectSent(session,
               {
                   {"marker getter", [&] { return marker->get_XValue(&x); }, S_OK, {"CALC:FP1:TRAC2:MARK3:X?"}},
                   {"marker setter: indices first, value last",
                    [&] { return marker->put_XValue(1.5e6); },
                    S_OK,
                    {"CALC:FP1:TRAC2:MARK3:X 1500000"}},
                   {"measurement method", [&] { return scaleY->AutoScale(); }, S_OK, {"DISP:FP1:TRAC4:Y:SCAL:AUTO"}},
                   {"single trace marker",
                    [&] { return pnMarker->put_Enabled(VARIANT_TRUE); },
                    S_OK,
                    {"CALC:PN1:TRAC1:MARK10:STAT 1"}},
               });
}

TEST_F(Scpi, MethodsSendFixedOrFormattedCommands) {
    auto status = Root<IZentravaStatus>(IID_IZentravaStatus);
    auto display = Root<IZentravaDisplay>(IID_IZentravaDisplay);
    auto system = Root<IZentravaSystem>(IID_IZentravaSystem);
    auto pn = Pn();
    auto function = As<IZentravaPNMeasurementFunction>(pn.get(), IID_IZentravaPNMeasurementFunction);
    Bstr hi("Hi"), file("state1");
    ExpectSent(
        session,
        {
            {"fixed", [&] { return status->Clear(); }, S_OK, {"*CLS"}},
            {"string and boolean argument",
             [&] { return display->SetMessageData(hi.get(), VARIANT_TRUE); },
             S_OK,
             {"DISP:MESS:DATA \"Hi\",-1"}},
            {"string argument", [&] { return system->SaveState(file.get()); }, S_OK, {"MMEM:STOR:STAT \"state1\""}},
            {"integer argument", [&] { return pn->CopyDataToUser(3); }, S_OK, {"CALC:PN1:TRAC1:DATA:COPY 3"}},
            {"command pair",
             [&] { return system->DisableLocalControls(); },
             S_OK,
             {"SYST:KLOC:KBD 1", "SYST:KLOC:MOUS 1"}},
            {"condition bit",
             [&] { return status->SetConditionRegisterBit(ZentravaStatusRegisterOperationBit12, 5); },
             S_OK,
             {"STAT:OPER:BIT12:SET 5"}},
            {"condition bit of another register",
             [&] { return status->ClearConditionRegisterBit(ZentravaStatusRegisterOperation, 5); },
             E_IVI_UNEXPECTED_RESPONSE,
             {}},
            {"service request masks",
             [&] { return status->ConfigureServiceRequest(static_cast<ZentravaSRQReasonEnum>(1 | 4 | 256 | 131072)); },
             S_OK,
             {"STAT:PRES; *CLS; *SRE 56; *ESE 1; :STAT:QUES:ENAB 8193; :STAT:OPER:ENAB 0"}},
            {"service request out of range",
             [&] { return status->ConfigureServiceRequest(static_cast<ZentravaSRQReasonEnum>(0x40000)); },
             E_IVI_INVALID_VALUE,
             {}},
        });
    double avariance = 7, jitter = 7;
    session.Sent();
    EXPECT_EQ(function->AllanVarianceData(0.001, 100000.0, &avariance, &jitter), S_OK) << ThreadErrorText();
    EXPECT_EQ(session.Sent(), (std::vector<std::string>{"CALC:PN1:TRAC1:FUNC:AVAR:DATA? 0.001,100000"}));
}

TEST_F(Scpi, MarkerSearchesSwitchOnTheSearchType) {
    auto marker = PnMarker("Marker3");
    auto markers = As<IZentravaPNMarkers>(Pn().get(), IID_IZentravaPNMarkers);
    auto search = [&](ZentravaMarkerSearchTypeEnum type) { return [&marker, type] { return marker->Search(type); }; };
    ExpectSent(
        session,
        {
            {"maximum", search(ZentravaMarkerSearchTypeMaximum), S_OK, {"CALC:PN1:TRAC1:MARK3:SEAR:EXEC:MAX"}},
            {"target", search(ZentravaMarkerSearchTypeTarget), S_OK, {"CALC:PN1:TRAC1:MARK3:SEAR:EXEC:TARG"}},
            {"declared without a command", search(ZentravaMarkerSearchTypeTargetType), E_IVI_VALUE_NOT_SUPPORTED, {}},
            {"undeclared", search(static_cast<ZentravaMarkerSearchTypeEnum>(42)), S_OK, {}},
            {"all markers",
             [&] { return markers->Search(ZentravaMarkersSearchTypePeak); },
             S_OK,
             {"CALC:PN1:TRAC1:ALLM:SEAR:PEAK"}},
        });
    marker->Search(ZentravaMarkerSearchTypeTargetType);
    EXPECT_EQ(ThreadErrorText(),
              "Zentrava: Does not support this class-compliant feature:  (enumeration) value "
              "ZentravaMarkerSearchTypeTargetType passed as the value for parameter SearchType in method Search.");
}

TEST_F(Scpi, ArraysTravelAsAsciiLists) {
    auto pn = Pn();
    auto data = As<IZentravaPNMeasurementData>(pn.get(), IID_IZentravaPNMeasurementData);
    auto limit = As<IZentravaPNMeasurementLimit>(pn.get(), IID_IZentravaPNMeasurementLimit);
    SAFEARRAY* three = MakeDoubles({1, 2.5, -3});
    SAFEARRAY* eight = MakeDoubles({1, 2, 3, 4, 5, 6, 7, 8});
    SAFEARRAY* six = MakeDoubles({1, 2, 3, 4, 5, 6});
    SAFEARRAY* read = nullptr;
    ExpectSent(
        session,
        {
            {"writer",
             [&] { return data->SetFormatted(three); },
             S_OK,
             {"FORM:DATA ASC", "CALC:PN1:TRAC1:DATA:FDAT 1,2.5,-3"}},
            {"reader", [&] { return data->GetFormatted(&read); }, S_OK, {"FORM:DATA ASC", "CALC:PN1:TRAC1:DATA:FDAT?"}},
            {"counted segments",
             [&] { return limit->SetLowerSegments(eight); },
             S_OK,
             {"FORM:DATA ASC", "CALC:PN1:TRAC1:LIM:LOW:SEGM:COUN 2",
              "CALC:PN1:TRAC1:LIM:LOW:SEGM:DATA 1,2,3,4,5,6,7,8"}},
            {"segments must be whole",
             [&] { return limit->SetLowerSegments(six); },
             E_IVI_UNEXPECTED_RESPONSE,
             {"FORM:DATA ASC"}},
        });
    EXPECT_EQ(Doubles(read), (std::vector<double>{1, 2.5, -3}));
    SafeArrayDestroy(read);
    SafeArrayDestroy(three);
    SafeArrayDestroy(eight);
    SafeArrayDestroy(six);

    auto am = session.Item<IZentravaAMMeasurements, IZentravaAMMeasurement>(IID_IZentravaAMMeasurements, "");
    SAFEARRAY* upper = nullptr;
    session.Sent();
    EXPECT_EQ(As<IZentravaAMMeasurementLimit>(am.get(), IID_IZentravaAMMeasurementLimit)->GetUpperSegments(&upper),
              S_OK);
    EXPECT_EQ(session.Sent(), (std::vector<std::string>{"CALC:AM1:TRAC1:LIM:UPP:SEGM:DATA?"}))
        << "this reader has no FORM:DATA ASC";
    SafeArrayDestroy(upper);
}

TEST_F(Scpi, SharedSelectorsPickTheCommand) {
    auto converter = Root<IZentravaDownConverter>(IID_IZentravaDownConverter);
    Ref<IZentravaDownConverterLO> lo1, lo2;
    double level = 7;
    ExpectSent(session,
               {
                   {"nothing selected yet",
                    [&] { return Root<IZentravaDownConverterLO>(IID_IZentravaDownConverterLO)->get_Level(&level); },
                    S_OK,
                    {}},
               });
    EXPECT_EQ(level, 0);
    ASSERT_EQ(converter->get_LO1(lo1.out()), S_OK);
    ASSERT_EQ(converter->get_LO2(lo2.out()), S_OK);
    auto mixer = Root<IZentravaExternalMixer>(IID_IZentravaExternalMixer);
    Ref<IZentravaExternalMixerBias> bias2;
    ASSERT_EQ(mixer->get_Bias2(bias2.out()), S_OK);
    ExpectSent(session, {
                            {"the last selection decides",
                             [&] { return lo1->put_Frequency(2.5e9); },
                             S_OK,
                             {"SENS:DCON:MAN:LO2:FREQ 2500000000"}},
                            {"bias switch",
                             [&] { return bias2->put_Enabled(VARIANT_TRUE); },
                             S_OK,
                             {"SENS:DCON:MAN:MEXT2:BIAS:STAT 1"}},
                        });
    VARIANT_BOOL on = VARIANT_FALSE;
    EXPECT_EQ(bias2->get_Enabled(&on), S_OK);
    EXPECT_EQ(on, 1) << "the bias switch hands back the number it read";
}

TEST_F(Scpi, HandWrittenSystemMembers) {
    auto system = Root<IZentravaSystem>(IID_IZentravaSystem);
    auto status = Root<IZentravaStatus>(IID_IZentravaStatus);
    auto trigger = Root<IZentravaTrigger>(IID_IZentravaTrigger);
    LONG reg = 0;
    Bstr error;
    ExpectSent(
        session,
        {
            {"operation complete", [&] { return system->WaitForOperationComplete(0); }, S_OK, {"*OPC?"}},
            {"timeout", [&] { return system->put_TimeoutMilliseconds(20); }, S_OK, {}},
            {"status byte",
             [&] {
                 return status->get_Register(ZentravaStatusRegisterStatusByte, ZentravaStatusSubRegisterEvent, &reg);
             },
             S_OK,
             {"*STB?"}},
            {"limit event",
             [&] {
                 return status->get_Register(ZentravaStatusRegisterQuesLimitPN, ZentravaStatusSubRegisterEvent, &reg);
             },
             S_OK,
             {"STAT:QUES:LIM:PN1:EVEN?"}},
            {"no condition register",
             [&] {
                 return status->get_Register(ZentravaStatusRegisterStandardEvent, ZentravaStatusSubRegisterCondition,
                                             &reg);
             },
             E_IVI_INVALID_VALUE,
             {}},
            {"masked enable",
             [&] {
                 return status->put_Register(ZentravaStatusRegisterOperation, ZentravaStatusSubRegisterEnable, 0x12345);
             },
             S_OK,
             {"STAT:OPER:ENAB 9029"}},
            {"read-only event",
             [&] { return status->put_Register(ZentravaStatusRegisterOperation, ZentravaStatusSubRegisterEvent, 1); },
             E_IVI_INVALID_VALUE,
             {}},
            {"error queue", [&] { return system->GetErrorCode(error.out()); }, S_OK, {"SYSTem:ERRor:NEXT?"}},
            {"user trigger mode is refused",
             [&] { return trigger->put_Mode(ZentravaApplicationUser1); },
             E_IVI_UNEXPECTED_RESPONSE,
             {"*OPT?"}},
            {"baseband with the option",
             [&] { return trigger->put_Mode(ZentravaApplicationBB1); },
             S_OK,
             {"*OPT?", "TRIG:MODE BB1"}},
        });
    LONG timeout = 0;
    EXPECT_EQ(system->get_TimeoutMilliseconds(&timeout), S_OK);
    EXPECT_EQ(timeout, 100);
    status->get_Register(ZentravaStatusRegisterStandardEvent, ZentravaStatusSubRegisterCondition, &reg);
    EXPECT_EQ(
        ThreadErrorText(),
        "Zentrava: Invalid value (ZentravaStatusSubRegisterCondition) for method get_Register, parameter SubRegister.");
    EXPECT_EQ(error.str().rfind("0,", 0), 0u) << error.str();
}

}  // namespace
}  // namespace ztv::test

namespace ztv::test {
namespace {

std::string BytesOf(SAFEARRAY* array) {
    std::string bytes;
    if (!array) return bytes;
    void* data = nullptr;
    SafeArrayAccessData(array, &data);
    bytes.assign(static_cast<const char*>(data), array->rgsabound[0].cElements);
    SafeArrayUnaccessData(array);
    return bytes;
}

TEST_F(Scpi, StateAndImagesTravelAsBlocks) {
    auto root = Root<IZentrava>(IID_IZentrava);
    ASSERT_EQ(root->put_Attenuation(7.5), S_OK);
    session.Sent();
    SAFEARRAY* state = nullptr;
    ASSERT_EQ(Root<IZentravaSystem>(IID_IZentravaSystem)->GetState(&state), S_OK) << ThreadErrorText();
    const std::string learned = BytesOf(state);
    EXPECT_NE(learned.find("SENS:ATT:LEV 7.5"), std::string::npos) << learned;
    EXPECT_EQ(learned.find('#'), std::string::npos) << "the nested block headers are gone: " << learned;

    // The learned text holds line feeds, at which reads of a socket session
    // end: the reply's own terminator stays unread, so continue on a fresh
    // connection.
    ASSERT_EQ(session.driver()->Close(), S_OK);
    ASSERT_EQ(InitializeDriver(session.driver(), session.emu().SocketResource(), false, false, ""), S_OK);
    session.emu().ClearReceived();
    ASSERT_EQ(root->put_Attenuation(1), S_OK);
    session.Sent();
    ASSERT_EQ(Root<IZentravaSystem>(IID_IZentravaSystem)->PutState(state), S_OK) << ThreadErrorText();
    SafeArrayDestroy(state);
    const std::string length = std::to_string(learned.size());
    std::string block = "SYST:SET #" + std::to_string(length.size()) + length + learned;
    while (block.back() == '\n') block.pop_back();
    EXPECT_EQ(session.Sent(), std::vector<std::string>{block});
    double attenuation = 0;
    ASSERT_EQ(root->get_Attenuation(&attenuation), S_OK);
    EXPECT_EQ(attenuation, 7.5) << "the state written back restores the setting";

    SAFEARRAY* image = nullptr;
    session.Sent();
    ASSERT_EQ(Root<IZentravaHardCopy>(IID_IZentravaHardCopy)->GetImageData(ZentravaHardCopyImageBMP, &image), S_OK)
        << ThreadErrorText();
    EXPECT_EQ(session.Sent(), (std::vector<std::string>{"HCOP:SDUM:DATA? BMP"}));
    EXPECT_EQ(BytesOf(image).substr(0, 2), "BM");
    SafeArrayDestroy(image);
}

}  // namespace
}  // namespace ztv::test
