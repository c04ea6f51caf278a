"""What travok_dsm.sequence finds on real matrices, and how long it takes: the figures of the README's
"Search quality" section and its tips.

    PYTHONPATH=build/python python3 benchmarks/search_quality.py FILE.csv [FILE.csv ...]
        [--setting fixed|defaults|large] [--repetitions N] [--no-partition-too]

Settings:

- ``fixed``: one run per block, 200 chromosomes × 500 generations, in this process;
- ``large``: one run per block, 1000 chromosomes × 2500 generations, in this process;
- ``defaults``: ``sequence(matrix)`` as it is, settings scaled to each block, one run per core.

For each file (and, with --no-partition-too, also with partitioning off), N calls after one that is
not counted (it pays for imports and the memory a first run maps); the table gives
the range of the feedback found, of the calls' wall time and of their CPU time, this process's and
its worker processes' together (which leaves out time spent waiting for a CPU on a busy machine;
with two workers busy at once it is about twice the wall time of an idle machine).
"""
from __future__ import annotations

import argparse
import resource
import time
from pathlib import Path

import travok_dsm

SETTINGS = {
    "fixed": dict(options=travok_dsm.SgaOptions(chromosomes=200, generations=500), restarts=1, workers=1),
    "large": dict(options=travok_dsm.SgaOptions(chromosomes=1000, generations=2500), restarts=1, workers=1),
    "defaults": {},
}


def cpu_seconds() -> float:
    """CPU time of this process and of its children that have ended (a call's worker pool)."""
    children = resource.getrusage(resource.RUSAGE_CHILDREN)
    return time.process_time() + children.ru_utime + children.ru_stime


def span(values: list[float], digits: int) -> str:
    low, high = min(values), max(values)
    return f"{low:.{digits}f}" if low == high else f"{low:.{digits}f} – {high:.{digits}f}"


def main() -> None:
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("files", nargs="+", type=Path)
    parser.add_argument("--setting", choices=sorted(SETTINGS), default="fixed")
    parser.add_argument("--repetitions", type=int, default=5)
    parser.add_argument("--no-partition-too", action="store_true", help="also search each whole matrix")
    args = parser.parse_args()

    print(f"setting {args.setting}, {args.repetitions} calls each")
    print("| matrix | partitioned | feedback | wall s | CPU s |")
    print("|---|---|---:|---:|---:|")
    for path in args.files:
        dsm = travok_dsm.Dsm.read_csv(path)
        # One call first, not counted: the imports it triggers and the memory a first run maps.
        travok_dsm.sequence(dsm, **SETTINGS["fixed"])
        for partition in (True, False) if args.no_partition_too else (True,):
            found, wall, cpu = [], [], []
            for _ in range(args.repetitions):
                cpu_started = cpu_seconds()
                result = travok_dsm.sequence(dsm, partition=partition, **SETTINGS[args.setting])
                cpu.append(cpu_seconds() - cpu_started)
                found.append(result.feedback)
                wall.append(result.seconds)
            print(f"| {path.name} | {'yes' if partition else 'no'} | {span(found, 0)} | {span(wall, 2)} | "
                  f"{span(cpu, 2)} |", flush=True)


if __name__ == "__main__":
    main()
