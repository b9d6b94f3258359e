// The trace document: its layout, records, appending, saving and stopping.
#include <gtest/gtest.h>
#include <unistd.h>

#include <fstream>
#include <sstream>

#include "services/tracing/method_trace.h"
#include "tests/support/test_support.h"
#include "tests/tracing/trace_xml.h"

namespace ztv::test {
namespace {

namespace fs = std::filesystem;
using Names = std::vector<std::string>;

std::time_t g_now;
std::time_t FakeClock() { return g_now; }

std::string FileText(const fs::path& path) {
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

class TraceOwner : public ::testing::Test {
protected:
    TempDir dir;
    ScopedEnv components{"ZENTRAVA_COMPONENTS_DIR", dir.file("components")};
    CTraceOwner owner;

    void SetUp() override {
        g_now = LocalTime(9, 30, 5);
        owner.SetClock(&FakeClock);
    }

    fs::path TraceFile(const char* name = "run") const { return dir.path() / (std::string(name) + ".xml"); }

    void Start(TraceSettings settings, CTraceOwner& tracer) {
        if (settings.name.empty()) settings.name = dir.file("run");
        tracer.SetClock(&FakeClock);
        tracer.Configure(settings);
        ASSERT_EQ(tracer.SetEnabled(true), S_OK);
        ASSERT_EQ(tracer.StartTrace("Zentrava"), S_OK);
        ASSERT_EQ(tracer.GetFileState(), TraceFileState::Recording);
    }
    void Start(TraceSettings settings = {}) { Start(std::move(settings), owner); }

    // One call without arguments.
    static void Call(CTraceOwner& tracer, const char* member) {
        CMethodTrace trace;
        trace.Begin(&tracer, "IZentrava", member);
    }

    pugi::xml_node Methods(pugi::xml_document& document, const fs::path& path) {
        LoadTrace(path, document);
        return document.child("TraceRecords");
    }
};

TEST_F(TraceOwner, RecordLayoutAndValueTexts) {
    fs::create_directories(dir.path() / "components" / "Orvane Technologies");
    std::ofstream(dir.path() / "components" / "Orvane Technologies" / "trace.xslt") << "<x/>";
    Start();
    {
        const double level = 10.5;
        const LONG count = -3;
        const VARIANT_BOOL on = VARIANT_TRUE;
        const std::string label = "<a&b>";
        double reading = 0;
        VARIANT nothing;
        VariantInit(&nothing);
        CMethodTrace trace;
        trace.Begin(&owner, "IZentravaTest", "Configure",
                    {TraceArg::In("Level", level), TraceArg::In("Count", count), TraceArg::InBoolean("On", on),
                     TraceArg::In("Label", label), TraceArg::In("Nothing", nothing), TraceArg::Out("Reading", &reading),
                     TraceArg::InOut("Again", &reading)});
        ASSERT_TRUE(trace.Active());
        reading = 2.25;
        g_now += 75;
    }
    ASSERT_EQ(owner.Save(), S_OK);

    pugi::xml_document document;
    LoadTrace(TraceFile(), document);
    pugi::xml_node node = document.first_child();
    ASSERT_EQ(node.type(), pugi::node_declaration);
    EXPECT_EQ(AttributeNames(node), Names{"version"});
    EXPECT_STREQ(node.attribute("version").value(), "1.0");
    node = node.next_sibling();
    ASSERT_EQ(node.type(), pugi::node_pi);
    EXPECT_STREQ(node.name(), "xml-stylesheet");
    const fs::path stylesheet = dir.path() / "components" / "Orvane Technologies" / "trace.xslt";
    EXPECT_EQ(std::string(node.value()), "type=\"text/xsl\" href=\"file:\\\\" + stylesheet.string() + "\"");
    node = node.next_sibling();
    ASSERT_STREQ(node.name(), "TraceRecords");

    const std::vector<pugi::xml_node> methods = Children(node, "Method");
    ASSERT_EQ(methods.size(), 1u);
    const pugi::xml_node method = methods[0];
    EXPECT_EQ(AttributeNames(method), (Names{"Name", "Interface", "StartTime", "Thread", "EndTime", "ExecutionTime"}));
    EXPECT_STREQ(method.attribute("Name").value(), "Configure");
    EXPECT_STREQ(method.attribute("Interface").value(), "IZentravaTest");
    EXPECT_STREQ(method.attribute("StartTime").value(), "09:30:05");
    EXPECT_EQ(method.attribute("Thread").value(), std::to_string(gettid()));
    EXPECT_STREQ(method.attribute("EndTime").value(), "09:31:20");
    EXPECT_STREQ(method.attribute("ExecutionTime").value(), "15");  // 75 seconds: the seconds field

    struct Expected {
        const char* name;
        const char* direction;
        const char* value;
    } expected[] = {
        {"Level", "In", "10.5"},      {"Count", "In", "-3"},      {"On", "In", "true"},       {"Label", "In", "<a&b>"},
        {"Nothing", "In", "<empty>"}, {"Reading", "Out", "2.25"}, {"Again", "InOut", "2.25"},
    };
    const std::vector<pugi::xml_node> parameters = Children(method, "Parameter");
    ASSERT_EQ(parameters.size(), std::size(expected));
    for (std::size_t i = 0; i < parameters.size(); ++i) {
        EXPECT_EQ(AttributeNames(parameters[i]), (Names{"Name", "Direction", "Value"}));
        EXPECT_STREQ(parameters[i].attribute("Name").value(), expected[i].name);
        EXPECT_STREQ(parameters[i].attribute("Direction").value(), expected[i].direction);
        EXPECT_STREQ(parameters[i].attribute("Value").value(), expected[i].value);
    }
}

TEST_F(TraceOwner, NoStylesheetLeavesOutTheInstruction) {
    Start();
    Call(owner, "Reset");
    ASSERT_EQ(owner.Save(), S_OK);
    pugi::xml_document document;
    LoadTrace(TraceFile(), document);
    ASSERT_EQ(document.first_child().type(), pugi::node_declaration);
    EXPECT_STREQ(document.first_child().next_sibling().name(), "TraceRecords");
    EXPECT_EQ(Children(document.child("TraceRecords"), "Method").size(), 1u);
}

TEST_F(TraceOwner, KeepsTheFirstTwentyFiveArguments) {
    Start();
    std::vector<LONG> values(30);
    std::vector<std::string> names(30);
    std::vector<TraceArg> args;
    for (std::size_t i = 0; i < values.size(); ++i) {
        values[i] = static_cast<LONG>(i);
        names[i] = "p" + std::to_string(i);
        args.push_back(TraceArg::In(names[i].c_str(), values[i]));
    }
    {
        CMethodTrace trace;
        trace.Begin(&owner, "IZentrava", "Many", args);
    }
    ASSERT_EQ(owner.Save(), S_OK);
    pugi::xml_document document;
    const std::vector<pugi::xml_node> parameters =
        Children(Methods(document, TraceFile()).child("Method"), "Parameter");
    ASSERT_EQ(parameters.size(), kMaxTracedArguments);
    EXPECT_STREQ(parameters.front().attribute("Name").value(), "p0");
    EXPECT_STREQ(parameters.back().attribute("Name").value(), "p24");
    EXPECT_STREQ(parameters.back().attribute("Value").value(), "24");
}

TEST_F(TraceOwner, ArraysRecordSizesAndElementsUpToTheLimit) {
    struct Case {
        bool arrays;
        long limit;
        std::size_t elements;
    } cases[] = {{true, 10, 10}, {true, 3, 3}, {true, 0, 0}, {false, 10, 0}};
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.arrays) + "/" + std::to_string(c.limit));
        CTraceOwner tracer;
        TraceSettings settings;
        settings.name = dir.file("arrays" + std::to_string(c.limit) + (c.arrays ? "on" : "off"));
        settings.arrays = c.arrays;
        settings.arraySizeMax = c.limit;
        Start(settings, tracer);
        SAFEARRAY* result = nullptr;
        {
            CMethodTrace trace;
            trace.Begin(&tracer, "IZentravaPNMeasurementData", "GetFormatted", {TraceArg::Out("pVal", &result)});
            result = SafeArrayCreateVector(VT_R8, 0, 401);
        }
        ASSERT_EQ(tracer.Save(), S_OK);
        SafeArrayDestroy(result);

