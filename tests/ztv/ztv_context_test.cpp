// Snapshots, results with their context, recordings replayed and the
// connection doctor: ztv as a process against the emulator on loopback.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <map>
#include <memory>
#include <nlohmann/json.hpp>
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
using Json = nlohmann::json;

void Write(const std::string& path, const std::string& text) { std::ofstream(path, std::ios::binary) << text; }

// The lines of a CSV that are data, not comments.
std::vector<std::string> DataLines(const std::string& csv) {
    std::vector<std::string> data;
    for (const std::string& line : Lines(csv)) {
        if (line.rfind("#", 0) != 0) data.push_back(line);
    }
    return data;
}

class Emulated {
public:
    explicit Emulated(const std::string& replay = "") {
        emulator::Options options = emulator::test::ServingOnly(emulator::Channel::Socket);
        options.replayPath = replay;
        options.replaySpeed = 0;
        emulator_ = std::make_unique<emulator::Emulator>(options);
        started_ = emulator_->Start(&error_);
    }
    ~Emulated() { emulator_->Stop(); }
    bool started() const { return started_; }
    const std::string& error() const { return error_; }
    emulator::Emulator& operator*() { return *emulator_; }
    emulator::Emulator* operator->() { return emulator_.get(); }

    ToolResult Ztv(Args arguments) {
        arguments.insert(arguments.begin(), {"-r", emulator_->SocketResource()});
        return RunTool(arguments);
    }

private:
    std::unique_ptr<emulator::Emulator> emulator_;
    std::string error_;
    bool started_ = false;
};

class ZtvContext : public ::testing::Test {
protected:
    std::string File(const std::string& name) const { return dir_.file(name); }
    TempDir dir_;
};

TEST_F(ZtvContext, SnapshotTypesEverySettingAndKeysMeasurementsAndMarkers) {
    Emulated emu;
    ASSERT_TRUE(emu.started()) << emu.error();
    ASSERT_EQ(emu.Ztv({"set", "ATTENUATION", "17.5"}).exit, 0);
    const ToolResult r = emu.Ztv({"snapshot", "-o", File("s.json")});
    ASSERT_EQ(r.exit, 0) << r.err;
    const Json s = Json::parse(ReadFile(File("s.json")));
    EXPECT_EQ(s["identity"]["model"], "Q7310B");
    EXPECT_EQ(s["identity"]["serial"], "0123456789");
    EXPECT_EQ(s["resource"], emu->SocketResource());
    EXPECT_EQ(s["time"].get<std::string>().size(), 20u);  // 2026-12-07T21:00:00Z
    const Json& settings = s["settings"];
    EXPECT_EQ(settings["ATTENUATION"], 17.5);
    EXPECT_TRUE(settings["APPLICATION_PHASENOISE_ACQUISITION_SWEEP_MODE_CONTINUOUS"].is_boolean());
    // Enumerations by their value names, measurements and markers by selector.
    const Json& analysis = settings["APPLICATION_PHASENOISE_MEASUREMENT_FUNCTION_ANALYSIS_TYPE[Measurement1]"];
    ASSERT_TRUE(analysis.is_string());
    EXPECT_NE(analysis.get<std::string>().find("ANALYSIS_TYPE"), std::string::npos);
    EXPECT_TRUE(settings.contains("APPLICATION_FREQUENCYPOWER_MEASUREMENT_MARKER_ENABLED[Measurement4:Marker10]"));
    EXPECT_FALSE(settings.contains("APPLICATION_FREQUENCYPOWER_MEASUREMENT_MARKER_ENABLED[Measurement5:Marker1]"));
    EXPECT_FALSE(settings.contains("APPLICATION_PHASENOISE_MEASUREMENT_MARKER_ENABLED[Measurement1:Marker11]"));
    // Without -o the document goes to standard output.
    EXPECT_EQ(Json::parse(emu.Ztv({"snapshot"}).out)["settings"]["ATTENUATION"], 17.5);
}

