"""The main-job example: reading a matrix, counting feedback, the library's import graph, the script."""
import os
import random
import re
import subprocess
import sys
from pathlib import Path

import pytest

import travok

EXAMPLES = Path(__file__).resolve().parents[2] / "examples"
SCRIPT = EXAMPLES / "sequence_stdlib.py"
sys.path.insert(0, str(EXAMPLES))

from dsm import (  # noqa: E402
    Dsm, MatrixFormatError, dependency_order, feedback_count, parse_csv, partition, stdlib_candidates, stdlib_dsm,
    strong_components, sub_dsm,
)
from sequence_stdlib import build_parser, sequence  # noqa: E402

CYCLE = ((False, True, False), (False, False, True), (True, False, False))


def dsm_of(rows):
    return Dsm(tuple(str(index) for index in range(len(rows))), tuple(tuple(bool(cell) for cell in row) for row in rows))


# --- reading CSV --------------------------------------------------------------------------


@pytest.mark.parametrize(
    "text, names",
    [
        ("0,1,0\n0,0,1\n1,0,0\n", ("0", "1", "2")),
        ("a,b,c\n0,1,0\n0,0,1\n1,0,0\n", ("a", "b", "c")),
        ("a,0,1,0\nb,0,0,1\nc,1,0,0\n", ("a", "b", "c")),
        (",a,b,c\na,0,1,0\nb,0,0,1\nc,1,0,0\n", ("a", "b", "c")),
        ("a,b,c\na,0,1,0\nb,0,0,1\nc,1,0,0\n", ("a", "b", "c")),
        ("name;x;y;z\nx;0;1;0\ny;0;0;1\nz;1;0;0\n", ("x", "y", "z")),
        ("\n 0 , 2.5 ,\n\n,0,-1\n1e0,0,0.0\n\n", ("0", "1", "2")),
    ],
    ids=["plain", "header", "names-column", "header-and-names", "header-without-corner", "semicolons",
         "blank-lines-and-cells-and-any-number"],
)
def test_csv_layouts_give_the_same_matrix(text, names):
    read = parse_csv(text.splitlines(keepends=True))
    assert read.names == names
    assert read.marks == CYCLE


@pytest.mark.parametrize(
    "text, message",
    [
        ("0,1\n0,0,1\n", "line 2: 3 values where a square matrix of 2 rows needs 2"),
        ("0,1\n1,0\n0,0\n", "line 1: 2 values where a square matrix of 3 rows needs 3"),
        (",a,b\na,0,1\n\nb,0\n", "line 4: 1 value where a square matrix of 2 rows needs 2"),
        ("a,b,c\n0,1\n1,0\n", "line 1: the header names 3 columns but the matrix has 2 rows"),
        ("0,1,0\n0,x,1\n1,0,0\n", "line 2, column 2: 'x' is not a number"),
        ("a,0,1\nb,0,yes\n", "line 2, column 3: 'yes' is not a number"),
        ("\n\n", "line 1: the file holds no matrix"),
        ("\na,b\n", "line 2: the file holds names but no matrix rows"),
    ],
    ids=["long-row", "more-rows-than-columns", "short-row-after-blank-line", "header-length", "letter-cell",
         "word-cell-after-names", "blank-file", "header-only"],
)
def test_csv_errors_name_the_line(text, message):
    with pytest.raises(MatrixFormatError) as caught:
        parse_csv(text.splitlines(keepends=True))
    assert str(caught.value) == message


# --- feedback count -----------------------------------------------------------------------


@pytest.mark.parametrize(
    "rows, order, feedback",
    [
        (CYCLE, [0, 1, 2], 2),
        (CYCLE, [2, 1, 0], 1),
        (CYCLE, [1, 2, 0], 2),
        (CYCLE, [0, 2, 1], 1),
        (((0, 0, 0), (1, 0, 0), (0, 1, 0)), [0, 1, 2], 0),
        (((0, 0, 0), (1, 0, 0), (0, 1, 0)), [2, 1, 0], 2),
        (((1, 0), (1, 1)), [0, 1], 0),
        (((1, 0), (1, 1)), [1, 0], 1),
    ],
    ids=["cycle-file-order", "cycle-reversed", "cycle-rotated", "cycle-one-swap",
         "chain-dependencies-first", "chain-reversed",
         "diagonal-never-counts", "diagonal-never-counts-reversed"],
)
def test_feedback_count(rows, order, feedback):
    assert feedback_count(dsm_of(rows), order) == feedback


