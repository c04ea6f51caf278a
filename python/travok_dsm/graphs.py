"""Strong components and shortest paths of dependency graphs, given as arrays of arc tails and heads.

Small graphs, the usual ones, are worked here in plain Python and NumPy: importing SciPy's
sparse-graph module takes about 0.1 s, more than the work itself on a few hundred elements. Larger
graphs go to SciPy, whose loops run in compiled code.
"""

from __future__ import annotations

from collections.abc import Iterator
from typing import TYPE_CHECKING

import numpy as np
from numpy.typing import NDArray

if TYPE_CHECKING:
    from scipy.sparse import csr_array

__all__ = ["reaches", "shortest_paths", "strong_components"]

# Arcs up to which strong components are found here: about 0.01 s of Python at the limit.
_PLAIN_ARCS = 50_000
# Elements up to which shortest paths are found here: each step of the search multiplies two
# dense matrices of this side (0.04 s in all at the limit with 3000 arcs, SciPy 0.008 s once
# loaded).
_PLAIN_PATHS = 300


def strong_components(size: int, tails: NDArray[np.intp],
                      heads: NDArray[np.intp]) -> tuple[int, NDArray[np.intp]]:
    """The number of strongly connected components and each element's component (numbered from 0
    in no particular order)."""
    if len(tails) > _PLAIN_ARCS:
        from scipy.sparse.csgraph import connected_components

        count, component = connected_components(_sparse(size, tails, heads), directed=True,
                                                connection="strong")
        return int(count), component
    return _tarjan(size, tails, heads)


def _tarjan(size: int, tails: NDArray[np.intp],
            heads: NDArray[np.intp]) -> tuple[int, NDArray[np.intp]]:
    """Tarjan's algorithm, its depth-first search kept on an explicit stack."""
    after: list[list[int]] = [[] for _ in range(size)]
    for tail, head in zip(tails.tolist(), heads.tolist(), strict=True):
        after[tail].append(head)
    found = [-1] * size  # the order the search reached each element in
    low = [0] * size  # the earliest element still open that each one reaches
    component = [-1] * size
    open_elements: list[int] = []
    count = reached = 0
    for root in range(size):
        if found[root] >= 0:
            continue
        found[root] = low[root] = reached
        reached += 1
        open_elements.append(root)
        path: list[tuple[int, Iterator[int]]] = [(root, iter(after[root]))]
        while path:
            element, rest = path[-1]
            for following in rest:
                if found[following] < 0:
                    found[following] = low[following] = reached
                    reached += 1
                    open_elements.append(following)
                    path.append((following, iter(after[following])))
                    break
                if component[following] < 0:
                    low[element] = min(low[element], found[following])
            else:
                path.pop()
                if path:
                    parent = path[-1][0]
                    low[parent] = min(low[parent], low[element])
                if low[element] == found[element]:
                    while True:
                        member = open_elements.pop()
                        component[member] = count
                        if member == element:
                            break
                    count += 1
    return count, np.array(component, dtype=np.intp)


def reaches(after: list[list[int]], start: int, goal: int) -> bool:
    """Whether a path leads from ``start`` to ``goal``, ``after[element]`` listing the heads of
    the arcs from each element."""
    seen = {start}
    pending = [start]
    while pending:
        for following in after[pending.pop()]:
            if following == goal:
                return True
            if following not in seen:
                seen.add(following)
                pending.append(following)
    return start == goal


def shortest_paths(size: int, tails: NDArray[np.intp],
                   heads: NDArray[np.intp]) -> tuple[NDArray[np.float64], NDArray[np.intp]]:
    """The fewest arcs from each element to each other (inf where there is no path), and the
    element before the last on one such path (``before[i, j]``: the one before j on the way from
    i; meaningless where there is no path)."""
    if size > _PLAIN_PATHS:
        from scipy.sparse.csgraph import shortest_path

        distance, before = shortest_path(_sparse(size, tails, heads), unweighted=True,
                                         return_predecessors=True)
        return distance, before
    adjacency = np.zeros((size, size), dtype=np.float32)
    adjacency[tails, heads] = 1.0
    into = (adjacency > 0).T  # into[j, i]: an arc from i to j
    distance = np.full((size, size), np.inf)
    np.fill_diagonal(distance, 0.0)
    before = np.full((size, size), -1, dtype=np.intp)
    frontier = np.eye(size, dtype=bool)
    steps = 0
    while True:
        # Breadth first from every element at once: one product takes every frontier a step on.
        starts, ends = np.nonzero((frontier.astype(np.float32) @ adjacency > 0)
                                  & np.isinf(distance))
        if len(starts) == 0:
            return distance, before
        steps += 1
        distance[starts, ends] = steps
        # The step came from an element of the start's frontier with an arc to the end.
        before[starts, ends] = np.argmax(frontier[starts] & into[ends], axis=1)
        frontier = np.zeros((size, size), dtype=bool)
        frontier[starts, ends] = True


def _sparse(size: int, tails: NDArray[np.intp], heads: NDArray[np.intp]) -> csr_array:
    from scipy.sparse import csr_array

    return csr_array((np.ones(len(tails), dtype=np.int64), (tails, heads)), shape=(size, size))
