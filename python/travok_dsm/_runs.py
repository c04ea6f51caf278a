"""One search run of one block, in whichever process or node runs it.

Plain data in and out, so that any executor can carry it; and nothing imported but ``travok`` and
the search module, so that a worker process starts quickly. Each run draws from its own thread's
random source, which either module seeds from the operating system in every new process and
thread.
"""

from __future__ import annotations

import math
import time
from collections.abc import Callable, Iterator
from contextlib import contextmanager
from itertools import compress
from typing import Any, TypedDict

import travok
from travok_dsm import _search

__all__ = ["RunData", "RunFault", "run"]


class RunData(TypedDict):
    """What a run returns: its best ordering (indices into the block), its fitness (FeedbackMarks:
    the pairs of the block less the feedback marks) and the fitness per recorded generation, oldest
    first (none for methods that keep no records)."""

    order: list[int]
    fitness: float
    seconds: float
    best: list[float]
    mean: list[float]


class RunFault(RuntimeError):
    """A run that an internal fault of the ``travok`` module or of the search module ended, with
    the fault's message."""


def run(method: str, cells: bytes, size: int, options: dict[str, Any], number: int) -> RunData:
    """Search an ordering of a block: ``cells`` holds its marks row by row, one byte each.

    ``number`` tells the runs of a block apart: executors that take calls with equal arguments
    for one task (a cluster's, by default) would otherwise make one run and share it.
    """
    runs: dict[str, Callable[[bytes, int, dict[str, Any]], RunData]] = {
        "memetic": _run_memetic, "sga": _run_sga}
    if method not in runs:
        raise ValueError(f"unknown method {method!r}")
    with _faults_as_run_faults():
        return runs[method](cells, size, options)


@contextmanager
def _faults_as_run_faults() -> Iterator[None]:
    try:
        yield
    except BaseException as error:
        # The internal-fault class derives from BaseException and cannot be pickled by name, so
        # it travels back from a worker as a plain exception carrying its message.
        if type(error).__name__ != "PanicException":
            raise
        raise RunFault(str(error)) from None


def _run_memetic(cells: bytes, size: int, options: dict[str, Any]) -> RunData:
    marked = list(compress(range(len(cells)), cells))
    started = time.perf_counter()
    order, marks, _, _ = _search.search(
        size, [cell // size for cell in marked], [cell % size for cell in marked],
        seconds=options["seconds"], generations=options["generations"],
        stagnation=options["stagnation"], population=options["population"],
        # A proven least feedback of the block, when the caller has one: the run ends on reaching it.
        bound=options.get("bound"))
    return {"order": order, "fitness": size * (size - 1) // 2 - marks,
            "seconds": time.perf_counter() - started, "best": [], "mean": []}


def _crossover(options: dict[str, Any]) -> Any:
    name = options["crossover"]
    if name == "Blend":
        return travok.CrossoverBlend(options["crossover_parameter"])
    if name == "SimulatedBinary":
        return travok.CrossoverSimulatedBinary(options["crossover_parameter"])
    return getattr(travok.CrossoverKinds, name)


def _run_sga(cells: bytes, size: int, options: dict[str, Any]) -> RunData:
    settings = travok.SequencingSettings(
        n_genes=size,
        p_crossover=options["p_crossover"],
        p_mutation=options["p_mutation"],
        n_chromosomes=options["chromosomes"],
        n_generations=options["generations"],
        n_records=options["records"],
        n_hall_of_fame=options["hall_of_fame"],
    )
    evaluator = travok.EvaluatorMatrix(getattr(travok.EvaluatorKinds, options["evaluator"]), cells,
                                       options["offset"])
    started = time.perf_counter()
    lineage = travok.sequence_sga(
        settings,
        travok.GeneratorKinds.RandomSequence,
        evaluator,
        travok.RecorderKinds.FitnessStatistics,
        getattr(travok.SelectorKinds, options["selector"]),
        _crossover(options),
        travok.MutatorSwap(options["p_swap"]),
        travok.ConvergenceKinds.Never,
    )
    seconds = time.perf_counter() - started
    best = lineage.hall_of_fame.chromosomes[0]
    records = lineage.records[::-1]
    return {
        "order": best.genes,
        "fitness": math.nan if best.fitness is None else best.fitness,
        "seconds": seconds,
        "best": [record.max for record in records],
        "mean": [record.mean for record in records],
    }
