"""Large matrices: the cost of a generation as D grows, of preparing the input, and the peak memory.

    PYTHONPATH=build/python python3 benchmarks/large_matrices.py [--dims 500,1000,2000,4000]
        [--densities 0.001,0.01,0.1] [--generations N] [--chromosomes 100]
        [--only travok,numpy,numpy_edges] [--quick]

For each D × density: the benchmark job (numpy_ga's description in README.md) with 100 chromosomes
and a few generations (more for small D), run by travok, by NumPy over the dense matrix (numpy_ga.py) and by NumPy over
the list of marks (numpy_edges_ga.py). A generation's time is the run's wall time over the
populations it evaluates (generations + 1: the first one is evaluated too), given as wall / process
CPU time; ratios use CPU time, which a loaded machine disturbs less. Beside travok's run:
the time of EvaluatorMatrix from a list of ints, from a NumPy uint8 array and from a float64 array
(1-D, the cells row by row; best of three, the input made beforehand), each also in generations'
worth of travok's run, and how much the process grew by the EvaluatorMatrix built from uint8.

Each case runs in a fresh interpreter (this file with --child), so each peak is the case's own: the
high-water mark (VmHWM) after the run, first reset to the resident size just before it. The matrix
is drawn row by row with NumPy from a fixed seed, the same for every implementation; each run's
best fitness is checked against a NumPy count afterwards.
"""
from __future__ import annotations

import argparse
import gc
import json
import os
import subprocess
import sys
import time
from pathlib import Path
from typing import Any

from child import reset_peak, status_bytes

HERE = Path(__file__).resolve().parent
IMPLEMENTATIONS = ("travok", "numpy", "numpy_edges")
DIMS = (500, 1000, 2000, 4000)
DENSITIES = (0.001, 0.01, 0.1)
QUICK_DIMS, QUICK_DENSITIES = (500, 1000), (0.01,)
PREPARED_FROM = ("list of ints", "uint8", "float64")
PREPARE_TRIES = 3
MIB = 1024 * 1024
# Targets at the largest D: EvaluatorMatrix at most this many generations' worth of the run.
PREPARE_GOALS = {"uint8": 3.0, "float64": 3.0, "list of ints": 10.0}


def draw_marks(dim: int, density: float, seed: int) -> Any:
    """A (dim × dim) boolean array, each cell marked with probability `density`, drawn a row at a time."""
    import numpy as np

    rng = np.random.default_rng(seed)
    marks = np.empty((dim, dim), dtype=bool)
    for row in marks:
        row[:] = rng.random(dim) < density
    return marks


def best_seconds(build: Any, argument: Any) -> dict[str, float]:
    """The least wall and the least process CPU time of a few calls of build(argument)."""
    wall = cpu = float("inf")
    for _ in range(PREPARE_TRIES):
        start, start_cpu = time.perf_counter(), time.process_time()
        built = build(argument)
        wall, cpu = min(wall, time.perf_counter() - start), min(cpu, time.process_time() - start_cpu)
        del built
        gc.collect()
    return dict(wall=wall, cpu=cpu)


