// Initialize and Close in simulation: order, precedence, refusals and the
// inherent members that read the session.
#include <gtest/gtest.h>

#include "tests/support/test_support.h"

namespace ztv::test {
namespace {

class DriverSession : public ::testing::Test {
protected:
    IsolatedEnvironment env;
    Ref<IIviDriver> driver = NewDriver();

    Ref<IIviDriverOperation> Operation() { return Query<IIviDriverOperation>(driver.get(), IID_IIviDriverOperation); }
    Ref<IIviDriverIdentity> Identity() { return Query<IIviDriverIdentity>(driver.get(), IID_IIviDriverIdentity); }
    Ref<IIviDriverUtility> Utility() { return Query<IIviDriverUtility>(driver.get(), IID_IIviDriverUtility); }

    std::string Text(HRESULT (IIviDriverIdentity::*member)(BSTR*)) {
        Bstr text;
        EXPECT_EQ((Identity().get()->*member)(text.out()), S_OK);
        return text.str();
    }
    bool Flag(HRESULT (IIviDriverOperation::*member)(VARIANT_BOOL*)) {
        VARIANT_BOOL value = 7;
        EXPECT_EQ((Operation().get()->*member)(&value), S_OK);
        EXPECT_TRUE(value == VARIANT_TRUE || value == VARIANT_FALSE);
        return value == VARIANT_TRUE;
    }
    bool Initialized() {
        VARIANT_BOOL value = 7;
        EXPECT_EQ(driver->get_Initialized(&value), S_OK);
        return value == VARIANT_TRUE;
    }
};

TEST_F(DriverSession, SimulatedInitializeUsesDefaultModelAndSetsFlags) {
    ASSERT_EQ(InitializeDriver(driver.get(), "GPIB0::17::INSTR", false, false, "Simulate=true"), S_OK);
    EXPECT_TRUE(Initialized());
    EXPECT_EQ(Text(&IIviDriverIdentity::get_InstrumentModel), "Q7310B");
    EXPECT_EQ(Text(&IIviDriverIdentity::get_InstrumentManufacturer), "Orvane Technologies");
    EXPECT_EQ(Text(&IIviDriverIdentity::get_InstrumentFirmwareRevision), "Sim1.0.9.0");
    EXPECT_TRUE(Flag(&IIviDriverOperation::get_Simulate));
    EXPECT_TRUE(Flag(&IIviDriverOperation::get_Cache));
    EXPECT_TRUE(Flag(&IIviDriverOperation::get_RangeCheck));
    EXPECT_FALSE(Flag(&IIviDriverOperation::get_QueryInstrumentStatus));
    Bstr name, descriptor;
    EXPECT_EQ(Operation()->get_LogicalName(name.out()), S_OK);
    EXPECT_EQ(Operation()->get_IoResourceDescriptor(descriptor.out()), S_OK);
    EXPECT_EQ(name.str(), "");
    EXPECT_EQ(descriptor.str(), "GPIB0::17::INSTR");
}

TEST_F(DriverSession, OptionStringCornersThroughInitialize) {
    struct Case {
        const char* options;
        HRESULT result;
        const char* text;  // error description, or the expected model on success
        bool simulate;
    } cases[] = {
        {"Simulate=true,RangeCheck=false", S_OK, "Q7310B", true},
        {"SIMULATE=1", S_OK, "Q7310B", true},
        {"Simulate=true, DriverSetup=Model=Q7310A, Trace=true", S_OK, "Q7310A", true},
        {"Simulate=yes", E_IVI_BAD_OPTION_VALUE, "Zentrava: The yes value in the option string is unknown.", false},
        {"Simulate=true RangeCheck=false", E_IVI_BAD_OPTION_VALUE,
         "Zentrava: The true RangeCheck value in the option string is unknown.", false},
        {"Simulate=true,DriverSetup=Trace=maybe", E_IVI_BAD_OPTION_VALUE,
         "Zentrava: The maybe value in the option string is unknown.", false},
        // A blank value replaces the earlier one and is then refused.
        {"Simulate=true, Simulate= ", E_IVI_INVALID_VALUE,
         "Zentrava: Invalid value (0) for method ProcessInitOption, parameter strValueIn.", false},
    };
    for (const auto& c : cases) {
        Ref<IIviDriver> d = NewDriver();
        EXPECT_EQ(InitializeDriver(d.get(), "x", false, false, c.options), c.result) << c.options;
        if (c.result == S_OK) {
            Ref<IIviDriverIdentity> identity = Query<IIviDriverIdentity>(d.get(), IID_IIviDriverIdentity);
            Bstr model;
            identity->get_InstrumentModel(model.out());
            EXPECT_EQ(model.str(), c.text) << c.options;
        } else {
            EXPECT_EQ(ThreadErrorText(), c.text) << c.options;
        }
    }
}

TEST_F(DriverSession, DriverSetupTakesTheRestOfTheOptionString) {
    // Simulate written after DriverSetup is a DriverSetup name, so the session
    // is not simulated and the instrument cannot be opened.
    EXPECT_EQ(InitializeDriver(driver.get(), "TCPIP0::127.0.0.1::1::SOCKET", false, false,
                               "DriverSetup=Model=Q7310A, Simulate=true"),
              E_IVI_RESOURCE_UNKNOWN);
    EXPECT_EQ(ThreadErrorText(), "Zentrava: Unknown resource. Connection refused by 127.0.0.1:1.");
    EXPECT_FALSE(Initialized());
    ASSERT_EQ(InitializeDriver(driver.get(), "x", false, false, "Simulate=true,DriverSetup=Model=Q7310A, Foo=1"), S_OK);
    Bstr setup;
    ASSERT_EQ(Operation()->get_DriverSetup(setup.out()), S_OK);
    EXPECT_EQ(setup.str(), "Model=Q7310A, Foo=1");
}

TEST_F(DriverSession, UnknownModelFailsIdQueryButNotWithoutIt) {
    EXPECT_EQ(InitializeDriver(driver.get(), "x", true, false, "Simulate=true, DriverSetup=Model=Q7999Z"),
              E_IVI_ID_QUERY_FAILED);
    EXPECT_EQ(ThreadErrorText(), "Zentrava: Instrument ID query failed.\r\nUnrecognized model: Q7999Z.");
    EXPECT_FALSE(Initialized());
    EXPECT_EQ(InitializeDriver(driver.get(), "x", false, false, "Simulate=true, DriverSetup=Model=Q7999Z"), S_OK);
    EXPECT_EQ(Text(&IIviDriverIdentity::get_InstrumentModel), "Q7999Z");
}

TEST_F(DriverSession, SecondInitializeIsRefusedAndTheSessionKeepsWorking) {
    ASSERT_EQ(InitializeDriver(driver.get(), "x", false, false, "Simulate=true"), S_OK);
    EXPECT_EQ(InitializeDriver(driver.get(), "y", false, false, "Simulate=true,RangeCheck=false"),
              E_IVI_ALREADY_INITIALIZED);
    EXPECT_EQ(ThreadErrorText(), "Zentrava: The driver is already initialized.");
    EXPECT_TRUE(Initialized());
    EXPECT_TRUE(Flag(&IIviDriverOperation::get_RangeCheck));
}

TEST_F(DriverSession, NullResourceNameChangesNothing) {
    Bstr options("Simulate=true");
    EXPECT_EQ(driver->Initialize(nullptr, VARIANT_FALSE, VARIANT_FALSE, options.get()), E_IVI_INVALID_VALUE);
    EXPECT_EQ(ThreadErrorText(),
              "Zentrava: Invalid value (0) for method Initialize, parameter bstrResourceDescriptor.");
    EXPECT_FALSE(Initialized());
}

TEST_F(DriverSession, InterchangeCheckOptionIsRefused) {
    EXPECT_EQ(InitializeDriver(driver.get(), "x", false, false, "Simulate=true,InterchangeCheck=true"),
              E_IVI_BAD_OPTION_VALUE);
    EXPECT_EQ(ThreadErrorText(),
              "Zentrava: The true value in the option string is unknown.\r\n"
              "Interchange check is not supported by the driver.");
    EXPECT_FALSE(Initialized());
}

TEST_F(DriverSession, CloseTwiceAndBeforeInitializeFails) {
    EXPECT_EQ(driver->Close(), E_IVI_NOT_INITIALIZED);
    ASSERT_EQ(InitializeDriver(driver.get(), "x", false, false, "Simulate=true"), S_OK);
    EXPECT_EQ(driver->Close(), S_OK);
    EXPECT_EQ(driver->Close(), E_IVI_NOT_INITIALIZED);
    EXPECT_EQ(ThreadErrorText(), "Zentrava: A connection to the instrument has not been established.");
}

TEST_F(DriverSession, FlagsCarryOverToTheNextSession) {
    ASSERT_EQ(InitializeDriver(driver.get(), "x", false, false, "Simulate=true,RangeCheck=false"), S_OK);
    ASSERT_EQ(driver->Close(), S_OK);
    ASSERT_EQ(InitializeDriver(driver.get(), "x", false, false, ""), S_OK);  // still simulating
    EXPECT_FALSE(Flag(&IIviDriverOperation::get_RangeCheck));
    EXPECT_TRUE(Flag(&IIviDriverOperation::get_Simulate));
}

TEST_F(DriverSession, MembersBeforeInitialize) {
    // Identity constants work before Initialize ...
    EXPECT_EQ(Text(&IIviDriverIdentity::get_Description), "IVI Driver for OrvaneQ7310x family of QVX");
    EXPECT_EQ(Text(&IIviDriverIdentity::get_Revision), "1.0.9.0");
    EXPECT_EQ(Text(&IIviDriverIdentity::get_Vendor), "Orvane Technologies");
    EXPECT_EQ(Text(&IIviDriverIdentity::get_Identifier), "Zentrava");
    EXPECT_EQ(Text(&IIviDriverIdentity::get_SupportedInstrumentModels), "Q7310A,Q7310B");
    LONG version = 9;
    EXPECT_EQ(Identity()->get_SpecificationMajorVersion(&version), S_OK);
    EXPECT_EQ(version, 0);
    // ... the session's members do not.
    Bstr model;
    EXPECT_EQ(Identity()->get_InstrumentModel(model.out()), E_IVI_NOT_INITIALIZED);
    VARIANT_BOOL flag;
    EXPECT_EQ(Operation()->get_Simulate(&flag), E_IVI_NOT_INITIALIZED);
    EXPECT_EQ(Utility()->Reset(), E_IVI_NOT_INITIALIZED);
}

TEST_F(DriverSession, NullOutputPointersNameMemberAndParameter) {
    ASSERT_EQ(InitializeDriver(driver.get(), "x", false, false, "Simulate=true"), S_OK);
    struct Case {
        HRESULT hr;
        const char* text;
    } cases[] = {
        {Identity()->get_InstrumentModel(nullptr), "get_InstrumentModel, parameter pbstr"},
        {Identity()->get_Identifier(nullptr), "get_Identifier, parameter pVal"},
        {Identity()->get_SpecificationMinorVersion(nullptr), "get_SpecificationMinorVersion, parameter plVer"},
        {Operation()->get_QueryInstrumentStatus(nullptr), "get_QueryInstrumentStatus, parameter pbQueryInstrStatus"},
        {Operation()->get_LogicalName(nullptr), "get_LogicalName, parameter pbstrName"},
        {Operation()->GetNextCoercionRecord(nullptr), "GetNextCoercionRecord, parameter pbstrRecord"},
        {Operation()->GetNextInterchangeWarning(nullptr), "GetNextInterchangeWarning, parameter pbstrWarning"},
        {driver->get_Utility(nullptr), "get_Utility, parameter pVal"},
    };
    for (const auto& c : cases) EXPECT_EQ(c.hr, E_IVI_NULL_POINTER) << c.text;
    LONG code = 0;
    EXPECT_EQ(Utility()->ErrorQuery(&code, nullptr), E_IVI_NULL_POINTER);
    EXPECT_EQ(ThreadErrorText(), "Zentrava: Null pointer passed for method ErrorQuery, parameter pMessage.");
    Bstr message;
    EXPECT_EQ(Utility()->SelfTest(nullptr, message.out()), E_IVI_NULL_POINTER);
    EXPECT_EQ(ThreadErrorText(), "Zentrava: Null pointer passed for method SelfTest, parameter pResult.");
}

TEST_F(DriverSession, SimulatedUtilityMembers) {
    ASSERT_EQ(InitializeDriver(driver.get(), "x", false, false, "Simulate=true"), S_OK);
    LONG code = 5;
    Bstr message("stale");
    EXPECT_EQ(Utility()->ErrorQuery(&code, message.out()), S_OK);
    EXPECT_EQ(code, 0);
    EXPECT_EQ(message.str(), "No error.");
    LONG result = 5;
    Bstr selfTest;
    EXPECT_EQ(Utility()->SelfTest(&result, selfTest.out()), S_OK);
    EXPECT_EQ(result, 0);
    EXPECT_EQ(selfTest.str(), "Selftest passed");
    EXPECT_EQ(Utility()->Reset(), S_OK);
    EXPECT_EQ(Utility()->Disable(), S_OK);
    EXPECT_EQ(Utility()->ResetWithDefaults(), S_OK);
    EXPECT_EQ(Utility()->LockObject(), E_IVI_METHOD_NOT_SUPPORTED);
    EXPECT_EQ(ThreadErrorText(), "Zentrava: Does not support this class-compliant feature: method LockObject");
}

TEST_F(DriverSession, SimulationCannotBeSwitchedOffWhenStartedOn) {
    ASSERT_EQ(InitializeDriver(driver.get(), "x", false, false, "Simulate=true"), S_OK);
    EXPECT_EQ(Operation()->put_Simulate(VARIANT_FALSE), E_IVI_CANNOT_CHANGE_SIMULATION_STATE);
    EXPECT_EQ(ThreadErrorText(), "Zentrava: The simulation state cannot be changed.");
    EXPECT_TRUE(Flag(&IIviDriverOperation::get_Simulate));
}

TEST_F(DriverSession, InterchangeMembersAreUnsupported) {
    ASSERT_EQ(InitializeDriver(driver.get(), "x", false, false, "Simulate=true"), S_OK);
    EXPECT_EQ(Operation()->put_InterchangeCheck(VARIANT_TRUE), E_IVI_VALUE_NOT_SUPPORTED);
    EXPECT_EQ(ThreadErrorText(),
              "Zentrava: Does not support this class-compliant feature:  (enumeration) value VARIANT_TRUE passed as "
              "the value for parameter bInterchangeCheck in method put_InterchangeCheck.");
    EXPECT_FALSE(Flag(&IIviDriverOperation::get_InterchangeCheck));
    EXPECT_EQ(Operation()->put_InterchangeCheck(VARIANT_FALSE), S_OK);
    BSTR stale = SysAllocString(u"x");
    BSTR warning = stale;
    EXPECT_EQ(Operation()->GetNextInterchangeWarning(&warning), E_IVI_METHOD_NOT_SUPPORTED);
    EXPECT_EQ(warning, nullptr);
    SysFreeString(stale);  // an out parameter: the member does not free what it held
    EXPECT_EQ(Operation()->ClearInterchangeWarnings(), E_IVI_METHOD_NOT_SUPPORTED);
    EXPECT_EQ(Operation()->ResetInterchangeCheck(), E_IVI_METHOD_NOT_SUPPORTED);
    EXPECT_EQ(ThreadErrorText(),
              "Zentrava: Does not support this class-compliant feature: method ResetInterchangeCheck");
}

TEST_F(DriverSession, CoercionRecordsAreHandedOutOnlyWhileRecording) {
    ASSERT_EQ(InitializeDriver(driver.get(), "x", false, false, "Simulate=true"), S_OK);
    Zentrava* object = static_cast<Zentrava*>(driver.get());
    for (int i = 0; i < 1001; ++i) object->CoercionLog().Add("record " + std::to_string(i));
    EXPECT_EQ(object->CoercionLog().Size(), 1000u);
    Bstr off;
    EXPECT_EQ(Operation()->GetNextCoercionRecord(off.out()), S_OK);
    EXPECT_EQ(off.str(), "");
    ASSERT_EQ(Operation()->put_RecordCoercions(VARIANT_TRUE), S_OK);
    Bstr first;
    EXPECT_EQ(Operation()->GetNextCoercionRecord(first.out()), S_OK);
    EXPECT_EQ(first.str(), "record 1");
}

}  // namespace
}  // namespace ztv::test
