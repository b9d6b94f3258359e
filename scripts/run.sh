#!/usr/bin/env bash
# Builds the driver and runs the phase-noise example: against the resource you
# name, or against the bundled instrument emulator when you name none.
#   scripts/run.sh                                  # emulator
#   scripts/run.sh "TCPIP0::10.0.0.7::inst0::INSTR"  # a real instrument
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/setup.sh" "$root/build" -DCMAKE_BUILD_TYPE=RelWithDebInfo
exec "$root/build/bin/zentrava-example" "$@"
