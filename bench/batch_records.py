#!/usr/bin/env python3
"""The records of the batch benchmarks (bench/batch_run.sh,
bench/wasm_batch_run.sh), the same for every run:

    bench/batch_records.py FOLDER

writes FOLDER/records, 100,000 records of the mix (90 % everyday
coefficients, the rest every outcome, error records and extremes), and
FOLDER/everyday, 100,000 everyday records, one a line.
"""
import os
import random
import sys

COUNT = 100000
rng = random.Random(20261207)


def everyday():
    # Coefficients as a data set holds them: small decimals and integers.
    def value():
        return rng.choice([str(rng.randrange(-99, 100)),
                           "%.2f" % rng.uniform(-1000, 1000),
                           "%.4f" % rng.uniform(-10, 10)])
    return "%s %s %s" % (value(), value(), value())


def other():
    return rng.choice([
        "0 0 %d" % rng.randrange(9),                           # -1
        "1 0 %d" % rng.randrange(1, 99),                       # 0
        "0 %d %d" % (rng.randrange(1, 9), rng.randrange(99)),  # 1
        "1 %d %d" % (2 * rng.randrange(1, 50), 0),             # 2
        "1 2 1", "4 -4 1",                                     # 3
        "x 1 2", "1 2 y",                                      # 106
        "1e5000 0 0", "1e-300 1e10 1",                         # 205
        "1e99999 -1e99999 0",                                  # 207
        "-0 0 7", "1.7976931348623157e308 1 1", "4.9e-324 1 1",
        "1 1e154 1", "3 1 2 4 5", "", "  1\t-3\r 2\r",
    ])


folder = sys.argv[1]
records = [everyday() if rng.randrange(100) < 90 else other() for _ in range(COUNT)]
with open(os.path.join(folder, "records"), "w") as handle:
    handle.write("\n".join(records) + "\n")
with open(os.path.join(folder, "everyday"), "w") as handle:
    handle.write("\n".join(everyday() for _ in range(COUNT)) + "\n")
