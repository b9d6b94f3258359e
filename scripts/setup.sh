#!/usr/bin/env bash
# Installs what the build needs (Debian packages) and configures and builds
# one build folder: everything, or the targets named in $ZTV_TARGETS.
# Usage: scripts/setup.sh <build-dir> [cmake options...]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$1
shift

packages=(g++ cmake make pkg-config python3 libpugixml-dev libtirpc-dev rpcsvc-proto libcli11-dev libpng-dev nlohmann-json3-dev)
# <linux/usb/tmc.h>: the usbtmc driver's ioctls.
packages+=(linux-libc-dev)
# Test, benchmark and Python-package libraries only for builds that build the tests.
if [[ " $* " != *" -DZTV_BUILD_TESTS=OFF "* ]]; then
  packages+=(libgtest-dev libgmock-dev libbenchmark-dev python3-numpy python3-pytest python3-setuptools python3-venv)
  packages+=(mypy pycodestyle)  # the Python package's type and style checks
  packages+=(clang-format)  # every C++ file in the one style of .clang-format
  # ip, for the discovery tests' private network namespace
  packages+=(iproute2)
fi
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
# shellcheck disable=SC2086
cmake --build "$build" -j2 ${ZTV_TARGETS:+--target $ZTV_TARGETS}
