// emulator: the bundled instrument emulator in the foreground.
#include <string>
#include <vector>

#include "apps/ztv/commands.h"
#include "emulator/program.h"

namespace ztv_tool {

Runner AddEmulator(CLI::App& parent) {
    CLI::App* command = parent.add_subcommand("emulator", "run the bundled Q7310B emulator (see ztv-emulator(1))");
    // Everything after "emulator" is the emulator's own, --help included.
    command->prefix_command();
    command->allow_extras();
    command->fallthrough(false);
    command->set_help_flag();
    return [command] {
        std::vector<std::string> argv{"ztv emulator"};
        for (const std::string& a : command->remaining()) argv.push_back(a);
        std::vector<char*> pointers;
        for (std::string& a : argv) pointers.push_back(a.data());
        return emulator::RunProgram("ztv emulator", static_cast<int>(pointers.size()), pointers.data());
    };
}

}  // namespace ztv_tool