TEST_F(ZtvContext, RestoreAfterAResetBringsTheSettingsBack) {
    Emulated emu;
    ASSERT_TRUE(emu.started()) << emu.error();
    const Args changes[] = {{"set", "ATTENUATION", "17.5"},
                            {"set", "TRIGGER_MODE", "DISPLAY_ACTIVE_WINDOW_SP1"},
                            {"set", "APPLICATION_PHASENOISE_DISPLAY_LABEL", "oscillator 7"},
                            {"set", "MARKER_X_VALUE", "--app", "fp", "-s", "Measurement3:Marker2", "2.5"}};
    for (const Args& change : changes) ASSERT_EQ(emu.Ztv(change).exit, 0) << change[1] << emu.Ztv(change).err;
    ASSERT_EQ(emu.Ztv({"snapshot", "-o", File("s.json")}).exit, 0);
    ASSERT_EQ(emu.Ztv({"reset"}).exit, 0);
    ASSERT_NE(emu.Ztv({"get", "ATTENUATION"}).out, "17.5\n");

    const ToolResult restored = emu.Ztv({"snapshot", "--restore", File("s.json")});
    EXPECT_EQ(restored.exit, 0) << restored.err;
    EXPECT_EQ(emu.Ztv({"get", "ATTENUATION"}).out, "17.5\n");
    EXPECT_EQ(emu.Ztv({"get", "TRIGGER_MODE"}).out, "DISPLAY_ACTIVE_WINDOW_SP1\n");
    EXPECT_EQ(emu.Ztv({"get", "APPLICATION_PHASENOISE_DISPLAY_LABEL"}).out, "\"oscillator 7\"\n");
    EXPECT_EQ(emu.Ztv({"get", "MARKER_X_VALUE", "--app", "fp", "-s", "Measurement3:Marker2"}).out, "2.5\n");
}

TEST_F(ZtvContext, RestoreReportsEachRefusedSettingAndExitsWithOne) {
    Emulated emu;
    ASSERT_TRUE(emu.started()) << emu.error();
    ASSERT_EQ(emu.Ztv({"snapshot", "-o", File("s.json")}).exit, 0);
    Json s = Json::parse(ReadFile(File("s.json")));
    s["settings"]["ATTENUATION"] = 99;         // out of the instrument's range
    s["settings"]["NO_SUCH_SETTING"] = 1;      // not an attribute
    s["settings"]["DISPLAY_ENABLED"] = "yes";  // not a boolean
    Write(File("bad.json"), s.dump());
    const ToolResult r = emu.Ztv({"snapshot", "--restore", File("bad.json")});
    EXPECT_EQ(r.exit, 1);
    for (const char* key : {"ATTENUATION: ", "NO_SUCH_SETTING: no such attribute", "DISPLAY_ENABLED: "}) {
        EXPECT_NE(r.err.find(key), std::string::npos) << key << " in " << r.err;
    }
    EXPECT_NE(r.err.find("3 settings refused"), std::string::npos) << r.err;

    Write(File("no.json"), "{\"settings\": [1, 2]}");
    EXPECT_EQ(emu.Ztv({"snapshot", "--restore", File("no.json")}).exit, 1);
}

TEST_F(ZtvContext, MeasuredCsvAndSvgCarryTheirContext) {
    Emulated emu;
    ASSERT_TRUE(emu.started()) << emu.error();
    const ToolResult r = emu.Ztv({"measure", "pn", "--csv", File("pn.csv"), "--svg", File("pn.svg")});
    ASSERT_EQ(r.exit, 0) << r.err;
    const std::vector<std::string> lines = Lines(ReadFile(File("pn.csv")));
    ASSERT_GT(lines.size(), 10u);
    EXPECT_EQ(lines[0].rfind("# identity: manufacturer Orvane Technologies, model Q7310B, serial 0123456789", 0), 0u)
        << lines[0];
    EXPECT_EQ(lines[1], "# resource: " + emu->SocketResource());
    EXPECT_EQ(lines[2].rfind("# time: 20", 0), 0u) << lines[2];
    std::size_t settings = 0, first = 0;
    for (std::size_t i = 3; i < lines.size() && lines[i][0] == '#'; ++i, first = i) {
        EXPECT_EQ(lines[i].rfind("# APPLICATION_PHASENOISE_", 0), 0u) << lines[i];
        ++settings;
    }
    EXPECT_GT(settings, 50u);
    EXPECT_EQ(lines[first], "Offset frequency (Hz),L(f) (dBc/Hz)");
    const std::string svg = ReadFile(File("pn.svg"));
    const std::size_t metadata = svg.find("<metadata>");
    ASSERT_NE(metadata, std::string::npos);
    EXPECT_NE(svg.find("identity: manufacturer Orvane Technologies", metadata), std::string::npos);
    EXPECT_NE(svg.find("APPLICATION_PHASENOISE_", metadata), std::string::npos);
}

