"""`sequence`: partition a matrix, search each block, check and combine the orderings found."""

from __future__ import annotations

import math
import os
import sys
import time
from collections.abc import Sequence
from itertools import permutations
from typing import TYPE_CHECKING, Any

import numpy as np

from travok_dsm._runs import RunData
from travok_dsm.blocks import partition as strong_blocks
from travok_dsm.errors import ConsistencyError
from travok_dsm.exact import ExactResult
from travok_dsm.matrix import Dsm, feedback
from travok_dsm.options import Options, options_for
from travok_dsm.parallel import Call, Progress, default_workers, run_calls
from travok_dsm.proving import PROVEN_FIRST, ExactBudget, with_proof
from travok_dsm.result import Block, Result, Run

if TYPE_CHECKING:
    from concurrent.futures import Executor

__all__ = ["SEARCHED_BLOCK", "as_dsm", "sequence"]

# Smaller blocks are ordered by trying every ordering: one for a single element, two for a pair.
SEARCHED_BLOCK = 3
# The estimated seconds of runs in this process above which a pool of workers is started.
_WORTH_A_POOL = 1.0
# About how long a memetic run takes to reach a least feedback proven beforehand: measured on
# blocks of 76 and 116 elements, 0.002 to 0.12 s, and now and then its whole budget.
_REACHING_A_BOUND = 0.1


def as_dsm(matrix: object) -> Dsm:
    """A Dsm from any input `sequence` takes: a Dsm, a CSV file's path, a pandas DataFrame, a
    networkx DiGraph, or anything ``Dsm(matrix)`` takes (arrays and nested sequences)."""
    if isinstance(matrix, Dsm):
        return matrix
    if isinstance(matrix, (str, os.PathLike)):
        return Dsm.read_csv(matrix)
    # Tested only when their libraries are already loaded: the input cannot be theirs otherwise.
    pandas = sys.modules.get("pandas")
    if pandas is not None and isinstance(matrix, pandas.DataFrame):
        return Dsm.from_frame(matrix)
    networkx = sys.modules.get("networkx")
    if networkx is not None and isinstance(matrix, networkx.Graph):
        return Dsm.from_graph(matrix)
    return Dsm(matrix)


def sequence(
    matrix: object,
    *,
    method: str = "memetic",
    options: Options | None = None,
    restarts: int | None = None,
    partition: bool = True,
    executor: Executor | None = None,
    workers: int | None = None,
    progress: Progress | None = None,
    exact: bool = True,
    exact_seconds: float = 1.0,
) -> Result:
    """Find an ordering of a matrix's elements with few feedback marks.

    ``matrix`` is a Dsm or anything `as_dsm` turns into one. With ``partition`` (the default) the
    matrix is split into blocks of mutually dependent elements in dependency order, which leaves
    every feedback mark inside a block and loses nothing; each block of three or more elements is
    searched on its own. ``method`` names the search: ``"memetic"`` (the default), a memetic search
    that improves every ordering it makes by local moves and keeps the best, with `MemeticOptions`;
    or ``"sga"``, the genetic algorithm of the ``travok`` module, with `SgaOptions`. ``options``
    are the method's options (by default scaled to each block's size).

    Each block is searched ``restarts`` times and the best run kept (default: one run per worker,
    or per core). The runs go to ``executor``, any ``concurrent.futures.Executor`` (a process
    pool, a cluster's executor), or else to a pool of ``workers`` processes (default: one per
    core, once the runs would take about a second or more in this process; a pool takes a few
    tenths of a second to start); with one worker, or a single run, they run in this process.
    The default pool starts its processes fresh (never forked from this one), so that each draws
    its own random stream. ``progress(done, total, seconds)`` is called after every run and every
    second while runs are out. Ctrl-C cancels the runs not yet started, ends the default pool's
    processes, and raises KeyboardInterrupt.

    With ``exact`` (the default), an exact solver (integer programming) bounds each searched
    block's feedback from below, within about ``exact_seconds`` in all for the matrix: the blocks
    take their turns largest first, each given the time left in proportion to the square of its
    size against the blocks still to come, so that what one block leaves unused goes to the next.
    Memetic blocks of 40 elements or more are bounded before their search, and a bound proven to be
    the least feedback ends their runs as soon as they reach it (often within a few hundredths of a
    second, where they would otherwise use their whole budget); the other blocks are bounded after
    it, which stops as soon as the bound meets the feedback found. The solver's ordering is taken
    when it is better than every run's. Each block's ``lower_bound`` is then that bound (a block
    of one or two elements, ordered by trying every ordering, has its own feedback), and the
    result's is their sum. ``exact=False`` skips the step and leaves every ``lower_bound`` None.
    """
    started = time.perf_counter()
    dsm = as_dsm(matrix)
    chosen = options_for(method, options)
    if executor is not None and workers is not None:
        raise ValueError("give an executor or a number of workers, not both")
    if workers is not None and workers < 1:
        raise ValueError(f"workers must be at least 1, not {workers}")
    if restarts is None:
        restarts = workers if workers is not None else default_workers()
    if restarts < 1:
        raise ValueError(f"restarts must be at least 1, not {restarts}")
    if (isinstance(exact_seconds, bool) or not isinstance(exact_seconds, (int, float))
            or not 0.0 <= exact_seconds < math.inf):
        raise ValueError(f"exact_seconds must be a number of at least 0, not {exact_seconds!r}")
    parts = strong_blocks(dsm) if partition else [tuple(range(dsm.size))]
    searched = [number for number, part in enumerate(parts) if len(part) >= SEARCHED_BLOCK]
    # The largest blocks go out first, so that the last runs to finish are short ones.
    searched.sort(key=lambda number: -len(parts[number]))
    settings = {number: chosen.for_block(len(parts[number])) for number in searched}
    cells = {number: _cells(dsm, parts[number]) for number in searched}
    budget = ExactBudget(exact_seconds, [len(parts[number]) for number in searched]) \
        if exact else None
    proofs: dict[int, ExactResult] = {}
    if budget is not None and method == "memetic":
        for number in searched:
            if len(parts[number]) >= PROVEN_FIRST:
                proofs[number] = budget.solve(dsm, parts[number])
                if proofs[number].proven:
                    # The least feedback is known: a run that reaches it has nothing left to find.
                    settings[number]["bound"] = proofs[number].bound
    calls: list[Call] = [
        (method, cells[number], len(parts[number]), settings[number], restart)
        for number in searched
        for restart in range(restarts)
    ]
    if executor is None:
        if workers is None:
            # Starting worker processes takes a few tenths of a second: not worth it for less.
            alone = sum(_REACHING_A_BOUND if "bound" in settings[number]
                        else chosen.expected_seconds(len(parts[number]))
                        for number in searched) * restarts
            workers = 1 if alone < _WORTH_A_POOL else default_workers()
        workers = max(1, min(workers, len(calls)))
    found = run_calls(calls, executor=executor, workers=workers, progress=progress)
    runs_of = {number: found[place * restarts:(place + 1) * restarts]
               for place, number in enumerate(searched)}
    blocks = [
        _searched_block(dsm, part, runs_of[number], settings[number])
        if number in runs_of else _small_block(dsm, part, exact)
        for number, part in enumerate(parts)
    ]
    if budget is not None:
        for number in searched:
            proof = proofs.get(number)
            if proof is None:
                proof = budget.solve(dsm, parts[number], upper=blocks[number].feedback)
            blocks[number] = with_proof(dsm, parts[number], blocks[number], proof)
    indices = tuple(index for block in blocks for index in block.indices)
    total = feedback(dsm, indices)
    inside = sum(block.feedback for block in blocks)
    if total != inside:
        raise ConsistencyError(
            f"the blocks hold {inside} feedback marks, but the ordering they make has {total}")
    return Result(dsm=dsm, indices=indices, feedback=total, seconds=time.perf_counter() - started,
                  blocks=tuple(blocks), method=method, options=chosen, restarts=restarts,
                  partitioned=partition, workers=workers, exact=exact)


