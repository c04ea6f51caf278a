"""Partitioning: the blocks are the strong components, each after the blocks it depends on."""
import random

import numpy as np
import pytest

import scipy_needed  # noqa: F401 - skips the module where SciPy cannot be used
from travok_dsm import Dsm, feedback, partition


def dsm_of_arcs(size, arcs):
    return Dsm([[(row, column) in arcs for column in range(size)] for row in range(size)])


def reachable_components(marks):
    """Components by transitive closure: elements that reach each other, slow but plain."""
    size = len(marks)
    reach = [[row == column or bool(marks[row][column]) for column in range(size)] for row in range(size)]
    for middle in range(size):
        for row in range(size):
            if reach[row][middle]:
                reach[row] = [known or via for known, via in zip(reach[row], reach[middle], strict=True)]
    return {tuple(column for column in range(size) if reach[row][column] and reach[column][row])
            for row in range(size)}


def assert_dependency_order(dsm, blocks):
    place = {element: number for number, block in enumerate(blocks) for element in block}
    assert sorted(place) == list(range(dsm.size))
    rows, columns = dsm.arcs
    assert all(place[column] <= place[row] for row, column in zip(rows, columns, strict=True))


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
    assert partition(dsm_of_arcs(size, arcs)) == blocks


@pytest.mark.parametrize("seed", range(8), ids=lambda seed: f"seed-{seed}")
def test_partition_of_random_graphs(seed):
    chance = random.Random(seed)
    size = chance.randint(2, 25)
    density = chance.choice([0.03, 0.08, 0.2])
    marks = [[chance.random() < density for _ in range(size)] for _ in range(size)]
    dsm = Dsm(marks)
    blocks = partition(dsm)
    assert set(blocks) == reachable_components(marks)
    assert_dependency_order(dsm, blocks)


@pytest.mark.parametrize("seed", range(4), ids=lambda seed: f"seed-{seed}")
def test_acyclic_matrix_partitions_into_single_elements_with_no_feedback(seed):
    generator = np.random.default_rng(seed)
    size = 30
    rank = generator.permutation(size)
    # Each element depends only on elements of lower rank: no cycle, in a shuffled file order.
    dsm = Dsm((rank[None, :] < rank[:, None]) & (generator.random((size, size)) < 0.2))
    blocks = partition(dsm)
    assert all(len(block) == 1 for block in blocks)
    assert feedback(dsm, [element for block in blocks for element in block]) == 0
