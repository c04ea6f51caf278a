"""The exact step of `sequence`: a lower bound on each searched block's feedback, within one time
budget for the whole matrix, and the solver's ordering where it beats the search's."""

from __future__ import annotations

from collections.abc import Sequence

from travok_dsm.errors import ConsistencyError
from travok_dsm.exact import ExactResult, solve
from travok_dsm.matrix import Dsm, feedback
from travok_dsm.result import Block

__all__ = ["PROVEN_FIRST", "ExactBudget", "with_proof"]

# Blocks of this many elements or more are bounded before their memetic search, so that a proven
# least feedback ends the runs when they reach it. Smaller blocks are bounded after it, given the
# feedback found: their runs end on stagnation within a tenth of a second or so (measured: 0.09 s
# at 37 elements, 0.2 s at 40, their whole budget from about 50), and a bound that meets the
# feedback found is often proven by disjoint cycles alone, without loading the solver (a few
# tenths of a second, once per process).
PROVEN_FIRST = 40


class ExactBudget:
    """About ``seconds`` of exact solving shared by the blocks of sizes ``sizes``, to be solved
    largest first: each gets what is left in proportion to the square of its size (the solver's
    work grows at least that fast) against the blocks still to come, so time a block leaves
    unused goes to the next ones. Loading the solver counts against the budget."""

    def __init__(self, seconds: float, sizes: Sequence[int]) -> None:
        self.left = seconds
        self.waiting = sum(size * size for size in sizes)

    def solve(self, dsm: Dsm, part: Sequence[int], upper: int | None = None) -> ExactResult:
        """`exact.solve` on the block ``part`` of ``dsm``, with its share of the budget."""
        weight = len(part) ** 2
        share = max(0.0, self.left) * weight / self.waiting if self.waiting else 0.0
        self.waiting -= weight
        found = solve(dsm.sub(part), seconds=share, upper=upper)
        self.left -= found.seconds
        return found


def with_proof(dsm: Dsm, part: Sequence[int], block: Block, proof: ExactResult) -> Block:
    """The block with the solver's bound, and with the solver's ordering if it has fewer
    feedback marks; ``part`` lists the block's elements in the order the solver saw them."""
    order, marks = block.indices, block.feedback
    if proof.ordering is not None:
        solved = tuple(part[place] for place in proof.ordering)
        solved_marks = feedback(dsm.sub(solved), range(len(solved)))
        if solved_marks != proof.bound:
            raise ConsistencyError(
                f"the exact solver proved {proof.bound} feedback marks least for a block of "
                f"{len(part)} elements, but its ordering has {solved_marks}")
        if solved_marks < marks:
            order, marks = solved, solved_marks
    if proof.bound > marks:
        raise ConsistencyError(
            f"the exact solver proved that a block of {len(part)} elements has at least "
            f"{proof.bound} feedback marks, but the search found an ordering with {marks}")
    return Block(indices=order, labels=tuple(dsm.labels[index] for index in order),
                 feedback=marks, lower_bound=proof.bound, runs=block.runs,
                 settings=block.settings)
