#!/usr/bin/env bash
# Whole-run cost of quadsolve beside the floor: a minimal static C program
# (bench/minimal_reference.c) that makes the same reads and writes with raw
# read/write calls. Prints three ratios, quadsolve over the minimal program:
#   instructions  of one run, counted by valgrind --tool=callgrind (aim: <= 1.2)
#   wall time     of one run, measured by hyperfine                (aim: <= 1.1)
#   heap calls    malloc + calloc + realloc, counted with gdb breakpoints
#                 (aim: none beyond the C library's own start-up)
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
# The C library's static start-up scans the environment, so both programs are
# counted twice: in the caller's environment and in an empty one. What
# quadsolve adds is the same in both; the ratio is not.
instructions() {
  local out=$work/callgrind.$RANDOM
  "$@" "$(command -v valgrind)" --tool=callgrind --callgrind-out-file="$out" "$binary" \
    <"$input" >"$work/output" 2>/dev/null
  grep -E '^(summary|totals):' "$out" | head -1 | awk '{ print $2 }'
}
binary=$program program_instructions=$(instructions)
binary=$minimal minimal_instructions=$(instructions)
binary=$program program_bare=$(instructions env -i)
binary=$minimal minimal_bare=$(instructions env -i)

# ---- Wall time ----
# hyperfine subtracts the shell's own start-up. The machine may be shared, so
# the pair is measured in several rounds, in alternating order, and the median
# of the rounds' ratios (of median times) is reported.
rounds=5
median_of() { sort -g | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }
time_ratios=()
program_times=()
minimal_times=()
for ((round = 0; round < rounds; round++)); do
  first="$program <$input >$work/out1"
  second="$minimal <$input >$work/out2"
  if ((round % 2 == 1)); then
    swap=$first first=$second second=$swap
  fi
  hyperfine --style none --warmup 20 --runs 300 --export-json "$work/times.json" \
    "$first" "$second" >/dev/null 2>&1
  medians=$(grep -E '"median"' "$work/times.json" | sed -E 's/.*: *([0-9.eE+-]+),?/\1/')
  if ((round % 2 == 1)); then
    program_times+=("$(sed -n 2p <<<"$medians")") minimal_times+=("$(sed -n 1p <<<"$medians")")
  else
    program_times+=("$(sed -n 1p <<<"$medians")") minimal_times+=("$(sed -n 2p <<<"$medians")")
  fi
  time_ratios+=("$(ratio "${program_times[-1]}" "${minimal_times[-1]}")")
done
program_time=$(printf '%s\n' "${program_times[@]}" | median_of)
minimal_time=$(printf '%s\n' "${minimal_times[@]}" | median_of)
time_ratio=$(printf '%s\n' "${time_ratios[@]}" | median_of)

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
printf '%-14s %14s %14s %8s\n' " (no env)" "$program_bare" "$minimal_bare" \
  "$(ratio "$program_bare" "$minimal_bare")"
echo "               (quadsolve's own work: $((program_instructions - minimal_instructions)) instructions;" \
  "environment: $(env | wc -l) variables)"
printf '%-14s %13.1fus %13.1fus %8s\n' "wall time" \
  "$(awk -v t="$program_time" 'BEGIN { print t * 1e6 }')" \
  "$(awk -v t="$minimal_time" 'BEGIN { print t * 1e6 }')" "$time_ratio"
echo "               (ratios of the $rounds rounds: ${time_ratios[*]})"
heap_ratio=$(ratio "$program_heap" "$minimal_heap")
if [[ "$program_heap" == "$minimal_heap" ]]; then heap_ratio="1.000"; fi
printf '%-14s %14s %14s %8s\n' "heap calls" "$program_heap" "$minimal_heap" "$heap_ratio"
echo
echo "aims: instructions <= 1.2, wall time <= 1.1, heap calls no more than the minimal program"
