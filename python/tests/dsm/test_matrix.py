"""Dsm: every kind of input gives the same matrix, bad input names its place, CSV reads back, and
feedback counts what lies above the diagonal."""
import io

import numpy as np
import pytest

from travok_dsm import Dsm, DsmError, feedback

CYCLE = [[0, 1, 0], [0, 0, 1], [1, 0, 0]]  # a depends on b, b on c, c on a
LABELS = ("a", "b", "c")


def frame(rows, index, columns):
    pandas = pytest.importorskip("pandas")
    return pandas.DataFrame(rows, index=list(index), columns=list(columns))


def graph(arcs, nodes="abc"):
    networkx = pytest.importorskip("networkx")
    made = networkx.DiGraph()
    made.add_nodes_from(nodes)
    made.add_edges_from(arcs)
    return made


# --- every input kind -----------------------------------------------------------------------


@pytest.mark.parametrize(
    "make",
    [
        lambda: Dsm(np.array(CYCLE), LABELS),
        lambda: Dsm(np.array(CYCLE, dtype=bool), LABELS),
        lambda: Dsm(np.array([[np.nan, 2.5, 0], [0, -0.0, -1], [1e-9, np.nan, 0]]), LABELS),
        lambda: Dsm(CYCLE, LABELS),
        lambda: Dsm(((None, True, ""), (False, 0, "1"), (" 7 ", None, "0.0")), LABELS),
        lambda: Dsm.from_edges([("a", "b"), ("b", "c"), ("c", "a"), ("a", "b")]),
        lambda: Dsm.from_edges([("c", "a"), ("b", "c"), ("a", "b")], labels="abc"),
        lambda: Dsm.from_graph(graph([("a", "b"), ("b", "c"), ("c", "a")])),
        lambda: Dsm.from_frame(frame(CYCLE, "abc", "abc")),
        lambda: Dsm.from_frame(frame([[0, 0, 1], [1, 0, 0], [0, 1, 0]], "abc", "cab")),
        lambda: Dsm.read_csv(io.StringIO(",a,b,c\na,0,1,0\nb,0,0,1\nc,1,0,0\n")),
    ],
    ids=["int-array", "bool-array", "nan-is-no-mark", "nested-lists", "text-none-and-bool-cells",
         "edges-in-first-seen-order", "edges-with-labels", "networkx", "pandas",
         "pandas-columns-in-another-order", "csv"],
)
def test_every_input_kind_gives_the_same_matrix(make):
    made = make()
    assert made == Dsm(CYCLE, LABELS)
    assert made.labels == LABELS
    assert made.marks.dtype == bool and made.marks.tolist() == [[bool(cell) for cell in row] for row in CYCLE]


def test_numbered_labels_and_arcs_pointing_from_the_dependent_element():
    made = Dsm.from_graph(graph([(2, 0)], nodes=[2, 0, 1]))
    assert made.labels == ("2", "0", "1")
    assert made.marks[0, 1] and made.marks.sum() == 1
    assert Dsm([[0, 1], [0, 0]]).labels == ("0", "1")


def test_a_dsm_does_not_change_with_its_input():
    rows = np.array(CYCLE)
    made = Dsm(rows)
    rows[0, 0] = 1
    assert not made.marks[0, 0]
    with pytest.raises(ValueError):
        made.marks[0, 0] = True


@pytest.mark.parametrize(
    "make, message",
    [
        (lambda: Dsm([[0, 1], [1]]), "row 1 has 1 cell where a square matrix of 2 rows needs 2"),
        (lambda: Dsm([[0, 1], "ab"]), "row 1 is 'ab', not a row of cells"),
        (lambda: Dsm(np.zeros((2, 3))), "a DSM is a square 2-D matrix, not an array of shape (2, 3)"),
        (lambda: Dsm(np.zeros((0, 0))), "the matrix has no elements"),
        (lambda: Dsm([[0, 1], [1, "x"]]), "cell [1, 1]: 'x' is not a number"),
        (lambda: Dsm([[0, 1], [[1], 0]], "pq"), "cell ['q', 'p']: [1] is not a number"),
        (lambda: Dsm(CYCLE, "ab"), "2 labels for a matrix of 3 elements"),
        (lambda: Dsm(CYCLE, "aba"), "label 'a' names elements 0 and 2"),
        (lambda: Dsm.from_edges([("a", "b", "c")]),
         "edge 0: ('a', 'b', 'c') is not a pair (element, what it depends on)"),
        (lambda: Dsm.from_edges([("a", "b"), ("b", "z")], "ab"), "edge 1 ('b', 'z'): 'z' is not one of the labels"),
        (lambda: Dsm.from_edges([]), "the matrix has no elements: no edges and no labels"),
        (lambda: Dsm.from_graph(pytest.importorskip("networkx").Graph([(1, 2)])),
         "a networkx DiGraph is needed (arc u -> v: u depends on v), not Graph"),
        (lambda: Dsm.from_frame(frame(CYCLE, "abc", "abd")), "column 'd' is not a label of the index"),
        (lambda: Dsm.from_frame(frame([[0, 1], [1, 0], [0, 0]], "abc", "ab")), "row 'c' has no column"),
        (lambda: Dsm.from_frame(frame([[0, "y"], [1, 0]], "ab", "ab")), "cell ['a', 'b']: 'y' is not a number"),
        (lambda: Dsm.from_frame(CYCLE), "a pandas DataFrame is needed, not list"),
    ],
    ids=["ragged-rows", "text-row", "not-square", "empty", "text-cell", "labelled-list-cell", "label-count",
         "duplicate-label", "edge-not-a-pair", "edge-unknown-label", "no-edges", "undirected-graph",
         "frame-columns-differ", "frame-missing-column", "frame-text-cell", "not-a-frame"],
)
def test_bad_input_is_refused_with_its_place(make, message):
    with pytest.raises(DsmError) as caught:
        make()
    assert str(caught.value) == message


