#include "platform/visa/transport/usb/usbtmc_locate.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "tests/support/test_support.h"
#include "tests/usbtmc/fake_sysfs.h"

namespace visa {
namespace {

using ztv::test::AddSysfsInterface;

class UsbtmcLocate : public ::testing::Test {
protected:
    void SetUp() override {
        AddSysfsInterface(root(), {"usbtmc0", "1-1", "0957", "1a07", "MY001", 0, "usbtmc0"});
        AddSysfsInterface(root(), {"usbtmc1", "1-2", "0957", "1a07", "my002", 1, "usbtmc1"});
        AddSysfsInterface(root(), {"usbtmc2", "1-3", "1ab1", "04ce", "MY001", 0, "usbtmc2"});
        // Two USBTMC interfaces of one device, the higher one listed first.
        AddSysfsInterface(root(), {"usbtmc3", "1-4", "2a8d", "0101", "DUAL", 3, "usbtmc3"});
        AddSysfsInterface(root(), {"usbtmc4", "1-4", "2a8d", "0101", "DUAL", 2, "usbtmc4"});
        // No serial number; the node udev made has another name than the class entry.
        AddSysfsInterface(root(), {"usbtmc5", "2-1", "0699", "0368", std::nullopt, 0, "usbtmc/bench5"});
        // No uevent: the class entry's own name.
        AddSysfsInterface(root(), {"usbtmc6", "2-2", "0699", "0369", "OLD", 0, std::nullopt});
    }
    const std::filesystem::path& root() const { return dir_.path(); }

    ztv::test::TempDir dir_;
};

TEST_F(UsbtmcLocate, FindsTheNodeByIdsSerialAndInterface) {
    struct Case {
        UsbtmcQuery query;
        const char* node;
    };
    const Case cases[] = {
        {{0x0957, 0x1A07, "MY001", std::nullopt}, "usbtmc0"},
        {{0x0957, 0x1A07, "MY002", std::nullopt}, "usbtmc1"},  // serial compared without case
        {{0x0957, 0x1A07, "MY002", 1}, "usbtmc1"},
        {{0x1AB1, 0x04CE, "MY001", 0}, "usbtmc2"},
        {{0x2A8D, 0x0101, "DUAL", std::nullopt}, "usbtmc4"},  // the lowest interface
        {{0x2A8D, 0x0101, "DUAL", 3}, "usbtmc3"},
        {{0x0699, 0x0368, "", std::nullopt}, "usbtmc/bench5"},  // no serial, DEVNAME
        {{0x0699, 0x0369, "OLD", std::nullopt}, "usbtmc6"},
    };
    for (const Case& c : cases) {
        std::string path;
        const Status status = LocateUsbtmc(c.query, root().string(), "/dev", &path);
        ASSERT_TRUE(status.ok()) << status.text;
        EXPECT_EQ(path, std::string("/dev/") + c.node);
    }
}

TEST_F(UsbtmcLocate, MissingDeviceNamesWhatWasSearched) {
    struct Case {
        UsbtmcQuery query;
        const char* says;
    } misses[] = {
        {{0x0957, 0x1A07, "MY003", std::nullopt}, "0x0957::0x1A07 with serial number \"MY003\" under "},
        {{0x0957, 0x1A07, "MY001", 1}, "0x0957::0x1A07 with serial number \"MY001\" on interface 1 under "},
        {{0x0957, 0x1A08, "MY001", std::nullopt}, "0x0957::0x1A08 with serial number \"MY001\" under "},
        {{0x0957, 0x1A07, "", std::nullopt}, "0x0957::0x1A07 without a serial number under "},
    };
    for (const Case& c : misses) {
        std::string path;
        const Status status = LocateUsbtmc(c.query, root().string(), "/dev", &path);
        EXPECT_EQ(status.code, E_VISA_RSRC_NFOUND);
        EXPECT_THAT(status.text, ::testing::HasSubstr(c.says));
    }
}

TEST_F(UsbtmcLocate, ListsEveryInterfaceAsAResource) {
    EXPECT_THAT(ListUsbtmcResources(root().string()),
                ::testing::ElementsAre("USB0::0x0699::0x0368::INSTR", "USB0::0x0699::0x0369::OLD::INSTR",
                                       "USB0::0x0957::0x1A07::MY001::INSTR", "USB0::0x0957::0x1A07::my002::INSTR",
                                       "USB0::0x1AB1::0x04CE::MY001::INSTR", "USB0::0x2A8D::0x0101::DUAL::2::INSTR",
                                       "USB0::0x2A8D::0x0101::DUAL::3::INSTR"));
    EXPECT_TRUE(ListUsbtmcResources((root() / "nothing").string()).empty());
}

}  // namespace
}  // namespace visa
