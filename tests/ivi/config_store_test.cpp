#include "platform/ivi/config_store.h"

#include <gtest/gtest.h>

#include <cstdlib>

#include "tests/ivi/store_test_files.h"

namespace {

using ivi::ConfigStore;
using ivi::DataComponent;
using ivi::FindDataComponent;

constexpr const char* kStore = R"(<?xml version="1.0" encoding="UTF-8"?>
<IviConfigurationStore>
  <!-- sections may come in any order: references are resolved at the end -->
  <LogicalNames>
    <LogicalName name="MyAnalyzer" session="Bench7"/>
    <LogicalName name="Lab" session="Spare"/>
  </LogicalNames>
  <DriverSessions>
    <DriverSession name="Bench7" description="bench seven" hardwareAsset="Bench7Analyzer" softwareModule="Ztv"
                   cache="false" interchangeCheck="true" queryInstrStatus="true" rangeCheck="false"
                   recordCoercions="true" simulate="true" driverSetup="Model=Q7310A; Trace=false">
      <VirtualNames>
        <VirtualName name="Noise" mapTo="PhaseNoise"/>
        <VirtualName name="Mk" mapTo="Marker">
          <Range min="1" max="4" startingPhysicalIndex="0"/>
          <Range min="7" max="7" startingPhysicalIndex="9"/>
        </VirtualName>
      </VirtualNames>
      <DataComponents>
        <DataComponent name="Configurable Initial Settings" type="Structure">
          <DataComponent name="Model" type="String" value="Q7310B"/>
          <DataComponent name="Averages" type="Integer" value="-16"/>
          <DataComponent name="Offset" type="Real" value="2.5e6"/>
          <DataComponent name="Fast" type="Boolean" value="true"/>
          <DataComponent name="Inner" type="Structure">
            <DataComponent name="Depth" type="Integer" value="2"/>
          </DataComponent>
          <DataComponent name="Api" type="APIReference" value="IviDriver"/>
        </DataComponent>
      </DataComponents>
    </DriverSession>
    <DriverSession name="Spare"/>
    <DriverSession name="Lab" hardwareAsset="Spare"/>
  </DriverSessions>
  <HardwareAssets>
    <HardwareAsset name="Bench7Analyzer" description="rack 2" ioResourceDescriptor="TCPIP0::10.0.0.7::inst0::INSTR">
      <DataComponents>
        <DataComponent name="Serial" type="String" value="MY123"/>
      </DataComponents>
    </HardwareAsset>
    <HardwareAsset name="Spare" ioResourceDescriptor="GPIB0::17::INSTR"/>
  </HardwareAssets>
  <SoftwareModules>
    <SoftwareModule name="Ztv" description="Zentrava" prefix="Ztv" modulePath="libzentrava.so" progId="Zentrava.Zentrava">
      <DataComponents>
        <DataComponent name="Configurable Initial Settings" type="Structure"/>
      </DataComponents>
    </SoftwareModule>
  </SoftwareModules>
</IviConfigurationStore>
)";

class ConfigStoreTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(store_.Deserialize(ivi_test::WriteStoreFile("full.xml", kStore)), S_OK) << store_.LastError();
    }
    ConfigStore store_;
};

TEST_F(ConfigStoreTest, LogicalNameLeadsToSessionAndAssetDescriptor) {
    const ivi::DriverSession* session = store_.GetDriverSession("MyAnalyzer");
    ASSERT_NE(session, nullptr);
    EXPECT_EQ(session->name, "Bench7");
    ASSERT_NE(session->hardwareAsset, nullptr);
    EXPECT_EQ(session->hardwareAsset->ioResourceDescriptor, "TCPIP0::10.0.0.7::inst0::INSTR");
    EXPECT_EQ(session->hardwareAsset, store_.GetHardwareAsset("bench7analyzer"));
    ASSERT_NE(session->softwareModule, nullptr);
    EXPECT_EQ(session->softwareModule->progId, "Zentrava.Zentrava");
}

TEST_F(ConfigStoreTest, SessionLookupResolvesLogicalNamesFirst) {
    struct Case {
        const char* query;
        const char* expectedSession;  // nullptr: unknown
    } cases[] = {
        {"MyAnalyzer", "Bench7"}, {"MYANALYZER", "Bench7"},
        {"bench7", "Bench7"},     {"Lab", "Spare"},  // the logical name wins over the session of the same name
        {"Nowhere", nullptr},     {"", nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.query);
        const ivi::DriverSession* session = store_.GetDriverSession(c.query);
        if (!c.expectedSession) {
            EXPECT_EQ(session, nullptr);
        } else {
            ASSERT_NE(session, nullptr);
            EXPECT_EQ(session->name, c.expectedSession);
        }
    }
    EXPECT_EQ(store_.GetSoftwareModule("ZTV"), &store_.SoftwareModules()[0]);
    EXPECT_EQ(store_.GetSoftwareModule("Ztv2"), nullptr);
    EXPECT_EQ(store_.GetHardwareAsset("Bench7"), nullptr);
}

