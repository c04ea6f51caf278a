"""sequence(): results that add up, the JSON contract, options refused early, and the same runs on
every kind of executor, each run drawing its own random stream."""
import json
import subprocess
import sys
import textwrap
from concurrent.futures import ProcessPoolExecutor, ThreadPoolExecutor
from multiprocessing import get_context
from pathlib import Path

import numpy as np
import pytest

import scipy_needed  # noqa: F401 - skips the module where SciPy cannot be used
from travok_dsm import Dsm, SgaOptions, feedback, sequence
from travok_dsm.result import bound_note

DATA = Path(__file__).parent / "data"

SMALL = SgaOptions(chromosomes=50, generations=20)


def dsm_of_arcs(size, arcs, labels=None):
    return Dsm([[(row, column) in arcs for column in range(size)] for row in range(size)], labels)


def rings(*sizes):
    """Rings in which each element depends on the next two, each ring depending on the one before."""
    total = sum(sizes)
    marks = np.zeros((total, total), dtype=bool)
    first = 0
    for size in sizes:
        for offset in range(size):
            for step in (1, 2):
                marks[first + offset, first + (offset + step) % size] = True
        if first:
            marks[first, first - 1] = True
        first += size
    return Dsm(marks, [f"e{index:02}" for index in range(total)])


def assert_adds_up(result):
    """Every count the result gives, recounted here."""
    assert sorted(result.indices) == list(range(result.dsm.size))
    assert feedback(result.dsm, result.indices) == result.feedback == sum(block.feedback for block in result.blocks)
    assert [index for block in result.blocks for index in block.indices] == list(result.indices)
    for block in result.blocks:
        assert block.feedback == feedback(result.dsm.sub(block.indices), range(block.size))
        assert all(run.feedback >= block.feedback for run in block.runs)
        # Better than every run only when the exact step proved its own ordering least.
        assert block.feedback in [run.feedback for run in block.runs] or not block.runs \
            or block.feedback == block.lower_bound
        assert block.lower_bound is None or block.lower_bound <= block.feedback


def test_partitioned_result_keeps_feedback_inside_blocks():
    # Two three-cycles, the second depending on the first, a mutual pair and two loose elements.
    arcs = {(0, 1), (1, 2), (2, 0), (3, 4), (4, 5), (5, 3), (3, 0), (6, 7), (7, 6), (8, 5), (6, 8)}
    dsm = dsm_of_arcs(9, arcs, "abcdefghi")
    result = sequence(dsm, method="sga", options=SMALL, restarts=3, workers=1, exact=False)
    assert_adds_up(result)
    assert [sorted(block.indices) for block in result.blocks] == [[0, 1, 2], [3, 4, 5], [8], [6, 7]]
    assert [block.feedback for block in result.blocks] == [1, 1, 0, 1]
    assert [len(block.runs) for block in result.blocks] == [3, 3, 0, 0]
    assert result.blocks[0].settings["chromosomes"] == 50 and result.blocks[0].settings["p_swap"] == 1 / 3
    run = result.blocks[1].runs[0]
    assert len(run.best) == len(run.mean) == 21  # the first population and 20 more
    assert max(run.best) == 3 - run.feedback  # the three pairs of a three-element block
    assert feedback(result.matrix(), range(9)) == result.feedback == 3
    assert result.order == tuple(dsm.labels[index] for index in result.indices)


