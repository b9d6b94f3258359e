#!/usr/bin/env bash
# Builds the driver and runs the phase-noise example: against the resource you
# name, or against the bundled instrument emulator when you name none.
#   scripts/run.sh                                  # emulator
#   scripts/run.sh "TCPIP0::10.0.0.7::inst0::INSTR"  # a real instrument
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
# Only the example and what it links: no tests, no test libraries.
ZTV_TARGETS=zentrava-example "$root/scripts/setup.sh" "$root/build" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DZTV_BUILD_TESTS=OFF
exec "$root/build/bin/zentrava-example" "$@"
