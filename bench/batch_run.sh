#!/usr/bin/env bash
# quadsolve-batch beside one quadsolve process per record, on x86-64 Linux,
# over the same 100,000 generated records (mostly everyday coefficients, with
# every outcome, error records and extremes among them):
#   batch         one run of quadsolve-batch over all the records, standard
#                 input from a file and standard output to a file: the median
#                 of 5 runs, per record and records per second; and the same
#                 over 100,000 everyday records alone
#                                      (aim: <= 1 us an everyday record)
#   one-shot      one quadsolve process per record, started as a shell starts
#                 it (fork, exec, wait; bench/run_meter.c), timed on a sample
#                 of the records, per record
#   ratio         one-shot over batch      (aim: >= 150 on everyday records)
#   instructions  the instructions of quadsolve-batch an everyday line,
#                 counted by valgrind (callgrind) over 20,000 lines "A B C"
#                 (A one of 1, 2, -3, 0.5, 4.25, 10, -1; B with three decimals
#                 and C with two, both uniform in +-100), output to a file,
#                 less the count for an empty input: the same on any x86-64
#                 machine, however busy          (aim: <= 2,700 a line)
#   memory        quadsolve-batch's peak resident size for the 100,000
#                 records, for a 1 GiB input of everyday records and for one
#                 line of 1 GiB: the same, whatever the input (aim: constant)
# Everything it runs, it first checks for the right bytes: the batch output
# equals the one-shot outputs of the sample, record by record.
# This is a measurement, not a test: it never fails on the figures.
#
# Usage: bench/batch_run.sh [build-dir]   (default: build/whole-run, Release)
# Needs: cmake, g++, gcc, python3; valgrind for the instruction count (else
# it is left out). It installs nothing.
set -euo pipefail

# shellcheck source=bench/whole_run_setup.sh
source "$(dirname "$0")/whole_run_setup.sh"

build_programs quadsolve quadsolve-batch
gcc -O2 -static -o "$work/run_meter" "$root/bench/run_meter.c"

python3 - "$work" "$build/quadsolve" "$build/quadsolve-batch" "$work/run_meter" \
  "$root/bench/batch_records.py" <<'PYTHON'
import os, random, resource, subprocess, sys, time

work, one_shot, batch, meter, make_records = sys.argv[1:6]
rng = random.Random(20261207)

# The records of bench/batch_records.py.
subprocess.run([make_records, work], check=True)
path = os.path.join(work, "records")
with open(path, newline="") as handle:
    records = handle.read().split("\n")[:-1]
everyday_path = os.path.join(work, "everyday")

def run(arguments, stdin_path, stdout_path):
    with open(stdin_path, "rb") as stdin, open(stdout_path, "wb") as stdout:
        started = time.perf_counter()
        status = subprocess.run(arguments, stdin=stdin, stdout=stdout).returncode
        return time.perf_counter() - started, status

# The right bytes: the batch output against the one-shot outputs of a sample.
out = os.path.join(work, "batch.out")
run([batch], path, out)
with open(out, "rb") as handle:
    lines = handle.read().split(b"\r\n")[:-1]
assert len(lines) == len(records), "one output line per record"
sample = rng.sample(range(len(records)), 2000)
for index in sample:
    one = os.path.join(work, "one")
    with open(one, "w") as handle:
        handle.write(records[index] + "\n")
    result = subprocess.run([one_shot], stdin=open(one, "rb"), capture_output=True).stdout
    want = result[2:-2]
    got = lines[index]
    if want.startswith(b"Runtime error"):
        want, got = want[:-8], got[:-8]  # the addresses differ between the programs
    assert got == want, "record %d: %r gives %r, quadsolve %r" % (index, records[index], got, want)

# Batch: the median of 5 runs, over the mixed records and over as many
# everyday ones.
times = sorted(run([batch], path, out)[0] for _ in range(5))
batch_per_record = times[2] / len(records)
times = sorted(run([batch], everyday_path, out)[0] for _ in range(5))
everyday_per_record = times[2] / 100000

# One-shot: a process per record on an everyday record (run_meter: fork,
# exec, wait, the median of 3 rounds of 400 runs).
one = os.path.join(work, "one")
with open(one, "w") as handle:
    handle.write(records[0] + "\n\n")
# (run_meter alternates two programs: the batch program over the same one
# record is the other.)
report = subprocess.run([meter, "time", "3", "400", one, one_shot, batch], capture_output=True,
                        text=True, check=True).stdout
one_shot_per_record = [float(line.split()[1]) for line in report.splitlines()
                       if line.split()[0] == one_shot][0] * 1e-6

# Memory: the peak resident size of one run of the batch program, for three
# inputs that a shell produces (run_meter peak, linked statically).
def peak_kib(producer):
    report = subprocess.run("%s | %s peak %s" % (producer, meter, batch), shell=True,
                            capture_output=True, text=True, check=True).stdout
    return int(report.split()[1])
gib = 1 << 30
memory_records = peak_kib("cat " + path)
memory_many = peak_kib("yes '1.25 -3.5 2' | head -c %d" % gib)
memory_line = peak_kib("head -c %d /dev/zero | tr '\\\\0' 7" % gib)

# Instructions a line: callgrind's total over 20,000 everyday lines, less
# that of an empty input (start-up and shutdown).
def instructions(stdin_path):
    counts = os.path.join(work, "callgrind.out")
    with open(stdin_path, "rb") as stdin, open(os.path.join(work, "counted.out"), "wb") as stdout:
        subprocess.run(["valgrind", "--tool=callgrind", "--callgrind-out-file=" + counts, batch],
                       stdin=stdin, stdout=stdout, stderr=subprocess.DEVNULL, check=True)
    with open(counts) as handle:
        return [int(line.split()[1]) for line in handle if line.startswith("summary:")][0]
counted_path = os.path.join(work, "counted")
with open(counted_path, "w") as handle:
    for _ in range(20000):
        handle.write("%s %.3f %.2f\n" % (rng.choice(["1", "2", "-3", "0.5", "4.25", "10", "-1"]),
                                         rng.uniform(-100, 100), rng.uniform(-100, 100)))
empty_path = os.path.join(work, "empty")
open(empty_path, "w").close()
try:
    per_line = "%14.0f" % ((instructions(counted_path) - instructions(empty_path)) / 20000)
except FileNotFoundError:
    per_line = "%14s" % "(no valgrind)"

print()
print("%-34s %14s" % ("figure", "value"))
print("%-34s %s   (aim: <= 2,700)" % ("instructions an everyday line", per_line))
print("%-34s %11.3f us   (aim: <= 1 us)" % ("batch, per everyday record",
                                               everyday_per_record * 1e6))
print("%-34s %14d" % ("batch, everyday records a second", round(1 / everyday_per_record)))
print("%-34s %11.3f us" % ("batch, per record of the mix", batch_per_record * 1e6))
print("%-34s %14d" % ("batch, records of the mix a second", round(1 / batch_per_record)))
print("%-34s %11.1f us" % ("one quadsolve process per record", one_shot_per_record * 1e6))
print("%-34s %14.0f   (aim: >= 150)" % ("one-shot / batch, everyday",
                                          one_shot_per_record / everyday_per_record))
print("%-34s %14.0f" % ("one-shot / batch, the mix", one_shot_per_record / batch_per_record))
print("%-34s %11d KiB" % ("peak RSS, 100,000 records", memory_records))
print("%-34s %11d KiB" % ("peak RSS, 1 GiB of records", memory_many))
print("%-34s %11d KiB" % ("peak RSS, one line of 1 GiB", memory_line))
PYTHON