# --- CSV ------------------------------------------------------------------------------------


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
    read = Dsm.read_csv(io.StringIO(text))
    assert read == Dsm(CYCLE, names)


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
        ("a,0,1\n\na,1,0\n", "line 3: label 'a' is also on line 1"),
        ("p,q,p\n0,1,0\n0,0,1\n1,0,0\n", "line 1, column 3: label 'p' is also in column 1"),
    ],
    ids=["long-row", "more-rows-than-columns", "short-row-after-blank-line", "header-length", "letter-cell",
         "word-cell-after-names", "blank-file", "header-only", "names-column-repeats", "header-repeats"],
)
def test_csv_errors_name_the_line(text, message):
    with pytest.raises(DsmError) as caught:
        Dsm.read_csv(io.StringIO(text))
    assert str(caught.value) == message


@pytest.mark.parametrize(
    "labels", [("alpha", "be,ta", 'ga"mma'), ("0", "1", "2")], ids=["named-with-quoting", "numbered"])
def test_csv_reads_back_what_was_written(tmp_path, labels):
    made = Dsm([[1, 1, 0], [0, 0, 1], [1, 0, 0]], labels)  # the diagonal mark travels too
    made.to_csv(tmp_path / "m.csv")
    assert Dsm.read_csv(tmp_path / "m.csv") == made
    assert Dsm.read_csv(str(tmp_path / "m.csv")) == made


@pytest.mark.parametrize(
    "labels, message",
    [
        (("a", "2", "c"), "label '2' cannot be written to a CSV file: it reads as a number"),
        (("a", " b", "c"), "label ' b' cannot be written to a CSV file: reading strips its surrounding spaces"),
        (("a", "", "c"), "label '' cannot be written to a CSV file: it is blank"),
    ],
    ids=["number", "spaces", "blank"],
)
def test_csv_refuses_labels_that_would_not_read_back(labels, message):
    with pytest.raises(DsmError) as caught:
        Dsm(CYCLE, labels).to_csv(io.StringIO())
    assert str(caught.value) == message


# --- feedback -------------------------------------------------------------------------------


@pytest.mark.parametrize(
    "rows, order, count",
    [
        (CYCLE, [0, 1, 2], 2),
        (CYCLE, [2, 1, 0], 1),
        (CYCLE, [1, 2, 0], 2),
        (CYCLE, ["a", "c", "b"], 1),
        ([[0, 0, 0], [1, 0, 0], [0, 1, 0]], [0, 1, 2], 0),
        ([[0, 0, 0], [1, 0, 0], [0, 1, 0]], [2, 1, 0], 2),
        ([[1, 0], [1, 1]], [0, 1], 0),
        ([[1, 0], [1, 1]], [1, 0], 1),
    ],
    ids=["cycle-file-order", "cycle-reversed", "cycle-rotated", "by-labels", "chain-dependencies-first",
         "chain-reversed", "diagonal-never-counts", "diagonal-never-counts-reversed"],
)
def test_feedback(rows, order, count):
    assert feedback(Dsm(rows, LABELS[:len(rows)]), order) == count


@pytest.mark.parametrize(
    "order, message",
    [
        ([0, 0, 2], "the ordering holds element 0 ('a') twice"),
        ([0, 1], "the ordering has 2 elements; the matrix has 3"),
        ([0, 1, 3], "element 3 is outside the matrix (0 to 2)"),
        (["a", "b", "d"], "'d' is not a label of the matrix"),
        ([0, 1, 2.0], "2.0 is neither an index nor a label"),
    ],
    ids=["twice", "short", "outside", "unknown-label", "float"],
)
def test_feedback_refuses_what_is_not_an_ordering(order, message):
    with pytest.raises(DsmError) as caught:
        feedback(Dsm(CYCLE, LABELS), order)
    assert str(caught.value) == message


def test_reordered_matrix_follows_the_ordering():
    made = Dsm(CYCLE, LABELS).reordered(["c", "b", "a"])
    assert made.labels == ("c", "b", "a")
    assert feedback(made, range(3)) == feedback(Dsm(CYCLE, LABELS), [2, 1, 0])
    assert made.marks.tolist() == [[False, False, True], [True, False, False], [False, True, False]]
