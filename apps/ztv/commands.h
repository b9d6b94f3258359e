// The subcommands of ztv. Each Add function declares its subcommand with its
// options on the parent and returns what runs it after parsing.
#pragma once

#include <functional>
#include <utility>
#include <vector>

#include <CLI/CLI.hpp>

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
// The bundled emulator: takes the emulator program's own options.
Runner AddEmulator(CLI::App& parent);

}  // namespace ztv_tool
