"""Quality per second: the feedback each search reaches on real matrices within one time budget.

    PYTHONPATH=build/python python3 benchmarks/quality.py FILE.csv [FILE.csv ...]
        [--budgets 1,5] [--repetitions 5] [--only memetic,sga,numpy,deap] [--quick]

Every matrix is partitioned once (``travok_dsm.partition``) and every search gets the same blocks:
each block of three or more elements is searched on its own, with a share of the budget in
proportion to its size; a block of two elements (marked both ways, as it is strongly connected)
costs one mark and a single element none, whoever searches. The searches, one core each:

- ``memetic``: ``travok_dsm.sequence(block, method="memetic", exact=False)``, one run, its
  time limit the block's share (it may end sooner, on stagnation);
- ``sga``: ``travok_dsm.sequence(block, method="sga", exact=False)`` with its scaled defaults,
  one run after another until the share is spent, the best kept;
- ``numpy`` and ``deap``: the genetic algorithms of ``numpy_ga.py`` and ``deap_ga.py`` (the same
  operators as the ``travok`` module's: roulette, IPX (DEAP: UPMX), swap mutation, 4 chromosomes
  per element of the block, 100 to 1000), running generations until the share is spent, the best
  ever seen kept; without their records and kept populations, which the quality does not need.

The reference column is the exact solver's bound (``travok_dsm.exact.solve``, up to a minute per
block), the least feedback when proven. The implementations take turns, rotating who goes first,
so a change in the machine's load falls on all of them alike.
"""
from __future__ import annotations

import argparse
import os
import statistics
import time
from collections.abc import Callable
from pathlib import Path

import numpy as np

from job import Job

SEARCHES = ("memetic", "sga", "numpy", "deap")
BUDGETS = (1.0, 5.0)
QUICK_BUDGETS = (1.0,)
SEARCHED_BLOCK = 3


