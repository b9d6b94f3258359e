#!/usr/bin/env bash
# Builds and runs every test. ZTV_SANITIZE=address (ASan+UBSan) or thread
# (TSan) selects a sanitizer build in its own folder.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
sanitize=${ZTV_SANITIZE:-}
build="$root/build${sanitize:+-$sanitize}"
"$root/scripts/setup.sh" "$build" -DZTV_SANITIZE="$sanitize" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DZTV_BUILD_TESTS=ON
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1}
cd "$build"
ctest -j2 --output-on-failure
