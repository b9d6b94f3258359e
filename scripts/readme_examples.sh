#!/usr/bin/env bash
# Installs the driver from a build folder into ~/zentrava of a scratch home,
# checks the README's install table against what was installed, then runs the
# blocks of a page (the README unless named) marked `run` exactly as printed,
# each in a fresh shell with no variables but HOME and PATH, in a folder
# holding the page's blocks marked `file=NAME`. Blocks also marked with the
# word SKIP are left out.
#   scripts/readme_examples.sh [build-dir [page.md [SKIP]]]     (default: build README.md)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$root/build}" && pwd)
page=${2:-$root/README.md}
skip=${3:-}
home=$(mktemp -d)
trap 'rm -rf "$home"' EXIT
fail() { echo "readme_examples: $*" >&2; exit 1; }

cmake --install "$build" --prefix "$home/zentrava" >/dev/null
python3 "$root/packaging/consumers/readme_blocks.py" "$root/README.md" table "$home/zentrava" ||
  fail "the install table names paths that are not installed"

mkdir "$home/work"
scripts=$(python3 "$root/packaging/consumers/readme_blocks.py" "$page" blocks "$home/work" $skip) ||
  fail "no block of $page is marked to run"
for script in $scripts; do
  echo "--- $script"
  (cd "$home/work" && env -i HOME="$home" PATH=/usr/local/bin:/usr/bin:/bin bash -euo pipefail "$script") ||
    fail "$script failed: $(cat "$home/work/$script")"
done
