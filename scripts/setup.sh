#!/usr/bin/env bash
# Installs what the build needs (Debian packages) and configures and builds
# one build folder. Usage: scripts/setup.sh <build-dir> [cmake options...]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$1
shift

packages=(g++ cmake make pkg-config python3 libgtest-dev libgmock-dev libbenchmark-dev libpugixml-dev
          libtirpc-dev rpcsvc-proto python3-numpy python3-pytest python3-setuptools python3-venv libcli11-dev
          libpng-dev)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  sudo_cmd=""
  [ "$(id -u)" -ne 0 ] && sudo_cmd="sudo"
  $sudo_cmd apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo_cmd apt-get install -y -qq "${missing[@]}"
fi

cmake -S "$root" -B "$build" "$@" >/dev/null
cmake --build "$build" -j2
