"""The benchmark's three implementations do one job: tiny runs give orderings scored alike."""
import importlib
import os
import subprocess
import sys
from pathlib import Path

import pytest

BENCHMARKS = Path(__file__).resolve().parents[2] / "benchmarks"
sys.path.insert(0, str(BENCHMARKS))

from job import Job, feedback_marks, make_matrix, parse_job  # noqa: E402

IMPLEMENTATIONS = ["travok", "numpy", "numpy_edges", "deap"]


def load(name):
    pytest.importorskip("numpy")
    if name == "deap":
        pytest.importorskip("deap")
    return importlib.import_module(f"{name}_ga")


def test_reference_count_on_the_worked_example():
    # Marks at (0, 1), (1, 2) and (2, 0): the first two lie above the diagonal in the order 0, 1, 2.
    matrix = [0.0, 1.0, 0.0, 0.0, 0.0, 1.0, 1.0, 0.0, 0.0]
    assert feedback_marks(matrix, 3, [0, 1, 2]) == 2
    assert feedback_marks(matrix, 3, [2, 1, 0]) == 1


@pytest.mark.parametrize("density", [0.1, 0.6], ids=["sparse", "dense"])
@pytest.mark.parametrize("name", IMPLEMENTATIONS)
def test_best_ordering_is_scored_as_the_plain_count_scores_it(name, density):
    module = load(name)
    job = Job(10, 10, 3, density)
    matrix = make_matrix(job)
    outcome = module.outcome(job, module.run(job, module.prepare(job, matrix)))
    assert sorted(outcome.best_genes) == list(range(10))
    assert outcome.best_fitness == job.top_fitness - feedback_marks(matrix, 10, outcome.best_genes)
    assert (outcome.kept_populations, outcome.records) == (3, 4)


def test_travok_reads_back_every_kept_chromosome():
    module = load("travok")
    job = Job(12, 6, 4)
    genes = module.read_back(module.run(job, module.prepare(job, make_matrix(job))))
    assert len(genes) == 24
    assert all(sorted(g) == list(range(12)) for g in genes)


class Draws:
    """Stands in for a NumPy generator: hands out chosen uniform values."""

    def __init__(self, values):
        self.values = values

    def random(self, size):
        import numpy as np

        return np.array(self.values[:size])


def test_numpy_roulette_takes_the_first_total_at_or_above_the_target():
    numpy_ga = load("numpy")
    import numpy as np

    # Totals 1 and 4: a target of exactly 1 (u = 0.25) still picks the first.
    chosen = numpy_ga.roulette(Draws([0.0, 0.25, 0.2501, 0.999]), np.array([1.0, 3.0]), 4)
    assert chosen.tolist() == [0, 0, 1, 1]


def test_numpy_ipx_keeps_the_masked_positions_and_fills_in_the_other_parents_order():
    numpy_ga = load("numpy")
    import numpy as np

    a = np.array([[0, 1, 2, 3, 4], [0, 1, 2, 3, 4]])
    b = np.array([[4, 3, 2, 1, 0], [1, 0, 3, 4, 2]])
    keep = np.array([[True, False, True, False, False], [False, False, False, False, False]])
    assert numpy_ga.ipx_fill(a, b, keep).tolist() == [[0, 4, 2, 3, 1], [1, 0, 3, 4, 2]]
    assert numpy_ga.ipx_fill(b, a, keep).tolist() == [[4, 0, 2, 1, 3], [0, 1, 2, 3, 4]]


def test_numpy_mutation_keeps_orderings_and_clears_fitness():
    numpy_ga = load("numpy")
    import numpy as np

    rng = np.random.default_rng(7)
    population = rng.permuted(np.tile(np.arange(8), (6, 1)), axis=1)
    fitness = np.arange(6, dtype=float)
    numpy_ga.mutate(rng, population, fitness, 1.0, 1.0)
    assert all(sorted(row) == list(range(8)) for row in population.tolist())
    assert np.isnan(fitness).all()


@pytest.mark.parametrize("text, expected", [
    ("50x100x200", Job(50, 100, 200, 0.1)),
    ("1000x100x20@0.01", Job(1000, 100, 20, 0.01)),
], ids=["default-density", "density"])
def test_sizes_are_read_from_their_labels(text, expected):
    assert parse_job(text) == expected
    assert parse_job(expected.label) == expected


def test_size_label_without_three_counts_is_refused():
    with pytest.raises(ValueError) as raised:
        parse_job("50x100")
    assert str(raised.value) == "size '50x100' is not written GENESxCHROMOSOMESxGENERATIONS[@DENSITY]"


def test_runner_prints_one_row_per_size_and_the_goals():
    # DEAP is left out: it adds a slow interpreter start per run and its module is tested above.
    load("numpy")
    done = subprocess.run([sys.executable, str(BENCHMARKS / "run.py"), "--sizes", "12x8x3@0.01,12x8x3@0.5",
                           "--repetitions", "1", "--only", "travok,numpy"],
                          env=dict(os.environ), capture_output=True, text=True, check=False)
    assert done.returncode == 0, done.stderr
    rows = [line for line in done.stdout.splitlines() if line.startswith("| 12x8x3@")]
    assert len(rows) == 4  # the speed table and the travok table
    assert "- travok density 0.5 / 0.01 at 12 genes:" in done.stdout
    assert done.stdout.count("- travok memory at 12x8x3@") == 2


def test_large_matrix_ladder_prints_a_row_per_case_and_the_input_goals():
    load("numpy")
    done = subprocess.run([sys.executable, str(BENCHMARKS / "large_matrices.py"), "--dims", "12,16", "--densities",
                           "0.2", "--generations", "2"], env=dict(os.environ), capture_output=True, text=True,
                          check=False)
    assert done.returncode == 0, done.stderr
    rows = [line.split(" | ") for line in done.stdout.splitlines() if line.startswith(("| 12 |", "| 16 |"))]
    assert [row[4].count(" / ") for row in rows] == [1, 1]  # travok's wall / CPU ms per generation
    assert [row[-1].count(" / ") for row in rows] == [2, 2]  # a peak for each of the three programs
    assert done.stdout.count("- EvaluatorMatrix from ") == 3


def test_quality_reaches_what_the_solver_proves_on_a_ring(tmp_path):
    # SciPy does not load everywhere the suite runs; the package's tests know where.
    sys.path.insert(0, str(Path(__file__).parent / "dsm"))
    importlib.import_module("scipy_needed")
    # Fourteen elements, each depending on the next two: one block, its least feedback proven.
    size = 14
    rows = [",".join("1" if (column - row) % size in (1, 2) else "0" for column in range(size))
            for row in range(size)]
    path = tmp_path / "ring.csv"
    path.write_text("\n".join(rows) + "\n")
    done = subprocess.run([sys.executable, str(BENCHMARKS / "quality.py"), str(path), "--budgets", "0.05",
                           "--repetitions", "1", "--only", "memetic,numpy"],
                          env=dict(os.environ), capture_output=True, text=True, check=False)
    assert done.returncode == 0, done.stderr
    (row,) = [line for line in done.stdout.splitlines() if line.startswith("| ring.csv")]
    cells = [cell.strip() for cell in row.strip("|").split("|")]
    least = int(cells[2])
    memetic, numpy_ga = (int(cell.split()[0]) for cell in cells[3:])
    assert cells[1] == "14" and least <= numpy_ga
    assert memetic == least  # a block this small is the memetic search's to solve
