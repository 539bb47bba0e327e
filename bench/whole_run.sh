#!/usr/bin/env bash
# Whole-run cost of quadsolve beside the floor, on x86-64 Linux: three
# programs that read the input "1 -3 2" and two line ends from a file and
# write the same two lines, started as a shell starts them (fork, exec, wait;
# standard output to /dev/null) by bench/run_meter.c:
#   floor      bench/floor.c: static, no C library, nothing but the four system
#              calls that quadsolve makes for its work (write, read, write, exit)
#   C library  bench/minimal_reference.c: the same reads and writes in C, static
#   quadsolve  the release program (built here), with its own run-time
# For each it prints:
#   wall time     median of 7 rounds of 300 runs, quadsolve and the floor
#                 alternating run by run; quadsolve over the floor
#                                                             (aim: <= 1.2)
#   instructions  user-space instructions of one run, single-stepped from the
#                 first after execve                          (aim: <= 7,000)
#   CPUID         CPUID instructions among them, each a trap under a
#                 hypervisor                                  (aim: 0)
#   system calls  made after execve                           (aim: <= 20)
#   size          the program stripped                        (aim: <= 48 KiB)
# This is a measurement, not a test: it never fails on the figures.
#
# Usage: bench/whole_run.sh [build-dir]   (default: build/whole-run, Release)
# Needs: cmake, g++, gcc with the static C library (libc6-dev), binutils.
# It installs nothing.
set -euo pipefail

# shellcheck source=bench/whole_run_setup.sh
source "$(dirname "$0")/whole_run_setup.sh"

# ---- The programs ----
build_programs quadsolve
program=$build/quadsolve
floor=$work/floor
library=$work/minimal_reference
meter=$work/run_meter
gcc -O2 -static -nostdlib -fno-stack-protector -o "$floor" "$root/bench/floor.c"
gcc -O2 -static -o "$library" "$root/bench/minimal_reference.c"
gcc -O2 -o "$meter" "$root/bench/run_meter.c"

input=$work/input
printf '1 -3 2\n\n' >"$input"
expected=$'\r\n2 1.00 2.00\r\n'
for binary in "$floor" "$library" "$program"; do
  if [[ "$("$binary" <"$input" | od -An -c)" != "$(printf '%s' "$expected" | od -An -c)" ]]; then
    echo "unexpected output from $binary" >&2
    exit 1
  fi
done

# ---- One run single-stepped, the stripped size ----
declare -A instructions cpuid calls size
for name in floor library program; do
  binary=${!name}
  read -r _ instructions[$name] _ cpuid[$name] _ calls[$name] < <("$meter" trace "$input" "$binary")
  strip -o "$work/stripped" "$binary"
  size[$name]=$(stat -c %s "$work/stripped")
done

# ---- Wall time, side by side ----
# quadsolve and the floor alternate run by run; the C library program, ten
# times slower, is timed beside the floor in a run of its own, so that its
# runs do not come between the two that the ratio compares.
declare -A wall
read_times() {
  local binary microseconds name
  while read -r binary microseconds; do
    for name in floor library program; do
      if [[ "$binary" == "${!name}" ]]; then wall[$name]=$microseconds; fi
    done
  done
}
rounds=7
runs=300
read_times < <("$meter" time "$rounds" "$runs" "$input" "$floor" "$library")
read_times < <("$meter" time "$rounds" "$runs" "$input" "$floor" "$program") # the floor of this run

ratio() { awk -v a="$1" -v b="$2" 'BEGIN { if (b == 0) print "n/a"; else printf "%.2f", a / b }'; }

printf '\n%-14s %12s %12s %12s %10s %6s\n' "figure" "floor" "C library" "quadsolve" "/ floor" "aim"
printf '%-14s %10.1fus %10.1fus %10.1fus %10s %6s\n' "wall time" \
  "${wall[floor]}" "${wall[library]}" "${wall[program]}" "$(ratio "${wall[program]}" "${wall[floor]}")" "1.2"
printf '%-14s %12s %12s %12s %10s %6s\n' "instructions" \
  "${instructions[floor]}" "${instructions[library]}" "${instructions[program]}" "" "7000"
printf '%-14s %12s %12s %12s %10s %6s\n' "CPUID" "${cpuid[floor]}" "${cpuid[library]}" "${cpuid[program]}" "" "0"
printf '%-14s %12s %12s %12s %10s %6s\n' "system calls" \
  "${calls[floor]}" "${calls[library]}" "${calls[program]}" "" "20"
printf '%-14s %12s %12s %12s %10s %6s\n' "size (bytes)" \
  "${size[floor]}" "${size[library]}" "${size[program]}" "" "49152"
