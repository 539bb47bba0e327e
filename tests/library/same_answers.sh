#!/usr/bin/env bash
# The library's text path, its values path and its stream object answer as
# quadsolve-batch does: on the identity set's first lines (byte_identity.sh),
# on 100,000 generated records (bench/batch_records.py) and on lines longer
# than the stream object's area. The addresses of
# error lines are places in each's own code and are masked; the values path
# shows an error as "error ccc".
#
#   tests/library/same_answers.sh QUADSOLVE-BATCH ANSWER_LINES
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"
batch="$(realpath "$1")" answer="$(realpath "$2")"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

"$root/tests/cross/byte_identity.sh" --keep "$work/identity" "host=$(dirname "$batch")/quadsolve" >/dev/null
cp "$work/identity/records/all" "$work/identity.txt"
python3 "$root/bench/batch_records.py" "$work"
# Lines longer than the stream object's area: long runs of blanks, long
# tokens, bytes after the third token.
python3 - "$work/long" <<'PYTHON'
import random, sys
rng = random.Random(20261208)
def blanks(): return "".join(rng.choice(" \t\r\0\x0c") for _ in range(rng.choice([1, 2, 300])))
def token(): return rng.choice(["1", "-3", "2", "0", "x", "1e5000"]) + "0" * rng.choice([0, 1, 62, 70, 300])
with open(sys.argv[1], "w", newline="") as out:
    for _ in range(300):
        out.write(blanks() + blanks().join(token() for _ in range(rng.randrange(1, 6))) + blanks() + "\n")
PYTHON

status=0
for set in identity.txt records long; do
  input="$work/$set"
  "$batch" --exit-zero <"$input" | sed -E 's/(Runtime error [ 0-9]{3} at )[0-9A-F]{8}/\1X/' >"$work/batch"
  for path in text stream; do
    "$answer" "$path" <"$input" | sed -E 's/(Runtime error [ 0-9]{3} at )[0-9A-F]{8}/\1X/' >"$work/$path"
  done
  sed -E 's/^Runtime error +([0-9]+) at X/error \1/' "$work/batch" >"$work/batch-values"
  "$answer" values <"$input" >"$work/values"
  for path in text stream values; do
    expected="$work/batch"
    [[ $path == values ]] && expected="$work/batch-values"
    if cmp -s "$expected" "$work/$path"; then
      echo "$set: $path path: $(wc -l <"$input") lines, the same bytes as quadsolve-batch"
    else
      echo "$set: $path path differs from quadsolve-batch:"
      diff "$expected" "$work/$path" | head -10 || true
      status=1
    fi
  done
done
exit $status
