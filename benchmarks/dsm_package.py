"""What travok_dsm costs beside its runs, and what a second worker gains.

    PYTHONPATH=build/python python3 benchmarks/dsm_package.py [FILE.csv] [--repetitions N]

1. Overhead: the command line on FILE (default: the 150-module standard-library graph) with one
   run, timed from outside, against the time its run spent in ``travok.sequence_sga``; and, in a
   fresh interpreter, where the rest goes (imports, reading, partitioning, checking, the report).
2. Parallel runs: ``sequence(restarts=8)`` with 1 and with 2 workers, the pool's start included.

Medians of N repetitions (default 5). Run it on idle cores: other work skews both figures.
"""

from __future__ import annotations

import argparse
import json
import statistics
import subprocess
import sys
import time

# Run in a fresh interpreter: each step timed on its own, imports first.
_STEPS = """
import json, sys, time
started = time.perf_counter()
marks = {}
import numpy, travok
marks["import numpy, travok"] = time.perf_counter()
import travok_dsm.cli as cli
marks["import travok_dsm (and its command line)"] = time.perf_counter()
import scipy.sparse.csgraph
marks["import scipy.sparse.csgraph"] = time.perf_counter()
source = cli.load_source(cli.build_parser().parse_args(sys.argv[1:]))
marks["read the matrix"] = time.perf_counter()
from travok_dsm import partition, sequence
partition(source.dsm)
marks["partition"] = time.perf_counter()
result = sequence(source.dsm, restarts=1, workers=1)
marks["sequence (one run)"] = time.perf_counter()
text = cli.report(source, result) + result.to_json()
marks["report and JSON"] = time.perf_counter()
runs = sum(run.seconds for block in result.blocks for run in block.runs)
previous, steps = started, {}
for name, at in marks.items():
    steps[name], previous = at - previous, at
print(json.dumps({"steps": steps, "runs": runs}))
"""


def _wall(command: list[str]) -> float:
    started = time.perf_counter()
    subprocess.run(command, check=True, capture_output=True)
    return time.perf_counter() - started


def overhead(source: list[str], repetitions: int) -> None:
    python = sys.executable
    bare = statistics.median(_wall([python, "-c", "import travok"]) for _ in range(repetitions))
    walls, runs, steps = [], [], []
    for _ in range(repetitions):
        started = time.perf_counter()
        done = subprocess.run([python, "-c", _STEPS, *source], check=True, capture_output=True,
                              text=True)
        walls.append(time.perf_counter() - started)
        measured = json.loads(done.stdout)
        runs.append(measured["runs"])
        steps.append(measured["steps"])
    cli = [_wall([python, "-m", "travok_dsm", *source, "--restarts", "1", "--workers", "1",
                  "--json"]) for _ in range(repetitions)]
    print(f"command line, one run: {statistics.median(cli):.3f} s; the run itself "
          f"{statistics.median(runs):.3f} s; an interpreter importing travok alone {bare:.3f} s")
    print(f"added by the package: {statistics.median(cli) - statistics.median(runs) - bare:.3f} s")
    for name in steps[0]:
        print(f"  {name:<42} {statistics.median(step[name] for step in steps):.3f} s")


def parallel(source: list[str], repetitions: int) -> None:
    import travok_dsm.cli as cli
    from travok_dsm import sequence

    dsm = cli.load_source(cli.build_parser().parse_args(source)).dsm
    times = {}
    for workers in (1, 2):
        walls = []
        for _ in range(repetitions):
            started = time.perf_counter()
            sequence(dsm, restarts=8, workers=workers)
            walls.append(time.perf_counter() - started)
        times[workers] = statistics.median(walls)
        print(f"restarts=8 on {workers} worker(s): {times[workers]:.3f} s "
              f"(runs {min(walls):.3f} to {max(walls):.3f} s)")
    print(f"speed-up with 2 workers: {times[1] / times[2]:.2f}x")


def main() -> None:
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("file", nargs="?", help="a CSV matrix (default: --modules 150)")
    parser.add_argument("--repetitions", type=int, default=5)
    args = parser.parse_args()
    source = [args.file] if args.file else ["--modules", "150"]
    overhead(source, args.repetitions)
    parallel(source, args.repetitions)


if __name__ == "__main__":
    main()
