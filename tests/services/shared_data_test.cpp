#include "services/shared_data.h"

#include <gtest/gtest.h>

#include "tests/support/test_support.h"

namespace ztv::test {
namespace {

namespace fs = std::filesystem;

// The library in <prefix>/lib or in a multiarch folder below it finds the
// data under <prefix>/share/zentrava.
TEST(SharedData, FoundBesideTheLibraryFolderOrAboveAMultiarchFolder) {
    struct Case {
        const char* library;  // relative to the prefix
        bool multiarchData;   // share/zentrava exists under the prefix, none beside lib/x86_64-linux-gnu
        const char* expected;
    };
    const Case cases[] = {
        {"lib/libzentrava.so.1", true, "share/zentrava"},
        {"lib/x86_64-linux-gnu/libzentrava.so.1", true, "share/zentrava"},
        // Nothing installed: the plain layout's place, for the error message.
        {"lib/x86_64-linux-gnu/libzentrava.so.1", false, "lib/share/zentrava"},
    };
    for (const Case& c : cases) {
        TempDir prefix;
        if (c.multiarchData) fs::create_directories(prefix.path() / "share" / "zentrava");
        EXPECT_EQ(SharedDataFolderOf(prefix.path() / c.library), prefix.path() / c.expected) << c.library;
    }
}

}  // namespace
}  // namespace ztv::test
