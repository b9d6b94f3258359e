// A registration that fails half-way leaves the registry file as it was. The
// type library is moved aside for the test, so it runs alone.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "platform/com/registry.h"
#include "server/registration.h"
#include "tests/support/test_support.h"

namespace ztv::test {
namespace {

std::string Contents(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

// Moves a file aside for its lifetime.
class MovedAside {
public:
    explicit MovedAside(std::string path) : path_(std::move(path)) { std::filesystem::rename(path_, path_ + ".aside"); }
    ~MovedAside() { std::filesystem::rename(path_ + ".aside", path_); }

private:
    std::string path_;
};

TEST(RegistrationFailure, LeavesTheOldFileOrNone) {
    IsolatedEnvironment env;
    {
        MovedAside typeLibrary(TypeLibraryPath());
        EXPECT_EQ(RegisterServer(), TYPE_E_CANTLOADLIBRARY);
    }
    EXPECT_FALSE(std::filesystem::exists(reg::FilePath())) << "no file before, none after";

    ASSERT_EQ(reg::SetString(reg::Hive::ClassesRoot, "Other.Class", "", "kept"), S_OK);
    const std::string before = Contents(reg::FilePath());
    {
        MovedAside typeLibrary(TypeLibraryPath());
        EXPECT_EQ(RegisterServer(), TYPE_E_CANTLOADLIBRARY);
    }
    EXPECT_EQ(Contents(reg::FilePath()), before);

    EXPECT_EQ(RegisterServer(), S_OK) << "with the type library back, registration completes";
    EXPECT_TRUE(reg::GetString(reg::Hive::ClassesRoot, "Zentrava.Zentrava.1\\CLSID", "").has_value());
}

}  // namespace
}  // namespace ztv::test
