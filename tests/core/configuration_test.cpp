// Initialize with an IVI Configuration Store present: logical names, the
// session's flags and DriverSetup, initial settings and their precedence.
#include <gtest/gtest.h>

#include <fstream>

#include "tests/support/test_support.h"

namespace ztv::test {
namespace {

constexpr const char* kStore = R"(<?xml version="1.0"?>
<IviConfigurationStore>
  <HardwareAssets>
    <HardwareAsset name="Rack2" ioResourceDescriptor="TCPIP0::192.0.2.20::inst0::INSTR"/>
  </HardwareAssets>
  <SoftwareModules>
    <SoftwareModule name="Ztv">
      <DataComponents>
        <DataComponent name="Configurable Initial Settings" type="Structure">
          <DataComponent name="Model" type="String" value="Q7310A"/>
        </DataComponent>
      </DataComponents>
    </SoftwareModule>
  </SoftwareModules>
  <DriverSessions>
    <DriverSession name="Bench7" hardwareAsset="Rack2" softwareModule="Ztv" simulate="true" rangeCheck="false"
                   driverSetup="Model=Q7310A">
      <VirtualNames>
        <VirtualName name="Noise" mapTo="PhaseNoise"/>
        <VirtualName name="Mk" mapTo="Marker">
          <Range min="1" max="2" startingPhysicalIndex="1"/>
          <Range min="10" max="11" startingPhysicalIndex="7"/>
        </VirtualName>
      </VirtualNames>
      <DataComponents>
        <DataComponent name="Configurable Initial Settings" type="Structure">
          <DataComponent name=" Averages " type="Integer" value="16"/>
          <DataComponent name="Offset" type="Real" value="1.5e6"/>
          <DataComponent name="Fast" type="Boolean" value="true"/>
          <DataComponent name="Label" type="String" value="first"/>
          <DataComponent name="LABEL" type="String" value="second"/>
          <DataComponent name="Nested" type="Structure">
            <DataComponent name="Inner" type="Real" value="1"/>
          </DataComponent>
          <DataComponent name="Api" type="APIReference" value="IviDriver"/>
          <DataComponent name="Model" type="String" value="Q7310B"/>
        </DataComponent>
      </DataComponents>
    </DriverSession>
  </DriverSessions>
  <LogicalNames>
    <LogicalName name="MyAnalyzer" session="Bench7"/>
  </LogicalNames>
</IviConfigurationStore>
)";

class Configuration : public ::testing::Test {
protected:
    Configuration() { std::ofstream(storePath) << kStore; }
    IsolatedEnvironment env;
    std::string storePath = env.dir().file("store.xml");
    ScopedEnv store{"IVI_CONFIG_STORE", storePath};
    Ref<IIviDriver> driver = NewDriver();
    const SessionState& State() { return static_cast<Zentrava*>(driver.get())->State(); }
};

TEST_F(Configuration, LogicalNameTakesTheSessionsAssetFlagsAndSettings) {
    ASSERT_EQ(InitializeDriver(driver.get(), "myanalyzer", false, false, ""), S_OK);
    const SessionState& s = State();
    EXPECT_EQ(s.logicalName, "myanalyzer");
    EXPECT_EQ(s.resourceDescriptor, "TCPIP0::192.0.2.20::inst0::INSTR");
    EXPECT_TRUE(s.flags.simulate);
    EXPECT_FALSE(s.flags.rangeCheck);
    // The initial setting "model" is applied after the session's DriverSetup.
    EXPECT_EQ(s.model, "Q7310B");
    EXPECT_EQ(std::get<LONG>(s.initialSettings.at("averages")), 16);
    EXPECT_DOUBLE_EQ(std::get<double>(s.initialSettings.at("offset")), 1.5e6);
    EXPECT_EQ(std::get<VARIANT_BOOL>(s.initialSettings.at("fast")), VARIANT_TRUE);
    EXPECT_EQ(std::get<std::string>(s.initialSettings.at("label")), "second");
    EXPECT_EQ(s.initialSettings.count("nested"), 0u);
    EXPECT_EQ(s.initialSettings.count("api"), 0u);

    const NameTable expected{
        {"noise", "phasenoise"}, {"mk1", "marker1"}, {"mk2", "marker2"}, {"mk10", "marker7"}, {"mk11", "marker8"}};
    EXPECT_EQ(s.virtualToPhysical, expected);
    EXPECT_EQ(s.physicalToVirtual.at("marker8"), "mk11");
}

TEST_F(Configuration, OptionStringOverridesTheStore) {
    ASSERT_EQ(InitializeDriver(driver.get(), "MyAnalyzer", false, false, "RangeCheck=true,DriverSetup=Model=Q7310A"),
              S_OK);
    EXPECT_TRUE(State().flags.rangeCheck);
    EXPECT_EQ(State().model, "Q7310A");
    EXPECT_EQ(State().driverSetup, "Model=Q7310A");
}

TEST_F(Configuration, ResourceDescriptorUsesTheModulesSettings) {
    ASSERT_EQ(InitializeDriver(driver.get(), "GPIB0::3::INSTR", false, false, "Simulate=true"), S_OK);
    EXPECT_EQ(State().logicalName, "");
    EXPECT_EQ(State().resourceDescriptor, "GPIB0::3::INSTR");
    EXPECT_EQ(State().model, "Q7310A");
}

TEST_F(Configuration, MissingSoftwareModuleCannotRecover) {
    std::ofstream(storePath) << "<IviConfigurationStore/>";
    EXPECT_EQ(InitializeDriver(driver.get(), "GPIB0::3::INSTR", false, false, "Simulate=true"), E_IVI_CANNOT_RECOVER);
    EXPECT_EQ(ThreadErrorText(),
              "Zentrava: Failure cannot recover.\r\nSoftware module could not be loaded from the IVI Configuration "
              "Store.");
    VARIANT_BOOL on = VARIANT_TRUE;
    driver->get_Initialized(&on);
    EXPECT_EQ(on, VARIANT_FALSE);
}

TEST_F(Configuration, UnreadableStoreCountsAsNoStore) {
    std::ofstream(storePath) << "<IviConfigurationStore><broken";
    EXPECT_EQ(InitializeDriver(driver.get(), "MyAnalyzer", false, false, "Simulate=true"), S_OK);
    EXPECT_EQ(State().resourceDescriptor, "MyAnalyzer");
    EXPECT_EQ(State().logicalName, "");
}

}  // namespace
}  // namespace ztv::test
