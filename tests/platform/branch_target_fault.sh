#!/bin/sh
# A branch-target fault on 64-bit ARM ends the process at once, as a smashed
# canary does: the start-up probe, its output to a file, writes its held
# output at shutdown through a stream slot (writeOutBuffer); with a no-op for
# that function's landing pad it is killed by SIGILL with nothing written.
# Usage: branch_target_fault.sh PROBE [EMULATOR [ARGUMENT...]]; without an
# emulator, a processor that checks no branch targets skips it (exit 77).
set -eu
probe=$1
shift
# shellcheck source=tests/platform/probe_copy.sh
. "$(dirname "$0")/probe_copy.sh"

# The function's place in the file, from the loaded segment that holds it.
address=$(($(readelf -sW "$probe" | awk '$4 == "FUNC" && $8 ~ /writeOutBuffer/ { print "0x" $2; exit }')))
offset=$(readelf -lW "$probe" | awk '$1 == "LOAD" { print $2, $3, $5 }' | while read -r at start size; do
  if [ "$address" -ge $((start)) ] && [ "$address" -lt $((start + size)) ]; then echo $((address - start + at)); fi
done)
case "$(od -An -tx4 -j "$offset" -N4 "$probe" | tr -d ' ')" in
  d503245f | d503233f) ;; # BTI c, PACIASP
  *) echo "writeOutBuffer at $offset starts with no landing pad" >&2 && exit 1 ;;
esac
cp "$probe" "$work/probe"
printf '\037\040\003\325' | dd of="$work/probe" bs=1 seek="$offset" conv=notrunc 2>/dev/null # NOP

run "$@" "$probe"
[ "$status" -eq 0 ] && [ "$(tr -d '\r\n' <"$work/output")" = held ] || { echo "unchanged probe: $status" >&2 && exit 1; }
run "$@" "$work/probe"
if [ "$status" -eq 0 ] && [ $# -eq 0 ]; then exit 77; fi
[ "$status" -eq 132 ] && [ ! -s "$work/output" ] || { echo "patched probe: status $status, not 132 (SIGILL)" >&2 && exit 1; }