def test_feedback_count_refuses_a_non_permutation():
    with pytest.raises(ValueError):
        feedback_count(dsm_of(CYCLE), [0, 0, 2])


# --- partitioning -------------------------------------------------------------------------


def dsm_of_arcs(size, arcs):
    return dsm_of([[(row, column) in arcs for column in range(size)] for row in range(size)])


def reachable_components(dsm):
    """Components by transitive closure: elements that reach each other, slow but plain."""
    reach = [[row == column or dsm.marks[row][column] for column in range(dsm.size)] for row in range(dsm.size)]
    for middle in range(dsm.size):
        for row in range(dsm.size):
            if reach[row][middle]:
                reach[row] = [known or via for known, via in zip(reach[row], reach[middle])]
    return {tuple(column for column in range(dsm.size) if reach[row][column] and reach[column][row])
            for row in range(dsm.size)}


def assert_dependency_order(dsm, blocks):
    place = {element: number for number, block in enumerate(blocks) for element in block}
    assert sorted(place) == list(range(dsm.size))
    assert all(place[column] <= place[row] for row, column in dsm.arcs())


@pytest.mark.parametrize(
    "size, arcs, blocks",
    [
        (3, {(0, 1), (1, 0)}, [(0, 1), (2,)]),
        (4, {(0, 1), (1, 0), (1, 2), (2, 3), (3, 0)}, [(0, 1, 2, 3)]),
        (5, {(0, 1), (1, 0), (2, 3), (3, 2), (2, 0), (4, 2)}, [(0, 1), (2, 3), (4,)]),
        (4, {(3, 2), (2, 1), (1, 0)}, [(0,), (1,), (2,), (3,)]),
        (4, {(0, 1), (1, 2), (2, 3)}, [(3,), (2,), (1,), (0,)]),
        (3, {(0, 0), (1, 1), (2, 1)}, [(0,), (1,), (2,)]),
        (5, {(1, 3), (3, 1), (0, 2), (4, 2)}, [(1, 3), (2,), (0,), (4,)]),
    ],
    ids=["two-cycle", "cycle-inside-a-longer-cycle", "cycles-depending-on-cycles", "chain-in-order",
         "chain-reversed", "diagonal-is-no-cycle", "ties-keep-the-matrix-order"],
)
def test_partition(size, arcs, blocks):
    dsm = dsm_of_arcs(size, arcs)
    assert sorted(strong_components(dsm)) == sorted(blocks)
    assert partition(dsm) == blocks


@pytest.mark.parametrize("seed", range(8), ids=lambda seed: f"seed-{seed}")
def test_partition_of_random_graphs(seed):
    chance = random.Random(seed)
    size = chance.randint(2, 25)
    density = chance.choice([0.03, 0.08, 0.2])
    dsm = dsm_of([[chance.random() < density for _ in range(size)] for _ in range(size)])
    assert set(strong_components(dsm)) == reachable_components(dsm)
    assert_dependency_order(dsm, partition(dsm))