def chromosomes(size: int) -> int:
    """The population the package's defaults give a block (SgaOptions: 4·D, 100 to 1000, even)."""
    return 2 * ((min(1000, max(100, 4 * size)) + 1) // 2)


def block_feedback(marks: np.ndarray, order: list[int]) -> int:
    placed = marks[np.ix_(order, order)]
    return int(np.count_nonzero(np.triu(placed, 1)))


# --- the searches: each takes a block's marks and seconds, and returns its best ordering -------


def memetic(marks: np.ndarray, seconds: float) -> list[int]:
    from travok_dsm import MemeticOptions, sequence

    found = sequence(marks, options=MemeticOptions(seconds=seconds), restarts=1, workers=1,
                     partition=False, exact=False)
    return list(found.indices)


def sga(marks: np.ndarray, seconds: float) -> list[int]:
    from travok_dsm import sequence

    deadline = time.perf_counter() + seconds
    best: tuple[int, list[int]] | None = None
    while best is None or time.perf_counter() < deadline:
        found = sequence(marks, method="sga", restarts=1, workers=1, partition=False, exact=False)
        if best is None or found.feedback < best[0]:
            best = (found.feedback, list(found.indices))
    return best[1]


def numpy_search(marks: np.ndarray, seconds: float) -> list[int]:
    import numpy_ga

    size = len(marks)
    job = Job(size, chromosomes(size), 1)
    prepared = numpy_ga.prepare(job, marks.astype(float).ravel().tolist())
    deadline = time.perf_counter() + seconds
    rng = np.random.default_rng()
    population = rng.permuted(np.tile(np.arange(size), (job.n_chromosomes, 1)), axis=1)
    fitness = np.full(job.n_chromosomes, np.nan)
    best_fitness, best = -np.inf, population[0]
    while True:
        numpy_ga.evaluate(population, fitness, prepared)
        top = int(np.argmax(fitness))
        if fitness[top] > best_fitness:
            best_fitness, best = fitness[top], population[top].copy()
        if time.perf_counter() >= deadline:
            return list(map(int, best))
        chosen = numpy_ga.roulette(rng, fitness, job.n_chromosomes)
        population, fitness = population[chosen], fitness[chosen]
        numpy_ga.cross(rng, population, fitness, job.p_crossover)
        numpy_ga.mutate(rng, population, fitness, job.p_mutation, job.p_swap)


def deap_search(marks: np.ndarray, seconds: float) -> list[int]:
    from deap import algorithms, tools

    import deap_ga

    size = len(marks)
    job = Job(size, chromosomes(size), 1)
    toolbox = deap_ga.make_toolbox(job, deap_ga.prepare(job, marks.astype(float).ravel().tolist()))
    deadline = time.perf_counter() + seconds
    hall_of_fame = tools.HallOfFame(1)
    population = toolbox.population(n=job.n_chromosomes)
    while True:
        invalid = [individual for individual in population if not individual.fitness.valid]
        for individual, fitness in zip(invalid, map(toolbox.evaluate, invalid), strict=True):
            individual.fitness.values = fitness
        hall_of_fame.update(population)
        if time.perf_counter() >= deadline:
            return list(hall_of_fame[0])
        offspring = toolbox.select(population, len(population))
        population = algorithms.varAnd(offspring, toolbox, job.p_crossover, job.p_mutation)


RUNNERS: dict[str, Callable[[np.ndarray, float], list[int]]] = {
    "memetic": memetic, "sga": sga, "numpy": numpy_search, "deap": deap_search}


# --- measuring ---------------------------------------------------------------------------------


def measure(search: str, blocks: list[np.ndarray], fixed: int, budget: float) -> tuple[int, float]:
    """The feedback of the whole matrix the search reaches, and the seconds it took."""
    total_size = sum(len(block) for block in blocks)
    started = time.perf_counter()
    found = fixed
    for block in blocks:
        order = RUNNERS[search](block, budget * len(block) / total_size)
        if sorted(order) != list(range(len(block))):
            raise RuntimeError(f"{search}: the ordering of a block of {len(block)} is not one")
        found += block_feedback(block, order)
    return found, time.perf_counter() - started


def reference(blocks: list[np.ndarray], fixed: int) -> str:
    from travok_dsm import Dsm
    from travok_dsm.exact import solve

    proofs = [solve(Dsm(block), seconds=60) for block in blocks]
    bound = fixed + sum(proof.bound for proof in proofs)
    return f"{bound}" if all(proof.proven for proof in proofs) else f"≥ {bound}"


def describe(values: list[int]) -> str:
    low, high = min(values), max(values)
    middle = statistics.median(values)
    spread = f"{low}" if low == high else f"{low} – {high}"
    return f"{middle:g} ({spread})"


def main() -> None:
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("files", nargs="+", type=Path, metavar="FILE.csv")
    parser.add_argument("--budgets", help="seconds per matrix, comma-separated (default 1,5)")
    parser.add_argument("--repetitions", type=int, help="runs per search and budget (default 5)")
    parser.add_argument("--only", default=",".join(SEARCHES),
                        help="searches to run, comma-separated (default: all)")
    parser.add_argument("--quick", action="store_true", help="a 1 s budget and 2 repetitions")
    args = parser.parse_args()
    searches = [name for name in args.only.split(",") if name]
    unknown = set(searches) - set(SEARCHES)
    if unknown:
        parser.error(f"unknown searches: {', '.join(sorted(unknown))}")
    budgets = (tuple(float(text) for text in args.budgets.split(",")) if args.budgets
               else QUICK_BUDGETS if args.quick else BUDGETS)
    repetitions = args.repetitions or (2 if args.quick else 5)

    from travok_dsm import Dsm, partition

    print(f"load average at start: {' '.join(f'{value:.2f}' for value in os.getloadavg())}; "
          f"{os.cpu_count()} CPUs; {repetitions} repetitions")
    header = " | ".join(f"{name} @ {budget:g} s" for budget in budgets for name in searches)
    print(f"\n| matrix | searched blocks | least (exact) | {header} |")
    print("|---|---|---:|" + "---|" * (len(budgets) * len(searches)))
    for path in args.files:
        dsm = Dsm.read_csv(path)
        parts = partition(dsm)
        blocks = [np.asarray(dsm.sub(part).marks) & ~np.eye(len(part), dtype=bool)
                  for part in parts if len(part) >= SEARCHED_BLOCK]
        fixed = sum(1 for part in parts if len(part) == 2)
        found: dict[tuple[str, float], list[int]] = {}
        seconds: dict[tuple[str, float], list[float]] = {}
        for budget in budgets:
            for repetition in range(repetitions):
                turn = searches[repetition % len(searches):] + searches[:repetition % len(searches)]
                for name in turn:
                    value, took = measure(name, blocks, fixed, budget)
                    found.setdefault((name, budget), []).append(value)
                    seconds.setdefault((name, budget), []).append(took)
        cells = " | ".join(
            f"{describe(found[name, budget])}; {statistics.median(seconds[name, budget]):.2f} s"
            for budget in budgets for name in searches)
        sizes = ", ".join(str(len(block)) for block in blocks) or "none"
        print(f"| {path.name} | {sizes} | {reference(blocks, fixed)} | {cells} |", flush=True)
    print(f"\nload average at end: {' '.join(f'{value:.2f}' for value in os.getloadavg())}")
    print("Cells: median feedback of the whole matrix (lowest – highest); median seconds taken.")


if __name__ == "__main__":
    main()
