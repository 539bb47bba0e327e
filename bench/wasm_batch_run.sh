#!/usr/bin/env bash
# The WebAssembly programs measured: the size of each module, and
# quadsolve-batch.wasm under Node beside the native quadsolve-batch on the
# 100,000 everyday records of bench/batch_run.sh (bench/batch_records.py):
#   size          quadsolve.wasm and quadsolve-batch.wasm   (aim: <= 96 KiB each)
#   native        one run of quadsolve-batch, standard input from a file and
#                 standard output to a file: the processor time (user and
#                 system) of the median run, per record
#   under Node    the same with node tools/wasi_run.mjs quadsolve-batch.wasm,
#                 less the median of runs over an empty input (Node's start-up
#                 and the module's compilation), per record; and that start-up
#   ratio         under Node over native, a record   (aim: <= 2)
#   1,000,000     the same over ten times those records: the engine compiles
#                 a module's hot functions again, optimised, as it runs, and
#                 a longer run spends less of its time before that
# First it checks the bytes: the module's output for the records of the mix
# equals the native program's, the addresses of error lines aside.
# This is a measurement, not a test: it never fails on the figures.
#
# Usage: bench/wasm_batch_run.sh [--runs N] [build-dir]
#   --runs N    runs of each kind (default 5; the median counts)
#   build-dir   the native build (default build/whole-run, Release)
# Needs the web preset's build (build/web), cmake, g++, node and python3. It
# installs nothing.
set -euo pipefail

runs=5
if [[ "${1:-}" == --runs ]]; then
  runs=$2
  shift 2
fi
# shellcheck source=bench/whole_run_setup.sh
source "$(dirname "$0")/whole_run_setup.sh"

modules="$root/build/web"
for module in quadsolve quadsolve-batch; do
  if [[ ! -f "$modules/$module.wasm" ]]; then
    echo "no $modules/$module.wasm: build it first (./workflow --preset web)" >&2
    exit 1
  fi
done
build_programs quadsolve-batch
"$root/bench/batch_records.py" "$work"

python3 - "$work" "$build/quadsolve-batch" "$modules" "$root/tools/wasi_run.mjs" "$runs" <<'PYTHON'
import os, re, resource, statistics, subprocess, sys

work, native, modules, runner, runs = sys.argv[1:6]
runs = int(runs)
under_node = ["node", runner, os.path.join(modules, "quadsolve-batch.wasm")]

# The processor time of one run (all of Node's threads, for Node): unlike
# the time on the clock, the machine's other work does not inflate it.
def run(arguments, stdin_path, stdout_path):
    def used():
        usage = resource.getrusage(resource.RUSAGE_CHILDREN)
        return usage.ru_utime + usage.ru_stime
    with open(stdin_path, "rb") as stdin, open(stdout_path, "wb") as stdout:
        before = used()
        subprocess.run(arguments, stdin=stdin, stdout=stdout)
        return used() - before

def masked(path):
    with open(path, "rb") as handle:
        return re.sub(rb"(Runtime error [ 0-9]{3} at )[0-9A-F]{8}", rb"\1XXXXXXXX", handle.read())

# The right bytes, on the records of the mix.
records = os.path.join(work, "records")
run([native], records, os.path.join(work, "native.out"))
run(under_node, records, os.path.join(work, "node.out"))
assert masked(os.path.join(work, "native.out")) == masked(os.path.join(work, "node.out")), \
    "quadsolve-batch.wasm and quadsolve-batch differ on the records of the mix"

everyday = os.path.join(work, "everyday")
with open(everyday) as handle:
    count = sum(1 for _ in handle)
empty = os.path.join(work, "empty")
open(empty, "w").close()
out = os.path.join(work, "out")
median = lambda arguments, path: statistics.median(run(arguments, path, out) for _ in range(runs))
longer = os.path.join(work, "everyday-10")
with open(everyday, "rb") as source, open(longer, "wb") as target:
    target.write(source.read() * 10)
native_time = median([native], everyday)
node_time = median(under_node, everyday)
start_up = median(under_node, empty)
native_per_record = native_time / count
node_per_record = (node_time - start_up) / count
native_longer = median([native], longer) / (10 * count)
node_longer = (median(under_node, longer) - start_up) / (10 * count)

print()
print("%-40s %14s" % ("figure", "value"))
for module in ("quadsolve.wasm", "quadsolve-batch.wasm"):
    size = os.path.getsize(os.path.join(modules, module))
    print("%-40s %7d bytes (%.1f KiB; aim: <= 96 KiB)" % ("size, " + module, size, size / 1024))
print("%-40s %11.3f us" % ("native quadsolve-batch, a record", native_per_record * 1e6))
print("%-40s %11.3f us" % ("quadsolve-batch.wasm under Node, a record", node_per_record * 1e6))
print("%-40s %11.1f ms" % ("Node's start-up with the module", start_up * 1e3))
print("%-40s %14.2f   (aim: <= 2)" % ("under Node / native, a record",
                                        node_per_record / native_per_record))
print("(%d everyday records, the median of %d runs each)" % (count, runs))
print("%-40s %11.3f us" % ("native, a record of 10 times as many", native_longer * 1e6))
print("%-40s %11.3f us" % ("under Node, a record of 10 times as many", node_longer * 1e6))
print("%-40s %14.2f" % ("under Node / native, 10 times as many", node_longer / native_longer))
PYTHON
