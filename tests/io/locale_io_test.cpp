// A host program whose locale writes a comma as decimal mark (as every Qt or
// GTK program sets it): the numbers the driver sends and reads stay those of
// the C locale.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "tests/io/driver_on_emulator.h"
#include "zentrava/interfaces.h"

namespace ztv::test {
namespace {

using ::testing::ElementsAre;

class CommaLocaleHost : public ::testing::Test {
protected:
    void SetUp() override {
        if (!locale_.active()) GTEST_SKIP() << CommaDecimalLocale::kMissing;
        ASSERT_EQ(rig_.Initialize(false, false), S_OK) << ThreadErrorText();
        rig_.ClearSent();
    }

    CommaDecimalLocale locale_;
    DriverOnEmulator rig_{Link::Socket};
};

TEST_F(CommaLocaleHost, CommandsCarryAPointAsDecimalMark) {
    auto root = Query<IZentrava>(rig_.driver(), IID_IZentrava);
    ASSERT_EQ(root->put_Attenuation(10.5), S_OK) << ThreadErrorText();
    ASSERT_EQ(rig_.io().InstrPrintf("SENS:ATT:LEV %.15g", 0.1), S_OK);
    ASSERT_EQ(rig_.io().InstrPrintf("SENS:ATT:LEV %.3f", 2.25), S_OK);
    EXPECT_THAT(rig_.Sent(), ElementsAre("SENS:ATT:LEV 10.5\n", "SENS:ATT:LEV 0.1\n", "SENS:ATT:LEV 2.250\n"));
    EXPECT_EQ(rig_.instrument().Setting("SENS:ATT:LEV"), "2.250");
}

TEST_F(CommaLocaleHost, RepliesAreReadWithAPointAsDecimalMark) {
    const struct {
        const char* setting;
        double value;
    } cases[] = {{"10.5", 10.5}, {"+1.5E+06", 1.5e6}, {"-0.125", -0.125}};
    for (const auto& c : cases) {
        rig_.instrument().SetSetting("SENS:ATT:LEV", c.setting);
        double value = 0;
        ASSERT_EQ(rig_.io().InstrQuery("SENS:ATT:LEV?", &value, kCurrentTimeout), S_OK) << ThreadErrorText();
        EXPECT_EQ(value, c.value) << c.setting;
    }
    rig_.instrument().SetSetting("SENS:ATT:LEV", "12.75");
    auto root = Query<IZentrava>(rig_.driver(), IID_IZentrava);
    double attenuation = 0;
    ASSERT_EQ(root->get_Attenuation(&attenuation), S_OK) << ThreadErrorText();
    EXPECT_EQ(attenuation, 12.75);
}

}  // namespace
}  // namespace ztv::test
