// Trace file names and the stylesheet lookup.
#include "services/tracing/trace_files.h"

#include <gtest/gtest.h>

#include <fstream>

#include "tests/support/test_support.h"
#include "tests/tracing/trace_xml.h"

namespace ztv::test {
namespace {

namespace fs = std::filesystem;

void Touch(const fs::path& path) {
    fs::create_directories(path.parent_path());
    std::ofstream(path) << "<xsl:stylesheet/>";
}

TEST(TraceFiles, NamesFollowTheRequestOrTheClock) {
    const fs::path here = fs::current_path();
    const std::time_t now = LocalTime(9, 30, 5);
    struct Case {
        const char* requested;
        fs::path expected;
    } cases[] = {
        {"mytrace", here / "mytrace.xml"},
        {"mytrace.XML", here / "mytrace.XML"},
        {"run.txt", here / "run.txt.xml"},
        {"logs/run42", here / "logs" / "run42.xml"},
        {"/var/tmp/run42", "/var/tmp/run42.xml"},
        {"/var/tmp/run42.xml", "/var/tmp/run42.xml"},
        {"", here / "Zentrava_2007-05-14_09-30-05.xml"},
    };
    for (const Case& c : cases) EXPECT_EQ(TraceFilePath(c.requested, "Zentrava", now), c.expected) << c.requested;
}

TEST(TraceFiles, StylesheetComesFromTheCompanyFolderOrTheFrameworkFolder) {
    TempDir dir;
    const fs::path components = dir.path() / "components";
    const fs::path company = components / "Orvane Technologies";
    const fs::path framework = components / "DriverFramework";
    Touch(framework / "trace.xslt");
    Touch(framework / "fancy.xslt");
    Touch(dir.path() / "own" / "mine.xsl");

    // Without a company folder the framework's is used.
    EXPECT_EQ(FindStylesheet("", components, "Orvane Technologies"), framework / "trace.xslt");
    EXPECT_EQ(FindStylesheet("fancy", components, "Orvane Technologies"), framework / "fancy.xslt");

    Touch(company / "trace.xslt");
    Touch(company / "custom.XSLT");
    struct Case {
        std::string transform;
        fs::path expected;
    } cases[] = {
        {"", company / "trace.xslt"},
        {"trace", company / "trace.xslt"},
        {"custom.XSLT", company / "custom.XSLT"},
        {"fancy", {}},  // the company folder exists, so the framework's is not consulted
        {"missing", {}},
        {(dir.path() / "own" / "mine.xsl").string(), dir.path() / "own" / "mine.xsl"},
        {(dir.path() / "own" / "absent.xslt").string(), {}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(FindStylesheet(c.transform, components, "Orvane Technologies"), c.expected) << c.transform;
}

TEST(TraceFiles, ComponentsFolderFromTheEnvironmentOrBesideTheLibrary) {
    {
        ScopedEnv configured("ZENTRAVA_COMPONENTS_DIR", "/opt/ivi/Components");
        EXPECT_EQ(ComponentsFolder(), "/opt/ivi/Components");
    }
    // The build tree ships the stylesheet where the default lookup finds it.
    ScopedEnv unset("ZENTRAVA_COMPONENTS_DIR", "");
    const fs::path found = FindStylesheet("", ComponentsFolder(), "Orvane Technologies");
    ASSERT_FALSE(found.empty()) << ComponentsFolder();
    pugi::xml_document stylesheet;
    LoadTrace(found, stylesheet);
    EXPECT_STREQ(stylesheet.document_element().name(), "xsl:stylesheet");
}

}  // namespace
}  // namespace ztv::test
