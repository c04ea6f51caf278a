"""What `sequence` returns: the ordering found, its blocks and the runs behind them."""

from __future__ import annotations

import json
from dataclasses import dataclass
from typing import Any

from travok_dsm.matrix import Dsm
from travok_dsm.options import Options

__all__ = ["Block", "Result", "Run", "bound_note"]


@dataclass(frozen=True)
class Run:
    """One search run of a block: the best ordering it found (indices into the whole matrix), its
    feedback marks, its time, and the fitness per recorded generation, oldest first: the best and
    the mean of each generation, as the evaluator scores them (higher is better); a memetic run
    records none."""

    order: tuple[int, ...]
    feedback: int
    seconds: float
    best: tuple[float, ...]
    mean: tuple[float, ...]


@dataclass(frozen=True)
class Block:
    """A block of mutually dependent elements (or the whole matrix, unpartitioned): its elements in
    the order found, the feedback marks inside it, and the runs that searched it, the one chosen
    first among the equally good. ``runs`` is empty and ``settings`` None for a block of one or two
    elements, which is ordered by trying every ordering. ``settings`` holds the options the runs
    used, scaled to the block. ``lower_bound`` is a number of feedback marks that no ordering of
    the block goes below, proven by the exact step (None when it was skipped); when it equals
    ``feedback``, the ordering is a least one. The ordering is the exact step's own when that was
    better than every run's."""

    indices: tuple[int, ...]
    labels: tuple[str, ...]
    feedback: int
    lower_bound: int | None
    runs: tuple[Run, ...]
    settings: dict[str, Any] | None

    @property
    def size(self) -> int:
        return len(self.indices)


@dataclass(frozen=True)
class Result:
    """The ordering `sequence` found for a matrix.

    ``indices`` and ``order`` give it by index and by label; ``feedback`` counts its marks above
    the diagonal, all of them inside ``blocks`` (in dependency order). ``seconds`` is the wall time
    of the whole call. ``method``, ``options``, ``restarts`` and ``partitioned`` are the settings
    it ran with; ``workers`` is the number of processes the runs shared (1: this process alone),
    or None when they went to an executor; ``exact`` whether the exact step ran.
    """

    dsm: Dsm
    indices: tuple[int, ...]
    feedback: int
    seconds: float
    blocks: tuple[Block, ...]
    method: str
    options: Options
    restarts: int
    partitioned: bool
    workers: int | None
    exact: bool

    @property
    def order(self) -> tuple[str, ...]:
        """The labels in the order found."""
        return tuple(self.dsm.labels[index] for index in self.indices)

    @property
    def lower_bound(self) -> int | None:
        """The sum of the blocks' lower bounds, when every block has one: no ordering of the
        matrix has fewer feedback marks, as a mark between two blocks never needs to be one."""
        bounds = [block.lower_bound for block in self.blocks]
        if any(bound is None for bound in bounds):
            return None
        return sum(bound for bound in bounds if bound is not None)

    @property
    def runs(self) -> int:
        """The number of search runs made, over all blocks."""
        return sum(len(block.runs) for block in self.blocks)

    def matrix(self) -> Dsm:
        """The matrix with rows and columns in the order found."""
        return self.dsm.reordered(self.indices)

    def to_dict(self) -> dict[str, Any]:
        """The result as the JSON object the command line prints with --json."""
        return {
            "labels": list(self.dsm.labels),
            "order": list(self.order),
            "feedback": self.feedback,
            "lower_bound": self.lower_bound,
            "seconds": self.seconds,
            "blocks": [
                {"labels": list(block.labels), "feedback": block.feedback,
                 "lower_bound": block.lower_bound}
                for block in self.blocks
            ],
        }

    def to_json(self, indent: int | None = None) -> str:
        return json.dumps(self.to_dict(), indent=indent, ensure_ascii=False)


def bound_note(feedback: int, lower_bound: int | None) -> str:
    """How an ordering's feedback stands against its lower bound, in words."""
    if lower_bound is None:
        return "no lower bound (exact step skipped)"
    if lower_bound >= feedback:
        return "proven minimum"
    return f"feedback {feedback}, lower bound {lower_bound} (gap {feedback - lower_bound})"