TEST_F(ConfigStoreTest, SessionPropertiesAndDefaults) {
    const ivi::DriverSession& bench = *store_.GetDriverSession("Bench7");
    EXPECT_EQ(bench.description, "bench seven");
    EXPECT_FALSE(bench.cache);
    EXPECT_TRUE(bench.interchangeCheck);
    EXPECT_TRUE(bench.queryInstrStatus);
    EXPECT_FALSE(bench.rangeCheck);
    EXPECT_TRUE(bench.recordCoercions);
    EXPECT_TRUE(bench.simulate);
    EXPECT_EQ(bench.driverSetup, "Model=Q7310A; Trace=false");

    const ivi::DriverSession& spare = store_.DriverSessions()[1];
    EXPECT_EQ(spare.name, "Spare");
    EXPECT_EQ(spare.hardwareAsset, nullptr);
    EXPECT_EQ(spare.softwareModule, nullptr);
    EXPECT_TRUE(spare.cache);
    EXPECT_FALSE(spare.interchangeCheck);
    EXPECT_FALSE(spare.queryInstrStatus);
    EXPECT_TRUE(spare.rangeCheck);
    EXPECT_FALSE(spare.recordCoercions);
    EXPECT_FALSE(spare.simulate);
    EXPECT_EQ(spare.driverSetup, "");

    ASSERT_EQ(store_.LogicalNames().size(), 2u);
    EXPECT_EQ(store_.LogicalNames()[1].session, &spare);
}

TEST_F(ConfigStoreTest, VirtualNamesKeepTheirRangesInOrder) {
    const auto& names = store_.GetDriverSession("Bench7")->virtualNames;
    ASSERT_EQ(names.size(), 2u);
    EXPECT_EQ(names[0].name, "Noise");
    EXPECT_EQ(names[0].mapTo, "PhaseNoise");
    EXPECT_TRUE(names[0].ranges.empty());
    EXPECT_EQ(names[1].mapTo, "Marker");
    ASSERT_EQ(names[1].ranges.size(), 2u);
    EXPECT_EQ(names[1].ranges[0].min, 1);
    EXPECT_EQ(names[1].ranges[0].max, 4);
    EXPECT_EQ(names[1].ranges[0].startingPhysicalIndex, 0);
    EXPECT_EQ(names[1].ranges[1].min, 7);
    EXPECT_EQ(names[1].ranges[1].max, 7);
    EXPECT_EQ(names[1].ranges[1].startingPhysicalIndex, 9);
}

TEST_F(ConfigStoreTest, DataComponentsOfEveryType) {
    const DataComponent* settings =
        FindDataComponent(store_.GetDriverSession("Bench7")->dataComponents, "configurable initial settings");
    ASSERT_NE(settings, nullptr);
    EXPECT_EQ(settings->type, "Structure");
    ASSERT_EQ(settings->children.size(), 6u);

    const auto& c = settings->children;
    EXPECT_EQ(c[0].type, "String");
    EXPECT_EQ(c[0].text, "Q7310B");
    EXPECT_EQ(c[1].type, "Integer");
    EXPECT_EQ(c[1].integer, -16);
    EXPECT_EQ(c[2].type, "Real");
    EXPECT_DOUBLE_EQ(c[2].real, 2.5e6);
    EXPECT_EQ(c[3].type, "Boolean");
    EXPECT_TRUE(c[3].boolean);
    EXPECT_EQ(c[5].type, "APIReference");
    EXPECT_EQ(c[5].text, "IviDriver");

    const DataComponent* inner = FindDataComponent(c, "INNER");
    ASSERT_NE(inner, nullptr);
    const DataComponent* depth = FindDataComponent(inner->children, "Depth");
    ASSERT_NE(depth, nullptr);
    EXPECT_EQ(depth->integer, 2);
    EXPECT_EQ(FindDataComponent(c, "Depth"), nullptr) << "lookup does not descend into structures";

    const DataComponent* serial =
        FindDataComponent(store_.GetHardwareAsset("Bench7Analyzer")->dataComponents, "Serial");
    ASSERT_NE(serial, nullptr);
    EXPECT_EQ(serial->text, "MY123");
    const DataComponent* moduleSettings =
        FindDataComponent(store_.GetSoftwareModule("Ztv")->dataComponents, "Configurable Initial Settings");
    ASSERT_NE(moduleSettings, nullptr);
    EXPECT_TRUE(moduleSettings->children.empty());
}

