// The subcommands of ztv. Each Add function declares its subcommand with its
// options on the parent and returns what runs it after parsing.
#pragma once

#include <CLI/CLI.hpp>
#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "apps/ztv/session.h"

namespace ztv_tool {

using Runner = std::function<int()>;

Runner AddList(CLI::App& parent);
Runner AddGet(CLI::App& parent, const Globals& globals);
Runner AddSet(CLI::App& parent, const Globals& globals);
Runner AddScpi(CLI::App& parent, const Globals& globals);
Runner AddMeasure(CLI::App& parent, const Globals& globals);
Runner AddScreenshot(CLI::App& parent, const Globals& globals);
// identify, errors, reset, clear, selftest: one call each, no options.
void AddInstrumentCommands(CLI::App& parent, const Globals& globals, std::vector<std::pair<CLI::App*, Runner>>* out);
Runner AddDiscover(CLI::App& parent, const Globals& globals);
// USBTMC devices, serial ports, GPIB listeners and LAN instruments, with identities.
Runner AddListResources(CLI::App& parent);
Runner AddSnapshot(CLI::App& parent, const Globals& globals);
Runner AddDoctor(CLI::App& parent, const Globals& globals);
// The session's settings as a snapshot's JSON text, of the attributes whose
// names begin with `prefix`; false (reported) on failure.
bool TakeSnapshot(Session& s, std::string* json, const std::string& prefix = "");
// What a result carries to say where it comes from: "identity: ...",
// "resource: ...", "time: ..." and "NAME: value" for each setting whose name
// begins with `prefix`.
std::optional<std::vector<std::string>> ResultContext(Session& s, const std::string& prefix);
// Writes a snapshot back; prints each refusal. kExitFailed when any was refused.
int RestoreSnapshot(Session& s, const std::string& json);
// The bundled emulator: takes the emulator program's own options.
Runner AddEmulator(CLI::App& parent);

}  // namespace ztv_tool
