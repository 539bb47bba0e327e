#!/usr/bin/env bash
# Runs one fixed, seeded set of generated equations through several builds of
# quadsolve and shows that their outputs and exit codes are byte-identical;
# then runs the first line of each equation through each build's
# quadsolve-batch at once and shows that it answers every line with the bytes
# that quadsolve gives for it alone.
# The code address in a run-time error line is the one part that may differ
# from build to build: it must have its form (eight uppercase hexadecimal
# digits) and is then masked.
#
#   tests/cross/byte_identity.sh [--count N] [--seed S] [--keep DIR] [BUILD...]
#
# A BUILD is NAME=COMMAND, the command that runs the program (it may start
# with an emulator), e.g. 'aarch64=qemu-aarch64 build/cross-aarch64/quadsolve'.
# Without any, the nine builds of the developers' guide are compared:
#   host     build/release/quadsolve
#   aarch64  qemu-aarch64 build/cross-aarch64/quadsolve
#   s390x    qemu-s390x build/cross-s390x/quadsolve      (big-endian)
#   armhf    qemu-arm build/cross-armhf/quadsolve        (32-bit long and pointers)
#   riscv64  qemu-riscv64 build/cross-riscv64/quadsolve
#   ppc64le  qemu-ppc64le build/cross-ppc64le/quadsolve
#   win32    cmake/wine-run.sh --prefix build/cross-win32/wineprefix build/cross-win32/quadsolve.exe
#   win64    cmake/wine-run.sh --prefix build/cross-win64/wineprefix build/cross-win64/quadsolve.exe
#   web      node tools/wasi_run.mjs build/web/quadsolve.wasm   (WebAssembly, WASI)
# The first build is the reference. Prints the count compared and every
# mismatch, and ends with "identity: N passed, M failed"; exits 1 on any
# mismatch and 2 when a build cannot run at all.
set -euo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"
count=400
seed=20261207
keep=""
builds=()
while (($# > 0)); do
  case "$1" in
    --count) count="$2"; shift 2 ;;
    --seed) seed="$2"; shift 2 ;;
    --keep) keep="$2"; shift 2 ;;
    -h | --help) sed -n '2,27p' "$0"; exit 0 ;;
    *=*) builds+=("$1"); shift ;;
    *) echo "byte_identity.sh: unknown argument $1" >&2; exit 2 ;;
  esac
