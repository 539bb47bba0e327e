#!/usr/bin/env bash
# libquadsolve beside quadsolve-batch, on x86-64 Linux (the release preset's
# build, build/release):
#   instructions, text path    callgrind's count of qs_solve_text a line, on
#                              the everyday lines of bench/batch_run.sh
#                              (20,000 lines "A B C"), beside quadsolve-batch's
#                              count a line on the same lines (its whole run
#                              less an empty one's)      (aim: <= batch + 10 %)
#   instructions, values path  qs_solve_values an equation, on those lines'
#                              doubles as the reader makes them, without the
#                              roots' texts (aim: <= 1,200) and with them
#   stream object              the C consumer (library/consumer) answering
#                              1,000,000 everyday lines through a stream
#                              object, beside quadsolve-batch on the same
#                              lines, files in and out: the median of 5 runs
#                              each                      (aim: consumer <= batch)
# Each library figure twice: linked to the shared library and to the static
# one (where the linker reaches the per-thread state without a lookup).
# Both answer with the same bytes first (error addresses aside).
# This is a measurement, not a test: it never fails on the figures.
#
# Usage: bench/library_run.sh     Needs: cmake, g++, gcc, python3, valgrind.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build="$root/build/release"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cmake --preset release -S "$root" >/dev/null
cmake --build "$build" --target quadsolve-batch quadsolve_shared quadsolve_static -j2 >/dev/null
for program in library_meter consumer; do
  source="$root/bench/library_meter.c"
  [[ $program == consumer ]] && source="$root/library/consumer/consumer.c"
  gcc -O2 -I"$root/library" "$source" -L"$build/library" -lquadsolve \
    -Wl,-rpath,"$build/library" -o "$work/$program"
  gcc -O2 -I"$root/library" "$source" "$build/library/libquadsolve.a" -o "$work/$program-static"
done

python3 - "$work" "$build/quadsolve-batch" <<'PYTHON'
import os, random, subprocess, sys, time
work, batch = sys.argv[1:3]
rng = random.Random(20261207)
meter, consumer = os.path.join(work, "library_meter"), os.path.join(work, "consumer")

def everyday(path, count):
    with open(path, "w") as handle:
        for _ in range(count):
            handle.write("%s %.3f %.2f\n" % (rng.choice(["1", "2", "-3", "0.5", "4.25", "10", "-1"]),
                                             rng.uniform(-100, 100), rng.uniform(-100, 100)))

def callgrind(arguments, stdin_path, toggle=None):
    counts = os.path.join(work, "callgrind.out")
    options = ["--toggle-collect=" + toggle] if toggle else []
    with open(stdin_path, "rb") as stdin, open(os.devnull, "wb") as stdout:
        subprocess.run(["valgrind", "--tool=callgrind", "--callgrind-out-file=" + counts] + options
                       + arguments, stdin=stdin, stdout=stdout, stderr=subprocess.DEVNULL,
                       check=True)
    with open(counts) as handle:
        return [int(line.split()[1]) for line in handle if line.startswith("summary:")][0]

def masked(path):
    with open(path, "rb") as handle:
        return [line[:-8] if line.startswith(b"Runtime error") else line
                for line in handle.read().split(b"\r\n")]

def timed(arguments, stdin_path, stdout_path):
    with open(stdin_path, "rb") as stdin, open(stdout_path, "wb") as stdout:
        started = time.perf_counter()
        subprocess.run(arguments, stdin=stdin, stdout=stdout, stderr=subprocess.DEVNULL)
        return time.perf_counter() - started

lines = 20000
counted, empty = os.path.join(work, "counted"), os.path.join(work, "empty")
everyday(counted, lines)
open(empty, "w").close()
batch_line = (callgrind([batch], counted) - callgrind([batch], empty)) / lines
million = os.path.join(work, "million")
everyday(million, 1000000)
batch_out, consumer_out = os.path.join(work, "batch.out"), os.path.join(work, "consumer.out")
timed([batch], million, batch_out)
batch_time = sorted(timed([batch], million, batch_out) for _ in range(5))[2]

print("%-48s %12s" % ("figure", "value"))
print("%-48s %12.0f" % ("quadsolve-batch, instructions an everyday line", batch_line))
print("%-48s %10.3f s" % ("quadsolve-batch, 1,000,000 everyday lines", batch_time))
for linked, suffix in (("shared", ""), ("static", "-static")):
    text_line = callgrind([meter + suffix, "text"], counted, "qs_solve_text") / lines
    values_line = callgrind([meter + suffix, "values"], counted, "qs_solve_values") / lines
    texts_line = callgrind([meter + suffix, "values-texts"], counted, "qs_solve_values") / lines
    timed([consumer + suffix], million, consumer_out)
    assert masked(batch_out) == masked(consumer_out), "the consumer's answers are not the batch's"
    consumer_time = sorted(timed([consumer + suffix], million, consumer_out) for _ in range(5))[2]
    print("%-48s %12.0f   (aim: <= %.0f, batch + 10 %%)" % (
        "qs_solve_text (%s), instructions a line" % linked, text_line, batch_line * 1.1))
    print("%-48s %12.0f   (aim: <= 1,200)" % (
        "qs_solve_values (%s), instructions" % linked, values_line))
    print("%-48s %12.0f" % ("qs_solve_values (%s) with the texts" % linked, texts_line))
    print("%-48s %10.3f s   (aim: <= batch)" % (
        "C consumer (%s), the same 1,000,000 lines" % linked, consumer_time))
PYTHON
