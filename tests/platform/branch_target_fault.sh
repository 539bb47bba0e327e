#!/bin/sh
# A branch-target fault on 64-bit ARM ends the process at once, as a smashed
# canary does: no run-time error, no shutdown, nothing of the held output
# written. The start-up probe's stream operation that the shutdown calls
# through a slot (writeOutBuffer) gets a no-op instead of its landing pad; run
# with its output to a file, it is killed by SIGILL at that call, with the
# file empty. The unchanged probe, run alike, writes its held output.
#
# Usage: branch_target_fault.sh PROBE [EMULATOR [ARGUMENT...]]
# Without an emulator a processor that does not check branch targets skips
# the test (exit 77); the emulator (qemu-aarch64 -cpu max) must check them.
set -eu
probe=$1
shift
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

run() {
  status=0
  printf 'n' >"$work/input"
  "$@" <"$work/input" >"$work/output" || status=$?
}

# The function's place in the file: its address less the address of the
# loaded segment that holds it, plus that segment's offset.
address=$(readelf -sW "$probe" | awk '$4 == "FUNC" && $8 ~ /writeOutBuffer/ { print $2; exit }')
[ -n "$address" ] || { echo "no writeOutBuffer in $probe" >&2; exit 1; }
offset=""
while read -r type fileOffset virtualAddress _ fileSize _; do
  [ "$type" = LOAD ] || continue
  if [ $((0x$address)) -ge $((virtualAddress)) ] &&
    [ $((0x$address)) -lt $((virtualAddress + fileSize)) ]; then
    offset=$((0x$address - virtualAddress + fileOffset))
  fi
done <<LOADS
$(readelf -lW "$probe" | awk '$1 == "LOAD"')
LOADS
[ -n "$offset" ] || { echo "writeOutBuffer lies in no loaded segment" >&2; exit 1; }

# BTI c (d503245f) or PACIASP (d503233f, a landing pad for calls too).
first=$(od -An -tx4 -j "$offset" -N4 "$probe" | tr -d ' ')
case "$first" in
  d503245f | d503233f) ;;
  *) echo "writeOutBuffer starts with $first, no landing pad" >&2; exit 1 ;;
esac
cp "$probe" "$work/probe"
printf '\037\040\003\325' | dd of="$work/probe" bs=1 seek="$offset" count=4 conv=notrunc 2>/dev/null

run "$@" "$probe"
if [ "$status" -ne 0 ] || [ "$(od -An -c "$work/output" | tr -d ' ')" != '\r\nheld' ]; then
  echo "the unchanged probe: status $status, output:" >&2
  od -c "$work/output" >&2
  exit 1
fi

run "$@" "$work/probe"
if [ "$status" -eq 0 ] && [ $# -eq 0 ]; then
  echo "this processor does not check branch targets"
  exit 77
fi
signalIllegalStatus=132 # 128 + SIGILL
if [ "$status" -ne "$signalIllegalStatus" ] || [ -s "$work/output" ]; then
  echo "the probe without its landing pad: status $status (expected $signalIllegalStatus), output:" >&2
  od -c "$work/output" >&2
  exit 1
fi
echo "branch-target fault: killed by SIGILL, nothing written"
