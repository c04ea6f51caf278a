"""Strong components and shortest paths worked here agree with SciPy's, on either side of the
sizes where the work goes to SciPy."""
import numpy as np
import pytest

import scipy_needed  # noqa: F401 - skips the module where SciPy cannot be used
from travok_dsm import graphs

# Imported once the module above has checked that SciPy loads here.
sparse = pytest.importorskip("scipy.sparse")
csgraph = pytest.importorskip("scipy.sparse.csgraph")


def random_arcs(seed):
    generator = np.random.default_rng(seed)
    size = int(generator.integers(1, 60))
    marks = generator.random((size, size)) < generator.choice([0.02, 0.06, 0.2])
    np.fill_diagonal(marks, False)
    tails, heads = np.nonzero(marks)
    return size, tails, heads, sparse.csr_array(marks.astype(np.int8))


@pytest.fixture(params=["here", "scipy"])
def where(request, monkeypatch):
    if request.param == "scipy":
        monkeypatch.setattr(graphs, "_PLAIN_ARCS", -1)
        monkeypatch.setattr(graphs, "_PLAIN_PATHS", -1)
    return request.param


@pytest.mark.parametrize("seed", range(12), ids=lambda seed: f"seed-{seed}")
def test_strong_components_match_scipy(seed, where):
    size, tails, heads, matrix = random_arcs(seed)
    count, component = graphs.strong_components(size, tails, heads)
    expected_count, expected = csgraph.connected_components(matrix, directed=True, connection="strong")
    assert count == expected_count
    # The numbering may differ; the grouping may not.
    pairs = set(zip(component.tolist(), expected.tolist(), strict=True))
    assert len(pairs) == count == len({number for number, _ in pairs})


@pytest.mark.parametrize("seed", range(12), ids=lambda seed: f"seed-{seed}")
def test_shortest_paths_match_scipy(seed, where):
    size, tails, heads, matrix = random_arcs(seed)
    distance, before = graphs.shortest_paths(size, tails, heads)
    np.testing.assert_array_equal(distance, csgraph.shortest_path(matrix, unweighted=True))
    # The element before each end is one step nearer the start, by an arc: a shortest path.
    arcs = set(zip(tails.tolist(), heads.tolist(), strict=True))
    starts, ends = np.nonzero(np.isfinite(distance) & (distance > 0))
    for start, end in zip(starts.tolist(), ends.tolist(), strict=True):
        previous = int(before[start, end])
        assert (previous, end) in arcs
        assert distance[start, previous] == distance[start, end] - 1
