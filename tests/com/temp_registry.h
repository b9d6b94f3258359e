// Points ZENTRAVA_REGISTRY at a registry file in a fresh temporary folder
// for the lifetime of the fixture, and restores the previous setting.
#pragma once

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <optional>
#include <string>

class TempRegistryTest : public ::testing::Test {
protected:
    void SetUp() override {
        const char* base = std::getenv("ZENTRAVA_TEST_TMP");
        std::filesystem::path root = base != nullptr && *base != '\0' ? base : std::filesystem::temp_directory_path();
        std::filesystem::create_directories(root);
        std::string pattern = (root / "com-registry-XXXXXX").string();
        ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
        folder_ = pattern;
        if (const char* old = std::getenv("ZENTRAVA_REGISTRY")) previous_ = old;
        registryFile_ = (folder_ / "registry.xml").string();
        ::setenv("ZENTRAVA_REGISTRY", registryFile_.c_str(), 1);
    }

    void TearDown() override {
        if (previous_) {
            ::setenv("ZENTRAVA_REGISTRY", previous_->c_str(), 1);
        } else {
            ::unsetenv("ZENTRAVA_REGISTRY");
        }
        std::error_code ignored;
        std::filesystem::remove_all(folder_, ignored);
    }

    const std::filesystem::path& folder() const { return folder_; }
    const std::string& registryFile() const { return registryFile_; }

private:
    std::filesystem::path folder_;
    std::string registryFile_;
    std::optional<std::string> previous_;
};