TEST(ConfigStoreLoad, ValueEdgesAreAccepted) {
    ConfigStore store;
    ASSERT_EQ(store.Deserialize(ivi_test::WriteStoreFile("edges.xml", R"(<IviConfigurationStore><SoftwareModules>
      <SoftwareModule name="M"><DataComponents>
        <DataComponent name="Low" type="Integer" value="-2147483648"/>
        <DataComponent name="High" type="Integer" value="2147483647"/>
        <DataComponent name="Tiny" type="Real" value="-1.25e-300"/>
        <DataComponent name="Off" type="Boolean" value="false"/>
        <DataComponent name="Empty" type="String" value=""/>
      </DataComponents></SoftwareModule></SoftwareModules></IviConfigurationStore>)")),
              S_OK)
        << store.LastError();
    const auto& c = store.GetSoftwareModule("M")->dataComponents;
    ASSERT_EQ(c.size(), 5u);
    EXPECT_EQ(c[0].integer, INT32_MIN);
    EXPECT_EQ(c[1].integer, INT32_MAX);
    EXPECT_DOUBLE_EQ(c[2].real, -1.25e-300);
    EXPECT_FALSE(c[3].boolean);
    EXPECT_EQ(c[3].text, "false");
    EXPECT_EQ(c[4].text, "");
}

TEST(ConfigStoreLoad, EmptyStoreHasNoObjects) {
    ConfigStore store;
    ASSERT_EQ(store.Deserialize(ivi_test::WriteStoreFile("empty.xml", "<IviConfigurationStore/>")), S_OK);
    EXPECT_TRUE(store.DriverSessions().empty());
    EXPECT_TRUE(store.HardwareAssets().empty());
    EXPECT_EQ(store.GetDriverSession("anything"), nullptr);
}

TEST(ConfigStoreLoad, MissingFileIsReportedWithItsPath) {
    ConfigStore store;
    std::string path = ivi_test::MissingStorePath();
    EXPECT_EQ(store.Deserialize(path), ivi::STORE_E_FILE_NOT_FOUND);
    EXPECT_NE(store.LastError().find(path), std::string::npos) << store.LastError();
    EXPECT_EQ(store.Deserialize(""), ivi::STORE_E_FILE_NOT_FOUND);
}

TEST(ConfigStoreLoad, FailedLoadKeepsEarlierContents) {
    ConfigStore store;
    ASSERT_EQ(store.Deserialize(ivi_test::WriteStoreFile("good.xml", kStore)), S_OK);
    EXPECT_TRUE(FAILED(store.Deserialize(ivi_test::WriteStoreFile("bad.xml", "<IviConfigurationStore>"))));
    EXPECT_FALSE(store.LastError().empty());
    ASSERT_NE(store.GetDriverSession("MyAnalyzer"), nullptr);
    EXPECT_EQ(store.GetDriverSession("MyAnalyzer")->hardwareAsset->name, "Bench7Analyzer");
}

TEST(ConfigStoreLoad, MovedStoreKeepsReferencesValid) {
    ConfigStore original;
    ASSERT_EQ(original.Deserialize(ivi_test::WriteStoreFile("move.xml", kStore)), S_OK);
    ConfigStore moved(std::move(original));
    const ivi::DriverSession* session = moved.GetDriverSession("MyAnalyzer");
    ASSERT_NE(session, nullptr);
    EXPECT_EQ(session->hardwareAsset, &moved.HardwareAssets()[0]);
    EXPECT_EQ(session->softwareModule, &moved.SoftwareModules()[0]);
}

TEST(ConfigStoreLocations, DefaultLocationComesFromTheEnvironment) {
    const char* saved = std::getenv("IVI_CONFIG_STORE");
    std::string savedValue = saved ? saved : "";

    setenv("IVI_CONFIG_STORE", "/tmp/some/store.xml", 1);
    EXPECT_EQ(ConfigStore::ProcessDefaultLocation(), "/tmp/some/store.xml");
    unsetenv("IVI_CONFIG_STORE");
    EXPECT_EQ(ConfigStore::ProcessDefaultLocation(), "");
    EXPECT_EQ(ConfigStore::MasterLocation(), "/etc/ivi/IviConfigurationStore.xml");

    if (saved) setenv("IVI_CONFIG_STORE", savedValue.c_str(), 1);
}

}  // namespace
