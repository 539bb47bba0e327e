# shellcheck shell=bash
# The set-up of the whole-run benchmarks (bench/whole_run.sh,
# bench/batch_run.sh), sourced with the benchmark's arguments: `root`, the
# source tree; `build`, the build folder (the first argument, default
# build/whole-run, a Release build); `work`, a scratch folder removed on exit.
# Stops unless this is x86-64, where the figures are measured.
# build_programs TARGET...: configures the build folder and builds them.

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${1:-$root/build/whole-run}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

if [[ "$(uname -m)" != x86_64 ]]; then
  echo "$(basename "$0") measures on x86-64 Linux only" >&2
  exit 1
fi

build_programs() {
  cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release >/dev/null
  cmake --build "$build" --target "$@" -j2 >/dev/null
}
