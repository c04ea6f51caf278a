"""A lower bound on a matrix's feedback, and the least-feedback ordering when it can be proven.

The least feedback of a matrix is the size of a minimum feedback arc set of its dependency graph:
the fewest marks whose removal leaves no cycle, since the remaining marks can then all be put
below the diagonal by a topological order. It is found as an integer program, one 0/1 variable
per mark (1: the mark is given up as feedback) and one constraint per cycle (at least one of its
marks is given up). There are far too many cycles to list, so they are added as they are needed:
solve with the cycles known so far, look for cycles among the marks kept, add them, solve again.
Each solution of the program with fewer cycles gives a bound that no ordering can beat; once the
marks kept hold no cycle, that bound is the minimum and their topological order reaches it.
"""

from __future__ import annotations

import importlib
import math
import sys
import time
from collections import Counter
from dataclasses import dataclass
from graphlib import TopologicalSorter
from typing import TYPE_CHECKING

import numpy as np
from numpy.typing import NDArray

from travok_dsm.errors import ConsistencyError
from travok_dsm.graphs import shortest_paths, strong_components
from travok_dsm.matrix import Dsm, feedback

if TYPE_CHECKING:
    from scipy.sparse import csr_array

__all__ = ["ExactResult", "solve"]

# Cycles added per round, at most: the shortest first, as they cut the most per constraint.
_CYCLES_PER_ROUND = 500
# The share of the budget a greedy ordering may take: it proves small blocks in milliseconds, but
# on blocks of hundreds of elements it would take the time the solver needs to raise the bound.
_GREEDY_SHARE = 0.1
# Objective values are whole numbers; the solver's bounds carry rounding noise.
_NOISE = 1e-6


@dataclass(frozen=True)
class ExactResult:
    """What `solve` proved about a matrix's least feedback.

    ``bound``: no ordering has fewer feedback marks. ``proven``: the bound is the least feedback
    (reached by ``ordering``, or by the ordering whose feedback was given as ``upper``).
    ``ordering``: an ordering of the matrix's elements (indices) with ``bound`` feedback marks,
    given only when it was proven optimal and has fewer marks than ``upper``. ``seconds``: the
    time spent.
    """

    bound: int
    proven: bool
    ordering: tuple[int, ...] | None
    seconds: float


def solve(dsm: Dsm, *, seconds: float = 1.0, upper: int | None = None) -> ExactResult:
    """Bound the feedback of ``dsm`` from below, within about ``seconds`` of wall time (not
    counting the first load of SciPy's solver in a process).

    ``upper`` is the feedback of an ordering already known (say, found by a search): the work
    stops as soon as the bound meets it, and an ordering is returned only if it is better. When
    time runs out the best bound proven so far is returned, with ``proven`` false (unless it
    meets ``upper``). Marks on the diagonal never count; a pair of elements marked both ways
    always costs one mark.
    """
    started = time.perf_counter()
    deadline = started + seconds
    tails, heads = _cyclic_arcs(dsm)
    limit = math.inf if upper is None else upper
    bound = 0
    ordering: tuple[int, ...] | None = None
    cycles: list[NDArray[np.intp]] = []
    removed: NDArray[np.bool_] | None = np.zeros(len(tails), dtype=bool)
    while removed is not None and bound < limit:
        kept = np.flatnonzero(~removed)
        if _acyclic(dsm.size, tails[kept], heads[kept]):
            candidate = _topological(dsm, tails[removed], heads[removed])
            marks = feedback(dsm, candidate)
            given_up = int(np.count_nonzero(removed))
            if not bound <= marks <= given_up:
                raise ConsistencyError(
                    f"the exact solver's ordering has {marks} feedback marks, but its solution "
                    f"gives up {given_up} and its bound is {bound}")
            if marks < limit:
                ordering, limit = candidate, marks
            break
        if time.perf_counter() >= deadline:
            break
        found = _cycles(dsm.size, tails[kept], heads[kept], kept)
        if not cycles:
            # Cycles sharing no mark each cost a mark of their own, and marks given up greedily
            # make an ordering: where the two meet (as they often do on import graphs), the
            # least feedback is proven before the solver is even loaded.
            bound = _disjoint(found)
            greedy = (_greedy(dsm, tails, heads, found, started + _GREEDY_SHARE * seconds)
                      if bound < limit else None)
            if greedy is not None:
                marks = feedback(dsm, greedy)
                if marks < bound:
                    raise ConsistencyError(
                        f"a greedy ordering has {marks} feedback marks, but {bound} cycles that "
                        "share no mark need one each")
                if marks < limit:
                    ordering, limit = greedy, marks
            if bound >= limit:
                break
        cycles.extend(found)
        if "scipy.optimize" not in sys.modules:
            # Loading the solver takes a few tenths of a second, once per process: not counted.
            loading = time.perf_counter()
            importlib.import_module("scipy.optimize")
            deadline += time.perf_counter() - loading
        remaining = deadline - time.perf_counter()
        if remaining <= 0:
            break
        relaxed_bound, removed = _solve_relaxed(len(tails), cycles, remaining)
        bound = max(bound, relaxed_bound)
    if bound < limit or (upper is not None and bound >= upper):
        # Only an ordering proven least, and better than the one known, is returned.
        ordering = None
    return ExactResult(bound=bound, proven=bound >= limit, ordering=ordering,
                       seconds=time.perf_counter() - started)


def _cyclic_arcs(dsm: Dsm) -> tuple[NDArray[np.intp], NDArray[np.intp]]:
    """The marks that lie on some cycle, as arcs from the needed element to the needing one.

    Marks between strong components are never feedback in a good ordering, so only marks inside a
    component get a variable."""
    rows, columns = dsm.arcs
    _, component = strong_components(dsm.size, columns, rows)
    inside = component[rows] == component[columns]
    return columns[inside], rows[inside]