def _cells(dsm: Dsm, part: Sequence[int]) -> bytes:
    return dsm.marks[np.ix_(part, part)].astype(np.uint8).tobytes()


def _small_block(dsm: Dsm, part: tuple[int, ...], exact: bool) -> Block:
    best = min(permutations(part), key=lambda order: _feedback_inside(dsm, order))
    marks = _feedback_inside(dsm, best)
    # Every ordering was tried: the least feedback is known without a solver.
    return Block(indices=best, labels=tuple(dsm.labels[index] for index in best), feedback=marks,
                 lower_bound=marks if exact else None, runs=(), settings=None)


def _feedback_inside(dsm: Dsm, order: Sequence[int]) -> int:
    return feedback(dsm.sub(order), range(len(order)))


def _searched_block(
    dsm: Dsm, part: tuple[int, ...], found: list[RunData], settings: dict[str, Any]
) -> Block:
    runs = tuple(_checked_run(dsm, part, data, settings, number)
                 for number, data in enumerate(found))
    best = min(runs, key=lambda run: run.feedback)
    return Block(indices=best.order, labels=tuple(dsm.labels[index] for index in best.order),
                 feedback=best.feedback, lower_bound=None, runs=runs, settings=settings)


def _checked_run(
    dsm: Dsm, part: tuple[int, ...], data: RunData, settings: dict[str, Any], number: int
) -> Run:
    """A run's result in the whole matrix's indices, after checking it against our own count."""
    local = data["order"]
    size = len(part)
    if sorted(local) != list(range(size)):
        raise ConsistencyError(
            f"run {number} of a block of {size} elements returned {local}, which is not an "
            "ordering of the block" + (f" (crossover {settings['crossover']!r} does not keep "
                                       "orderings; IPX does)" if "crossover" in settings else ""))
    order = tuple(part[place] for place in local)
    marks = _feedback_inside(dsm, order)
    # Other evaluators score something else than feedback marks: nothing to compare.
    if settings.get("evaluator", "FeedbackMarks") == "FeedbackMarks":
        expected = size * (size - 1) // 2 - marks + (settings.get("offset") or 0)
        if data["fitness"] != expected:
            raise ConsistencyError(
                f"run {number} of a block of {size} elements found an ordering with {marks} "
                f"feedback marks, so its fitness should be {expected}, but the run reports "
                f"{data['fitness']}")
    return Run(order=order, feedback=marks, seconds=data["seconds"], best=tuple(data["best"]),
               mean=tuple(data["mean"]))
