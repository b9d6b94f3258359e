#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>

#include "platform/ivi/config_store.h"
#include "tests/ivi/store_test_files.h"

namespace {

std::string ExampleFromReadme() {
    std::ifstream readme(ZTV_STORE_README);
    std::stringstream text;
    text << readme.rdbuf();
    std::string all = text.str();
    size_t start = all.find("```xml\n");
    if (start == std::string::npos) return {};
    start += 7;
    return all.substr(start, all.find("```", start) - start);
}

TEST(ConfigStoreReadme, DocumentedExampleLoadsAsDescribed) {
    std::string example = ExampleFromReadme();
    ASSERT_FALSE(example.empty()) << "no xml example in " << ZTV_STORE_README;
    ivi::ConfigStore store;
    ASSERT_EQ(store.Deserialize(ivi_test::WriteStoreFile("readme.xml", example)), S_OK) << store.LastError();

    const ivi::DriverSession* session = store.GetDriverSession("MyAnalyzer");
    ASSERT_NE(session, nullptr);
    ASSERT_NE(session->hardwareAsset, nullptr);
    EXPECT_EQ(session->hardwareAsset->ioResourceDescriptor, "TCPIP0::192.168.1.20::inst0::INSTR");
    EXPECT_EQ(session->driverSetup, "Model=Q7310A");
    ASSERT_EQ(session->virtualNames.size(), 2u);
    EXPECT_EQ(session->virtualNames[1].ranges.size(), 2u);
    const ivi::DataComponent* settings =
        ivi::FindDataComponent(session->dataComponents, "Configurable Initial Settings");
    ASSERT_NE(settings, nullptr);
    EXPECT_EQ(settings->children.size(), 6u);
    EXPECT_NE(store.GetSoftwareModule("Ztv"), nullptr);
}

}  // namespace
