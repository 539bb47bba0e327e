#!/bin/sh
# The start-up refuses a relocation that is not relative, as a dynamic loader
# would: the probe with its first dynamic relocation's type changed writes the
# start-up's line on standard error, nothing else, and ends with 127.
# Usage: relocation_fault.sh PROBE [EMULATOR [ARGUMENT...]]
set -eu
probe=$1
shift
# shellcheck source=tests/platform/probe_copy.sh
. "$(dirname "$0")/probe_copy.sh"

# The relocation's type: the low byte of its information word, which follows
# its offset; where that byte lies depends on the file's class and byte order.
table=$(readelf -SW "$probe" | sed 's/^ *\[ *[0-9]*\]//' | awk '$1 ~ /^\.rela?\.dyn$/ { print "0x" $4; exit }')
[ -n "$table" ] || { echo "no dynamic relocations in $probe" >&2 && exit 1; }
case "$(readelf -hW "$probe")" in
  *ELF64*big*) offset=$((table + 15)) ;;
  *ELF64*) offset=$((table + 8)) ;;
  *) offset=$((table + 4)) ;; # 32-bit ARM, the one 32-bit processor here
esac
type=$(od -An -tu1 -j "$offset" -N1 "$probe" | tr -d ' ')
cp "$probe" "$work/probe"
# Bit 6 set or cleared: neither none (0) nor relative on any processor.
printf "\\$(printf %03o $((type ^ 64)))" | dd of="$work/probe" bs=1 seek="$offset" conv=notrunc 2>/dev/null

run "$@" "$probe"
[ "$status" -eq 0 ] && [ "$(tr -d '\r\n' <"$work/output")" = held ] || { echo "unchanged probe: $status" >&2 && exit 1; }
run "$@" "$work/probe"
[ "$status" -eq 127 ] && [ ! -s "$work/output" ] &&
  [ "$(cat "$work/errors")" = "cannot start: a relocation of an unexpected type" ] ||
  { echo "patched probe: status $status, $(cat "$work/errors")" >&2 && exit 1; }
