#include <gtest/gtest.h>

#include <string>

#include "platform/ivi/config_store.h"
#include "tests/ivi/store_test_files.h"

namespace {

struct MalformedCase {
    const char* name;
    const char* xml;
    const char* expectedMessage;  // a part of LastError()
};

void PrintTo(const MalformedCase& c, std::ostream* out) { *out << c.name; }

class ConfigStoreMalformed : public ::testing::TestWithParam<MalformedCase> {};

TEST_P(ConfigStoreMalformed, FailsWithAClearMessage) {
    const MalformedCase& c = GetParam();
    ivi::ConfigStore store;
    std::string path = ivi_test::WriteStoreFile(std::string(c.name) + ".xml", c.xml);
    EXPECT_EQ(store.Deserialize(path), E_FAIL);
    EXPECT_NE(store.LastError().find(c.expectedMessage), std::string::npos) << store.LastError();
    EXPECT_EQ(store.LastError().rfind(path, 0), 0u) << "the message starts with the file: " << store.LastError();
    EXPECT_TRUE(store.DriverSessions().empty());
}

#define STORE(body) "<IviConfigurationStore>" body "</IviConfigurationStore>"
#define SESSIONS(body) STORE("<DriverSessions>" body "</DriverSessions>")
#define MODULE_COMPONENTS(body)                                             \
    STORE("<SoftwareModules><SoftwareModule name='M'><DataComponents>" body \
          "</DataComponents></SoftwareModule></SoftwareModules>")

INSTANTIATE_TEST_SUITE_P(
    Cases, ConfigStoreMalformed,
    ::testing::Values(
        MalformedCase{"EmptyFile", "", "No document element found"},
        MalformedCase{"Unclosed", "<IviConfigurationStore><DriverSessions>", "not well-formed XML"},
        MalformedCase{"BadAttributeQuoting", STORE("<HardwareAssets><HardwareAsset name=A/></HardwareAssets>"),
                      "not well-formed XML"},
        MalformedCase{"WrongRoot", "<IviStore/>", "expected <IviConfigurationStore>"},
        MalformedCase{"TwoRoots", "<IviConfigurationStore/><IviConfigurationStore/>", "more than one top-level"},
        MalformedCase{"MissingAsset", SESSIONS("<DriverSession name='S' hardwareAsset='Gone'/>"),
                      "names hardware asset \"Gone\", which is not defined"},
        MalformedCase{"MissingModule", SESSIONS("<DriverSession name='S' softwareModule='Gone'/>"),
                      "names software module \"Gone\""},
        MalformedCase{"MissingSession", STORE("<LogicalNames><LogicalName name='L' session='Gone'/></LogicalNames>"),
                      "names driver session \"Gone\""},
        MalformedCase{"LogicalNameWithoutSession", STORE("<LogicalNames><LogicalName name='L'/></LogicalNames>"),
                      "lacks the attribute \"session\""},
        MalformedCase{"UnknownType", MODULE_COMPONENTS("<DataComponent name='X' type='Float' value='1'/>"),
                      "unknown type \"Float\""},
        MalformedCase{"TypeInWrongCase", MODULE_COMPONENTS("<DataComponent name='X' type='string' value='1'/>"),
                      "unknown type \"string\""},
        MalformedCase{"IntegerWithJunk", MODULE_COMPONENTS("<DataComponent name='X' type='Integer' value='12a'/>"),
                      "\"12a\" is not a 32-bit integer"},
        MalformedCase{"IntegerOverflow",
                      MODULE_COMPONENTS("<DataComponent name='X' type='Integer' value='2147483648'/>"),
                      "is not a 32-bit integer"},
        MalformedCase{"RealNotANumber", MODULE_COMPONENTS("<DataComponent name='X' type='Real' value='fast'/>"),
                      "\"fast\" is not a number"},
        MalformedCase{"EmptyReal", MODULE_COMPONENTS("<DataComponent name='X' type='Real' value=''/>"),
                      "is not a number"},
        MalformedCase{"BooleanYes", MODULE_COMPONENTS("<DataComponent name='X' type='Boolean' value='yes'/>"),
                      "\"yes\" is not true or false"},
        MalformedCase{"ScalarWithoutValue", MODULE_COMPONENTS("<DataComponent name='X' type='String'/>"),
                      "lacks the attribute \"value\""},
        MalformedCase{"ComponentWithoutType", MODULE_COMPONENTS("<DataComponent name='X' value='1'/>"),
                      "lacks the attribute \"type\""},
        MalformedCase{"StructureWithValue", MODULE_COMPONENTS("<DataComponent name='X' type='Structure' value='1'/>"),
                      "takes no value"},
        MalformedCase{"ScalarWithChildren",
                      MODULE_COMPONENTS("<DataComponent name='X' type='String' value='1'>"
                                        "<DataComponent name='Y' type='String' value='2'/></DataComponent>"),
                      "has no content"},
        MalformedCase{"BadNestedComponent",
                      MODULE_COMPONENTS("<DataComponent name='X' type='Structure'>"
                                        "<DataComponent name='Y' type='Integer' value='x'/></DataComponent>"),
                      "data component \"Y\""},
        MalformedCase{"SessionFlagNotBoolean", SESSIONS("<DriverSession name='S' simulate='TRUE'/>"),
                      "simulate=\"TRUE\" is not true or false"},
        MalformedCase{"DuplicateAssetIgnoringCase",
                      STORE("<HardwareAssets><HardwareAsset name='A'/><HardwareAsset name='a'/></HardwareAssets>"),
                      "HardwareAsset \"a\" is defined twice"},
        MalformedCase{"DuplicateSection", STORE("<DriverSessions/><DriverSessions/>"),
                      "<DriverSessions> appears twice"},
        MalformedCase{"UnknownSection", STORE("<Sessions/>"), "unexpected <Sessions> inside <IviConfigurationStore>"},
        MalformedCase{"MisspelledAttribute",
                      STORE("<HardwareAssets><HardwareAsset name='A' ioResourceDescripter='x'/></HardwareAssets>"),
                      "unknown attribute \"ioResourceDescripter\""},
        MalformedCase{"MissingName", SESSIONS("<DriverSession description='no name'/>"),
                      "lacks the attribute \"name\""},
        MalformedCase{"EmptyName", SESSIONS("<DriverSession name=''/>"), "has an empty name"},
        MalformedCase{"VirtualNamesOnAsset",
                      STORE("<HardwareAssets><HardwareAsset name='A'><VirtualNames/></HardwareAsset></HardwareAssets>"),
                      "unexpected <VirtualNames> inside <HardwareAsset>"},
        MalformedCase{"VirtualNameWithoutMapTo",
                      SESSIONS("<DriverSession name='S'><VirtualNames>"
                               "<VirtualName name='V'/></VirtualNames></DriverSession>"),
                      "lacks the attribute \"mapTo\""},
        MalformedCase{"RangeReversed",
                      SESSIONS("<DriverSession name='S'><VirtualNames><VirtualName name='V' mapTo='P'>"
                               "<Range min='5' max='1' startingPhysicalIndex='1'/>"
                               "</VirtualName></VirtualNames></DriverSession>"),
                      "min is greater than max"},
        MalformedCase{"RangeWithoutMax",
                      SESSIONS("<DriverSession name='S'><VirtualNames><VirtualName name='V' mapTo='P'>"
                               "<Range min='1' startingPhysicalIndex='1'/>"
                               "</VirtualName></VirtualNames></DriverSession>"),
                      "lacks the attribute \"max\""},
        MalformedCase{"TextInContainer", STORE("<DriverSessions>Bench7</DriverSessions>"), "holds text"}),
    [](const ::testing::TestParamInfo<MalformedCase>& info) { return std::string(info.param.name); });

#undef MODULE_COMPONENTS
#undef SESSIONS
#undef STORE

TEST(ConfigStoreMalformedLine, MessageNamesTheLineOfTheFault) {
    ivi::ConfigStore store;
    std::string path = ivi_test::WriteStoreFile("line.xml",
                                                "<IviConfigurationStore>\n"
                                                "  <DriverSessions>\n"
                                                "    <DriverSession name='Ok'/>\n"
                                                "    <DriverSession name='S' hardwareAsset='Gone'/>\n"
                                                "  </DriverSessions>\n"
                                                "</IviConfigurationStore>\n");
    ASSERT_EQ(store.Deserialize(path), E_FAIL);
    EXPECT_NE(store.LastError().find("line 4:"), std::string::npos) << store.LastError();
}

}  // namespace