@pytest.mark.parametrize(
    "exact, bound",
    [({}, "least"), ({"exact_seconds": 0}, 0), ({"exact": False}, None)],
    ids=["exact", "no-time", "no-exact"],
)
def test_json_contract(exact, bound):
    result = sequence(rings(5, 4), method="sga", options=SMALL, restarts=2, workers=1, **exact)
    assert_adds_up(result)
    contract = json.loads(result.to_json())
    assert contract == result.to_dict()
    assert list(contract) == ["labels", "order", "feedback", "lower_bound", "seconds", "blocks"]
    assert contract["labels"] == list(result.dsm.labels)
    assert contract["order"] == list(result.order) and sorted(contract["order"]) == contract["labels"]
    assert isinstance(contract["seconds"], float)
    bounds = [block["lower_bound"] for block in contract["blocks"]]
    if bound == "least":
        # The rings' least feedback is in reach of the solver, which hands its ordering over when
        # the short runs missed it.
        assert bounds == [block["feedback"] for block in contract["blocks"]]
        assert contract["lower_bound"] == contract["feedback"] == sum(bounds)
        assert bound_note(result.feedback, result.lower_bound) == "proven minimum"
    elif bound == 0:
        assert bounds == [0, 0] and contract["lower_bound"] == 0 < contract["feedback"]
        gap = contract["feedback"]
        assert bound_note(result.feedback, result.lower_bound) == f"feedback {gap}, lower bound 0 (gap {gap})"
    else:
        assert bounds == [None, None] and contract["lower_bound"] is None
    assert [block["labels"] for block in contract["blocks"]] == [list(block.labels) for block in result.blocks]
    assert [list(block) for block in contract["blocks"]] == [["labels", "feedback", "lower_bound"]] * 2
    assert sum(block["feedback"] for block in contract["blocks"]) == contract["feedback"]


def test_acyclic_matrix_needs_no_run():
    dsm = dsm_of_arcs(6, {(1, 0), (2, 1), (5, 3), (4, 0)})
    result = sequence(dsm)
    assert (result.feedback, result.runs, result.lower_bound) == (0, 0, 0)


def test_a_large_block_searches_towards_its_proven_minimum():
    result = sequence(DATA / "stdlib_imports_100.csv", restarts=1, workers=1)
    (block,) = [block for block in result.blocks if block.runs]
    assert block.size == 76
    assert block.settings["bound"] == block.lower_bound == block.feedback == result.feedback == 28
    assert result.lower_bound == 28


def test_a_block_proven_without_the_solver_never_loads_it():
    # Loading the solver would take longer than the whole work on this matrix.
    script = textwrap.dedent(f"""
        import sys
        from travok_dsm import sequence
        result = sequence({str(DATA / "stdlib_imports_100.csv")!r}, restarts=1, workers=1)
        print(result.lower_bound, "scipy.optimize" in sys.modules)
    """)
    done = subprocess.run([sys.executable, "-c", script], capture_output=True, text=True, check=True,
                          timeout=120)
    assert done.stdout.split() == ["28", "False"]


def graph_of(dsm):
    made = pytest.importorskip("networkx").DiGraph()
    made.add_nodes_from(dsm.labels)
    made.add_edges_from((dsm.labels[row], dsm.labels[column]) for row, column in zip(*dsm.arcs, strict=True))
    return made


@pytest.mark.parametrize(
    "make",
    [
        lambda path, dsm: str(path),
        lambda path, dsm: path,
        lambda path, dsm: np.array(dsm.marks, dtype=float),
        lambda path, dsm: pytest.importorskip("pandas").read_csv(path, index_col=0),
        lambda path, dsm: graph_of(dsm),
    ],
    ids=["path-text", "path", "numpy", "pandas", "networkx"],
)
def test_sequence_takes_any_matrix(tmp_path, make):
    expected = Dsm(rings(5).marks, "abcde")
    path = tmp_path / "ring.csv"
    expected.to_csv(path)
    result = sequence(make(path, expected), method="sga", options=SMALL, restarts=1)
    assert result.dsm.marks.tolist() == expected.marks.tolist()
    assert_adds_up(result)