def _ones(shape: tuple[int, int], rows: NDArray[np.intp], columns: NDArray[np.intp]) -> csr_array:
    from scipy.sparse import csr_array

    return csr_array((np.ones(len(rows), dtype=np.int64), (rows, columns)), shape=shape)


def _acyclic(size: int, tails: NDArray[np.intp], heads: NDArray[np.intp]) -> bool:
    components, _ = strong_components(size, tails, heads)
    return components == size


def _cycles(size: int, tails: NDArray[np.intp], heads: NDArray[np.intp],
            numbers: NDArray[np.intp]) -> list[NDArray[np.intp]]:
    """Short cycles among the given arcs (``numbers`` are their variables), as arrays of
    variables: for every arc, the shortest path back from its head to its tail closes the
    shortest cycle through it."""
    variable = dict(zip(zip(tails.tolist(), heads.tolist(), strict=True), numbers.tolist(),
                        strict=True))
    distance, before = shortest_paths(size, tails, heads)
    back = distance[heads, tails]
    closing = np.flatnonzero(np.isfinite(back))
    closing = closing[np.argsort(back[closing], kind="stable")]
    seen: set[tuple[int, ...]] = set()
    found: list[NDArray[np.intp]] = []
    for arc in closing.tolist():
        tail, head = int(tails[arc]), int(heads[arc])
        path = [variable[tail, head]]
        step = tail
        while step != head:
            previous = int(before[head, step])
            path.append(variable[previous, step])
            step = previous
        key = tuple(sorted(path))
        if key in seen:
            continue
        seen.add(key)
        found.append(np.array(key, dtype=np.intp))
        if len(found) == _CYCLES_PER_ROUND:
            break
    return found


def _disjoint(cycles: list[NDArray[np.intp]]) -> int:
    """The number of cycles taken, shortest first, that share no mark with one taken before."""
    used: set[int] = set()
    taken = 0
    for cycle in sorted(cycles, key=len):
        marks = cycle.tolist()
        if used.isdisjoint(marks):
            used.update(marks)
            taken += 1
    return taken


def _greedy(dsm: Dsm, tails: NDArray[np.intp], heads: NDArray[np.intp],
            found: list[NDArray[np.intp]], deadline: float) -> tuple[int, ...] | None:
    """An ordering that gives up, round after round, the mark on the most cycles still unbroken,
    until the marks kept hold no cycle (``found``: the cycles among all arcs); None when time runs
    out first."""
    removed = np.zeros(len(tails), dtype=bool)
    while True:
        unbroken = [set(cycle.tolist()) for cycle in found]
        while unbroken:
            if time.perf_counter() >= deadline:
                return None
            mark, _ = Counter(mark for cycle in unbroken for mark in cycle).most_common(1)[0]
            removed[mark] = True
            unbroken = [cycle for cycle in unbroken if mark not in cycle]
        kept = np.flatnonzero(~removed)
        if _acyclic(dsm.size, tails[kept], heads[kept]):
            break
        found = _cycles(dsm.size, tails[kept], heads[kept], kept)
    # A mark given up early may close no cycle once the later ones are given up: it is kept back
    # when the marks kept stay free of cycles with it (as many as time allows: the marks given up
    # break every cycle either way).
    for mark in np.flatnonzero(removed).tolist():
        if time.perf_counter() >= deadline:
            break
        removed[mark] = False
        kept = np.flatnonzero(~removed)
        if not _acyclic(dsm.size, tails[kept], heads[kept]):
            removed[mark] = True
    return _topological(dsm, tails[removed], heads[removed])


def _solve_relaxed(count: int, cycles: list[NDArray[np.intp]],
                   seconds: float) -> tuple[int, NDArray[np.bool_] | None]:
    """Solve the program with the cycles known so far: its bound (0 when the solver stopped
    before proving one), and the marks its solution gives up when it was solved to the end
    (None when time ran out first)."""
    from scipy.optimize import LinearConstraint, milp

    lengths = [len(cycle) for cycle in cycles]
    rows = np.repeat(np.arange(len(cycles)), lengths)
    matrix = _ones((len(cycles), count), rows, np.concatenate(cycles))
    outcome = milp(np.ones(count), integrality=np.ones(count),
                   bounds=(0, 1), constraints=LinearConstraint(matrix, lb=1, ub=np.inf),
                   options={"time_limit": seconds, "mip_rel_gap": 0})
    dual = getattr(outcome, "mip_dual_bound", None)
    bound = math.ceil(dual - _NOISE) if dual is not None and np.isfinite(dual) else 0
    if outcome.status != 0 or outcome.x is None:
        return bound, None
    return bound, np.asarray(outcome.x > 0.5)


def _topological(dsm: Dsm, tails: NDArray[np.intp], heads: NDArray[np.intp]) -> tuple[int, ...]:
    """The elements in an order that puts every needed element before the ones needing it,
    except for the given arcs (given up as feedback), keeping the matrix's own order where the
    marks leave a choice."""
    rows, columns = dsm.arcs
    given_up = set(zip(tails.tolist(), heads.tolist(), strict=True))
    needs: dict[int, set[int]] = {element: set() for element in range(dsm.size)}
    for row, column in zip(rows.tolist(), columns.tolist(), strict=True):
        if (column, row) not in given_up:
            needs[row].add(column)
    sorter = TopologicalSorter(needs)
    sorter.prepare()
    order: list[int] = []
    while sorter.is_active():
        for element in sorted(sorter.get_ready()):
            order.append(element)
            sorter.done(element)
    return tuple(order)
