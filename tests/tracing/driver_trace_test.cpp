// Tracing through the driver: DriverSetup switches it on, members and the
// command pipeline leave records, Close saves the file.
#include <gtest/gtest.h>

#include "emulator/emulator.h"
#include "tests/support/emulator_support.h"
#include "tests/support/test_support.h"
#include "tests/tracing/trace_xml.h"
#include "zentrava/interfaces.h"

namespace ztv::test {
namespace {

namespace fs = std::filesystem;
using Names = std::vector<std::string>;

class DriverTrace : public ::testing::Test {
protected:
    IsolatedEnvironment env;
    Ref<IIviDriver> driver = NewDriver();

    std::string TraceOptions(const std::string& name, const std::string& extra = "") const {
        return "Simulate=true, DriverSetup=Trace=true, TraceName=" + env.dir().file(name) + ", TraceArray=true" + extra;
    }
    template <class I>
    Ref<I> Root(const IID& iid) {
        return Query<I>(driver.get(), iid);
    }

    // Every Method of the file, in order.
    std::vector<pugi::xml_node> Records(pugi::xml_document& document, const std::string& name) {
        LoadTrace(env.dir().path() / (name + ".xml"), document);
        return Children(document.child("TraceRecords"), "Method");
    }
    static const pugi::xml_node Find(const std::vector<pugi::xml_node>& methods, const char* member) {
        for (pugi::xml_node method : methods)
            if (std::string_view(method.attribute("Name").value()) == member) return method;
        ADD_FAILURE() << "no record of " << member;
        return {};
    }
    static std::string Value(pugi::xml_node method, const char* parameter) {
        return method.find_child_by_attribute("Parameter", "Name", parameter).attribute("Value").value();
    }
};

TEST_F(DriverTrace, SimulatedSessionRecordsEveryMemberCall) {
    ASSERT_EQ(
        InitializeDriver(driver.get(), "GPIB0::1::INSTR", false, false, TraceOptions("run42", ", TraceArraySizeMax=3")),
        S_OK)
        << ThreadErrorText();
    auto root = Root<IZentrava>(IID_IZentrava);
    ASSERT_EQ(root->put_Attenuation(10.5), S_OK);
    double attenuation = 0;
    ASSERT_EQ(root->get_Attenuation(&attenuation), S_OK);
    Bstr hello("Hello");
    ASSERT_EQ(Root<IZentravaDisplay>(IID_IZentravaDisplay)->SetMessageData(hello.get(), VARIANT_TRUE), S_OK);
    Ref<IZentravaPNMeasurement> measurement;
    Bstr first("Measurement1");
    ASSERT_EQ(Root<IZentravaPNMeasurements>(IID_IZentravaPNMeasurements)->get_Item(first.get(), measurement.out()),
              S_OK);
    Ref<IZentravaPNMeasurementData> data;
    ASSERT_EQ(measurement->get_Data(data.out()), S_OK);
    SAFEARRAY* points = nullptr;
    ASSERT_EQ(data->GetFormatted(&points), S_OK);
    SafeArrayDestroy(points);
    EXPECT_EQ(root->get_Attenuation(nullptr), E_IVI_NULL_POINTER);  // refused before the trace starts
    ASSERT_EQ(driver->Close(), S_OK);

    pugi::xml_document document;
    const std::vector<pugi::xml_node> methods = Records(document, "run42");
    Names order;
    for (pugi::xml_node method : methods) order.emplace_back(method.attribute("Name").value());
    EXPECT_EQ(order,
              (Names{"put_Attenuation", "get_Attenuation", "SetMessageData", "get_Item", "get_Data", "GetFormatted"}));
    for (pugi::xml_node method : methods) {
        EXPECT_EQ(AttributeNames(method),
                  (Names{"Name", "Interface", "StartTime", "Thread", "EndTime", "ExecutionTime"}));
    }

    const pugi::xml_node put = Find(methods, "put_Attenuation");
    EXPECT_STREQ(put.attribute("Interface").value(), "IZentrava");
    EXPECT_EQ(Value(put, "val"), "10.5");
    EXPECT_STREQ(put.child("Parameter").attribute("Direction").value(), "In");
    const pugi::xml_node get = Find(methods, "get_Attenuation");
    EXPECT_STREQ(get.child("Parameter").attribute("Direction").value(), "Out");
    EXPECT_EQ(Value(get, "val"), "10.5");
    const pugi::xml_node message = Find(methods, "SetMessageData");
    EXPECT_STREQ(message.attribute("Interface").value(), "IZentravaDisplay");
    EXPECT_EQ(Value(message, "Data"), "Hello");
    EXPECT_EQ(Value(message, "Status"), "true");
    const pugi::xml_node item = Find(methods, "get_Item");
    EXPECT_EQ(Value(item, "Name"), "Measurement1");
    EXPECT_EQ(Value(item, "val"), "<interface>");

    const pugi::xml_node formatted = Find(methods, "GetFormatted");
    EXPECT_STREQ(formatted.attribute("Interface").value(), "IZentravaPNMeasurementData");
    const pugi::xml_node array = formatted.child("Parameter");
    EXPECT_STREQ(array.attribute("NumDims").value(), "1");
    EXPECT_STREQ(array.attribute("DimSizes").value(), "5");
    EXPECT_EQ(Children(array, "Element").size(), 3u);
}

TEST_F(DriverTrace, InitializedAgainKeepsAppendingToTheSameFile) {
    for (double level : {1.0, 2.0}) {
        ASSERT_EQ(InitializeDriver(driver.get(), "GPIB0::1::INSTR", false, false, TraceOptions("again")), S_OK)
            << ThreadErrorText();
        ASSERT_EQ(Root<IZentrava>(IID_IZentrava)->put_Attenuation(level), S_OK);
        ASSERT_EQ(driver->Close(), S_OK);
    }
    pugi::xml_document document;
    const std::vector<pugi::xml_node> methods = Records(document, "again");
    ASSERT_EQ(methods.size(), 2u);
    EXPECT_EQ(Value(methods[0], "val"), "1");
    EXPECT_EQ(Value(methods[1], "val"), "2");
}

TEST_F(DriverTrace, TracingOffWritesNothing) {
    const std::string options = "Simulate=true, DriverSetup=Trace=false, TraceName=" + env.dir().file("off");
    ASSERT_EQ(InitializeDriver(driver.get(), "GPIB0::1::INSTR", false, false, options), S_OK);
    ASSERT_EQ(Root<IZentrava>(IID_IZentrava)->put_Attenuation(3), S_OK);
    ASSERT_EQ(driver->Close(), S_OK);
    EXPECT_FALSE(fs::exists(env.dir().path() / "off.xml"));
}

TEST_F(DriverTrace, PipelineOperationsAreRecordedUnderTheMember) {
    emulator::Emulator instrument(emulator::test::ServingOnly(emulator::Channel::Socket));
    ASSERT_TRUE(emulator::test::Started(instrument));
    const std::string resource = instrument.SocketResource();
    const std::string setup = "DriverSetup=Trace=true, TraceName=" + env.dir().file("io");
    ASSERT_EQ(InitializeDriver(driver.get(), resource, false, false, setup), S_OK) << ThreadErrorText();
    ASSERT_EQ(Root<IZentrava>(IID_IZentrava)->put_Attenuation(10.5), S_OK);
    // A measurement's commands go through its own pipeline, into the same trace.
    Ref<IZentravaPNMeasurement> measurement;
    Bstr first("Measurement1");
    ASSERT_EQ(Root<IZentravaPNMeasurements>(IID_IZentravaPNMeasurements)->get_Item(first.get(), measurement.out()),
              S_OK);
    ASSERT_EQ(measurement->put_PersistenceEnabled(VARIANT_TRUE), S_OK);
    ASSERT_EQ(driver->Close(), S_OK);
    instrument.Stop();

    pugi::xml_document document;
    const std::vector<pugi::xml_node> methods = Records(document, "io");
    ASSERT_EQ(methods.size(), 7u);
    // Opening the connection, which reports no error.
    EXPECT_STREQ(methods[0].attribute("Interface").value(), "CDriverIOManager");
    EXPECT_STREQ(methods[0].attribute("Name").value(), "Open");
    EXPECT_EQ(Value(methods[0], "strResource"), resource);
    EXPECT_EQ(Value(methods[0], "strError"), "");
    // The identification query of Initialize: a string query, traced as "InstrPrintf".
    EXPECT_STREQ(methods[1].attribute("Interface").value(), "CDriverIOManager");
    EXPECT_STREQ(methods[1].attribute("Name").value(), "InstrPrintf");
    Names parameters;
    for (pugi::xml_node parameter : methods[1].children("Parameter"))
        parameters.push_back(std::string(parameter.attribute("Name").value()) + "/" +
                             parameter.attribute("Direction").value());
    EXPECT_EQ(parameters, (Names{"strCommand/In", "bstrResult/Out", "cchDesired/In", "lTimeout/In"}));
    EXPECT_EQ(Value(methods[1], "strCommand"), "*IDN?");
    EXPECT_NE(Value(methods[1], "bstrResult").find("Q7310"), std::string::npos);
    EXPECT_EQ(Value(methods[1], "cchDesired"), "1024");
    EXPECT_EQ(Value(methods[1], "lTimeout"), "-2");

    EXPECT_STREQ(methods[2].attribute("Name").value(), "put_Attenuation");
    EXPECT_STREQ(methods[3].attribute("Interface").value(), "CDriverIOManager");
    EXPECT_STREQ(methods[3].attribute("Name").value(), "InstrPrintCommand");
    EXPECT_EQ(Value(methods[3], "strCommand"), "SENS:ATT:LEV 10.5");

    EXPECT_STREQ(methods[4].attribute("Name").value(), "get_Item");
    EXPECT_STREQ(methods[5].attribute("Interface").value(), "IZentravaPNMeasurement");
    EXPECT_EQ(Value(methods[5], "val"), "true");
    EXPECT_STREQ(methods[6].attribute("Name").value(), "InstrPrintCommand");
    EXPECT_EQ(Value(methods[6], "strCommand").rfind(" 1"), Value(methods[6], "strCommand").size() - 2);
}

TEST_F(DriverTrace, ConnectionThatCannotBeOpenedLeavesItsReason) {
    const std::string setup = "DriverSetup=Trace=true, TraceName=" + env.dir().file("refused");
    ASSERT_EQ(InitializeDriver(driver.get(), "TCPIP0::127.0.0.1::1::SOCKET", false, false, setup),
              E_IVI_RESOURCE_UNKNOWN);

    pugi::xml_document document;
    const pugi::xml_node open = Find(Records(document, "refused"), "Open");
    EXPECT_EQ(Value(open, "strResource"), "TCPIP0::127.0.0.1::1::SOCKET");
    EXPECT_EQ(Value(open, "strError"), "Zentrava: Unknown resource. Connection refused by 127.0.0.1:1.");
}

TEST_F(DriverTrace, HandWrittenAndInherentMembersRecordTheirArguments) {
    ASSERT_EQ(InitializeDriver(driver.get(), "GPIB0::1::INSTR", false, false, TraceOptions("members")), S_OK)
        << ThreadErrorText();
    Ref<IZentravaPNMeasurement> measurement;
    Bstr first("Measurement1");
    ASSERT_EQ(Root<IZentravaPNMeasurements>(IID_IZentravaPNMeasurements)->get_Item(first.get(), measurement.out()),
              S_OK);
    auto function = Query<IZentravaPNMeasurementFunction>(measurement.get(), IID_IZentravaPNMeasurementFunction);
    double mean = 1, deviation = 2, peak = 3;
    ASSERT_EQ(function->StatisticData(&mean, &deviation, &peak), S_OK);
    ASSERT_EQ(Root<IIviDriverOperation>(IID_IIviDriverOperation)->put_Cache(VARIANT_FALSE), S_OK);
    LONG result = -1;
    Bstr message;
    ASSERT_EQ(Root<IIviDriverUtility>(IID_IIviDriverUtility)->SelfTest(&result, message.out()), S_OK);
    Bstr vendor;
    ASSERT_EQ(Root<IIviDriverIdentity>(IID_IIviDriverIdentity)->get_Vendor(vendor.out()), S_OK);
    ASSERT_EQ(driver->Close(), S_OK);

    pugi::xml_document document;
    const std::vector<pugi::xml_node> methods = Records(document, "members");
    const struct {
        const char* member;
        const char* interface;
        const char* parameter;
        const char* direction;
        std::string value;
    } cases[] = {
        {"StatisticData", "IZentravaPNMeasurementFunction", "Mean", "InOut", "109.131328019"},
        {"StatisticData", "IZentravaPNMeasurementFunction", "StdDev", "InOut", "17.2794071402"},
        {"StatisticData", "IZentravaPNMeasurementFunction", "PeakToPeak", "InOut", "67.2172787339"},
        {"put_Cache", "IIviDriverOperation", "bCache", "In", "false"},
        {"SelfTest", "IIviDriverUtility", "pResult", "Out", "0"},
        {"SelfTest", "IIviDriverUtility", "pMessage", "Out", "Selftest passed"},
        {"get_Vendor", "IIviComponentIdentity", "pbstr", "Out", vendor.str()},
    };
    for (const auto& c : cases) {
        const pugi::xml_node method = Find(methods, c.member);
        EXPECT_STREQ(method.attribute("Interface").value(), c.interface) << c.member;
        const pugi::xml_node parameter = method.find_child_by_attribute("Parameter", "Name", c.parameter);
        EXPECT_STREQ(parameter.attribute("Direction").value(), c.direction) << c.member << " " << c.parameter;
        EXPECT_EQ(Value(method, c.parameter), c.value) << c.member << " " << c.parameter;
    }
}

TEST_F(DriverTrace, NumbersKeepAPointInACommaDecimalLocale) {
    const CommaDecimalLocale locale;
    if (!locale.active()) GTEST_SKIP() << CommaDecimalLocale::kMissing;
    ASSERT_EQ(InitializeDriver(driver.get(), "GPIB0::1::INSTR", false, false, TraceOptions("comma")), S_OK)
        << ThreadErrorText();
    ASSERT_EQ(Root<IZentrava>(IID_IZentrava)->put_Attenuation(10.5), S_OK);
    ASSERT_EQ(driver->Close(), S_OK);
    pugi::xml_document document;
    EXPECT_EQ(Value(Find(Records(document, "comma"), "put_Attenuation"), "val"), "10.5");
}

}  // namespace
}  // namespace ztv::test