TEST_F(ZtvContext, ARecordingReplayedGivesTheSameTrace) {
    {
        Emulated emu;
        ASSERT_TRUE(emu.started()) << emu.error();
        const ToolResult r = emu.Ztv({"--record", File("pn.jsonl"), "measure", "pn", "--csv", File("recorded.csv")});
        ASSERT_EQ(r.exit, 0) << r.err;
    }
    const std::vector<std::string> events = Lines(ReadFile(File("pn.jsonl")));
    ASSERT_GT(events.size(), 10u);
    EXPECT_EQ(Json::parse(events[0])["event"], "open");
    EXPECT_EQ(Json::parse(events[1])["event"], "write");
    EXPECT_EQ(Json::parse(events[1])["text"], "*IDN?\n");
    EXPECT_EQ(Json::parse(events[2])["event"], "read");
    EXPECT_EQ(Json::parse(events[2])["end"], "TERMCHAR");

    Emulated replay(File("pn.jsonl"));
    ASSERT_TRUE(replay.started()) << replay.error();
    const ToolResult r = replay.Ztv({"measure", "pn", "--csv", File("replayed.csv")});
    ASSERT_EQ(r.exit, 0) << r.err;
    EXPECT_EQ(DataLines(ReadFile(File("replayed.csv"))), DataLines(ReadFile(File("recorded.csv"))));
    EXPECT_TRUE(replay->instrument().PendingErrors().empty());
}

TEST_F(ZtvContext, AnUnrecordedCommandIsAnUndefinedHeaderAndGetsNoReply) {
    {
        Emulated emu;
        ASSERT_TRUE(emu.started()) << emu.error();
        ASSERT_EQ(emu.Ztv({"--record", File("r.jsonl"), "scpi", "SENS:ATT:LEV?", "*OPT?"}).exit, 0);
    }
    Emulated replay(File("r.jsonl"));
    ASSERT_TRUE(replay.started()) << replay.error();
    const ToolResult r = replay.Ztv({"--timeout", "300", "scpi", "SENS:ATT:LEV?", "SYST:VERS?"});
    EXPECT_EQ(r.exit, 1);
    EXPECT_EQ(Lines(r.out).size(), 1u) << r.out;  // the recorded query was answered, the other not
    // ztv drains the instrument's queue after a failed query and shows it.
    EXPECT_NE(r.err.find("-113"), std::string::npos) << r.err;
    EXPECT_TRUE(replay->instrument().PendingErrors().empty());
}