        pugi::xml_document document;
        const pugi::xml_node parameter = Methods(document, settings.name + ".xml").child("Method").child("Parameter");
        EXPECT_EQ(AttributeNames(parameter), (Names{"Name", "Direction", "Value", "NumDims", "DimSizes"}));
        EXPECT_STREQ(parameter.attribute("NumDims").value(), "1");
        EXPECT_STREQ(parameter.attribute("DimSizes").value(), "401");
        const std::vector<pugi::xml_node> elements = Children(parameter, "Element");
        EXPECT_EQ(elements.size(), c.elements);
        for (pugi::xml_node element : elements) EXPECT_STREQ(element.text().get(), "0");
    }
}

TEST_F(TraceOwner, AppendsToAnExistingTrace) {
    Start();
    Call(owner, "First");
    Call(owner, "Second");
    ASSERT_EQ(owner.Save(), S_OK);

    CTraceOwner later;
    Start({}, later);
    Call(later, "Third");
    ASSERT_EQ(later.Save(), S_OK);

    pugi::xml_document document;
    LoadTrace(TraceFile(), document);
    int declarations = 0;
    for (pugi::xml_node node : document.children()) declarations += node.type() == pugi::node_declaration;
    EXPECT_EQ(declarations, 1);
    Names order;
    for (pugi::xml_node method : document.child("TraceRecords").children("Method"))
        order.emplace_back(method.attribute("Name").value());
    EXPECT_EQ(order, (Names{"First", "Second", "Third"}));
}

