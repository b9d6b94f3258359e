#include "platform/visa/transport/usbtmc_locate.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

namespace visa {
namespace {

namespace fs = std::filesystem;

// A sysfs tree as the kernel lays it out: the class entry links to the USB
// interface, whose parent directory is the USB device.
class FakeSysfs : public ::testing::Test {
protected:
    void SetUp() override {
        root_ = fs::temp_directory_path() / ("ztv-sysfs-" + std::to_string(::getpid()));
        fs::remove_all(root_);
        AddDevice("usbtmc0", "1-1", "0957", "1a07", "MY001", "00");
        AddDevice("usbtmc1", "1-2", "0957", "1a07", "my002", "01");
        AddDevice("usbtmc2", "1-3", "1ab1", "04ce", "MY001", "00");
    }
    void TearDown() override { fs::remove_all(root_); }

    void AddDevice(const std::string& node, const std::string& port, const std::string& vendor,
                   const std::string& product, const std::string& serial, const std::string& interfaceNumber) {
        const fs::path device = root_ / "devices" / port;
        const fs::path interface = device / (port + ":1.0");
        fs::create_directories(interface);
        std::ofstream(device / "idVendor") << vendor << "\n";
        std::ofstream(device / "idProduct") << product << "\n";
        std::ofstream(device / "serial") << serial << "\n";
        std::ofstream(interface / "bInterfaceNumber") << interfaceNumber << "\n";
        fs::create_directories(root_ / "class" / "usbmisc" / node);
        fs::create_directory_symlink(interface, root_ / "class" / "usbmisc" / node / "device");
    }

    fs::path root_;
};

TEST_F(FakeSysfs, FindsTheNodeByIdsAndSerial) {
    struct Case {
        UsbtmcQuery query;
        const char* node;
    };
    const Case cases[] = {
        {{0x0957, 0x1A07, "MY001", std::nullopt}, "usbtmc0"},
        {{0x0957, 0x1A07, "MY002", std::nullopt}, "usbtmc1"},  // serial compared without case
        {{0x0957, 0x1A07, "MY002", 1}, "usbtmc1"},
        {{0x1AB1, 0x04CE, "MY001", 0}, "usbtmc2"},
    };
    for (const Case& c : cases) {
        std::string path;
        const Status status = LocateUsbtmc(c.query, root_.string(), "/dev", &path);
        ASSERT_TRUE(status.ok()) << status.text;
        EXPECT_EQ(path, std::string("/dev/") + c.node);
    }
}

TEST_F(FakeSysfs, MissingDeviceNamesWhatWasSearched) {
    const UsbtmcQuery misses[] = {{0x0957, 0x1A07, "MY003", std::nullopt},
                                  {0x0957, 0x1A07, "MY001", 1},
                                  {0x0957, 0x1A08, "MY001", std::nullopt}};
    for (const UsbtmcQuery& query : misses) {
        std::string path;
        const Status status = LocateUsbtmc(query, root_.string(), "/dev", &path);
        EXPECT_EQ(status.code, E_VISA_RSRC_NFOUND);
        EXPECT_NE(status.text.find(query.serialNumber), std::string::npos);
        EXPECT_NE(status.text.find("0x0957"), std::string::npos);
    }
}

}  // namespace
}  // namespace visa