done
if ((${#builds[@]} == 0)); then
  builds=(
    "host=$root/build/release/quadsolve"
    "aarch64=qemu-aarch64 $root/build/cross-aarch64/quadsolve"
    "s390x=qemu-s390x $root/build/cross-s390x/quadsolve"
    "armhf=qemu-arm $root/build/cross-armhf/quadsolve"
    "riscv64=qemu-riscv64 $root/build/cross-riscv64/quadsolve"
    "ppc64le=qemu-ppc64le $root/build/cross-ppc64le/quadsolve"
    "win32=$root/cmake/wine-run.sh --prefix $root/build/cross-win32/wineprefix $root/build/cross-win32/quadsolve.exe"
    "win64=$root/cmake/wine-run.sh --prefix $root/build/cross-win64/wineprefix $root/build/cross-win64/quadsolve.exe"
    "web=node $root/tools/wasi_run.mjs $root/build/web/quadsolve.wasm"
  )
fi

work="${keep:-$(mktemp -d)}"
mkdir -p "$work"
[[ -n "$keep" ]] || trap 'rm -rf "$work"' EXIT

# ---------------------------------------------------------------------------
# The equations: one input file each, the same for a given seed and count.
python3 - "$work/in" "$count" "$seed" <<'PYTHON'
import os, random, sys

directory, count, seed = sys.argv[1], int(sys.argv[2]), int(sys.argv[3])
os.makedirs(directory, exist_ok=True)
rng = random.Random(seed)

def digits(n):
    return "".join(rng.choice("0123456789") for _ in range(n))

def number():
    kind = rng.randrange(100)
    sign = rng.choice(["", "", "-", "+"])
    if kind < 25:    # small integers, zero often
        return sign + str(rng.randrange(-12, 13)).lstrip("-")
    if kind < 50:    # decimals, rounding at the second place
        return sign + str(rng.randrange(0, 1000)) + "." + digits(rng.randrange(1, 7))
    if kind < 65:    # exponent forms across the whole double range and beyond
        exponent = rng.choice([rng.randrange(-30, 31), rng.randrange(-330, 330),
                               rng.randrange(-5000, 5200)])
        mantissa = digits(1) + rng.choice(["", "." + digits(rng.randrange(1, 20))])
        return sign + mantissa + rng.choice("eE") + str(exponent)
    if kind < 72:    # long digit strings: beyond 18 and 64 significant digits
        return sign + digits(rng.randrange(15, 90)).lstrip("0") + rng.choice(["", ".5", ".05"])
    if kind < 78:    # fractions without an integer part, or without a fraction part
        return sign + rng.choice(["." + digits(rng.randrange(1, 8)), digits(3) + "."])
    if kind < 82:    # halves and their neighbours: ties in decimal rounding
        return sign + str(rng.randrange(0, 100)) + rng.choice([".005", ".015", ".125", ".995", ".285"])
    if kind < 86:    # negative zero, exact powers of two, infinities (exponent 5120 on)
        return rng.choice(["-0", "-0.0", "0e99", str(2 ** rng.randrange(0, 70)),
                           "1e5120", "-3e5150"])
    if kind < 90:    # malformed tokens
        return rng.choice(["x", "1x", "--1", ".", "1e", "1e+", "+", "1.2.3", "0x10", "1,5", "Inf", "\xe9"])
    # the rest: coefficients of the same size, so the discriminant cancels
    return sign + "1" + digits(rng.randrange(0, 3)) + "e" + str(rng.randrange(-3, 4))

def separator():
    return rng.choice([" ", " ", " ", "\t", "\r\n", "\n", "  ", "\x00", "\x0c", "\r"])

for index in range(count):
    shape = rng.randrange(100)
    if shape < 5:        # fewer than three numbers before the end
        tokens = [number() for _ in range(rng.randrange(0, 3))]
    elif shape < 10:     # more than three
        tokens = [number() for _ in range(rng.randrange(4, 6))]
    else:
        tokens = [number() for _ in range(3)]
    text = ""
    for token in tokens:
        text += token + separator()
    ending = rng.randrange(100)
    if ending < 70:
        text += "\n"
    elif ending < 80:
        text += "\x1a" + number() + "\n"     # byte 26 ends the input
    elif ending < 90:
        text += "the final line\r\n"
    with open(os.path.join(directory, "%04d" % index), "wb") as handle:
        handle.write(text.encode("latin-1"))
PYTHON

# ---------------------------------------------------------------------------
# Every build runs every equation: standard input from the file, standard
# output to a file; the exit code is appended as a line of its own.
mask() {
  sed -E 's/(Runtime error [ 0-9]{3} at )[0-9A-F]{8}/\1XXXXXXXX/g' "$1"
}

names=()
for build in "${builds[@]}"; do
  name="${build%%=*}"
  command="${build#*=}"
  names+=("$name")
  mkdir -p "$work/out/$name" "$work/raw/$name"
  started=$(date +%s)
  for input in "$work/in"/*; do
    id="$(basename "$input")"
    raw="$work/raw/$name/$id"
    set +e
    # shellcheck disable=SC2086  # the command is words: emulator, its options, the program
    $command <"$input" >"$raw" 2>"$raw.err"
    code=$?
    set -e
    { mask "$raw"; printf '\nexit %d\n' "$code"; } >"$work/out/$name/$id"
  done
  echo "$name: $count equations in $(($(date +%s) - started)) s ($command)"
  # A build that did not run writes nothing: every run writes at least the
  # empty line first.
  if ! cmp -s <(head -c 2 "$work/raw/$name/0000") <(printf '\r\n'); then
    echo "$name: the program did not run; its first output was:" >&2
    head -c 300 "$work/raw/$name/0000" "$work/raw/$name/0000.err" >&2 || true
    exit 2
  fi
done

# ---------------------------------------------------------------------------
reference="${names[0]}"
compared=0
mismatches=0
for input in "$work/in"/*; do
  id="$(basename "$input")"
  same=1
  for name in "${names[@]:1}"; do
    if ! cmp -s "$work/out/$reference/$id" "$work/out/$name/$id"; then
      same=0
      echo "mismatch in equation $id, $reference against $name; input:"
      od -An -c "$input" | head -5
      diff <(od -An -c "$work/out/$reference/$id") <(od -An -c "$work/out/$name/$id") | head -10 || true
    fi
  done
  compared=$((compared + 1))
  ((same)) || mismatches=$((mismatches + 1))
done

errors=$(grep -l "Runtime error" "$work/out/$reference"/* | wc -l)
echo "compared $compared equations across ${#names[@]} builds (${names[*]}):" \
  "$((compared - mismatches)) byte-identical, $mismatches differ;" \
  "$errors of them end in a run-time error"

# ---------------------------------------------------------------------------
# quadsolve-batch: the first line of every equation is a record. Each build's
# batch program (beside its quadsolve) answers all of them in one run; its
# output must be, record by record, what the reference build's quadsolve
# writes after its empty line for that record alone, addresses masked, and
# its exit code that of the first record that ended in an error.
python3 - "$work/in" "$work/records" <<'PYTHON'
import os, sys
source, target = sys.argv[1], sys.argv[2]
os.makedirs(target, exist_ok=True)
lines = []
for name in sorted(os.listdir(source)):
    with open(os.path.join(source, name), "rb") as handle:
        line = handle.read().split(b"\n")[0]
    lines.append(line)
    with open(os.path.join(target, name), "wb") as handle:
        handle.write(line + b"\n")
with open(os.path.join(target, "all"), "wb") as handle:
    handle.write(b"\n".join(lines))  # the last line without its line feed
PYTHON
referenceCommand="${builds[0]#*=}"
expectedExit=0
: >"$work/batch-expected"
for record in "$work/records"/[0-9]*; do
  set +e
  # shellcheck disable=SC2086
  $referenceCommand <"$record" >"$work/one"
  code=$?
  set -e
  tail -c +3 "$work/one" >"$work/one-line"
  mask "$work/one-line" >>"$work/batch-expected"
  if ((expectedExit == 0)); then expectedExit=$code; fi
done
printf '\nexit %d\n' "$expectedExit" >>"$work/batch-expected"
batchCompared=0
batchMismatches=0
for build in "${builds[@]}"; do
  name="${build%%=*}"
  # The batch program is the one beside the build's quadsolve.
  command=$(sed -E 's#quadsolve(\.exe|\.wasm)?$#quadsolve-batch\1#' <<<"${build#*=}")
  program="${command##* }"
  [[ -f "$program" ]] || continue
  set +e
  # shellcheck disable=SC2086
  $command <"$work/records/all" >"$work/batch-$name" 2>"$work/batch-$name.err"
  code=$?
  set -e
  { mask "$work/batch-$name"; printf '\nexit %d\n' "$code"; } >"$work/batch-$name.masked"
  batchCompared=$((batchCompared + 1))
  if ! cmp -s "$work/batch-expected" "$work/batch-$name.masked"; then
    batchMismatches=$((batchMismatches + 1))
    echo "mismatch: $name's quadsolve-batch against $reference's quadsolve, record by record:"
    diff <(od -An -c "$work/batch-expected") <(od -An -c "$work/batch-$name.masked") | head -10 || true
  fi
done
echo "quadsolve-batch: $count records in $batchCompared builds, one run each:" \
  "$((batchCompared - batchMismatches)) byte-identical to quadsolve record by record," \
  "$batchMismatches differ"
if ((batchCompared == 0)); then
  echo "no build has quadsolve-batch beside its quadsolve" >&2
  batchMismatches=1
fi

echo "identity: $((compared - mismatches + batchCompared - batchMismatches)) passed," \
  "$((mismatches + batchMismatches)) failed"
((mismatches == 0 && batchMismatches == 0))