def child(implementation: str, dim: int, density: float, generations: int, chromosomes: int, seed: int) -> None:
    import numpy as np

    from job import Job

    job = Job(dim, chromosomes, generations, density, seed=seed)
    marks = draw_marks(dim, density, seed)
    report: dict[str, Any] = dict(implementation=implementation, dim=dim, density=density, generations=generations,
                                  chromosomes=chromosomes, marks=int(np.count_nonzero(marks)))
    if implementation == "travok":
        import travok
        import travok_ga

        def build(cells: Any) -> Any:
            return travok.EvaluatorMatrix(travok.EvaluatorKinds.FeedbackMarks, cells)

        cells = marks.reshape(-1).view(np.uint8)
        # What the evaluator keeps, measured first, while the heap has no freed blocks to reuse.
        before = status_bytes("VmRSS")
        prepared: Any = build(cells)
        report["evaluator_bytes"] = status_bytes("VmRSS") - before
        inputs = {"list of ints": cells.tolist(), "uint8": cells, "float64": cells.astype(np.float64)}
        report["prepare_seconds"] = {name: best_seconds(build, value) for name, value in inputs.items()}
        del inputs
        module: Any = travok_ga
    elif implementation == "numpy":
        import numpy_ga

        prepared = numpy_ga.Marks(marks, np.triu(np.ones_like(marks), 1), job.top_fitness)
        module = numpy_ga
    else:
        import numpy_edges_ga

        prepared = numpy_edges_ga.from_marks(job, marks)
        module = numpy_edges_ga
    gc.collect()
    report["baseline_rss"] = status_bytes("VmRSS")
    reset_peak()
    start, start_cpu = time.perf_counter(), time.process_time()
    result = module.run(job, prepared)
    seconds, cpu_seconds = time.perf_counter() - start, time.process_time() - start_cpu
    report["peak_rss"] = status_bytes("VmHWM")
    report["per_generation"] = dict(wall=seconds / (generations + 1), cpu=cpu_seconds / (generations + 1))

    outcome = module.outcome(job, result)
    order = np.asarray(outcome.best_genes)
    if sorted(outcome.best_genes) != list(range(dim)):
        raise RuntimeError(f"{implementation}: the best chromosome is not an ordering")
    above = np.count_nonzero(np.triu(marks[order][:, order], 1))
    if outcome.best_fitness != job.top_fitness - above:
        raise RuntimeError(f"{implementation}: best fitness {outcome.best_fitness}, the matrix gives "
                           f"{job.top_fitness - above}")
    print(json.dumps(report))


def run_case(implementation: str, dim: int, density: float, generations: int,
             args: argparse.Namespace) -> dict[str, Any]:
    command = [sys.executable, str(Path(__file__).resolve()), "--child", implementation, str(dim), repr(density),
               str(generations), str(args.chromosomes), str(args.seed)]
    done = subprocess.run(command, env=dict(os.environ), capture_output=True, text=True, check=False)
    if done.returncode != 0:
        raise SystemExit(f"{implementation} at D={dim}@{density:g} failed:\n{done.stderr}")
    report: dict[str, Any] = json.loads(done.stdout.strip().splitlines()[-1])
    return report


def ms(value: float) -> str:
    return f"{value * 1000:.3g}" if value < 1 else f"{value * 1000:.0f}"


def table(results: dict[tuple[int, float], dict[str, dict[str, Any]]], names: tuple[str, ...]) -> list[str]:
    """One row per D × density; times as wall / CPU, ratios and generations' worth by CPU time."""
    peers = [name for name in names if name != "travok"]
    lines = ["| D | density | marks | generations | " + " | ".join(f"{name} ms/gen" for name in names)
             + "".join(f" | {name} / travok" for name in peers if "travok" in names)
             + "".join(f" | EvaluatorMatrix from {source} ms (gens)" for source in PREPARED_FROM if "travok" in names)
             + (" | EvaluatorMatrix MiB" if "travok" in names else "") + " | peak MiB " + " / ".join(names) + " |"]
    lines.append("|" + "---:|" * (lines[0].count("|") - 2) + "---|")
    for (dim, density), cases in results.items():
        per_gen = {name: cases[name]["per_generation"] for name in names}
        cells = [str(dim), f"{density:g}", str(cases[names[0]]["marks"]), str(cases[names[0]]["generations"])]
        cells += [f"{ms(per_gen[name]['wall'])} / {ms(per_gen[name]['cpu'])}" for name in names]
        if "travok" in names:
            travok = cases["travok"]
            generation = per_gen["travok"]["cpu"]
            cells += [f"{per_gen[name]['cpu'] / generation:.1f}×" for name in peers]
            for source in PREPARED_FROM:
                took = travok["prepare_seconds"][source]
                cells.append(f"{ms(took['wall'])} / {ms(took['cpu'])} ({took['cpu'] / generation:.1f})")
            cells.append(f"{travok['evaluator_bytes'] / MIB:.1f}")
        cells.append(" / ".join(f"{cases[name]['peak_rss'] / MIB:.0f}" for name in names))
        lines.append("| " + " | ".join(cells) + " |")
    return lines


