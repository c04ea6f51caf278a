"""The import graph of a library folder: candidates, the kept modules and their arcs."""
import pytest

from travok_dsm.stdlib import stdlib_candidates, stdlib_dsm

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


@pytest.fixture
def library(tmp_path):
    for name, text in FAKE_LIBRARY.items():
        path = tmp_path / name
        path.parent.mkdir(parents=True, exist_ok=True)
        path.write_text(text)
    return tmp_path


def test_candidates_leave_out_tests_and_tools(library):
    candidates = stdlib_candidates(library)
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
def test_library_matrix(library, count, names, arcs):
    made = stdlib_dsm(count, library)
    assert made.labels == names
    assert set(zip(*(axis.tolist() for axis in made.arcs), strict=True)) == arcs


def test_library_matrix_refuses_more_modules_than_candidates(library):
    with pytest.raises(ValueError) as caught:
        stdlib_dsm(6, library)
    assert str(caught.value) == f"{library} has 5 candidate modules; cannot keep 6"


def test_running_interpreters_library():
    made = stdlib_dsm(80)
    assert made.size == 80
    assert list(made.labels) == sorted(set(made.labels))
    assert {"os", "re", "typing"} <= set(made.labels)
    assert not made.marks.diagonal().any()
    # Every kept module imports or is imported by another: the ranking keeps the connected ones.
    assert set(made.arcs[0].tolist()) | set(made.arcs[1].tolist()) == set(range(80))
