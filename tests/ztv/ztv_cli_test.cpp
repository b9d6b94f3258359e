// ztv as a user runs it: a process against the emulator on loopback.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <pugixml.hpp>
#include <sstream>
#include <string>
#include <vector>

#include "emulator/emulator.h"
#include "tests/support/emulator_support.h"
#include "tests/support/test_support.h"
#include "tests/ztv/tool_process.h"

namespace ztv::test {
namespace {

using Args = std::vector<std::string>;

class ZtvCli : public ::testing::Test {
protected:
    void SetUp() override {
        emulator::Options options;
        options.hislipPort = -1;
        options.portmapper = true;
        options.portmapperPort = 0;
        emulator_ = std::make_unique<emulator::Emulator>(options);
        ASSERT_TRUE(emulator::test::Started(*emulator_));
    }
    void TearDown() override { emulator_->Stop(); }

    // ztv with -r naming the emulator's raw socket.
    ToolResult Ztv(Args arguments, const std::string& input = "") {
        arguments.insert(arguments.begin(), {"-r", emulator_->SocketResource()});
        return RunTool(arguments, input);
    }
    std::string File(const std::string& name) const { return dir_.file(name); }

    std::unique_ptr<emulator::Emulator> emulator_;
    TempDir dir_;
};

// The rows of a CSV after the comment lines that give its context.
std::vector<std::string> CsvRows(const std::string& text) {
    std::vector<std::string> rows = Lines(text);
    rows.erase(rows.begin(),
               std::find_if(rows.begin(), rows.end(), [](const std::string& r) { return r.rfind("#", 0) != 0; }));
    return rows;
}

TEST_F(ZtvCli, UsageErrorsExitWithTwoAndNameTheArgument) {
    struct Case {
        Args arguments;
        const char* named;  // what stderr must mention
    };
    const Case cases[] = {
        {{}, "a command is needed"},
        {{"--bogus", "identify"}, "--bogus"},
        {{"frobnicate"}, "frobnicate"},
        {{"get", "NO_SUCH_THING"}, "NO_SUCH_THING"},
        {{"get", "ATTENUATOIN"}, "ATTENUATION"},  // the closest name is suggested
        {{"get", "MARKER_Y_VALUE", "--app", "xx"}, "--app xx"},
        {{"get", "MARKER_Y_VALUE"}, "MARKER_Y_VALUE"},
        {{"set", "ATTENUATION", "ten"}, "ten"},
        {{"set", "DISPLAY_ENABLED", "maybe"}, "maybe"},
        {{"set", "SYSTEM_SERIAL_NUMBER", "1"}, "read-only"},
        {{"set", "ATTENUATION"}, "VALUE"},
        {{"measure", "xx"}, "xx"},
        {{"measure", "pn", "--points", "11"}, "--points"},
        {{"measure", "tr", "--start", "0"}, "--start"},
        {{"measure", "pn", "--start", "abc"}, "--start"},
        {{"measure", "pn", "--upper-limit", "1,2,3"}, "--upper-limit"},
        {{"screenshot"}, "FILE"},
        {{"discover", "--address", "not-an-address"}, "--address"},
        {{"--timeout", "0", "identify"}, "--timeout"},
        {{"emulator", "--socket-port", "99999"}, "--socket-port 99999"},
        {{"emulator", "--trace-points", "1"}, "--trace-points 1"},
        {{"emulator", "--measurement-delay", "-5"}, "--measurement-delay -5"},
        {{"emulator", "--bogus"}, "--bogus"},
    };
    for (const Case& c : cases) {
        const ToolResult r = Ztv(c.arguments);
        std::string command;
        for (const std::string& a : c.arguments) command += a + " ";
        EXPECT_EQ(r.exit, 2) << command << r.err;
        EXPECT_NE(r.err.find(c.named), std::string::npos) << command << r.err;
    }
}

// Nothing typed is dropped or taken for something else without a word.
TEST_F(ZtvCli, UnknownOptionsAndValuesAreUsageErrors) {
    struct Case {
        Args arguments;
        std::vector<const char*> named;  // what stderr must mention
    };
    const Case cases[] = {
        {{"get", "ATTENUATION", "--bogus"}, {"unknown option --bogus"}},
        {{"measure", "pn", "--strat", "10"}, {"--strat", "did you mean --start?"}},
        {{"measure", "pn", "--csv=x", "--svgg=y"}, {"--svgg", "--svg"}},
        {{"identify", "--resorce", "x"}, {"--resorce", "--resource"}},
        {{"identify", "extra"}, {"unexpected argument extra"}},
        {{"identfy"}, {"unexpected argument identfy", "did you mean identify?"}},
        {{"set", "APPLICATION_PHASENOISE_MEASUREMENT_FUNCTION_ANALYSIS_TYPE", "99", "-s", "Measurement1"},
         {"VALUE 99", "ZENTRAVA_MEAS_FUNC_ANALYSIS_TYPE_INTEGRAL"}},
        {{"set", "FUNCTION_ANALYSIS_TYPE", "--app", "pn", "-s", "Measurement1", "spot"}, {"VALUE spot", "INTEGRAL"}},
        {{"set", "ATTENUATION", "nan"}, {"VALUE nan", "finite"}},
        {{"set", "ATTENUATION", "inf"}, {"VALUE inf"}},
        {{"set", "ATTENUATION", "1e999"}, {"VALUE 1e999"}},
        {{"measure", "pn", "--start", "100", "--stop", "10"}, {"--start 100 --stop 10", "below"}},
        {{"measure", "pn", "--start", "10", "--stop", "10"}, {"below"}},
        {{"measure", "pn", "--stop", "inf"}, {"--stop", "inf"}},
        {{"measure", "pn", "--marker", "nan"}, {"--marker"}},
        {{"measure", "pn", "--upper-limit", "1,2,3,nan"}, {"--upper-limit"}},
    };
    for (const Case& c : cases) {
        const ToolResult r = Ztv(c.arguments);
        std::string command;
        for (const std::string& a : c.arguments) command += a + " ";
        EXPECT_EQ(r.exit, 2) << command << r.err;
        for (const char* named : c.named) EXPECT_NE(r.err.find(named), std::string::npos) << command << r.err;
    }
    // Every value name, and every number of the enumeration, is taken.
    const Args target{"FUNCTION_ANALYSIS_TYPE", "--app", "pn", "-s", "Measurement1"};
    for (const char* value : {"integral", "ZTV_VAL_ZENTRAVA_MEAS_FUNC_ANALYSIS_TYPE_INTEGRAL", "1", "0"}) {
        Args set{"set"};
        set.insert(set.end(), target.begin(), target.end());
        set.push_back(value);
        EXPECT_EQ(Ztv(set).exit, 0) << value;
    }
}

TEST_F(ZtvCli, GlobalOptionsWorkBeforeAndAfterTheCommand) {
    const ToolResult after = RunTool({"identify", "-r", emulator_->SocketResource()});
    ASSERT_EQ(after.exit, 0) << after.err;
    EXPECT_NE(after.out.find("Q7310B"), std::string::npos);
    const ToolResult between =
        RunTool({"get", "--resource", emulator_->SocketResource(), "ATTENUATION", "--timeout", "2000"});
    EXPECT_EQ(between.exit, 0) << between.err;
    EXPECT_EQ(between.out, "0\n");
    // The command's own option of a global's name stays the command's.
    const ToolResult discover = RunTool({"discover", "--address", "127.0.0.1", "--port", "9", "--timeout", "100"});
    EXPECT_EQ(discover.exit, 0) << discover.err;
}

TEST_F(ZtvCli, OptionsMergeOverTheStatusCheck) {
    struct Case {
        Args globals;
        int exit;  // of an out-of-range setting: 1 when the status is checked
    };
    const Case cases[] = {
        {{}, 1},
        {{"-o", "Cache=true"}, 1},
        {{"-o", "Cache=true, QueryInstrStatus=false"}, 0},
        {{"--no-status-check"}, 0},
        {{"--no-status-check", "-o", "QueryInstrStatus=true"}, 0},
        {{"-o", "DriverSetup=TraceArray=false"}, 1},
    };
    for (const Case& c : cases) {
        Args arguments = c.globals;
        arguments.insert(arguments.end(), {"set", "ATTENUATION", "99"});
        const ToolResult r = Ztv(arguments);
        EXPECT_EQ(r.exit, c.exit) << (c.globals.empty() ? "" : c.globals.back()) << r.err;
        ASSERT_EQ(Ztv({"clear"}).exit, 0);
    }
}

TEST_F(ZtvCli, ExitStatusesTellScriptsWhatHappened) {
    struct Case {
        Args arguments;
        int exit;
        const char* said;  // on stderr
    };
    const Case cases[] = {
        {{"list", "zzzz"}, 1, "no attribute matches zzzz"},
        {{"list", "--functions", "zzzz"}, 1, "no function matches zzzz"},
        {{"list", "--enums", "zzzz"}, 1, "no enumeration matches zzzz"},
        {{"measure", "pn", "--upper-limit", "1,-300,4e7,-300"}, 3, "limit test: FAIL"},
        {{"measure", "pn", "--upper-limit", "1,100,4e7,100"}, 0, "limit test: pass"},
    };
    for (const Case& c : cases) {
        const ToolResult r = Ztv(c.arguments);
        EXPECT_EQ(r.exit, c.exit) << c.arguments[0] << " " << c.arguments[1] << r.err;
        EXPECT_NE(r.err.find(c.said), std::string::npos) << r.err;
    }
    const ToolResult help = RunTool({"--help"});
    EXPECT_NE(help.out.find("3 measure: the trace failed its limit test"), std::string::npos) << help.out;
}

TEST(ZtvSimulation, MeasuresOnSimulatedValuesAndHasNoScreen) {
    TempDir dir;
    const ToolResult measure = RunTool({"--simulate", "measure", "pn", "--marker", "1e3", "--csv", dir.file("pn.csv")});
    ASSERT_EQ(measure.exit, 0) << measure.err;
    std::ifstream csv(dir.file("pn.csv"));
    const std::string text{std::istreambuf_iterator<char>(csv), {}};
    EXPECT_GT(Lines(text).size(), 2u) << text;
    EXPECT_NE(measure.err.find("marker 1:"), std::string::npos) << measure.err;

    const ToolResult screen = RunTool({"--simulate", "screenshot", dir.file("screen.png")});
    EXPECT_EQ(screen.exit, 1);
    EXPECT_NE(screen.err.find("there is no screen in simulation"), std::string::npos) << screen.err;
    EXPECT_FALSE(std::filesystem::exists(dir.file("screen.png")));
}

TEST_F(ZtvCli, WithoutAResourceTheErrorSaysHowToNameOne) {
    const ToolResult r = RunTool({"identify"});
    EXPECT_EQ(r.exit, 2);
    EXPECT_NE(r.err.find("ZTV_RESOURCE"), std::string::npos) << r.err;
    const ToolResult fromEnvironment = RunTool({"identify"}, "", {"ZTV_RESOURCE=" + emulator_->SocketResource()});
    EXPECT_EQ(fromEnvironment.exit, 0) << fromEnvironment.err;
}

TEST_F(ZtvCli, HelpAndVersionExitWithZero) {
    for (const char* command : {"list", "get", "set", "scpi", "measure", "screenshot", "identify", "errors", "reset",
                                "clear", "selftest", "discover", "emulator"}) {
        const ToolResult r = RunTool({command, "--help"});
        EXPECT_EQ(r.exit, 0) << command << r.err;
        EXPECT_NE(r.out.find("sage"), std::string::npos) << command << r.out;
    }
    const ToolResult version = RunTool({"--version"});
    EXPECT_EQ(version.exit, 0);
    EXPECT_EQ(version.out.rfind("ztv 1.0.9", 0), 0u) << version.out;
    EXPECT_NE(version.out.find("driver 1.0.9"), std::string::npos) << version.out;
}

TEST_F(ZtvCli, InstrumentAndDriverErrorsExitWithOne) {
    // Out of range for the instrument: the driver's text, then the error queue.
    const ToolResult range = Ztv({"set", "ATTENUATION", "99"});
    EXPECT_EQ(range.exit, 1);
    EXPECT_NE(range.err.find("setting ATTENUATION failed"), std::string::npos) << range.err;
    EXPECT_NE(range.err.find("instrument error -222"), std::string::npos) << range.err;

    const ToolResult unreachable = RunTool({"-r", "TCPIP0::127.0.0.1::1::SOCKET", "identify"});
    EXPECT_EQ(unreachable.exit, 1);
    EXPECT_NE(unreachable.err.find("opening TCPIP0::127.0.0.1::1::SOCKET failed"), std::string::npos)
        << unreachable.err;
}

TEST_F(ZtvCli, IdentifyNamesTheInstrumentAndTheDriver) {
    const ToolResult r = Ztv({"identify"});
    ASSERT_EQ(r.exit, 0) << r.err;
    EXPECT_NE(r.out.find("Orvane Technologies"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("Q7310B"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("0123456789"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("driver revision"), std::string::npos) << r.out;
}

TEST_F(ZtvCli, SetValuesReadBackByName) {
    struct Case {
        Args set;
        Args get;
        const char* printed;
    };
    const Case cases[] = {
        {{"set", "ATTENUATION", "10"}, {"get", "attenuation"}, "10\n"},
        {{"set", "zTv_Attr_Display_Enabled", "off"}, {"get", "DISPLAY_ENABLED"}, "false\n"},
        {{"set", "START_OFFSET", "100", "--app", "pn"},
         {"get", "APPLICATION_PHASENOISE_FREQUENCY_START_OFFSET"},
         "100\n"},
        {{"set", "FUNCTION_ANALYSIS_TYPE", "integral", "--app", "phasenoise", "-s", "Measurement1"},
         {"get", "FUNCTION_ANALYSIS_TYPE", "--app", "pn", "-s", "Measurement1"},
         "ZENTRAVA_MEAS_FUNC_ANALYSIS_TYPE_INTEGRAL\n"},
    };
    for (const Case& c : cases) {
        const ToolResult set = Ztv(c.set);
        ASSERT_EQ(set.exit, 0) << c.set[1] << set.err;
        const ToolResult get = Ztv(c.get);
        ASSERT_EQ(get.exit, 0) << c.get[1] << get.err;
        EXPECT_EQ(get.out, c.printed) << c.get[1];
    }
    const ToolResult marker = Ztv({"get", "MARKER_Y_VALUE", "-s", "Measurement1:Marker1", "--app", "phasenoise"});
    ASSERT_EQ(marker.exit, 0) << marker.err;
    EXPECT_LT(std::stod(marker.out), -40.0) << "a level of the phase-noise trace: " << marker.out;
}

TEST_F(ZtvCli, ListFiltersTheGeneratedTables) {
    const ToolResult attributes = Ztv({"list", "attenuation"});
    ASSERT_EQ(attributes.exit, 0);
    EXPECT_NE(attributes.out.find("ATTENUATION"), std::string::npos);
    EXPECT_NE(attributes.out.find("SENS:ATT:LEV"), std::string::npos) << attributes.out;
    EXPECT_EQ(attributes.out.find("DISPLAY_ENABLED"), std::string::npos);

    const ToolResult functions = Ztv({"list", "--functions", "ztv_init"});
    EXPECT_NE(functions.out.find("Ztv_init(ViRsrc ResourceName"), std::string::npos) << functions.out;
    EXPECT_NE(functions.out.find("Ztv_InitWithOptions("), std::string::npos) << functions.out;

    const ToolResult enums = Ztv({"list", "--enums", "analysis_type_integral"});
    EXPECT_NE(enums.out.find("ZENTRAVA_MEAS_FUNC_ANALYSIS_TYPE_INTEGRAL"), std::string::npos) << enums.out;
    EXPECT_EQ(Lines(enums.out).size(), 1u) << enums.out;
}

TEST_F(ZtvCli, ScpiSendsCommandsAndPrintsReplies) {
    const ToolResult one = Ztv({"scpi", "SENS:ATT:LEV 5", "SENS:ATT:LEV?", "*IDN?"});
    ASSERT_EQ(one.exit, 0) << one.err;
    EXPECT_EQ(one.out, "5\nOrvane Technologies,Q7310B,0123456789,1.0.9\n");

    const ToolResult shell = Ztv({"scpi"}, "*OPC?\n\nFOO:BAR\nSYST:ERR?\n");
    ASSERT_EQ(shell.exit, 0) << shell.err;
    EXPECT_EQ(shell.out, "1\n-113,\"Undefined header\"\n");
    EXPECT_EQ(shell.err.find("scpi>"), std::string::npos) << "no prompt when standard input is not a terminal";

    const ToolResult block = Ztv({"scpi", "HCOP:SDUM:DATA? BMP"});
    ASSERT_EQ(block.exit, 0) << block.err;
    EXPECT_EQ(block.out, "#-block of 57654 bytes\n");
    // The learned settings are a block of text: it arrives whole.
    const ToolResult saved = Ztv({"scpi", "SENS:ATT:LEV 7", "*LRN?", "--out", File("state.txt")});
    ASSERT_EQ(saved.exit, 0) << saved.err;
    const std::string state = ReadFile(File("state.txt"));
    EXPECT_EQ(saved.out,
              "#-block of " + std::to_string(state.size()) + " bytes written to " + File("state.txt") + "\n");
    EXPECT_EQ(state.rfind("SYST:SET #", 0), 0u) << state;
    EXPECT_NE(state.find("SENS:ATT:LEV 7"), std::string::npos) << state;
}

// Binary replies arrive whole on every LAN transport, whatever bytes they hold.
TEST_F(ZtvCli, ScpiSavesImageBlocksWhole) {
    for (const std::string& resource : {emulator_->SocketResource(), emulator_->Vxi11Resource()}) {
        const ToolResult image = RunTool({"-r", resource, "scpi", "HCOP:SDUM:DATA? BMP", "--out", File("screen.bmp")},
                                         "", {"ZENTRAVA_VXI11_PORT=" + std::to_string(emulator_->Vxi11Port())});
        ASSERT_EQ(image.exit, 0) << resource << image.err;
        const std::string bytes = ReadFile(File("screen.bmp"));
        ASSERT_EQ(bytes.size(), 57654u) << resource;
        EXPECT_EQ(bytes.substr(0, 2), "BM") << resource;
    }
}

TEST_F(ZtvCli, AFailedQueryShowsTheTimeOutAndTheErrorQueue) {
    const ToolResult r = Ztv({"--timeout", "300", "scpi", "FOO:BAR?"});
    EXPECT_EQ(r.exit, 1);
    EXPECT_NE(r.err.find("reading the reply failed (0xBFFA4215)"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("instrument error -113: Undefined header"), std::string::npos) << r.err;
}

TEST_F(ZtvCli, VerbosePrintsTheExchangesOnStandardError) {
    const ToolResult r = Ztv({"-v", "get", "ATTENUATION"});
    ASSERT_EQ(r.exit, 0) << r.err;
    EXPECT_NE(r.err.find("> SENS:ATT:LEV?"), std::string::npos) << r.err;
    EXPECT_EQ(r.out, "0\n");
    EXPECT_EQ(r.err.rfind("> *IDN?\n< Orvane", 0), 0u) << "no empty reply first: " << r.err;

    // Direct I/O too; a block shows its first 200 bytes and its length.
    const ToolResult scpi = Ztv({"-v", "scpi", "*IDN?", "HCOP:SDUM:DATA? BMP"});
    ASSERT_EQ(scpi.exit, 0) << scpi.err;
    EXPECT_NE(scpi.err.find("> *IDN?\n< Orvane Technologies,Q7310B"), std::string::npos) << scpi.err;
    EXPECT_NE(scpi.err.find("> HCOP:SDUM:DATA? BMP\n< #557654BM"), std::string::npos) << scpi.err;
    EXPECT_NE(scpi.err.find("... (57662 bytes)\n"), std::string::npos) << scpi.err;

    // Each exchange shows as it happens, between the results; list replies
    // show their start and their length.
    const ToolResult measure = Ztv({"-v", "measure", "pn", "--marker", "1e3"});
    ASSERT_EQ(measure.exit, 0) << measure.err;
    const std::vector<std::string> lines = Lines(measure.err);
    const auto at = [&](const std::string& start) {
        return std::find_if(lines.begin(), lines.end(), [&](const std::string& l) { return l.rfind(start, 0) == 0; }) -
               lines.begin();
    };
    for (const char* query : {"> CALC:PN1:TRAC1:DATA:FDAT?", "> CALC:PN1:DATA:XDAT?"}) {
        const auto query_at = static_cast<std::size_t>(at(query));
        ASSERT_LT(query_at + 1, lines.size()) << query << measure.err;
        const std::string& reply = lines[query_at + 1];
        EXPECT_EQ(reply.rfind("< ", 0), 0u) << reply;
        EXPECT_NE(reply.find("... (1001 values)"), std::string::npos) << reply;
        EXPECT_LE(reply.size(), 2 + 200 + std::string("... (1001 values)").size()) << reply;
    }
    EXPECT_LT(at("> CALC:PN1:TRAC1:MARK1:Y?"), at("marker 1:")) << measure.err;
    EXPECT_LT(at("marker 1:"), at("> CALC:PN1:TRAC1:FUNC:INT:DATA?")) << measure.err;
}

TEST_F(ZtvCli, EveryApplicationMeasuresIntoCsvAndSvg) {
    struct Case {
        Args options;
        std::size_t rows;
    };
    const std::vector<std::pair<std::string, Case>> cases = {
        {"pn", {{"--start", "10", "--stop", "1e6", "--averages", "4"}, 1001}},
        {"am", {{"--start", "10", "--stop", "1e6"}, 1001}},
        {"bb", {{}, 1001}},
        {"fp", {{"--points", "101", "--start", "1", "--stop", "4"}, 101}},
        {"sp", {{"--start", "999.5e6", "--stop", "1000.5e6"}, 1001}},
        {"tr", {{}, 1001}},
        {"user", {{"--marker", "1e3"}, 1001}},
    };
    for (const auto& [app, c] : cases) {
        Args arguments{"measure", app, "--csv", File(app + ".csv"), "--svg", File(app + ".svg")};
        arguments.insert(arguments.end(), c.options.begin(), c.options.end());
        const ToolResult r = Ztv(arguments);
        ASSERT_EQ(r.exit, 0) << app << r.err;
        EXPECT_TRUE(r.out.empty()) << app << ": results go to stderr and files";
        const std::vector<std::string> rows = CsvRows(ReadFile(File(app + ".csv")));
        ASSERT_EQ(rows.size(), c.rows + 1) << app;
        EXPECT_NE(rows[0].find("("), std::string::npos) << app << ": columns carry units: " << rows[0];
        pugi::xml_document svg;
        ASSERT_TRUE(svg.load_file(File(app + ".svg").c_str())) << app;
        EXPECT_STREQ(svg.document_element().name(), "svg") << app;
        EXPECT_TRUE(svg.document_element().child("polyline")) << app;
    }
    // The sweep asked for is the sweep measured.
    const std::vector<std::string> pn = CsvRows(ReadFile(File("pn.csv")));
    EXPECT_DOUBLE_EQ(std::stod(pn[1]), 10.0);
    EXPECT_DOUBLE_EQ(std::stod(pn.back()), 1e6);
    const std::vector<std::string> fp = CsvRows(ReadFile(File("fp.csv")));
    EXPECT_DOUBLE_EQ(std::stod(fp[1]), 1.0);
    EXPECT_DOUBLE_EQ(std::stod(fp.back()), 4.0);
}

TEST_F(ZtvCli, PhaseNoisePlotCarriesJitterMarkersAndLimits) {
    const ToolResult r = Ztv({"measure", "pn", "--marker", "1e3", "--marker", "1e5", "--upper-limit",
                              "1,-40,1e4,-120,1e4,-120,4e7,-140", "--svg", File("pn.svg"), "--csv", "-"});
    ASSERT_EQ(r.exit, 0) << r.err;
    EXPECT_EQ(CsvRows(r.out).size(), 1002u) << "the CSV on standard output";
    EXPECT_NE(r.err.find("limit test: "), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("jitter"), std::string::npos) << r.err;
    pugi::xml_document svg;
    ASSERT_TRUE(svg.load_file(File("pn.svg").c_str()));
    std::string texts;
    for (pugi::xml_node text : svg.document_element().children("text")) texts += std::string(text.text().get()) + "|";
    EXPECT_NE(texts.find("integrated jitter"), std::string::npos) << texts;
    EXPECT_NE(texts.find("M1|"), std::string::npos) << texts;
    EXPECT_NE(texts.find("M2|"), std::string::npos) << texts;
    EXPECT_NE(texts.find("1 kHz"), std::string::npos) << "decade labels of the log axis: " << texts;
    EXPECT_EQ(svg.document_element().select_nodes("line[@stroke-dasharray]").size(), 2u) << "two limit segments";
}

TEST_F(ZtvCli, MeasureWaitsForTheServiceRequest) {
    // The raw socket by serial polls, VXI-11 on its interrupt channel.
    const std::vector<std::pair<std::string, std::vector<std::string>>> links = {
        {emulator_->SocketResource(), {}},
        {emulator_->Vxi11Resource(), {"ZENTRAVA_VXI11_PORT=" + std::to_string(emulator_->Vxi11Port())}},
    };
    for (const auto& [resource, environment] : links) {
        emulator_->ClearReceived();
        const ToolResult r = RunTool({"-r", resource, "measure", "pn", "--csv", File("pn.csv")}, "", environment);
        ASSERT_EQ(r.exit, 0) << resource << r.err;
        std::vector<std::string> sent;
        for (const emulator::ReceivedMessage& message : emulator_->Received()) sent.push_back(message.bytes);
        const auto opc = std::find(sent.begin(), sent.end(), "*OPC\n");
        ASSERT_NE(opc, sent.end()) << resource << ": the measurement's end is announced";
        EXPECT_EQ(std::find(sent.begin(), sent.end(), "*OPC?\n"), sent.end()) << resource << ": no query held open";
        EXPECT_EQ(CsvRows(ReadFile(File("pn.csv"))).size(), 1002u) << resource;
    }
}

TEST_F(ZtvCli, ScreenshotsArePngOrTheRawImage) {
    const ToolResult png = Ztv({"screenshot", File("screen.png")});
    ASSERT_EQ(png.exit, 0) << png.err;
    const std::string bytes = ReadFile(File("screen.png"));
    ASSERT_GT(bytes.size(), 33u);
    EXPECT_EQ(bytes.substr(0, 8), std::string("\x89PNG\r\n\x1a\n", 8));
    EXPECT_EQ(bytes.substr(12, 4), "IHDR");
    auto be32 = [&](std::size_t at) {
        return (static_cast<unsigned char>(bytes[at]) << 24) | (static_cast<unsigned char>(bytes[at + 1]) << 16) |
               (static_cast<unsigned char>(bytes[at + 2]) << 8) | static_cast<unsigned char>(bytes[at + 3]);
    };
    EXPECT_EQ(be32(16), 160);
    EXPECT_EQ(be32(20), 120);

    const ToolResult raw = Ztv({"screenshot", File("screen.BMP")});
    ASSERT_EQ(raw.exit, 0) << raw.err;
    EXPECT_EQ(ReadFile(File("screen.BMP")).substr(0, 2), "BM");

    for (const char* name : {"screen.jpg", "screen", "screen.png.txt"}) {
        const ToolResult other = Ztv({"screenshot", File(name)});
        EXPECT_EQ(other.exit, 2) << name;
        EXPECT_NE(other.err.find(".png or .bmp"), std::string::npos) << other.err;
        EXPECT_FALSE(std::filesystem::exists(File(name))) << name;
    }
}

TEST_F(ZtvCli, ErrorsResetClearAndSelftest) {
    ASSERT_EQ(Ztv({"scpi", "FOO:BAR", "EMUL:ERR -350"}).exit, 0);
    const ToolResult errors = Ztv({"errors"});
    ASSERT_EQ(errors.exit, 0) << errors.err;
    const std::vector<std::string> lines = Lines(errors.out);
    ASSERT_EQ(lines.size(), 3u) << errors.out;
    EXPECT_EQ(lines[0].rfind("-113,", 0), 0u) << lines[0];
    EXPECT_EQ(lines[1].rfind("-350,", 0), 0u) << lines[1];
    EXPECT_EQ(lines[2], "0,\"No error\"");

    // An error of an earlier command does not fail the next one.
    ASSERT_EQ(Ztv({"scpi", "FOO:BAR"}).exit, 0);
    const ToolResult later = Ztv({"get", "ATTENUATION"});
    EXPECT_EQ(later.exit, 0) << later.err;

    ASSERT_EQ(Ztv({"scpi", "FOO:BAR"}).exit, 0);
    EXPECT_EQ(Ztv({"clear"}).exit, 0);
    EXPECT_EQ(Ztv({"errors"}).out, "0,\"No error\"\n") << "clear empties the queue";

    ASSERT_EQ(Ztv({"set", "ATTENUATION", "20"}).exit, 0);
    EXPECT_EQ(Ztv({"reset"}).exit, 0);
    EXPECT_EQ(Ztv({"get", "ATTENUATION"}).out, "0\n") << "reset forgets the setting";

    const ToolResult selftest = Ztv({"selftest"});
    EXPECT_EQ(selftest.exit, 0) << selftest.err;
    EXPECT_EQ(selftest.out.rfind("0 ", 0), 0u) << selftest.out;
}

TEST_F(ZtvCli, DiscoverFindsTheEmulatorThroughItsPortmapper) {
    const ToolResult r = RunTool({"discover", "--vxi11", "--address", "127.0.0.1", "--port",
                                  std::to_string(emulator_->PortmapperPort()), "--timeout", "500"});
    ASSERT_EQ(r.exit, 0) << r.err;
    EXPECT_EQ(r.out, "Orvane Technologies,Q7310B,0123456789,1.0.9\n    TCPIP0::127.0.0.1::inst0::INSTR  (VXI11Port=" +
                         std::to_string(emulator_->Vxi11Port()) + ")\n");

    // Nobody on a port without a portmapper: nothing found, which is no error.
    const ToolResult none =
        RunTool({"discover", "--vxi11", "--address", "127.0.0.1", "--port", "9", "--timeout", "200"});
    EXPECT_EQ(none.exit, 0) << none.err;
    EXPECT_TRUE(none.out.empty()) << none.out;
    EXPECT_NE(none.err.find("no instrument answered"), std::string::npos) << none.err;
}

// A host name that does not resolve is named as such on the VXI-11 path too,
// not taken for a host without a portmapper.
TEST(ZtvTool, UnresolvableHostIsNamed) {
    const ToolResult r = RunTool({"-r", "TCPIP0::nohost.invalid::inst0::INSTR", "identify"});
    EXPECT_EQ(r.exit, 1);
    EXPECT_NE(r.err.find("Cannot resolve host \"nohost.invalid\""), std::string::npos) << r.err;
}

TEST(ZtvEmulator, PrintsResourceStringsThatWorkAsPrinted) {
    BackgroundTool emulator({"emulator", "--socket-port", "0", "--vxi11-port", "0", "--hislip-port", "0"});
    std::vector<std::string> lines;
    for (std::string line; lines.size() < 4 && !(line = emulator.ReadLine()).empty();) lines.push_back(line);
    ASSERT_EQ(lines.size(), 4u);
    for (std::size_t i = 1; i < lines.size(); ++i) {
        // "  VXI-11      port 40211  TCPIP0::127.0.0.1::inst0::INSTR  with ZENTRAVA_VXI11_PORT=40211 or ..."
        std::istringstream words(lines[i]);
        std::string resource, word;
        std::vector<std::string> environment;
        while (words >> word) {
            if (word.rfind("TCPIP0::", 0) == 0) resource = word;
            if (word.rfind("ZENTRAVA_VXI11_PORT=", 0) == 0) environment.push_back(word);
        }
        ASSERT_FALSE(resource.empty()) << lines[i];
        const ToolResult r = RunTool({"-r", resource, "scpi", "*IDN?"}, "", environment);
        EXPECT_EQ(r.exit, 0) << lines[i] << r.err;
        EXPECT_EQ(r.out, "Orvane Technologies,Q7310B,0123456789,1.0.9\n") << lines[i];
    }
    EXPECT_EQ(emulator.Stop(), 0);
}

}  // namespace
}  // namespace ztv::test
