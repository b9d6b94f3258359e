// ztv: the Q7310A/B signal source analyzers from the command line, through
// the driver's C interface. See ztv(1).
#include <CLI/CLI.hpp>
#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "apps/ztv/commands.h"
#include "apps/ztv/names.h"

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

// The long and short option names a command takes, its parents' included.
std::vector<std::string> OptionNames(const CLI::App* command) {
    std::vector<std::string> names;
    for (; command; command = command->get_parent()) {
        for (const CLI::Option* option : command->get_options()) {
            for (const std::string& name : option->get_lnames()) names.push_back("--" + name);
            for (const std::string& name : option->get_snames()) names.push_back("-" + name);
        }
    }
    return names;
}

// An argument that no option or command took: a usage error naming it, and
// for an option the closest one the command has.
int Unexpected(const CLI::App& app, const CLI::App* command, const std::string& argument) {
    if (argument.size() < 2 || argument[0] != '-') {
        // Before any command, a word is a mistyped command.
        std::vector<std::string> commands;
        for (const CLI::App* sub : app.get_subcommands({})) commands.push_back(sub->get_name());
        const std::vector<std::string> closest = ztv_tool::Closest(argument, commands, 1);
        return ztv_tool::UsageError("unexpected argument " + argument +
                                    (command || closest.empty() ? "" : "; did you mean " + closest.front() + "?") +
                                    "; see ztv --help");
    }
    const std::string option = argument.substr(0, argument.find('='));
    const std::vector<std::string> closest = ztv_tool::Closest(option, OptionNames(command ? command : &app), 1);
    return ztv_tool::UsageError("unknown option " + option + (command ? " for " + command->get_name() : "") +
                                (closest.empty() ? "" : "; did you mean " + closest.front() + "?"));
}

}  // namespace

int main(int argc, char** argv) {
    using namespace ztv_tool;
    CLI::App app{"ztv: identify, configure and measure Q7310A/B signal source analyzers", "ztv"};
    // A missing or unknown command, and unknown options, are reported below,
    // naming what was typed. Global options may follow the command.
    app.require_subcommand(0, 1);
    app.allow_extras();
    app.fallthrough();
    app.footer(ExitStatusHelp());
    Globals globals;
    app.add_option("-r,--resource", globals.resource, "VISA resource of the instrument (else $ZTV_RESOURCE)");
    app.add_option("-o,--options", globals.options, "driver options, merged over the default QueryInstrStatus=true");
    app.add_flag("--no-status-check", globals.noStatusCheck, "do not check the instrument's status after each call");
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
    add("list-resources", AddListResources(app));
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
    for (const auto& [command, run] : commands) {
        if (!command->parsed()) continue;
        if (!app.remaining().empty()) return Unexpected(app, command, app.remaining().front());
        // The emulator takes what remains as its own arguments.
        if (!command->get_prefix_command() && !command->remaining().empty()) {
            return Unexpected(app, command, command->remaining().front());
        }
        return run();
    }
    if (!app.remaining().empty()) return Unexpected(app, nullptr, app.remaining().front());
    return version ? kExitOk : UsageError("a command is needed; see ztv --help");
}
