#!/usr/bin/env bash
# Builds the Debian packages (libzentrava1, libzentrava-dev, zentrava-tools,
# python3-zentrava) from this checkout into OUTDIR and checks them with
# lintian, which must report no error and no warning that is not overridden.
# Installs what the build needs (Debian packages, with sudo when not root).
#   scripts/package.sh OUTDIR
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
[ $# -eq 1 ] || { echo "usage: $0 OUTDIR" >&2; exit 2; }
mkdir -p "$1"
out=$(cd "$1" && pwd)

sudo_cmd=""
[ "$(id -u)" -ne 0 ] && sudo_cmd="sudo"
apt_install() {
  $sudo_cmd apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo_cmd apt-get "$@"
}
missing=()
for p in dpkg-dev fakeroot lintian; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] || apt_install install -y -qq "${missing[@]}"

# The version is the project's one version number.
version=$(sed -n 's/^project(Zentrava VERSION \([0-9.]*\).*/\1/p' "$root/CMakeLists.txt")
[ -n "$version" ] || { echo "package: no version in CMakeLists.txt" >&2; exit 1; }

# The sources alone (no build folders) in a fixed place below the checkout,
# so that compiler caches find the same paths from one build to the next.
work=$root/build-package
src=$work/zentrava
rm -rf "$work"
mkdir -p "$src"
if git -C "$root" rev-parse --is-inside-work-tree >/dev/null 2>&1; then
  (cd "$root" && git ls-files -z -co --exclude-standard | xargs -0 tar -cf - --no-recursion) | tar -xf - -C "$src"
else
  tar -cf - -C "$root" --exclude='./build*' --exclude=./out . | tar -xf - -C "$src"
fi
date=$(git -C "$root" log -1 --format=%cD 2>/dev/null || date -R)
maintainer=$(sed -n 's/^Maintainer: //p' "$src/debian/control")
cat >"$src/debian/changelog" <<CHANGES
zentrava ($version) unstable; urgency=medium

  * Release $version.

 -- $maintainer  $date
CHANGES

(cd "$src" && dpkg-checkbuilddeps 2>/dev/null) || apt_install build-dep -y -qq "$src"

echo "package: building zentrava $version (log: $work/build.log)"
if ! (cd "$src" && DEB_BUILD_OPTIONS="parallel=2 noddebs ${DEB_BUILD_OPTIONS:-}" dpkg-buildpackage -b -us -uc) \
  >"$work/build.log" 2>&1; then
  tail -n 40 "$work/build.log" >&2
  echo "package: dpkg-buildpackage failed (log: $work/build.log)" >&2
  exit 1
fi
rm -f "$out"/*.deb
cp "$work"/*.deb "$out"/
ls "$out"/*.deb

lintian --fail-on error,warning --info "$out"/*.deb
