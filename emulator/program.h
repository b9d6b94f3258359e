#pragma once

namespace emulator {

// The emulator as a program: parses the options in argv[1..], serves until
// SIGINT or SIGTERM and returns the exit status (2 for a bad option, named on
// stderr). `program` names the command in messages: "ztv-emulator" or
// "ztv emulator".
int RunProgram(const char* program, int argc, char** argv);

}  // namespace emulator
