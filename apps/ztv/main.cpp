// ztv: the Q7310A/B signal source analyzers from the command line, through
// the driver's C interface. See ztv(1).
#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include <CLI/CLI.hpp>

#include "apps/ztv/commands.h"

namespace {

// The driver's revision, from a simulated session (no instrument needed).
std::string DriverRevision() {
    ViSession vi = VI_NULL;
    char driver[256] = "unknown", instrument[256] = "";
    if (Ztv_InitWithOptions(const_cast<char*>("ZTV"), VI_FALSE, VI_FALSE, "Simulate=true", &vi) >= 0) {
        Ztv_revision_query(vi, driver, instrument);
        Ztv_close(vi);
    }
    return driver;
}

}  // namespace

int main(int argc, char** argv) {
    using namespace ztv_tool;
    CLI::App app{"ztv: identify, configure and measure Q7310A/B signal source analyzers", "ztv"};
    // A missing or unknown command is reported below, naming what was typed.
    app.require_subcommand(0, 1);
    app.allow_extras();
    Globals globals;
    app.add_option("-r,--resource", globals.resource, "VISA resource of the instrument (else $ZTV_RESOURCE)");
    app.add_option("-o,--options", globals.options, "driver option string")->capture_default_str();
    app.add_option("--timeout", globals.timeoutMs, "I/O timeout, ms")->check(CLI::Range(1, 3600000));
    app.add_flag("--simulate", globals.simulate, "simulate the instrument instead of talking to one");
    app.add_option("--record", globals.recordPath, "record every exchange with the instrument to FILE (JSON lines)");
    app.add_flag("-v", globals.verbose, "print every SCPI exchange on standard error");
    bool version = false;
    app.add_flag("--version", version, "print the tool's and the driver's revision");

    std::vector<std::pair<CLI::App*, Runner>> commands;
    auto add = [&](const char* name, Runner run) { commands.emplace_back(app.get_subcommand(name), std::move(run)); };
    add("list", AddList(app));
    add("get", AddGet(app, globals));
    add("set", AddSet(app, globals));
    add("scpi", AddScpi(app, globals));
    add("measure", AddMeasure(app, globals));
    add("screenshot", AddScreenshot(app, globals));
    AddInstrumentCommands(app, globals, &commands);
    add("discover", AddDiscover(app, globals));
    add("snapshot", AddSnapshot(app, globals));
    add("doctor", AddDoctor(app, globals));
    add("emulator", AddEmulator(app));

    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& e) {
        const int shown = app.exit(e);
        return shown == static_cast<int>(CLI::ExitCodes::Success) ? kExitOk : kExitUsage;
    }
    if (version) std::printf("ztv %s, driver %s\n", ZTV_VERSION, DriverRevision().c_str());
    if (!app.remaining().empty()) return UsageError("unexpected argument " + app.remaining().front() + "; see ztv --help");
    for (const auto& [command, run] : commands) {
        if (command->parsed()) return run();
    }
    return version ? kExitOk : UsageError("a command is needed; see ztv --help");
}
