"""What travok_dsm costs beside its runs, and what a second worker gains.

    PYTHONPATH=build/python python3 benchmarks/dsm_package.py [FILE.csv] [--repetitions N]

1. Overhead: the command line on FILE (default: the 150-module standard-library graph) with one
   run, timed from outside, against the time its run spent searching; and, in a fresh
   interpreter, where the rest goes (imports, reading, partitioning, the exact step and the
   checks, the report), and whether SciPy was loaded at all.
2. Parallel runs: ``sequence(restarts=8)`` with 1 and with 2 workers, the pool's start included,
   for each method (memetic, sga).

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

steps, last = {}, [time.perf_counter()]

def step(name, runs=0.0):
    # The time since the last step, less the seconds the step's runs took.
    now = time.perf_counter()
    steps[name], last[0] = now - last[0] - runs, now

def runs_of(result):
    return sum(run.seconds for block in result.blocks for run in block.runs)

import numpy, travok
step("import numpy, travok")
import travok_dsm.cli as cli
step("import travok_dsm (and its command line)")
source = cli.load_source(cli.build_parser().parse_args(sys.argv[1:]))
step("read the matrix")
from travok_dsm import partition, sequence
partition(source.dsm)
step("partition")
result = sequence(source.dsm, restarts=1, workers=1, exact=False)
step("sequence without the exact step, beside its run", runs_of(result))
result = sequence(source.dsm, restarts=1, workers=1)
step("sequence with the exact step, beside its run", runs_of(result))
text = cli.report(source, result) + result.to_json()
step("report and JSON")
scipy = sorted(name for name in sys.modules if name in ("scipy", "scipy.optimize"))
print(json.dumps({"steps": steps, "scipy": scipy}))
"""

# The command line as ``python -m travok_dsm`` runs it, its runs timed in passing: a run's length
# varies from one call to the next (a memetic run ends when it reaches the proven minimum), so
# each call's own runs are taken out of its time.
_COMMAND = """
import runpy, sys, time
import travok_dsm._runs as runs
searching, search = [0.0], runs.run

def timed(*arguments):
    started = time.perf_counter()
    try:
        return search(*arguments)
    finally:
        searching[0] += time.perf_counter() - started

runs.run = timed
sys.argv = ["travok_dsm", *sys.argv[1:]]
try:
    runpy.run_module("travok_dsm", run_name="__main__", alter_sys=True)
finally:
    print(searching[0], file=sys.stderr)
"""


def _wall(command: list[str]) -> float:
    started = time.perf_counter()
    subprocess.run(command, check=True, capture_output=True)
    return time.perf_counter() - started


def overhead(source: list[str], repetitions: int) -> None:
    python = sys.executable
    bare = statistics.median(_wall([python, "-c", "import travok"]) for _ in range(repetitions))
    steps, loaded = [], []
    for _ in range(repetitions):
        done = subprocess.run([python, "-c", _STEPS, *source], check=True, capture_output=True,
                              text=True)
        measured = json.loads(done.stdout)
        steps.append(measured["steps"])
        loaded = measured["scipy"]
    walls, searching = [], []
    for _ in range(repetitions):
        started = time.perf_counter()
        done = subprocess.run([python, "-c", _COMMAND, *source, "--restarts", "1", "--workers",
                               "1", "--json"], check=True, capture_output=True, text=True)
        walls.append(time.perf_counter() - started)
        searching.append(float(done.stderr.split()[-1]))
    added = [wall - run - bare for wall, run in zip(walls, searching, strict=True)]
    print(f"command line, one run: {statistics.median(walls):.3f} s; its run "
          f"{statistics.median(searching):.3f} s; an interpreter importing travok alone "
          f"{bare:.3f} s")
    print(f"added by the package: {statistics.median(added):.3f} s "
          f"({min(added):.3f} to {max(added):.3f} s)")
    for name in steps[0]:
        print(f"  {name:<50} {statistics.median(step[name] for step in steps):.3f} s")
    print(f"  SciPy modules loaded: {', '.join(loaded) or 'none'}")


def parallel(source: list[str], repetitions: int) -> None:
    import travok_dsm.cli as cli
    from travok_dsm import sequence

    dsm = cli.load_source(cli.build_parser().parse_args(source)).dsm
    for method in ("memetic", "sga"):
        times = {}
        for workers in (1, 2):
            walls = []
            for _ in range(repetitions):
                started = time.perf_counter()
                sequence(dsm, method=method, restarts=8, workers=workers)
                walls.append(time.perf_counter() - started)
            times[workers] = statistics.median(walls)
            print(f"{method}, restarts=8 on {workers} worker(s): {times[workers]:.3f} s "
                  f"(runs {min(walls):.3f} to {max(walls):.3f} s)")
        print(f"{method}: speed-up with 2 workers: {times[1] / times[2]:.2f}x")


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
