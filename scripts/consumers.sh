#!/usr/bin/env bash
# Installs the driver from a build folder into a staging prefix, moves the
# prefix (the install must not depend on where it was made), checks the
# library's SONAME and exports, and builds programs against that prefix alone:
# a C program with pkg-config, C++ programs on the COM helpers and on the
# native API with find_package, and the README's snippets. Each runs against
# the installed emulator on loopback.
#   scripts/consumers.sh [build-dir]     (default: build)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$root/build}" && pwd)
work=$(mktemp -d)
emulator_pid=
cleanup() {
  [ -n "$emulator_pid" ] && kill "$emulator_pid" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT
fail() { echo "consumers: $*" >&2; exit 1; }

cmake --install "$build" --prefix "$work/stage" >/dev/null
mv "$work/stage" "$work/prefix"
prefix=$work/prefix
pcdir=$(dirname "$(find "$prefix" -name zentrava.pc)")
libdir=$(dirname "$pcdir")

# The library: versioned name, SONAME, link, and only the faces exported.
[ -f "$libdir/libzentrava.so.1.0.9" ] && [ -L "$libdir/libzentrava.so" ] || fail "libzentrava.so.1.0.9 or its link missing"
readelf -d "$libdir/libzentrava.so.1.0.9" | grep -q 'Library soname: \[libzentrava.so.1\]' || fail "SONAME is not libzentrava.so.1"
internals=$(nm -DC --defined-only "$libdir/libzentrava.so.1.0.9" | grep -cE 'ztv::|visa::|ivi::' || true)
[ "$internals" -eq 0 ] || fail "$internals internal symbols exported"
echo "exported symbols: $(nm -D --defined-only "$libdir/libzentrava.so.1.0.9" | wc -l)"
# Nothing installed names the source or build tree.
if grep -rIl -e "$build" -e "$root" "$prefix"; then fail "installed files name the build or source tree"; fi
for program in "$libdir/libzentrava.so.1.0.9" "$prefix"/bin/*; do
  if readelf -d "$program" | grep -E 'RPATH|RUNPATH' | grep -v '\[\$ORIGIN/'; then
    fail "$program has a run path outside the prefix"
  fi
done

# The emulator from the prefix, on a free loopback port.
: >"$work/emulator.out"  # there before the emulator writes, for the first look below
"$prefix/bin/ztv-emulator" --socket-port 0 --vxi11-port -1 --hislip-port -1 >>"$work/emulator.out" 2>&1 &
emulator_pid=$!
for _ in $(seq 50); do
  port=$(sed -n 's/.*raw socket *port \([0-9]*\).*/\1/p' "$work/emulator.out")
  [ -n "$port" ] && break
  sleep 0.1
done
[ -n "${port:-}" ] || fail "the emulator did not start: $(cat "$work/emulator.out")"
resource="TCPIP0::127.0.0.1::$port::SOCKET"

export PKG_CONFIG_PATH=$pcdir
export LD_LIBRARY_PATH=$libdir
run() {  # run NAME PROGRAM: the program must print the identity and a trace length
  local name=$1; shift
  "$@" "$resource" >"$work/$name.out" || fail "$name failed: $(cat "$work/$name.out")"
  grep -q '^identity: .*Q7310B' "$work/$name.out" && grep -qE '^trace length: [1-9][0-9]*$' "$work/$name.out" ||
    fail "$name printed: $(cat "$work/$name.out")"
  echo "$name: $(tr '\n' ' ' <"$work/$name.out")"
}
cmake_build() {  # cmake_build SOURCE-DIR BUILD-DIR: configure against the prefix only
  cmake -S "$1" -B "$2" -DCMAKE_PREFIX_PATH="$prefix" -DCMAKE_BUILD_TYPE=Release >/dev/null
  cmake --build "$2" >/dev/null
}

# 1. C with pkg-config, warning-free as C89.
# shellcheck disable=SC2046
cc -std=c89 -pedantic -Wall -Wextra -Wwrite-strings -Werror "$root/packaging/consumers/consumer.c" \
  $(pkg-config --cflags --libs zentrava) -o "$work/c-consumer"
run c-pkgconfig "$work/c-consumer"
# The C header is warning-free as C++ too.
# shellcheck disable=SC2046
c++ -x c++ -Wall -Wextra -Wwrite-strings -Werror -fsyntax-only "$root/packaging/consumers/consumer.c" \
  $(pkg-config --cflags zentrava)

# 2. C++ with find_package: the COM-style interfaces and the native C++ API.
cmake_build "$root/packaging/consumers/cpp" "$work/cpp-build"
run cpp-find-package "$work/cpp-build/consumer"
grep -q '^error caught: .' "$work/cpp-find-package.out" || fail "the C++ program caught no error"
run native-find-package "$work/cpp-build/native_consumer"
grep -q '^error caught: .*Measurement1' "$work/native-find-package.out" || fail "the native program caught no selector error"

# 3. The README's snippets, exactly as printed.
mkdir -p "$work/readme"
python3 "$root/packaging/consumers/readme_snippets.py" "$root/README.md" "$work/readme"
# shellcheck disable=SC2046
cc "$work/readme/first.c" $(pkg-config --cflags --libs zentrava) -o "$work/readme/first"
run readme-c "$work/readme/first"
cmake_build "$work/readme" "$work/readme/build"
run readme-cpp "$work/readme/build/first_cpp"
