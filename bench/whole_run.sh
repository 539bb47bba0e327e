#!/usr/bin/env bash
# Whole-run cost of quadsolve beside the floor: a minimal static C program
# (bench/minimal_reference.c) that makes the same reads and writes with raw
# read/write calls. Prints three ratios, quadsolve over the minimal program:
#   instructions  of one run, counted by valgrind --tool=callgrind (repeatable)
#   wall time     of one run, measured by hyperfine             (aim: <= 1.1)
#   heap calls    malloc + calloc + realloc, counted with gdb breakpoints
# This is a measurement, not a test: it never fails on the figures.
#
# Usage: bench/whole_run.sh [build-dir]   (default: build/whole-run, Release)
# Needs: cmake, g++, gcc with the static C library, valgrind, gdb, hyperfine
# (installed with apt-get when missing).
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build/whole-run}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

install_missing() {
  local missing=()
  command -v valgrind >/dev/null || missing+=(valgrind)
  command -v gdb >/dev/null || missing+=(gdb)
  command -v hyperfine >/dev/null || missing+=(hyperfine)
  if ((${#missing[@]} > 0)); then
    echo "installing: ${missing[*]}"
    export DEBIAN_FRONTEND=noninteractive
    apt-get update -q >/dev/null
    apt-get install -y -q --no-install-recommends "${missing[@]}" >/dev/null
  fi
}

ratio() { awk -v a="$1" -v b="$2" 'BEGIN { if (b == 0) print "n/a"; else printf "%.3f", a / b }'; }

install_missing

# ---- The two programs ----
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$build" --target quadsolve -j2 >/dev/null
program=$build/quadsolve
minimal=$work/minimal_reference
gcc -O2 -static -o "$minimal" "$root/bench/minimal_reference.c"

input=$work/input
printf '1 -3 2\n\n' >"$input"
expected=$'\r\n2 1.00 2.00\r\n'
for binary in "$program" "$minimal"; do
  if [[ "$("$binary" <"$input" | od -An -c)" != "$(printf '%s' "$expected" | od -An -c)" ]]; then
    echo "unexpected output from $binary" >&2
    exit 1
  fi
done

echo "quadsolve: $(file -b "$program" | cut -d, -f1-4)"
echo "           $(stat -c %s "$program") bytes; minimal program $(stat -c %s "$minimal") bytes"

# ---- Instructions of one run (standard output to a file) ----
instructions() {
  local out=$work/callgrind.$RANDOM
  valgrind --tool=callgrind --callgrind-out-file="$out" "$1" <"$input" >"$work/output" 2>/dev/null
  grep -E '^(summary|totals):' "$out" | head -1 | awk '{ print $2 }'
}
program_instructions=$(instructions "$program")
minimal_instructions=$(instructions "$minimal")

# ---- Wall time (hyperfine subtracts the shell's own start-up) ----
hyperfine --style none --warmup 50 --min-runs 1000 \
  --export-json "$work/times.json" \
  "$program <$input >$work/out1" "$minimal <$input >$work/out2" >/dev/null 2>&1
means=$(grep -E '"mean"' "$work/times.json" | sed -E 's/.*: *([0-9.eE+-]+),?/\1/')
program_time=$(sed -n 1p <<<"$means")
minimal_time=$(sed -n 2p <<<"$means")

# ---- Heap allocation calls ----
heap_calls() {
  local script=$work/count.gdb
  {
    echo "set pagination off"
    echo "set confirm off"
    echo "set breakpoint pending on"
    for function in malloc calloc realloc; do
      printf 'break %s\ncommands\nsilent\ncontinue\nend\n' "$function"
    done
    echo "run <$input >$work/output"
    echo "info breakpoints"
  } >"$script"
  gdb -batch -nx -x "$script" "$1" 2>/dev/null |
    awk '/already hit/ { total += $4 } END { print total + 0 }'
}
program_heap=$(heap_calls "$program")
minimal_heap=$(heap_calls "$minimal")

# ---- Figures ----
printf '\n%-14s %14s %14s %8s\n' "figure" "quadsolve" "minimal C" "ratio"
printf '%-14s %14s %14s %8s\n' "instructions" "$program_instructions" "$minimal_instructions" \
  "$(ratio "$program_instructions" "$minimal_instructions")"
printf '%-14s %13.1fus %13.1fus %8s\n' "wall time" \
  "$(awk -v t="$program_time" 'BEGIN { print t * 1e6 }')" \
  "$(awk -v t="$minimal_time" 'BEGIN { print t * 1e6 }')" \
  "$(ratio "$program_time" "$minimal_time")"
heap_ratio=$(ratio "$program_heap" "$minimal_heap")
if [[ "$program_heap" == "$minimal_heap" ]]; then heap_ratio="1.000"; fi
printf '%-14s %14s %14s %8s\n' "heap calls" "$program_heap" "$minimal_heap" "$heap_ratio"
echo
echo "aims: instructions <= 1.2, wall time <= 1.1, heap calls no more than the minimal program"
