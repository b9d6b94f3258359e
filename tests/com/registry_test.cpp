#include "platform/com/registry.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <fstream>
#include <sstream>
#include <thread>
#include <vector>

#include "tests/com/temp_registry.h"

namespace {

using reg::Hive;

class Registry : public TempRegistryTest {};

TEST_F(Registry, ValuesRoundTripExactly) {
    struct Case {
        const char* valueName;
        std::string data;
    };
    const Case cases[] = {
        {"", "Zentrava Object"},
        {"ThreadingModel", "both"},
        {"Spaces", "  leading and trailing  "},
        {"Markup", "<a href=\"x\">&amp;'</a>"},
        {"Lines", "one\ntwo\r\nthree\tfour"},
        {"Empty", ""},
        {"Unicode", "\xC2\xB5s \xF0\x9F\x98\x80"},
    };
    const std::string key = "CLSID\\{4a62ca90-81d4-4a6d-91b8-8d2816874b05}";
    for (const Case& c : cases) ASSERT_EQ(reg::SetString(Hive::ClassesRoot, key, c.valueName, c.data), S_OK);
    for (const Case& c : cases) EXPECT_EQ(reg::GetString(Hive::ClassesRoot, key, c.valueName), c.data) << c.valueName;
    EXPECT_FALSE(reg::GetString(Hive::ClassesRoot, key, "Missing"));
    EXPECT_FALSE(reg::GetString(Hive::LocalMachine, key, ""));  // hives are separate
    EXPECT_EQ(reg::SetString(Hive::ClassesRoot, key, "Nul", std::string("a\0b", 3)), E_INVALIDARG);
}

TEST_F(Registry, NamesIgnoreCaseAndKeepIt) {
    ASSERT_EQ(reg::SetString(Hive::ClassesRoot, "Zentrava.Zentrava\\CurVer", "", "Zentrava.Zentrava.1"), S_OK);
    EXPECT_EQ(reg::GetString(Hive::ClassesRoot, "ZENTRAVA.zentrava\\curver", ""), "Zentrava.Zentrava.1");
    EXPECT_TRUE(reg::KeyExists(Hive::ClassesRoot, "zentrava.ZENTRAVA"));
    ASSERT_EQ(reg::SetString(Hive::ClassesRoot, "zentrava.zentrava\\CURVER", "", "Zentrava.Zentrava.2"), S_OK);
    EXPECT_EQ(reg::GetString(Hive::ClassesRoot, "Zentrava.Zentrava\\CurVer", ""), "Zentrava.Zentrava.2");
    ASSERT_EQ(reg::SetString(Hive::ClassesRoot, "Zentrava.Zentrava", "Flag", "1"), S_OK);
    ASSERT_EQ(reg::SetString(Hive::ClassesRoot, "Zentrava.Zentrava", "FLAG", "2"), S_OK);
    EXPECT_EQ(reg::GetString(Hive::ClassesRoot, "Zentrava.Zentrava", "flag"), "2");

    ASSERT_EQ(reg::CreateKey(Hive::ClassesRoot, "ZENTRAVA.ZENTRAVA\\CLSID"), S_OK);
    const std::vector<std::string> expected = {"CurVer", "CLSID"};
    EXPECT_EQ(reg::SubKeys(Hive::ClassesRoot, "zentrava.zentrava"), expected);
    const std::vector<std::string> top = {"Zentrava.Zentrava"};
    EXPECT_EQ(reg::SubKeys(Hive::ClassesRoot, ""), top);
}

TEST_F(Registry, CreateKeyMakesParentsAndEmptyComponentsAreIgnored) {
    ASSERT_EQ(reg::CreateKey(Hive::LocalMachine, "SOFTWARE\\IVI\\Components"), S_OK);
    EXPECT_TRUE(reg::KeyExists(Hive::LocalMachine, "SOFTWARE"));
    EXPECT_TRUE(reg::KeyExists(Hive::LocalMachine, "\\SOFTWARE\\\\IVI\\"));
    EXPECT_FALSE(reg::KeyExists(Hive::LocalMachine, "SOFTWARE\\IVI\\Other"));
    EXPECT_FALSE(reg::KeyExists(Hive::CurrentUser, "SOFTWARE"));
    ASSERT_EQ(reg::CreateKey(Hive::LocalMachine, "SOFTWARE\\IVI"), S_OK);  // existing is fine
    EXPECT_EQ(reg::SubKeys(Hive::LocalMachine, "SOFTWARE\\IVI"), std::vector<std::string>{"Components"});
    EXPECT_TRUE(reg::SubKeys(Hive::LocalMachine, "Nowhere").empty());
}

TEST_F(Registry, DeleteTreeRemovesEverythingBelow) {
    const std::string clsidKey = "CLSID\\{4a62ca90-81d4-4a6d-91b8-8d2816874b05}";
    ASSERT_EQ(reg::SetString(Hive::ClassesRoot, clsidKey + "\\InprocServer32", "", "/lib/x.so"), S_OK);
    ASSERT_EQ(reg::SetString(Hive::ClassesRoot, clsidKey + "\\ProgID", "", "Zentrava.Zentrava.1"), S_OK);
    ASSERT_EQ(reg::SetString(Hive::ClassesRoot, "CLSID\\{other}", "", "kept"), S_OK);

    EXPECT_EQ(reg::DeleteTree(Hive::ClassesRoot, "clsid\\{4A62CA90-81D4-4A6D-91B8-8D2816874B05}"), S_OK);
    EXPECT_FALSE(reg::KeyExists(Hive::ClassesRoot, clsidKey));
    EXPECT_FALSE(reg::GetString(Hive::ClassesRoot, clsidKey + "\\ProgID", ""));
    EXPECT_TRUE(reg::KeyExists(Hive::ClassesRoot, "CLSID"));
    EXPECT_EQ(reg::GetString(Hive::ClassesRoot, "CLSID\\{other}", ""), "kept");

    EXPECT_EQ(reg::DeleteTree(Hive::ClassesRoot, clsidKey), S_FALSE);
    EXPECT_EQ(reg::DeleteTree(Hive::ClassesRoot, "Never\\There"), S_FALSE);
    EXPECT_EQ(reg::DeleteTree(Hive::ClassesRoot, ""), E_INVALIDARG);
}

TEST_F(Registry, DeleteValueLeavesTheKey) {
    ASSERT_EQ(reg::SetString(Hive::ClassesRoot, "AppID\\Zentrava.DLL", "AppID", "{x}"), S_OK);
    EXPECT_EQ(reg::DeleteValue(Hive::ClassesRoot, "AppID\\Zentrava.DLL", "appid"), S_OK);
    EXPECT_FALSE(reg::GetString(Hive::ClassesRoot, "AppID\\Zentrava.DLL", "AppID"));
    EXPECT_TRUE(reg::KeyExists(Hive::ClassesRoot, "AppID\\Zentrava.DLL"));
    EXPECT_EQ(reg::DeleteValue(Hive::ClassesRoot, "AppID\\Zentrava.DLL", "AppID"), S_FALSE);
    EXPECT_EQ(reg::DeleteValue(Hive::ClassesRoot, "AppID\\Missing", "AppID"), S_FALSE);
}

TEST_F(Registry, MissingFileReadsEmptyAndWritesCreateFolders) {
    EXPECT_FALSE(reg::KeyExists(Hive::ClassesRoot, "CLSID"));
    const std::string nested = (folder() / "a" / "b" / "registry.xml").string();
    ::setenv("ZENTRAVA_REGISTRY", nested.c_str(), 1);
    EXPECT_EQ(reg::FilePath(), nested);
    ASSERT_EQ(reg::CreateKey(Hive::ClassesRoot, "CLSID"), S_OK);
    EXPECT_TRUE(std::filesystem::exists(nested));
    EXPECT_TRUE(reg::KeyExists(Hive::ClassesRoot, "CLSID"));
}

TEST_F(Registry, UnreadableOrUnwritableFileFails) {
    {
        std::ofstream broken(registryFile());
        broken << "<registry><hive name=";
    }
    EXPECT_FALSE(reg::GetString(Hive::ClassesRoot, "CLSID", ""));
    EXPECT_EQ(reg::SetString(Hive::ClassesRoot, "CLSID", "", "x"), REGDB_E_READREGDB);
    std::ifstream after(registryFile());
    std::stringstream content;
    content << after.rdbuf();
    EXPECT_EQ(content.str(), "<registry><hive name=");  // not overwritten

    // A path below a regular file can hold neither lock nor data.
    const std::string underFile = registryFile() + "/registry.xml";
    ::setenv("ZENTRAVA_REGISTRY", underFile.c_str(), 1);
    EXPECT_EQ(reg::CreateKey(Hive::ClassesRoot, "CLSID"), REGDB_E_WRITEREGDB);
}

TEST_F(Registry, ConcurrentWritersLoseNothing) {
    constexpr int kThreads = 4;
    constexpr int kWrites = 8;
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([t] {
            for (int i = 0; i < kWrites; ++i) {
                reg::SetString(Hive::CurrentUser, "Load\\T" + std::to_string(t), "V" + std::to_string(i),
                               std::to_string(t * 100 + i));
            }
        });
    }
    for (std::thread& thread : threads) thread.join();
    for (int t = 0; t < kThreads; ++t) {
        for (int i = 0; i < kWrites; ++i) {
            EXPECT_EQ(reg::GetString(Hive::CurrentUser, "Load\\T" + std::to_string(t), "V" + std::to_string(i)),
                      std::to_string(t * 100 + i));
        }
    }
}