TEST_F(ZtvContext, ADamagedRecordingIsRefusedAtStartWithItsLine) {
    const std::string open = "{\"event\":\"open\",\"resource\":\"X\",\"time\":\"2026-01-01T00:00:00Z\",\"format\":1}\n";
    const std::string write = "{\"t\":0.1,\"event\":\"write\",\"text\":\"*IDN?\\n\",\"end\":true}\n";
    struct Case {
        const char* name;
        std::string text;
        const char* why;  // with ":<line>: "
    };
    const Case cases[] = {
        {"bad JSON", open + "{\"t\":0.1,\"event\":\n", ":2: not a JSON object"},
        {"truncated", open + write + "{\"t\":0.2,\"event\":\"read\"", ":3: truncated"},
        {"unknown event", open + write + "{\"t\":0.2,\"event\":\"poke\"}\n", ":3: unknown event \"poke\""},
        {"no open", write, ":1: a recording starts with an \"open\" event"},
        {"reply alone", open + "{\"t\":0.2,\"event\":\"read\",\"text\":\"1\\n\",\"end\":\"END\"}\n",
         ":2: a reply with no program message before it"},
        {"bad base64", open + "{\"t\":0.1,\"event\":\"write\",\"base64\":\"*?\",\"end\":true}\n",
         ":2: \"base64\" is not base64"},
        {"no time", open + "{\"event\":\"stb\",\"value\":0}\n", ":2: no time"},
    };
    for (const Case& c : cases) {
        Write(File("bad.jsonl"), c.text);
        Emulated replay(File("bad.jsonl"));
        EXPECT_FALSE(replay.started()) << c.name;
        EXPECT_NE(replay.error().find(c.why), std::string::npos) << c.name << ": " << replay.error();
    }
    // The program says so and stops.
    const ToolResult r =
        RunTool({"emulator", "--socket-port", "0", "--hislip-port", "-1", "--replay", File("bad.jsonl")});
    EXPECT_EQ(r.exit, 1);
    EXPECT_NE(r.err.find("bad.jsonl:2: no time"), std::string::npos) << r.err;
}

// The doctor's verdict for each check, by name.
std::map<std::string, std::string> Verdicts(const std::string& out) {
    std::map<std::string, std::string> verdicts;
    const Json findings = Json::parse(out);
    for (const Json& check : findings["checks"]) {
        verdicts[check["check"].get<std::string>()] = check["result"].get<std::string>();
    }
    return verdicts;
}

TEST_F(ZtvContext, DoctorPassesAHealthyLinkAndLeavesTheSettings) {
    Emulated emu;
    ASSERT_TRUE(emu.started()) << emu.error();
    ASSERT_EQ(emu.Ztv({"set", "APPLICATION_FREQUENCYPOWER_SWEEP_SIZE", "201"}).exit, 0);
    const ToolResult r = emu.Ztv({"doctor"});
    EXPECT_EQ(r.exit, 0) << r.out << r.err;
    for (const char* check : {"identity", "error queue", "latency", "throughput", "clear, status byte",
                              "service request", "largest block", "settings"}) {
        EXPECT_NE(r.out.find(std::string("PASS  ") + check), std::string::npos) << check << " in\n" << r.out;
    }
    EXPECT_NE(r.out.find("median"), std::string::npos);
    EXPECT_NE(r.out.find("polling the status byte"), std::string::npos);
    EXPECT_NE(r.out.find("800008 bytes intact"), std::string::npos) << r.out;  // 100001 reals and the header
    EXPECT_EQ(emu.Ztv({"get", "APPLICATION_FREQUENCYPOWER_SWEEP_SIZE"}).out, "201\n");
    EXPECT_EQ(emu->instrument().Setting("FORM:DATA").value_or("ASC"), "ASC");

    const ToolResult json = emu.Ztv({"doctor", "--json"});
    EXPECT_EQ(json.exit, 0);
    EXPECT_TRUE(Json::parse(json.out)["healthy"].get<bool>());
}

TEST_F(ZtvContext, DoctorNamesTheFaultsOfAFaultyLink) {
    struct Case {
        const char* fault;
        std::function<void(emulator::Faults&)> inject;
        const char* check;
        const char* verdict;
        int exit;
    };
    const Case cases[] = {
        {"unsupported model", [](emulator::Faults& f) { f.SetIdnModel("X9999"); }, "identity", "FAIL", 1},
        {"delayed replies", [](emulator::Faults& f) { f.SetReplyDelay(60); }, "latency", "WARN", 0},
        {"lost service request", [](emulator::Faults& f) { f.LoseServiceRequests(true); }, "service request", "FAIL",
         1},
    };
    for (const Case& c : cases) {
        Emulated emu;
        ASSERT_TRUE(emu.started()) << emu.error();
        c.inject(emu->faults());
        const ToolResult r = emu.Ztv({"doctor", "--json"});
        EXPECT_EQ(r.exit, c.exit) << c.fault << "\n" << r.out << r.err;
        EXPECT_EQ(Verdicts(r.out)[c.check], c.verdict) << c.fault << "\n" << r.out;
    }
}

}  // namespace
}  // namespace ztv::test
