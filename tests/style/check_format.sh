#!/usr/bin/env bash
# Fails on any C++ file of the tree that the project's .clang-format would
# change, naming the first findings.
set -euo pipefail
cd "$1"
if git rev-parse --is-inside-work-tree >/dev/null 2>&1; then
  mapfile -t files < <(git ls-files '*.cpp' '*.h' '*.hpp' '*.c')
else
  mapfile -t files < <(find . -path ./build\* -prune -o \( -name '*.cpp' -o -name '*.h' -o -name '*.hpp' -o -name '*.c' \) -print)
fi
if ! clang-format --dry-run --Werror "${files[@]}" 2>/tmp/ztv-format.$$; then
  grep -m 20 "error:" /tmp/ztv-format.$$ || true
  echo "$(grep -c 'error:' /tmp/ztv-format.$$) findings: run clang-format -i on the files named"
  rm -f /tmp/ztv-format.$$
  exit 1
fi
rm -f /tmp/ztv-format.$$
echo "${#files[@]} files formatted as .clang-format says"