TEST_F(Registry, FileLocationFromEnvironment) {
    const char* xdg = std::getenv("XDG_CONFIG_HOME");
    const std::optional<std::string> savedXdg = xdg ? std::optional<std::string>(xdg) : std::nullopt;
    const char* home = std::getenv("HOME");
    const std::optional<std::string> savedHome = home ? std::optional<std::string>(home) : std::nullopt;

    EXPECT_EQ(reg::FilePath(), registryFile());
    ::unsetenv("ZENTRAVA_REGISTRY");
    ::setenv("XDG_CONFIG_HOME", "/cfg", 1);
    ::setenv("HOME", "/home/u", 1);
    EXPECT_EQ(reg::FilePath(), "/cfg/zentrava/registry.xml");
    ::setenv("XDG_CONFIG_HOME", "", 1);
    EXPECT_EQ(reg::FilePath(), "/home/u/.config/zentrava/registry.xml");
    ::unsetenv("XDG_CONFIG_HOME");
    EXPECT_EQ(reg::FilePath(), "/home/u/.config/zentrava/registry.xml");

    savedXdg ? ::setenv("XDG_CONFIG_HOME", savedXdg->c_str(), 1) : ::unsetenv("XDG_CONFIG_HOME");
    savedHome ? ::setenv("HOME", savedHome->c_str(), 1) : ::unsetenv("HOME");
}

}  // namespace
