#!/usr/bin/env bash
# The Debian packages hold what each must and nothing it must not, carry the
# project's version and no run path, name no build folder, and work from
# their own file layout: the library finds its data above the multiarch
# folder, Debian's Python finds the library on the loader path, pkg-config
# finds the headers.
#   package_test.sh
# Builds the packages with scripts/package.sh into a temporary folder, or
# takes them from $ZTV_PACKAGE_DIR when set (skipping while it holds none).
# Exits 77 (skipped) without Debian's build tools.
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
skip() { echo "skipped: $*"; exit 77; }
fail() { echo "package_test: $*" >&2; failures=$((failures + 1)); }
failures=0

for tool in dpkg-buildpackage dh lintian; do
  command -v "$tool" >/dev/null || skip "$tool is not installed (apt-get install debhelper dpkg-dev lintian)"
done
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
if [ -n "${ZTV_PACKAGE_DIR:-}" ]; then
  debs=$ZTV_PACKAGE_DIR
  compgen -G "$debs/*.deb" >/dev/null || skip "no packages in \$ZTV_PACKAGE_DIR ($debs) yet"
else
  debs=$work/debs
  "$root/scripts/package.sh" "$debs" >"$work/package.log" 2>&1 || { cat "$work/package.log"; exit 1; }
fi

version=$(sed -n 's/^project(Zentrava VERSION \([0-9.]*\).*/\1/p' "$root/CMakeLists.txt")
so_version=${version%.*}
multiarch=$(dpkg-architecture -qDEB_HOST_MULTIARCH)
lib=usr/lib/$multiarch
deb() { compgen -G "$debs/${1}_${version}_*.deb" | head -n 1; }

# contents PACKAGE must|must-not REGEX...: the package's paths (./ removed)
# match each REGEX (or none of them).
contents() {
  local package=$1 rule=$2 file
  shift 2
  file=$(deb "$package")
  [ -n "$file" ] || { fail "no $package $version package in $debs"; return; }
  local paths
  paths=$(dpkg-deb -c "$file" | awk '{ sub(/^[^.]*\.\//, ""); sub(/ -> .*/, ""); print }')
  for pattern in "$@"; do
    if ! grep -qE "^$pattern\$" <<<"$paths"; then
      if [ "$rule" = must ]; then fail "$package lacks $pattern"; fi
    elif [ "$rule" = must-not ]; then
      fail "$package holds $pattern"
    fi
  done
}

contents libzentrava1 must "$lib/libzentrava\.so\.1" "$lib/libzentrava\.so\.$so_version" \
  "usr/share/zentrava/Zentrava\.typelib\.xml" "usr/share/zentrava/components/Orvane Technologies/trace\.xslt" \
  "usr/share/doc/libzentrava1/copyright"
contents libzentrava1 must-not "$lib/libzentrava\.so" "usr/include/.*" "usr/bin/.*" "usr/share/man/.*"
contents libzentrava-dev must "usr/include/zentrava/Zentrava\.h" "usr/include/zentrava/Zentrava_generated\.h" \
  "usr/include/zentrava/zentrava\.hpp" "$lib/libzentrava\.so" "$lib/pkgconfig/zentrava\.pc" \
  "$lib/cmake/Zentrava/ZentravaConfig\.cmake" "$lib/cmake/Zentrava/ZentravaTargets\.cmake" \
  "usr/share/doc/libzentrava-dev/reference/functions\.md(\.gz)?" "usr/share/man/man3/zentrava\.3\.gz" \
  "usr/share/man/man3/Ztv_init\.3\.gz" "usr/share/man/man3/Ztv_GetAttributeViReal64\.3\.gz" \
  "usr/share/man/man3/Ztv_WaitForServiceRequest\.3\.gz"
contents libzentrava-dev must-not "$lib/libzentrava\.so\..*" "usr/bin/.*" "usr/share/zentrava/.*"
contents zentrava-tools must "usr/bin/ztv" "usr/bin/ztv-emulator" "usr/bin/zentrava-register" \
  "usr/share/man/man1/ztv\.1\.gz" "usr/share/man/man1/ztv-emulator\.1\.gz" \
  "usr/share/man/man1/zentrava-register\.1\.gz" "usr/share/bash-completion/completions/ztv"
for rules in "$root"/packaging/udev/*.rules; do
  if [ -e "$rules" ]; then contents zentrava-tools must "(usr/)?lib/udev/rules\.d/$(basename "$rules")"; fi
done
contents zentrava-tools must-not "usr/bin/zentrava-example" "usr/lib/.*libzentrava.*" "usr/include/.*"
contents python3-zentrava must "usr/lib/python3/dist-packages/zentrava/__init__\.py" \
  "usr/lib/python3/dist-packages/zentrava/_model\.py"
contents python3-zentrava must-not ".*libzentrava.*" ".*\.pyc" "usr/lib/python3\.[0-9]+/.*"

# Versions and the dependencies between the packages.
field() { dpkg-deb -f "$(deb "$1")" "$2"; }
if [ -n "$(deb libzentrava-dev)" ]; then
  grep -qF "libzentrava1 (= $version)" <<<"$(field libzentrava-dev Depends)" || fail "libzentrava-dev does not depend on libzentrava1 (= $version)"
  grep -qF "libzentrava1 (>= $version)" <<<"$(field zentrava-tools Depends)" || fail "zentrava-tools: no libzentrava1 (>= $version) from the symbols file"
  grep -qF "libzentrava1 (>= $version)" <<<"$(field python3-zentrava Depends)" || fail "python3-zentrava does not depend on libzentrava1"
fi
[ "$failures" -eq 0 ] || exit 1

# The installed tree, unpacked: no run path, no build or source folder named.
tree=$work/root
for file in "$debs"/*_"$version"_*.deb; do dpkg-deb -x "$file" "$tree"; done
while IFS= read -r -d '' file; do
  if file -b "$file" | grep -q '^ELF'; then
    if readelf -d "$file" | grep -qE 'RPATH|RUNPATH'; then fail "${file#"$tree"/} has a run path"; fi
  fi
done < <(find "$tree" -type f -print0)
if grep -rIlF -e build-package -e obj-"$multiarch" "$tree"; then fail "files name the build folder"; fi

# From the unpacked layout: the library registers its type library from
# /usr/share/zentrava, Python loads the library by its SONAME, pkg-config
# names the headers.
export LD_LIBRARY_PATH=$tree/$lib
ZENTRAVA_REGISTRY=$work/registry.xml "$tree/usr/bin/zentrava-register" || fail "zentrava-register failed"
grep -qF "$tree/usr/share/zentrava/Zentrava.typelib.xml" "$work/registry.xml" 2>/dev/null ||
  fail "the registry does not name the installed type library"
env -u ZENTRAVA_LIBRARY PYTHONPATH="$tree/usr/lib/python3/dist-packages" PYTHONDONTWRITEBYTECODE=1 \
  /usr/bin/python3 -c "import zentrava, os; assert zentrava.__file__.startswith(os.environ['PYTHONPATH'])" ||
  fail "python3 cannot import zentrava with the library on the loader path"
include=$(PKG_CONFIG_PATH=$tree/$lib/pkgconfig pkg-config --cflags-only-I zentrava | sed 's/^ *-I//; s/ *$//')
[ "$(realpath -m "$include")" = "$tree/usr/include" ] || fail "pkg-config names $include for the headers"
[ "$failures" -ne 0 ] || echo "packages of zentrava $version: contents and layout as they should be"
exit $((failures > 0))
