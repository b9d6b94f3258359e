// ztv-emulator: a Q7310B signal source analyzer on the network, for trying
// the driver without hardware. See emulator/README.md.
#include "emulator/program.h"

int main(int argc, char** argv) { return emulator::RunProgram("ztv-emulator", argc, argv); }
