#include "tests/ivi/store_test_files.h"

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <stdexcept>

namespace ivi_test {
namespace {

const std::string& TestFolder() {
    static const std::string folder = [] {
        const char* base = std::getenv("ZENTRAVA_TEST_TMP");
        std::filesystem::path root =
            base && *base ? std::filesystem::path(base) : std::filesystem::temp_directory_path();
        std::filesystem::create_directories(root);
        std::string pattern = (root / "ivi-store-XXXXXX").string();
        if (!mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp failed under " + root.string());
        return pattern;
    }();
    return folder;
}

}  // namespace

std::string WriteStoreFile(std::string_view fileName, std::string_view text) {
    std::string path = TestFolder() + "/" + std::string(fileName);
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << text;
    if (!out) throw std::runtime_error("cannot write " + path);
    return path;
}

std::string MissingStorePath() { return TestFolder() + "/no-such-store.xml"; }

}  // namespace ivi_test
