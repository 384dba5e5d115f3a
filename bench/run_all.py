"""Runs the benchmarks and prints their tables.

By default the data-entry benchmark uses a matrix of 3 million non-zeros, so
that the whole run stays within a minute on a small machine; --full uses
10 million, --quick shortens both benchmarks.

    PYTHONPATH=build/pkg python3 bench/run_all.py [--full | --quick]
"""
from __future__ import annotations

import argparse
import sys
import time

import call_overhead
import data_entry
import model_building
import remote_solving

DEFAULT_NNZ = 3_000_000
FULL_NNZ = 10_000_000


def main(argv=None) -> int:
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    size = parser.add_mutually_exclusive_group()
    size.add_argument("--full", action="store_true", help=f"data entry with {FULL_NNZ:,} non-zeros")
    size.add_argument("--quick", action="store_true", help="few timing rounds and 10^6 non-zeros")
    args = parser.parse_args(argv)

    start = time.perf_counter()
    call_overhead.main(["--quick"] if args.quick else [])
    print()
    if args.quick:
        data_entry.main(["--quick"])
    else:
        data_entry.main(["--nnz", str(FULL_NNZ if args.full else DEFAULT_NNZ)])
    print()
    model_building.main(["--quick"] if args.quick else [])
    print()
    remote_solving.main(["--quick"] if args.quick else [])
    print(f"\nall benchmarks: {time.perf_counter() - start:.1f} s")
    return 0


if __name__ == "__main__":
    sys.exit(main())
