"""One search run of one block, in whichever process or node runs it.

Plain data in and out, so that any executor can carry it; and nothing imported but ``travok``,
so that a worker process starts quickly. Each run draws from its own thread's random source,
which the ``travok`` module seeds from the operating system in every new process and thread.
"""

from __future__ import annotations

import math
import time
from typing import Any, TypedDict

import travok

__all__ = ["RunData", "RunFault", "run"]


class RunData(TypedDict):
    """What a run returns: its best ordering (indices into the block) and the fitness per
    recorded generation, oldest first."""

    order: list[int]
    fitness: float
    seconds: float
    best: list[float]
    mean: list[float]


class RunFault(RuntimeError):
    """A run that the ``travok`` module ended with an internal fault, with the fault's message."""


def run(method: str, cells: bytes, size: int, options: dict[str, Any], number: int) -> RunData:
    """Search an ordering of a block: ``cells`` holds its marks row by row, one byte each.

    ``number`` tells the runs of a block apart: executors that take calls with equal arguments
    for one task (a cluster's, by default) would otherwise make one run and share it.
    """
    if method == "sga":
        return _run_sga(cells, size, options)
    raise ValueError(f"unknown method {method!r}")


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
    try:
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
    except BaseException as error:
        # The internal-fault class derives from BaseException and cannot be pickled by name, so
        # it travels back from a worker as a plain exception carrying its message.
        if type(error).__name__ != "PanicException":
            raise
        raise RunFault(str(error)) from None
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
