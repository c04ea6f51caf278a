"""Long and large runs: ten thousand generations keep no more memory than the populations the lineage
keeps, and two thousand genes are evaluated exactly."""
import ctypes
import ctypes.util
import json
import os
import random
import subprocess
import sys

import pytest

from run_checks import check_lineage, run, sanitized
from travok import CrossoverKinds, EvaluatorKinds, EvaluatorMatrix, SelectorKinds, SequencingSettings

MiB = 1 << 20


class MallocInfo(ctypes.Structure):
    _fields_ = [(name, ctypes.c_size_t) for name in
                ("arena", "ordblks", "smblks", "hblks", "hblkhd", "usmblks", "fsmblks", "uordblks", "fordblks",
                 "keepcost")]


def heap_in_use():
    """Bytes the C allocator has handed out and not taken back (C++ allocations included, which
    tracemalloc does not see); None where the allocator cannot tell."""
    if sanitized():
        return None  # the sanitizer's allocator does not keep these counts
    libc = ctypes.CDLL(ctypes.util.find_library("c"))
    if not hasattr(libc, "mallinfo2"):
        return None
    libc.mallinfo2.restype = MallocInfo
    info = libc.mallinfo2()
    return info.uordblks + info.hblkhd


# Run in a fresh interpreter, so that the peak it reports belongs to this run and not to whatever the
# test process did before.
LONG_RUN = """
import json, random, resource, sys
from run_checks import check_lineage, run
from test_long_runs import heap_in_use
from travok import EvaluatorKinds, EvaluatorMatrix, SequencingSettings

n_genes, n_chromosomes, n_generations, n_records = map(int, sys.argv[1:])
matrix = [float(random.random() < 0.3) for _ in range(n_genes * n_genes)]
evaluator = EvaluatorMatrix(EvaluatorKinds.FeedbackDistance, matrix)
run(SequencingSettings(n_genes, 0.9, 0.5, n_chromosomes=n_chromosomes, n_generations=10), evaluator)


def peak():
    return resource.getrusage(resource.RUSAGE_SELF).ru_maxrss * 1024


heap_before, peak_before = heap_in_use(), peak()
lineage = run(SequencingSettings(n_genes, 0.9, 0.5, n_chromosomes=n_chromosomes, n_generations=n_generations,
                                 n_records=n_records, n_hall_of_fame=4), evaluator)
heap_kept, peak_after = heap_in_use(), peak()
check_lineage(lineage, n_genes, n_chromosomes, n_generations, n_records, 4)
del lineage
heap_after = heap_in_use()
print(json.dumps(dict(heap_before=heap_before, heap_kept=heap_kept, heap_after=heap_after,
                      peak_growth=peak_after - peak_before)))
"""


def test_ten_thousand_generations_keep_only_the_kept_populations():
    n_genes, n_chromosomes, n_generations, n_records = 8, 6, 10_000, 10
    here = os.path.dirname(os.path.abspath(__file__))
    environment = dict(os.environ, PYTHONPATH=os.pathsep.join([here] + sys.path))
    arguments = map(str, (n_genes, n_chromosomes, n_generations, n_records))
    result = subprocess.run([sys.executable, "-c", LONG_RUN, *arguments], env=environment, capture_output=True,
                            text=True, check=False)
    assert result.returncode == 0, result.stderr
    measured = json.loads(result.stdout)

    # What a run leaves is its kept populations: per chromosome its gene list (with the allocator's
    # header) and its place in the population's list, per population its place in the lineage's list.
    kept = n_generations * (n_chromosomes * (n_genes * 8 + 16 + 40) + 32)
    if measured["heap_before"] is not None:
        assert measured["heap_kept"] - measured["heap_before"] < 1.5 * kept + MiB
        assert measured["heap_after"] - measured["heap_before"] < MiB, "nothing of the run outlives its lineage"
    # The peak: the kept populations and one generation's temporaries, with room for the allocator (and
    # for the sanitizer's quarantine of freed blocks, where it runs).
    allowance = 64 * MiB + (320 * MiB if sanitized() else 0)
    assert measured["peak_growth"] < 4 * kept + allowance


def sparse_matrix(dimension, n_marks, seed):
    rng = random.Random(seed)
    marks = {(rng.randrange(dimension), rng.randrange(dimension)) for _ in range(n_marks)}
    cells = [0.0] * (dimension * dimension)
    for row, column in marks:
        cells[row * dimension + column] = 1.0
    return cells, marks


def reference_fitness(kind, dimension, marks, genes):
    """The fitness from the marks alone: cheap for a sparse matrix, whatever the number of genes."""
    position = {gene: i for i, gene in enumerate(genes)}
    n = len(genes)
    if kind == EvaluatorKinds.FeedbackMarks:
        return dimension * (dimension - 1) // 2 - sum(position[r] < position[c] for r, c in marks)
    if kind == EvaluatorKinds.FeedbackDistance:
        above = sum(position[c] - position[r] for r, c in marks if position[r] < position[c])
        return (dimension * dimension - 1) * dimension // 6 - above
    return sum((n - 1 - position[r]) + position[c] for r, c in marks)


@pytest.mark.parametrize("kind", [EvaluatorKinds.FeedbackMarks, EvaluatorKinds.FeedbackDistance,
                                  EvaluatorKinds.LowerLeftDistance], ids=repr)
def test_two_thousand_genes_are_evaluated_exactly(kind):
    dimension = 2000
    cells, marks = sparse_matrix(dimension, 6000, seed=int(kind))
    settings = SequencingSettings(dimension, 0.9, 0.5, n_chromosomes=4, n_generations=3, n_hall_of_fame=4)
    lineage = run(settings, EvaluatorMatrix(kind, cells), SelectorKinds.Random, CrossoverKinds.IPX)
    check_lineage(lineage, dimension, 4, 3, None, 4)
    for population in lineage.generations:
        for chromosome in population.chromosomes:
            assert chromosome.fitness == reference_fitness(kind, dimension, marks, chromosome.genes)
