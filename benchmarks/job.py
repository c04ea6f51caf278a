"""The job every implementation runs: its sizes, its matrix and the shape of its answer.

The matrix is made in pure Python from a fixed seed, so all three implementations sequence the
same cells and the travok child never has to import NumPy just to build its input.
"""
from __future__ import annotations

import random
import re
from dataclasses import dataclass

SEED = 20240611


@dataclass(frozen=True)
class Job:
    """One benchmark size: genes × chromosomes × generations over a matrix of the given density."""

    n_genes: int
    n_chromosomes: int
    n_generations: int
    density: float = 0.1
    p_crossover: float = 0.9
    p_mutation: float = 0.2
    seed: int = SEED

    @property
    def p_swap(self) -> float:
        # About one exchange per mutated chromosome, whatever its length.
        return 1.0 / self.n_genes

    @property
    def label(self) -> str:
        return f"{self.n_genes}x{self.n_chromosomes}x{self.n_generations}@{self.density:g}"

    @property
    def kept_gene_bytes(self) -> int:
        """Bytes of the genes of the populations a run keeps (8 bytes a gene)."""
        return self.n_generations * self.n_chromosomes * self.n_genes * 8

    @property
    def top_fitness(self) -> int:
        """Fitness of an ordering that leaves no mark above the diagonal."""
        return self.n_genes * (self.n_genes - 1) // 2


_LABEL = re.compile(r"^(\d+)x(\d+)x(\d+)(?:@([0-9.eE+-]+))?$")


def parse_job(text: str) -> Job:
    """Read a size written GENESxCHROMOSOMESxGENERATIONS[@DENSITY], e.g. 1000x100x20@0.01."""
    match = _LABEL.match(text.strip())
    if match is None:
        raise ValueError(f"size {text!r} is not written GENESxCHROMOSOMESxGENERATIONS[@DENSITY]")
    genes, chromosomes, generations, density = match.groups()
    return Job(int(genes), int(chromosomes), int(generations), 0.1 if density is None else float(density))


def make_matrix(job: Job) -> list[float]:
    """The job's 0/1 matrix, row by row, as a flat list of floats (the two values are shared objects)."""
    draw = random.Random(job.seed).random
    size = job.n_genes * job.n_genes
    return [1.0 if draw() < job.density else 0.0 for _ in range(size)]


def feedback_marks(matrix: list[float], n_genes: int, order: list[int]) -> int:
    """Marks above the diagonal once rows and columns follow `order`: the plain double loop."""
    count = 0
    for i, row in enumerate(order):
        base = row * n_genes
        for column in order[i + 1:]:
            if matrix[base + column] != 0.0:
                count += 1
    return count


@dataclass
class Outcome:
    """What a run hands back: the best ordering found, its fitness, and how much history was kept."""

    best_genes: list[int]
    best_fitness: float
    kept_populations: int
    records: int
