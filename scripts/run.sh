#!/usr/bin/env bash
# Builds the driver and ztv, then runs a phase-noise measurement with
# `ztv measure pn`: against the resource you name, or against the bundled
# instrument emulator, started here, when you name none.
#   scripts/run.sh                                  # emulator
#   scripts/run.sh "TCPIP0::10.0.0.7::inst0::INSTR"  # a real instrument
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
# Only the tool and what it links: no tests, no test libraries.
ZTV_TARGETS=ztv "$root/scripts/setup.sh" "$root/build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DZTV_BUILD_TESTS=OFF
ztv="$root/build/bin/ztv"
measure=(measure pn --start 1 --stop 40e6 --marker 1e3 --upper-limit 1,-40,100,-80,100,-80,1e4,-120,1e4,-120,4e7,-140
         --csv pn_trace.csv --svg pn_trace.svg)
if [ $# -gt 0 ]; then
  exec "$ztv" -r "$1" "${measure[@]}"
fi
# The emulator in the background, on free ports; its first line names the raw socket.
fifo=$(mktemp -u)
mkfifo "$fifo"
"$ztv" emulator --socket-port 0 --hislip-port -1 --vxi11-port -1 >"$fifo" &
emulator=$!
trap 'kill $emulator 2>/dev/null; rm -f "$fifo"' EXIT
exec 3<"$fifo"
read -r _ <&3
read -r _ _ _ _ resource <&3
"$ztv" -r "$resource" identify
"$ztv" -r "$resource" "${measure[@]}"
echo "written           pn_trace.csv, pn_trace.svg"