TEST_F(TraceOwner, RefusesToAppendToAnotherKindOfFile) {
    std::ofstream(TraceFile()) << "<Settings><Keep/></Settings>";
    TraceSettings settings;
    settings.name = dir.file("run");
    owner.Configure(settings);
    ASSERT_EQ(owner.SetEnabled(true), S_OK);
    EXPECT_EQ(owner.StartTrace("Zentrava"), E_FAIL);
    EXPECT_EQ(owner.GetFileState(), TraceFileState::NotStarted);
    EXPECT_EQ(FileText(TraceFile()), "<Settings><Keep/></Settings>");
}

TEST_F(TraceOwner, FileLargerThanTheLimitStopsTracing) {
    TraceSettings settings;
    settings.sizeMax = 1000;
    Start(settings);
    for (int i = 0; i < 20; ++i) Call(owner, "put_Attenuation");
    ASSERT_EQ(owner.Save(), S_OK);
    EXPECT_GT(fs::file_size(TraceFile()), 1000u);
    EXPECT_EQ(owner.GetFileState(), TraceFileState::Stopped);
    EXPECT_FALSE(owner.IsRecording());
    const std::string saved = FileText(TraceFile());

    CMethodTrace trace;
    trace.Begin(&owner, "IZentrava", "get_Attenuation");
    EXPECT_FALSE(trace.Active());
    EXPECT_EQ(owner.StartTrace("Zentrava"), S_OK);  // stays stopped
    EXPECT_EQ(owner.GetFileState(), TraceFileState::Stopped);
    ASSERT_EQ(owner.Save(), S_OK);
    EXPECT_EQ(FileText(TraceFile()), saved);
}

TEST_F(TraceOwner, FileWithinTheLimitKeepsRecording) {
    TraceSettings settings;
    settings.sizeMax = 100000;
    Start(settings);
    Call(owner, "put_Attenuation");
    ASSERT_EQ(owner.Save(), S_OK);
    EXPECT_EQ(owner.GetFileState(), TraceFileState::Recording);
}

TEST(TraceSaveRule, MinutesFieldOfTheTimeSinceTheLastSave) {
    struct Case {
        std::int64_t seconds;
        LONG interval;
        bool due;
    } cases[] = {
        {0, 1, false},
        {59, 1, false},
        {60, 1, true},
        {3599, 1, true},
        {3600, 1, false},  // a whole hour has a
                           // minutes field of 0
        {3659, 1, false},
        {3660, 1, true},
        {600, 10, true},
        {599, 10, false},
        {3599, 60, false},
        {7199, 60, false},
        {0, 0, true},
    };
    for (const Case& c : cases)
        EXPECT_EQ(SaveIsDue(c.seconds, c.interval), c.due) << c.seconds << "s, interval " << c.interval;
}

TEST_F(TraceOwner, SavesAfterACallOnceTheIntervalHasPassed) {
    Start();  // interval 1 minute
    g_now += 30;
    Call(owner, "First");
    EXPECT_FALSE(fs::exists(TraceFile()));
    g_now += 31;
    Call(owner, "Second");
    ASSERT_TRUE(fs::exists(TraceFile()));
    pugi::xml_document saved;
    EXPECT_EQ(Children(Methods(saved, TraceFile()), "Method").size(), 2u);
    g_now += 45;
    Call(owner, "Third");  // 45 s after that save
    pugi::xml_document again;
    EXPECT_EQ(Children(Methods(again, TraceFile()), "Method").size(), 2u);
}

TEST_F(TraceOwner, IntervalOfAnHourIsNeverReachedByCalls) {
    TraceSettings settings;
    settings.saveInterval = 60;
    Start(settings);
    for (int minutes : {59, 61, 150}) {
        g_now = LocalTime(9, 30, 5) + minutes * 60;
        Call(owner, "Tick");
    }
    EXPECT_FALSE(fs::exists(TraceFile()));
    ASSERT_EQ(owner.Save(), S_OK);
    EXPECT_TRUE(fs::exists(TraceFile()));
}

TEST_F(TraceOwner, SwitchingOnAndOff) {
    // On, but no file started: switching off is refused and tracing stays on.
    ASSERT_EQ(owner.SetEnabled(true), S_OK);
    EXPECT_EQ(owner.SetEnabled(false), E_UNEXPECTED);
    EXPECT_TRUE(owner.GetEnabled());

    TraceSettings settings;
    settings.name = dir.file("run");
    owner.Configure(settings);
    ASSERT_EQ(owner.StartTrace("Zentrava"), S_OK);
    EXPECT_TRUE(owner.IsRecording());
    EXPECT_EQ(owner.StartTrace("Zentrava"), E_UNEXPECTED);

    // A record still open when tracing goes off is dropped with the document.
    CMethodTrace open;
    open.Begin(&owner, "IZentrava", "get_Attenuation");
    ASSERT_TRUE(open.Active());
    EXPECT_EQ(owner.SetEnabled(false), S_OK);
    EXPECT_FALSE(owner.GetEnabled());
    EXPECT_EQ(owner.GetFileState(), TraceFileState::NotStarted);
    open.End();
    EXPECT_EQ(owner.Save(), E_UNEXPECTED);
    CMethodTrace off;
    off.Begin(&owner, "IZentrava", "get_Attenuation");
    EXPECT_FALSE(off.Active());
}

}  // namespace
}  // namespace ztv::test
