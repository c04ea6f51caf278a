"""The benchmark job with NumPy alone, evaluating from the list of marks instead of the dense matrix.

Everything but the evaluation is numpy_ga's. A sparse matrix is better kept as its marks (row,
column): a mark lies above the diagonal of the reordered matrix exactly when its row comes before
its column in the ordering, so a chromosome costs one comparison per mark instead of D² cells.
"""
from __future__ import annotations

from dataclasses import dataclass

import numpy as np

import numpy_ga
from job import Job, Outcome


@dataclass
class Edges:
    rows: np.ndarray  # the row of each mark
    columns: np.ndarray  # its column
    top: int


def from_marks(job: Job, marks: np.ndarray) -> Edges:
    """The edge list of a (D × D) boolean array of marks."""
    rows, columns = np.nonzero(marks)
    # nonzero hands out strided views of one (marks × 2) array: each gets its own compact copy.
    return Edges(np.ascontiguousarray(rows, dtype=np.int32), np.ascontiguousarray(columns, dtype=np.int32),
                 job.top_fitness)


def prepare(job: Job, matrix: list[float]) -> Edges:
    return from_marks(job, np.array(matrix, dtype=np.float64).reshape(job.n_genes, job.n_genes) != 0.0)


def evaluate(population: np.ndarray, fitness: np.ndarray, edges: Edges) -> None:
    """Fill the missing (NaN) fitness values in place: D(D-1)/2 minus marks whose row comes first."""
    position = np.empty(population.shape[1], dtype=np.int32)
    places = np.arange(population.shape[1], dtype=np.int32)
    for k in np.flatnonzero(np.isnan(fitness)):
        position[population[k]] = places
        fitness[k] = edges.top - np.count_nonzero(position[edges.rows] < position[edges.columns])


def run(job: Job, edges: Edges) -> numpy_ga.Run:
    return numpy_ga.run(job, edges, evaluate)


def outcome(job: Job, result: numpy_ga.Run) -> Outcome:
    return numpy_ga.outcome(job, result)
