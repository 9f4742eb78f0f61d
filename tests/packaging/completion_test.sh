#!/usr/bin/env bash
# Drives the bash completion of sensortool-cli and sensor-sim as bash would
# and compares what it offers with what each command line should offer.
#   completion_test.sh COMPLETIONS_DIR CLI_DIR SIM_DIR
set -uo pipefail
source /usr/share/bash-completion/bash_completion
source "$1/sensortool-cli"
source "$1/sensor-sim"
PATH="$2:$3:$PATH"
compopt() { :; }  # only valid inside a real completion; what it changes is not checked

complete_line() {
  local line="$1" function="$2"
  COMP_LINE="$line"
  COMP_POINT=${#line}
  read -ra COMP_WORDS <<<"$line"
  [[ $line == *" " ]] && COMP_WORDS+=("")
  COMP_CWORD=$((${#COMP_WORDS[@]} - 1))
  COMPREPLY=()
  "$function" "${COMP_WORDS[0]}" "${COMP_WORDS[COMP_CWORD]}" "${COMP_WORDS[COMP_CWORD - 1]:-}"
  printf '%s\n' "${COMPREPLY[@]}" | sort | tr '\n' ' ' | sed 's/ $//'
}

failures=0
# line | completion function | offered words (sorted; * = contains this word)
while IFS='|' read -r line function expected; do
  [ -z "$line" ] && continue
  got="$(complete_line "$line" "$function")"
  if [[ $expected == \** ]]; then
    [[ " $got " == *" ${expected#\*} "* ]] && continue
  elif [ "$got" == "$expected" ]; then
    continue
  fi
  echo "FAIL: '$line' offers '$got', expected '$expected'"
  failures=$((failures + 1))
done <<'TABLE'
sensortool-cli |_sensortool_cli|calibrate help read search set watch
sensortool-cli se|_sensortool_cli|search set
sensortool-cli set |_sensortool_cli|address air factory-air factory-zero filter pressure serial unit zero
sensortool-cli set unit |_sensortool_cli|% mg/L toggle
sensortool-cli calibrate |_sensortool_cli|air restore zero
sensortool-cli help w|_sensortool_cli|watch
sensortool-cli read --j|_sensortool_cli|--json
sensortool-cli watch --c|_sensortool_cli|--count --csv
sensortool-cli read --port COM1|_sensortool_cli|COM1 COM10 COM11 COM12 COM13 COM14 COM15
sensortool-cli read --address |_sensortool_cli|
sensortool-cli search --la|_sensortool_cli|--last-address
sensor-sim --fl|_sensor_sim|--flip-bit-every
sensor-sim --com 1|_sensor_sim|1 10 11 12 13 14 15
sensor-sim --filter |_sensor_sim|
sensor-sim --|_sensor_sim|*--foreign-address-every
TABLE
[ "$failures" -eq 0 ] || exit 1
echo "completion: all cases pass"
