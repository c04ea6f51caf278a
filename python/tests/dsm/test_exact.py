"""The exact step: bounds that no ordering beats, and the least feedback when proven."""
import random
from itertools import permutations
from pathlib import Path

import numpy as np
import pytest

import scipy_needed  # noqa: F401 - skips the module where SciPy cannot be used
from travok_dsm import Dsm, exact, feedback, partition
from travok_dsm.exact import solve

DATA = Path(__file__).parent / "data"


def least_feedback(dsm):
    marks = np.asarray(dsm.marks) & ~np.eye(dsm.size, dtype=bool)
    orders = np.array(list(permutations(range(dsm.size))))
    position = np.argsort(orders, axis=1)
    rows, columns = np.nonzero(marks)
    return int((position[:, rows] < position[:, columns]).sum(axis=1).min())


@pytest.fixture(params=["greedy-first", "solver-alone"])
def greedy(request, monkeypatch):
    """Most small matrices are proven by the greedy ordering alone: the solver is tried without it
    too."""
    if request.param == "solver-alone":
        monkeypatch.setattr(exact, "_greedy", lambda *arguments: None)
    return request.param


@pytest.mark.parametrize("seed", range(10), ids=lambda seed: f"seed-{seed}")
def test_solve_matches_brute_force(seed, greedy):
    chance = random.Random(seed)
    size = chance.randint(3, 7)
    density = chance.choice([0.15, 0.35, 0.6])
    # The diagonal is marked too: it must never count.
    dsm = Dsm([[chance.random() < density for _ in range(size)] for _ in range(size)])
    least = least_feedback(dsm)

    found = solve(dsm, seconds=30)
    assert (found.bound, found.proven) == (least, True)
    assert sorted(found.ordering) == list(range(size))
    assert feedback(dsm, found.ordering) == least

    met = solve(dsm, seconds=30, upper=least)
    assert (met.bound, met.proven, met.ordering) == (least, True, None)
    beaten = solve(dsm, seconds=30, upper=least + 1)
    assert (beaten.bound, beaten.proven) == (least, True)
    assert feedback(dsm, beaten.ordering) == least


@pytest.fixture(scope="module")
def stdlib_block():
    dsm = Dsm.read_csv(DATA / "stdlib_imports_100.csv")
    return dsm.sub(max(partition(dsm), key=len))


@pytest.mark.parametrize("seconds", [0.0, 0.02, 0.1])
def test_bound_within_a_short_budget_is_never_above_the_minimum(stdlib_block, seconds):
    found = solve(stdlib_block, seconds=seconds)
    assert found.bound <= 28
    # Proven without a known ordering to meet means the solver found one.
    assert (found.ordering is not None) == found.proven
    if found.proven:
        assert feedback(stdlib_block, found.ordering) == found.bound == 28


def test_known_minimum_of_a_real_block(stdlib_block, greedy):
    assert stdlib_block.size == 76
    found = solve(stdlib_block, seconds=60)
    assert (found.bound, found.proven) == (28, True)
    assert feedback(stdlib_block, found.ordering) == 28
    assert solve(stdlib_block, seconds=60, upper=30).ordering == found.ordering
