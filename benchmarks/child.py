"""One timed run in a fresh interpreter, reported as one JSON line on stdout.

    python benchmarks/child.py IMPLEMENTATION SIZE      (IMPLEMENTATION: travok, numpy or deap)

The clocks (wall and process CPU time) run around the implementation's `run` only: interpreter
start, imports, making the matrix and putting it in the implementation's own form all happen before. The baseline is the
resident size just before the run. The peak is the high-water mark after it, reset to the baseline
first where the kernel allows it, so making the matrix cannot hide the run's own peak. It is read
from VmHWM: getrusage's ru_maxrss also carries the high-water mark of the process that spawned this
one (it is inherited through exec), which is reported beside it as `maxrss`.
Afterwards the answer is checked against the plain double loop, and for travok the cost of reading
the whole result back into Python lists is measured against building such lists in pure Python.
"""
from __future__ import annotations

import gc
import importlib
import json
import resource
import sys
import time
from collections.abc import Callable
from typing import Any

from job import Job, feedback_marks, make_matrix, parse_job

READ_BACK_TRIES = 3


def status_bytes(key: str) -> int:
    """A size line of /proc/self/status (VmRSS: resident now, VmHWM: resident at most), in bytes."""
    with open("/proc/self/status") as status:
        for line in status:
            if line.startswith(key + ":"):
                return int(line.split()[1]) * 1024
    raise RuntimeError(f"no {key} line in /proc/self/status")


def reset_peak() -> bool:
    """Bring the high-water mark down to the current resident size (Linux: clear_refs 5)."""
    try:
        with open("/proc/self/clear_refs", "w") as clear_refs:
            clear_refs.write("5")
        return True
    except OSError:
        return False


def best_seconds(build: Callable[[], Any]) -> float:
    best = float("inf")
    for _ in range(READ_BACK_TRIES):
        start = time.perf_counter()
        built = build()
        best = min(best, time.perf_counter() - start)
        del built
    return best


def read_back_costs(job: Job, module: Any, result: Any) -> dict[str, float]:
    count = job.n_generations * job.n_chromosomes
    genes = module.read_back(result)
    if len(genes) != count or any(len(g) != job.n_genes for g in genes):
        raise RuntimeError(f"read back {len(genes)} chromosomes, expected {count} of {job.n_genes} genes")
    del genes
    # The same shape in pure Python: one new list of n_genes ints per kept chromosome.
    reference = best_seconds(lambda: [list(range(job.n_genes)) for _ in range(count)])
    read_back = best_seconds(lambda: module.read_back(result))
    return dict(read_back_seconds=read_back, reference_seconds=reference)


def main(argv: list[str]) -> None:
    implementation, size = argv
    job = parse_job(size)
    module = importlib.import_module(f"{implementation}_ga")
    matrix = make_matrix(job)
    prepared = module.prepare(job, matrix)
    gc.collect()
    baseline = status_bytes("VmRSS")
    peak_reset = reset_peak()

    start, start_cpu = time.perf_counter(), time.process_time()
    result = module.run(job, prepared)
    seconds, cpu_seconds = time.perf_counter() - start, time.process_time() - start_cpu
    peak = status_bytes("VmHWM")
    maxrss = resource.getrusage(resource.RUSAGE_SELF).ru_maxrss * 1024

    outcome = module.outcome(job, result)
    if sorted(outcome.best_genes) != list(range(job.n_genes)):
        raise RuntimeError(f"{implementation}: the best chromosome is not an ordering")
    expected = job.top_fitness - feedback_marks(matrix, job.n_genes, outcome.best_genes)
    if outcome.best_fitness != expected:
        raise RuntimeError(f"{implementation}: best fitness {outcome.best_fitness}, the matrix gives {expected}")
    if outcome.kept_populations != job.n_generations:
        raise RuntimeError(f"{implementation}: kept {outcome.kept_populations} populations")

    report: dict[str, Any] = dict(implementation=implementation, size=job.label, seconds=seconds,
                                  cpu_seconds=cpu_seconds, peak_rss=peak, maxrss=maxrss, baseline_rss=baseline,
                                  peak_reset=peak_reset, best_fitness=outcome.best_fitness)
    if hasattr(module, "read_back"):
        report.update(read_back_costs(job, module, result))
    print(json.dumps(report))


if __name__ == "__main__":
    main(sys.argv[1:])