def goals(results: dict[tuple[int, float], dict[str, dict[str, Any]]]) -> list[str]:
    """EvaluatorMatrix against its targets at the largest D, in generations' worth of CPU time."""
    travok_cases = {key: cases["travok"] for key, cases in results.items() if "travok" in cases}
    if not travok_cases:
        return []
    largest = max(dim for dim, _ in travok_cases)
    lines = []
    for (dim, density), case in travok_cases.items():
        if dim != largest:
            continue
        for source, goal in PREPARE_GOALS.items():
            worth = case["prepare_seconds"][source]["cpu"] / case["per_generation"]["cpu"]
            verdict = "meets" if worth <= goal else "misses"
            lines.append(f"- EvaluatorMatrix from {source} at D={dim}@{density:g}: {worth:.1f} generations' worth "
                         f"(goal ≤ {goal:g}): {verdict}")
    return lines


def main(argv: list[str]) -> None:
    if argv and argv[0] == "--child":
        implementation, dim, density, generations, chromosomes, seed = argv[1:]
        child(implementation, int(dim), float(density), int(generations), int(chromosomes), int(seed))
        return
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--dims", help="comma-separated matrix sides (default: 500,1000,2000,4000)")
    parser.add_argument("--densities", help="comma-separated densities (default: 0.001,0.01,0.1)")
    parser.add_argument("--generations", type=int,
                        help="generations per run (default: 4e7 / D², at least 3: a run's fixed costs stay small)")
    parser.add_argument("--chromosomes", type=int, default=100, help="chromosomes per population (default: 100)")
    parser.add_argument("--only", help="comma-separated implementations out of " + ",".join(IMPLEMENTATIONS))
    parser.add_argument("--quick", action="store_true", help="D 500 and 1000 at density 0.01, two generations")
    parser.add_argument("--seed", type=int, default=20240611)
    args = parser.parse_args(argv)
    if args.quick and args.generations is None:
        args.generations = 2
    dims = tuple(int(d) for d in args.dims.split(",")) if args.dims else QUICK_DIMS if args.quick else DIMS
    densities = (tuple(float(d) for d in args.densities.split(",")) if args.densities
                 else QUICK_DENSITIES if args.quick else DENSITIES)
    names = tuple(args.only.split(",")) if args.only else IMPLEMENTATIONS
    unknown = set(names) - set(IMPLEMENTATIONS)
    if unknown:
        parser.error(f"unknown implementations: {', '.join(sorted(unknown))}")

    load = os.getloadavg()
    results: dict[tuple[int, float], dict[str, dict[str, Any]]] = {}
    for dim in dims:
        for density in densities:
            cases = results.setdefault((dim, density), {})
            generations = args.generations or max(3, round(4e7 / dim**2))
            for name in names:
                cases[name] = run_case(name, dim, density, generations, args)
                took = cases[name]["per_generation"]
                print(f"  D={dim:<5} @{density:<6g} {name:<12} {ms(took['wall']):>8} ms/gen, CPU {ms(took['cpu'])}",
                      file=sys.stderr, flush=True)
    print(f"{args.chromosomes} chromosomes; load average at start "
          f"{load[0]:.2f} {load[1]:.2f} {load[2]:.2f}, at end " + " ".join(f"{x:.2f}" for x in os.getloadavg()))
    print()
    print("\n".join(table(results, names)))
    print()
    print("\n".join(goals(results)))


if __name__ == "__main__":
    sys.path.insert(0, str(HERE))
    main(sys.argv[1:])
