"""The benchmark job with NumPy alone, as someone who avoids GA libraries would write it.

The population is one (chromosomes × genes) array and the fitness one float array, NaN where a
chromosome changed. Each generation: roulette by cumulative sum and binary search, IPX on all crossed
pairs at once, swap mutation with the per-position tests drawn in one array, FeedbackMarks on the
changed chromosomes, then the hall of fame of one, the statistics record and the kept population.
"""
from __future__ import annotations

from collections import deque
from collections.abc import Callable
from dataclasses import dataclass, field
from typing import Any

import numpy as np

from job import Job, Outcome


@dataclass
class Marks:
    marks: np.ndarray  # cell (r, c) is True when marked
    upper: np.ndarray  # True strictly above the diagonal
    top: int


def prepare(job: Job, matrix: list[float]) -> Marks:
    marks = np.array(matrix, dtype=np.float64).reshape(job.n_genes, job.n_genes) != 0.0
    upper = np.triu(np.ones_like(marks), 1)
    return Marks(marks, upper, job.top_fitness)


def evaluate(population: np.ndarray, fitness: np.ndarray, marks: Marks) -> None:
    """Fill the missing (NaN) fitness values in place: D(D-1)/2 minus marks above the diagonal."""
    for k in np.flatnonzero(np.isnan(fitness)):
        # Two takes (rows, then columns) gather the reordered matrix several times faster than
        # one fancy index with np.ix_, and a batched gather over chromosomes was slower still.
        order = population[k]
        fitness[k] = marks.top - np.count_nonzero(marks.marks.take(order, 0).take(order, 1) & marks.upper)


def roulette(rng: np.random.Generator, fitness: np.ndarray, count: int) -> np.ndarray:
    """Indices chosen in proportion to fitness: the first running total at or above u × total."""
    totals = np.cumsum(fitness)
    chosen = np.searchsorted(totals, rng.random(count) * totals[-1], side="left")
    # No total reaches the target only with negative or NaN fitness: take the last, as travok does.
    last: np.ndarray = np.minimum(chosen, len(fitness) - 1)
    return last


def ipx_fill(own: np.ndarray, other: np.ndarray, keep: np.ndarray) -> np.ndarray:
    """Children that keep `own` where `keep` holds and take the rest in `other`'s order.

    Rows are orderings of 0..L-1, so a gene value indexes a column: `kept[p, g]` says whether child
    p already holds gene g. Every row has as many free positions as genes still missing, so the
    row-major fill below lines each row's missing genes up with its own free positions.
    """
    rows = np.arange(own.shape[0])[:, None]
    kept = np.zeros(own.shape, dtype=bool)
    kept[rows, own] = keep
    missing = ~kept[rows, other]
    child = own.copy()
    child[~keep] = other[missing]
    return child


def cross(rng: np.random.Generator, parents: np.ndarray, fitness: np.ndarray, p_crossover: float) -> None:
    """IPX on pairs (0,1), (2,3), ... in place, each pair crossed when its draw is at most p_crossover."""
    pairs = len(parents) // 2  # an odd last parent passes unchanged
    first, second = parents[0 : 2 * pairs : 2], parents[1 : 2 * pairs : 2]
    crossed = np.flatnonzero(rng.random(pairs) <= p_crossover)
    a, b = first[crossed], second[crossed]
    keep = rng.random(a.shape) < 0.5
    first[crossed] = ipx_fill(a, b, keep)
    second[crossed] = ipx_fill(b, a, keep)
    fitness[2 * crossed] = np.nan
    fitness[2 * crossed + 1] = np.nan


def mutate(rng: np.random.Generator, population: np.ndarray, fitness: np.ndarray, p_mutation: float,
           p_swap: float) -> None:
    """Swap mutation in place: each position of a mutated chromosome meets a random other one."""
    length = population.shape[1]
    mutated = np.flatnonzero(rng.random(len(population)) < p_mutation)
    fitness[mutated] = np.nan
    # Exchanges follow each other position by position, so only the tests and partners are drawn
    # as arrays; the few exchanges themselves (about one per mutated chromosome) run in order.
    rows, positions = np.nonzero(rng.random((len(mutated), length)) <= p_swap)
    partners = rng.integers(0, length - 1, size=len(rows))
    partners += partners >= positions
    for row, i, j in zip(mutated[rows].tolist(), positions.tolist(), partners.tolist(), strict=True):
        genes = population[row]
        genes[i], genes[j] = genes[j], genes[i]


@dataclass
class Run:
    best_genes: np.ndarray | None = None
    best_fitness: float = -np.inf
    records: list[dict[str, float]] = field(default_factory=list)
    kept: deque[tuple[np.ndarray, np.ndarray]] = field(default_factory=deque)


def run(job: Job, marks: Any, score: Callable[[np.ndarray, np.ndarray, Any], None] = evaluate) -> Run:
    """The whole run; `score` fills missing fitness from `marks` (the dense evaluation unless given)."""
    rng = np.random.default_rng()
    result = Run(kept=deque(maxlen=job.n_generations))

    def step(population: np.ndarray, fitness: np.ndarray) -> None:
        score(population, fitness, marks)
        best = int(np.argmax(fitness))
        if fitness[best] > result.best_fitness:
            result.best_fitness = float(fitness[best])
            result.best_genes = population[best].copy()
        total = float(fitness.sum())
        result.records.append(dict(size=len(fitness), min=float(fitness.min()), max=float(fitness.max()),
                                   sum=total, mean=total / len(fitness), variance=float(fitness.var())))
        result.kept.append((population, fitness))

    population = rng.permuted(np.tile(np.arange(job.n_genes), (job.n_chromosomes, 1)), axis=1)
    fitness = np.full(job.n_chromosomes, np.nan)
    step(population, fitness)
    for _ in range(job.n_generations):
        chosen = roulette(rng, fitness, job.n_chromosomes)
        # Fancy indexing copies, so the kept population is never touched by what follows.
        population, fitness = population[chosen], fitness[chosen]
        cross(rng, population, fitness, job.p_crossover)
        mutate(rng, population, fitness, job.p_mutation, job.p_swap)
        step(population, fitness)
    return result


def outcome(job: Job, result: Run) -> Outcome:
    assert result.best_genes is not None
    return Outcome(result.best_genes.tolist(), result.best_fitness, len(result.kept), len(result.records))