def test_partition_of_a_cycle_longer_than_the_recursion_limit():
    size = sys.getrecursionlimit() + 200
    dsm = dsm_of_arcs(size, {(row, (row + 1) % size) for row in range(size)} | {(0, size // 2)})
    assert strong_components(dsm) == [tuple(range(size))]


@pytest.mark.parametrize("seed", range(4), ids=lambda seed: f"seed-{seed}")
def test_acyclic_matrix_partitions_into_single_elements_with_no_feedback(seed):
    chance = random.Random(seed)
    size = 30
    rank = list(range(size))
    chance.shuffle(rank)
    # Each element depends only on elements of lower rank: no cycle, in a shuffled file order.
    dsm = dsm_of([[rank[column] < rank[row] and chance.random() < 0.2 for column in range(size)]
                  for row in range(size)])
    blocks = partition(dsm)
    assert all(len(block) == 1 for block in blocks)
    assert feedback_count(dsm, [element for block in blocks for element in block]) == 0
    outcome = sequence(dsm, build_parser().parse_args([]))
    assert (outcome.feedback, outcome.runs, outcome.best) == (0, 0, [])
    assert feedback_count(dsm, outcome.order) == 0


@pytest.mark.parametrize(
    "blocks, message",
    [
        ([(0, 1), (2,), ()], "block 2 is empty"),
        ([(0, 1), (1, 2)], "element 1 is in more than one block"),
        ([(0, 2)], "element 1 is in no block"),
        ([(0,), (1,), (2,)], "the blocks depend on each other in a cycle"),
    ],
    ids=["empty-block", "shared-element", "missing-element", "blocks-in-a-cycle"],
)
def test_dependency_order_refuses_blocks_that_are_not_components(blocks, message):
    with pytest.raises(ValueError) as caught:
        dependency_order(dsm_of(CYCLE), blocks)
    assert str(caught.value) == message


def test_sub_matrix_follows_the_given_order():
    dsm = Dsm(("a", "b", "c", "d"), dsm_of_arcs(4, {(0, 2), (2, 3), (3, 1), (1, 0)}).marks)
    part = sub_dsm(dsm, [3, 0, 2])
    assert part.names == ("d", "a", "c")
    assert set(part.arcs()) == {(1, 2), (2, 0)}


def test_partitioned_run_keeps_feedback_inside_blocks():
    # Two three-cycles, the second depending on the first, a mutual pair and two loose elements.
    arcs = {(0, 1), (1, 2), (2, 0), (3, 4), (4, 5), (5, 3), (3, 0), (6, 7), (7, 6), (8, 5), (6, 8)}
    dsm = dsm_of_arcs(9, arcs)
    args = build_parser().parse_args(["--chromosomes", "50", "--generations", "20"])
    outcome = sequence(dsm, args)
    assert [sorted(block.elements) for block in outcome.blocks] == [[0, 1, 2], [3, 4, 5], [8], [6, 7]]
    assert [block.feedback for block in outcome.blocks] == [1, 1, 0, 1]
    assert outcome.runs == 2
    assert feedback_count(dsm, outcome.order) == outcome.feedback == 3
    assert outcome.fitness == 36 - 3
    # The generations' fitness is that of the whole matrix: each three-cycle is at its best of
    # 1 feedback mark in most of 50 chromosomes, and the pair always holds 1.
    assert len(outcome.best) == len(outcome.mean) == 21  # the first population and 20 more
    assert outcome.first_generation == 0
    assert max(outcome.best) == outcome.fitness
    assert all(mean <= best <= outcome.fitness for mean, best in zip(outcome.mean, outcome.best))


# --- the import graph of a library folder -------------------------------------------------

FAKE_LIBRARY = {
    "alpha.py": "import beta\nfrom gamma.sub import thing\nimport os.path\n",
    "beta.py": "def later():\n    import alpha\n",
    "gamma/__init__.py": "from . import sub\nimport gamma.sub\n",
    "gamma/sub.py": "from beta import helper\n",
    "gamma/tests/test_sub.py": "import delta\n",
    "delta.py": "",
    "broken.py": "def (:\n",
    "test/__init__.py": "import delta\n",
    "idlelib/__init__.py": "import delta\n",
    "lib-dynload/x.py": "import delta\n",
}


def write_tree(root, files):
    for name, text in files.items():
        path = root / name
        path.parent.mkdir(parents=True, exist_ok=True)
        path.write_text(text)


def test_candidates_leave_out_tests_and_tools(tmp_path):
    write_tree(tmp_path, FAKE_LIBRARY)
    candidates = stdlib_candidates(tmp_path)
    assert sorted(candidates) == ["alpha", "beta", "broken", "delta", "gamma"]
    assert [path.name for path in candidates["gamma"]] == ["__init__.py", "sub.py"]


@pytest.mark.parametrize(
    "count, names, arcs",
    [
        (3, ("alpha", "beta", "gamma"), {(0, 1), (0, 2), (1, 0), (2, 1)}),
        (4, ("alpha", "beta", "broken", "gamma"), {(0, 1), (0, 3), (1, 0), (3, 1)}),
    ],
    ids=["most-arcs", "ties-by-name"],
)
def test_library_matrix(tmp_path, count, names, arcs):
    write_tree(tmp_path, FAKE_LIBRARY)
    made = stdlib_dsm(count, tmp_path)
    assert made.names == names
    assert set(made.arcs()) == arcs


def test_library_matrix_refuses_more_modules_than_candidates(tmp_path):
    write_tree(tmp_path, FAKE_LIBRARY)
    with pytest.raises(ValueError):
        stdlib_dsm(6, tmp_path)


def test_running_interpreters_library():
    made = stdlib_dsm(80)
    assert made.size == 80
    assert list(made.names) == sorted(set(made.names))
    assert {"os", "re", "typing"} <= set(made.names)
    assert len(made.marks) == 80 and all(len(row) == 80 for row in made.marks)
    assert not any(made.marks[index][index] for index in range(80))
    assert set(made.cells()) == {0.0, 1.0}
    # Every kept module imports or is imported by another: the ranking keeps the connected ones.
    touched = {element for arc in made.arcs() for element in arc}
    assert touched == set(range(80))


# --- the script ---------------------------------------------------------------------------


def script_environment():
    paths = [str(Path(travok.__file__).resolve().parent)]
    paths += [str(Path(entry).resolve()) for entry in os.environ.get("PYTHONPATH", "").split(os.pathsep) if entry]
    return {**os.environ, "PYTHONPATH": os.pathsep.join(paths), "MPLBACKEND": "Agg"}


def run_script(*arguments, cwd):
    return subprocess.run([sys.executable, str(SCRIPT), *arguments], cwd=cwd, env=script_environment(),
                          capture_output=True, text=True, timeout=120)


def ring_matrix(size):
    """Each element depends on the next two, the last ones wrapping round: cycles to break."""
    return [[1 if (column - row) % size in (1, 2) else 0 for column in range(size)] for row in range(size)]


def write_csv(path, names, rows):
    lines = ["," + ",".join(names)] + [name + "," + ",".join(map(str, row)) for name, row in zip(names, rows)]
    path.write_text("\n".join(lines) + "\n")


def reported(output, dsm):
    """The counts the script prints, and the feedback of the ordering it prints, counted here."""
    before = int(re.search(r"feedback marks in \w+ order: (\d+)", output).group(1))
    best = re.search(r"best ordering found: (\d+) \(fitness (\d+) = (\d+) - (\d+)\)", output)
    listing = output.split("feedback marks):\n", 1)[1].split("picture:")[0]
    order = [dsm.names.index(name) for name in re.split(r",\s*", listing.strip())]
    return before, [int(value) for value in best.groups()], feedback_count(dsm, order)


@pytest.fixture
def ring_csv(tmp_path):
    names = [f"part{index:02}" for index in range(12)]
    path = tmp_path / "ring.csv"
    write_csv(path, names, ring_matrix(12))
    return path, Dsm(tuple(names), tuple(tuple(bool(cell) for cell in row) for row in ring_matrix(12)))


@pytest.mark.parametrize(
    "option, partition_lines",
    [
        ([], "partition: 1 block in dependency order, of sizes 12\nfeedback marks inside blocks: "),
        (["--no-partition"], None),
    ],
    ids=["partitioned", "whole"],
)
def test_script_reports_counts_it_can_back_up(ring_csv, tmp_path, option, partition_lines):
    path, dsm = ring_csv
    done = run_script("--csv", str(path), "--chromosomes", "10", "--generations", "5", *option, cwd=tmp_path)
    assert done.returncode == 0, done.stderr
    assert "size: 12 elements, 24 marks" in done.stdout
    before, (feedback, fitness, pairs, subtracted), recounted = reported(done.stdout, dsm)
    assert before == feedback_count(dsm, range(12)) == 21
    assert (pairs, subtracted, fitness) == (66, feedback, 66 - feedback)
    assert recounted == feedback
    assert re.search(r"sequence_sga: 10 chromosomes, 5 generations in \d+\.\d\d s", done.stdout)
    if partition_lines is None:
        assert "partition" not in done.stdout
    else:
        assert partition_lines in done.stdout


def test_script_sequences_each_block_on_its_own(tmp_path):
    # A ring of 6 and a ring of 5 that depends on it, a mutual pair, and loose elements between them.
    size = 16
    rows = [[0] * size for _ in range(size)]
    for first, length in ((2, 6), (9, 5)):
        for offset, row in enumerate(ring_matrix(length)):
            rows[first + offset][first:first + length] = row
    for row, column in ((9, 3), (14, 15), (15, 14), (14, 12), (8, 13), (2, 1)):
        rows[row][column] = 1
    names = [f"el{index:02}" for index in range(size)]
    path = tmp_path / "blocks.csv"
    write_csv(path, names, rows)
    dsm = Dsm(tuple(names), tuple(tuple(bool(cell) for cell in row) for row in rows))
    done = run_script("--csv", str(path), "--chromosomes", "20", "--generations", "10", cwd=tmp_path)
    assert done.returncode == 0, done.stderr
    assert "partition: 6 blocks in dependency order, of sizes 1 ×2, 6, 5, 1, 2\n" in done.stdout
    inside = re.search(r"feedback marks inside blocks: (\d+) in a block of 6, (\d+) in a block of 5, "
                       r"1 in a block of 2; none between blocks\n", done.stdout)
    _, (feedback, _, _, _), recounted = reported(done.stdout, dsm)
    assert recounted == feedback == int(inside.group(1)) + int(inside.group(2)) + 1
    assert "(2 runs, one per block of 3 or more elements)" in done.stdout


def test_script_reads_a_library_folder(tmp_path):
    library = tmp_path / "lib"
    write_tree(library, {f"mod{index:02}.py": f"import mod{(index + 1) % 81:02}\nimport mod{(index + 7) % 81:02}\n"
                         for index in range(81)})
    done = run_script("--stdlib", str(library), "--modules", "80", "--chromosomes", "6", "--generations", "3",
                      cwd=tmp_path)
    assert done.returncode == 0, done.stderr
    assert "size: 80 elements" in done.stdout
    assert "feedback marks in alphabetical order: " in done.stdout


@pytest.mark.parametrize(
    "arguments, message",
    [
        (["--modules", "79"], "argument --modules: 79 is not at least 80 and at most 150"),
        (["--p-mutation", "1.5"], "argument --p-mutation: 1.5 is not a probability between 0 and 1"),
    ],
    ids=["too-few-modules", "probability"],
)
def test_script_refuses_bad_options(tmp_path, arguments, message):
    done = run_script(*arguments, cwd=tmp_path)
    assert done.returncode == 2
    assert done.stderr.strip().endswith(f"sequence_stdlib.py: error: {message}")


@pytest.mark.parametrize(
    "text, message",
    [
        ("0,1\n0,0,1\n", "line 2: 3 values where a square matrix of 2 rows needs 2"),
        ("0,1\n1,?\n", "line 2, column 2: '?' is not a number"),
    ],
    ids=["not-square", "not-a-number"],
)
def test_script_refuses_a_bad_matrix(tmp_path, text, message):
    path = tmp_path / "bad.csv"
    path.write_text(text)
    done = run_script("--csv", str(path), cwd=tmp_path)
    assert (done.returncode, done.stdout) == (2, "")
    assert done.stderr == f"sequence_stdlib.py: error: {path}: {message}\n"


def test_script_draws_a_png(ring_csv, tmp_path):
    pytest.importorskip("matplotlib")
    path, _ = ring_csv
    picture = tmp_path / "ring.png"
    done = run_script("--csv", str(path), "--chromosomes", "10", "--generations", "5", "--png", str(picture),
                      cwd=tmp_path)
    assert done.returncode == 0, done.stderr
    assert picture.stat().st_size > 1000
    assert picture.read_bytes()[:8] == b"\x89PNG\r\n\x1a\n"
