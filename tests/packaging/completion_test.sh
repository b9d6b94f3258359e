#!/usr/bin/env bash
# The bash completion of ztv offers what the tool itself takes: its commands,
# each command's options, the values an option's help lists and the
# attribute names (writable ones only for set).
#   completion_test.sh ZTV
set -uo pipefail
ztv=$1
# shellcheck source=/dev/null
source "$(dirname "$0")/../../packaging/bash-completion/ztv"
failures=0
# expect "WORDS..." "WANTED..." [absent]: the completion of the last word holds
# every wanted word (or none of them, with "absent").
expect() {
  read -ra COMP_WORDS <<<"$1"
  COMP_WORDS=("$ztv" "${COMP_WORDS[@]}")
  [[ $1 == *" " || -z $1 ]] && COMP_WORDS+=("")
  COMP_CWORD=$((${#COMP_WORDS[@]} - 1))
  COMPREPLY=()
  _ztv
  local word
  for word in $2; do
    local found=0
    # grep reads all (no -q): an early exit would fail printf with SIGPIPE under pipefail.
    printf '%s\n' "${COMPREPLY[@]}" | grep -xF -- "$word" >/dev/null && found=1
    if [[ ${3:-} == absent && $found -eq 1 || ${3:-} != absent && $found -eq 0 ]]; then
      echo "ztv $1<TAB>: ${3:+un}expected '$word' among: ${COMPREPLY[*]:0:20}" >&2
      failures=$((failures + 1))
    fi
  done
}
expect "" "list get set scpi measure identify emulator"
expect "--" "--resource --options --simulate --help"
expect "-r TCPIP0::h::INSTR me" "measure"
expect "--timeout 500 " "identify get"
expect "get atten" "ATTENUATION"
expect "get " "DRIVER_SETUP ATTENUATION"
expect "set " "ATTENUATION"
expect "set " "DRIVER_SETUP" absent
expect "get ATTENUATION --" "--selector --app"
expect "get ATTENUATION --" "--resource" absent
expect "get --app " "pn am user"
expect "measure " "pn fp tr"
expect "list --f" "--functions"
exit $((failures > 0))