@pytest.mark.parametrize(
    "call, error, message",
    [
        (lambda: SgaOptions(chromosomes=1), ValueError, "chromosomes must be an integer of at least 2, not 1"),
        (lambda: SgaOptions(p_mutation=1.5), ValueError, "p_mutation must be a probability between 0 and 1, not 1.5"),
        (lambda: SgaOptions(selector="Best"), ValueError,
         "selector must be one of 'Roulette', 'Random', not 'Best'"),
        (lambda: SgaOptions(crossover="Blend"), ValueError,
         "crossover_parameter goes with crossover 'Blend' (alpha) or 'SimulatedBinary' (eta), and only with them"),
        (lambda: sequence(rings(4), method="tabu"), ValueError,
         "unknown method 'tabu'; the methods are 'memetic', 'sga'"),
        (lambda: sequence(rings(4), options=SMALL), TypeError, "method 'memetic' takes MemeticOptions, not SgaOptions"),
        (lambda: sequence(rings(4), restarts=0), ValueError, "restarts must be at least 1, not 0"),
        (lambda: sequence(rings(4), exact_seconds=-1), ValueError,
         "exact_seconds must be a number of at least 0, not -1"),
        (lambda: sequence(rings(4), workers=2, executor=ThreadPoolExecutor(1)), ValueError,
         "give an executor or a number of workers, not both"),
    ],
    ids=["chromosomes", "probability", "selector", "crossover-parameter", "method", "options-type", "restarts",
         "exact-seconds", "executor-and-workers"],
)
def test_options_are_refused_before_any_run(call, error, message):
    with pytest.raises(error) as caught:
        call()
    assert str(caught.value) == message


# --- executors ------------------------------------------------------------------------------


def dask_executor(processes):
    distributed = pytest.importorskip("distributed")
    cluster = distributed.LocalCluster(n_workers=2, threads_per_worker=1, processes=processes,
                                       dashboard_address=None)
    client = distributed.Client(cluster)
    return client.get_executor(), lambda: (client.close(), cluster.close())


def pool(kind):
    made = kind()
    return made, made.shutdown


@pytest.mark.parametrize(
    "executor",
    [
        None,
        lambda: pool(lambda: ThreadPoolExecutor(2)),
        lambda: pool(lambda: ProcessPoolExecutor(2, mp_context=get_context("spawn"))),
        lambda: dask_executor(processes=False),
        lambda: dask_executor(processes=True),
    ],
    ids=["default-process-pool", "threads", "spawned-processes", "dask-threads", "dask-processes"],
)
def test_runs_on_any_executor_each_with_its_own_stream(executor):
    # This process draws first: a worker forked from it would then replay the rest of its stream.
    sequence(rings(4), method="sga", options=SMALL, restarts=1)
    made, close = executor() if executor else (None, lambda: None)
    seen = []
    try:
        # One block, and runs long enough that every worker takes one of its first runs.
        result = sequence(rings(30), method="sga",
                          options=SgaOptions(chromosomes=200, generations=300), restarts=4,
                          executor=made, workers=2 if made is None else None,
                          progress=lambda *told: seen.append(told))
    finally:
        close()
    assert_adds_up(result)
    (block,) = result.blocks
    # Runs that replayed one random stream, or one call shared by equal arguments, would match.
    assert len({run.mean for run in block.runs}) == len(block.runs) == 4
    assert seen[-1][:2] == (4, 4)
    assert [done for done, _, _ in seen] == sorted(done for done, _, _ in seen)


def test_a_script_without_a_main_guard_is_told_what_to_do(tmp_path):
    script = tmp_path / "unguarded.py"
    script.write_text(textwrap.dedent("""
        import numpy
        import travok_dsm
        marks = numpy.roll(numpy.eye(12, dtype=bool), 1, axis=1) | numpy.roll(numpy.eye(12, dtype=bool), 2, axis=1)
        travok_dsm.sequence(marks, restarts=2, workers=2)
    """))
    done = subprocess.run([sys.executable, str(script)], capture_output=True, text=True, timeout=120)
    assert done.returncode == 1
    # The message ends the error's line; the pool's shutdown may print warnings after it.
    assert ("in a script that calls sequence() at its top level, put the call under `if __name__ == "
            "'__main__':`, as each worker process imports the script again\n") in done.stderr


# A module-level import graph of 60 standard-library modules (blocks of 10, 2 and 2) whose least
# feedback, 6, was proven by an exact solver.
def test_sequence_finds_the_least_feedback_of_a_real_matrix_by_default():
    result = sequence(Dsm.read_csv(DATA / "stdlib_modlevel_60.csv"), workers=1)
    assert result.method == "memetic"
    assert sorted(block.size for block in result.blocks if block.size > 1) == [2, 2, 10]
    assert result.feedback == feedback(result.dsm, result.indices) == 6
