"""Sequence a real dependency matrix with travok.

By default the matrix is the import graph of the running interpreter's standard library (the
modules with the most import arcs); `--csv FILE` sequences a matrix of your own instead. The run
looks for an ordering that leaves few marks above the diagonal (feedback marks), and the script
reports them before and after with the best ordering found; `--png FILE` draws the matrix before
and after and the fitness per generation.

The matrix is partitioned first (`--no-partition` turns this off): its blocks of mutually
dependent elements are put in dependency order, and only the blocks of three or more elements are
searched, each on its own. No ordering has fewer feedback marks than the best one of this form.
"""

from __future__ import annotations

import argparse
import platform
import sys
import sysconfig
import textwrap
import time
from collections.abc import Callable, Sequence
from dataclasses import dataclass
from functools import partial
from itertools import groupby, permutations
from pathlib import Path

import travok

from dsm import Dsm, MatrixFormatError, feedback_count, partition, read_csv, stdlib_dsm, sub_dsm

PROG = "sequence_stdlib.py"
MODULES_LOW, MODULES_HIGH = 80, 150
# Smaller blocks are ordered by trying every ordering: one for a single element, two for a pair.
SEARCHED_BLOCK = 3


# --- results ------------------------------------------------------------------------------


class ConsistencyError(RuntimeError):
    """The fitness the run reports disagrees with the feedback marks counted here."""


@dataclass(frozen=True)
class Source:
    """A matrix to sequence and how to describe it."""

    dsm: Dsm
    label: str
    order_name: str


@dataclass(frozen=True)
class Run:
    """One genetic-algorithm run: its best ordering, and the fitness per recorded generation."""

    order: list[int]
    feedback: int
    seconds: float
    best: list[float]
    mean: list[float]


@dataclass(frozen=True)
class Block:
    """A block of the partitioned matrix: its elements in the order found, and their feedback."""

    elements: tuple[int, ...]
    feedback: int


@dataclass(frozen=True)
class Outcome:
    """The best ordering of the whole matrix, its feedback marks and its fitness per generation.

    When the matrix was partitioned, the fitness of a generation combines the blocks' runs: each
    searched block contributes its own fitness in that generation, the other blocks their fixed
    feedback. `blocks` is None when the whole matrix was searched at once.
    """

    order: list[int]
    feedback: int
    fitness: float
    seconds: float
    runs: int
    first_generation: int
    best: list[float]
    mean: list[float]
    blocks: tuple[Block, ...] | None


# --- command line ---------------------------------------------------------------------------


def _int_in(low: int, high: int | None = None) -> Callable[[str], int]:
    def convert(text: str) -> int:
        value = int(text)
        if value < low or (high is not None and value > high):
            upper = "" if high is None else f" and at most {high}"
            raise argparse.ArgumentTypeError(f"{value} is not at least {low}{upper}")
        return value

    convert.__name__ = "integer"
    return convert


def _probability(text: str) -> float:
    value = float(text)
    if not 0.0 <= value <= 1.0:
        raise argparse.ArgumentTypeError(f"{text} is not a probability between 0 and 1")
    return value


_probability.__name__ = "probability"


def build_parser() -> argparse.ArgumentParser:
    parser = argparse.ArgumentParser(
        prog=PROG,
        description="Sequence a dependency matrix with a genetic algorithm: find an ordering of "
        "its elements that leaves few marks above the diagonal (feedback marks).",
    )
    source = parser.add_mutually_exclusive_group()
    source.add_argument(
        "--modules", type=_int_in(MODULES_LOW, MODULES_HIGH), default=100, metavar="K",
        help=f"sequence the import graph of the K standard-library modules with the most import "
        f"arcs ({MODULES_LOW} to {MODULES_HIGH}; default %(default)s)",
    )
    source.add_argument(
        "--csv", type=Path, metavar="FILE",
        help="sequence this square 0/1 matrix instead (cell (r, c) nonzero: r depends on c); "
        "a header row and a first column of names are optional",
    )
    parser.add_argument(
        "--stdlib", type=Path, metavar="DIR",
        help="the library folder to read (default: the running interpreter's)",
    )
    run = parser.add_argument_group("genetic algorithm")
    run.add_argument("--chromosomes", type=_int_in(2), default=200, metavar="N",
                     help="chromosomes per population (default %(default)s)")
    run.add_argument("--generations", type=_int_in(1), default=500, metavar="N",
                     help="generations to run (default %(default)s)")
    run.add_argument("--p-crossover", type=_probability, default=0.9, metavar="P",
                     help="probability that a pair of parents is crossed (default %(default)s)")
    run.add_argument("--p-mutation", type=_probability, default=0.2, metavar="P",
                     help="probability that a chromosome is mutated (default %(default)s)")
    run.add_argument("--p-swap", type=_probability, metavar="P",
                     help="probability that a position of a mutated chromosome is swapped "
                     "(default 1/number of elements searched)")
    run.add_argument("--hall-of-fame", type=_int_in(1), default=1, metavar="N",
                     help="best orderings to keep (default %(default)s)")
    run.add_argument("--records", type=_int_in(1), metavar="N",
                     help="fitness records to keep, newest first (default: one per generation)")
    run.add_argument("--partition", action=argparse.BooleanOptionalAction, default=True,
                     help="put the blocks of mutually dependent elements in dependency order and "
                     "search only inside the blocks of 3 or more elements, each on its own "
                     "(default); --no-partition searches the whole matrix at once")
    parser.add_argument("--png", type=Path, metavar="FILE",
                        help="draw the matrix before and after, and the fitness per generation")
    return parser


# --- the run --------------------------------------------------------------------------------


def load_source(args: argparse.Namespace) -> Source:
    if args.csv is not None:
        return Source(read_csv(args.csv), f"{args.csv}", "file order")
    folder = Path(sysconfig.get_paths()["stdlib"]) if args.stdlib is None else args.stdlib
    dsm = stdlib_dsm(args.modules, folder)
    label = (
        f"imports between the {dsm.size} modules with the most import arcs in {folder} "
        f"(Python {platform.python_version()})"
    )
    return Source(dsm, label, "alphabetical order")


def make_settings(args: argparse.Namespace, size: int) -> travok.SequencingSettings:
    return travok.SequencingSettings(
        n_genes=size,
        p_crossover=args.p_crossover,
        p_mutation=args.p_mutation,
        n_chromosomes=args.chromosomes,
        n_generations=args.generations,
        n_records=args.records,
        n_hall_of_fame=args.hall_of_fame,
    )


def total_pairs(size: int) -> int:
    return size * (size - 1) // 2


def search(dsm: Dsm, args: argparse.Namespace) -> Run:
    """Run the genetic algorithm and check its best fitness against our own feedback count."""
    p_swap = 1.0 / dsm.size if args.p_swap is None else args.p_swap
    settings = make_settings(args, dsm.size)
    started = time.perf_counter()
    lineage = travok.sequence_sga(
        settings,
        travok.GeneratorKinds.RandomSequence,
        travok.EvaluatorMatrix(travok.EvaluatorKinds.FeedbackMarks, dsm.cells()),
        travok.RecorderKinds.FitnessStatistics,
        travok.SelectorKinds.Roulette,
        travok.CrossoverKinds.IPX,
        travok.MutatorSwap(p_swap),
        travok.ConvergenceKinds.Never,
    )
    seconds = time.perf_counter() - started
    best = lineage.hall_of_fame.chromosomes[0]
    order = best.genes
    feedback = feedback_count(dsm, order)
    expected = float(total_pairs(dsm.size) - feedback)
    if best.fitness != expected:
        raise ConsistencyError(
            f"the best ordering has {feedback} feedback marks, so its fitness should be "
            f"{expected:g}, but the run reports {best.fitness}"
        )
    records = list(reversed(lineage.records))
    return Run(order, feedback, seconds, [record.max for record in records],
               [record.mean for record in records])


def sequence(dsm: Dsm, args: argparse.Namespace) -> Outcome:
    """The best ordering found, partitioned first unless the arguments say otherwise."""
    if args.partition:
        return sequence_partitioned(dsm, args)
    run = search(dsm, args)
    return Outcome(
        order=run.order,
        feedback=run.feedback,
        fitness=float(total_pairs(dsm.size) - run.feedback),
        seconds=run.seconds,
        runs=1,
        first_generation=args.generations + 1 - len(run.best),
        best=run.best,
        mean=run.mean,
        blocks=None,
    )


def sequence_partitioned(dsm: Dsm, args: argparse.Namespace) -> Outcome:
    """Order the blocks by their dependencies and search inside each block of 3 or more."""
    started = time.perf_counter()
    blocks: list[Block] = []
    runs: list[Run] = []
    # The whole ordering's fitness less the searched blocks' own fitness, the same in every
    # generation: the pairs of elements not both in one searched block, less the feedback of the
    # blocks ordered by trying every ordering.
    offset = total_pairs(dsm.size)
    for elements in partition(dsm):
        block = sub_dsm(dsm, elements)
        if block.size >= SEARCHED_BLOCK:
            run = search(block, args)
            runs.append(run)
            local, feedback = run.order, run.feedback
            offset -= total_pairs(block.size)
        else:
            local = list(min(permutations(range(block.size)), key=partial(feedback_count, block)))
            feedback = feedback_count(block, local)
            offset -= feedback
        blocks.append(Block(tuple(elements[place] for place in local), feedback))
    order = [element for block_found in blocks for element in block_found.elements]
    feedback = feedback_count(dsm, order)
    inside = sum(block_found.feedback for block_found in blocks)
    if feedback != inside:
        raise ConsistencyError(
            f"the blocks hold {inside} feedback marks, but the ordering they make has {feedback}"
        )
    best = [offset + sum(values) for values in zip(*(run.best for run in runs), strict=True)]
    return Outcome(
        order=order,
        feedback=feedback,
        fitness=float(total_pairs(dsm.size) - feedback),
        seconds=time.perf_counter() - started,
        runs=len(runs),
        first_generation=args.generations + 1 - len(best),
        best=best,
        mean=[offset + sum(values) for values in zip(*(run.mean for run in runs), strict=True)],
        blocks=tuple(blocks),
    )


def _sizes(blocks: Sequence[Block]) -> str:
    """Block sizes in order, a repeated size written once with its count: "1 ×3, 10, 2"."""
    groups = [(size, len(list(same))) for size, same in
              groupby(len(block.elements) for block in blocks)]
    return ", ".join(f"{size} ×{count}" if count > 1 else f"{size}" for size, count in groups)


def _partition_lines(blocks: Sequence[Block]) -> list[str]:
    count = f"{len(blocks)} {'block' if len(blocks) == 1 else 'blocks'}"
    lines = [f"partition: {count} in dependency order, of sizes {_sizes(blocks)}"]
    cyclic = [block for block in blocks if len(block.elements) > 1]
    if cyclic:
        each = ", ".join(f"{block.feedback} in a block of {len(block.elements)}"
                         for block in cyclic)
        lines.append(f"feedback marks inside blocks: {each}; none between blocks")
    else:
        lines.append("feedback marks: none, every element is a block of its own")
    return lines


def _run_line(args: argparse.Namespace, outcome: Outcome) -> str:
    if outcome.blocks is None:
        return (f"sequence_sga: {args.chromosomes} chromosomes, {args.generations} generations "
                f"in {outcome.seconds:.2f} s")
    if not outcome.runs:
        return (f"sequence_sga: not run, no block has {SEARCHED_BLOCK} or more elements "
                f"(partitioned in {outcome.seconds:.2f} s)")
    runs = f"{outcome.runs} {'run' if outcome.runs == 1 else 'runs'}"
    return (f"sequence_sga: {args.chromosomes} chromosomes, {args.generations} generations "
            f"in {outcome.seconds:.2f} s ({runs}, one per block of {SEARCHED_BLOCK} or more "
            "elements)")


def report(source: Source, args: argparse.Namespace, outcome: Outcome) -> str:
    dsm = source.dsm
    before = feedback_count(dsm, range(dsm.size))
    names = ", ".join(dsm.names[element] for element in outcome.order)
    lines = [
        f"matrix: {source.label}",
        f"size: {dsm.size} elements, {len(dsm.arcs())} marks",
        f"feedback marks in {source.order_name}: {before}",
        *([] if outcome.blocks is None else _partition_lines(outcome.blocks)),
        f"feedback marks in the best ordering found: {outcome.feedback} "
        f"(fitness {outcome.fitness:g} = {total_pairs(dsm.size)} - {outcome.feedback})",
        _run_line(args, outcome),
        "best ordering (each element after the ones it depends on, but for the feedback marks):",
        textwrap.fill(names, width=100, initial_indent="  ", subsequent_indent="  "),
    ]
    return "\n".join(lines)


# --- entry ----------------------------------------------------------------------------------


def fail(message: str) -> int:
    print(f"{PROG}: error: {message}", file=sys.stderr)
    return 2


def main(argv: Sequence[str] | None = None) -> int:
    args = build_parser().parse_args(argv)
    try:
        source = load_source(args)
    except MatrixFormatError as error:
        return fail(f"{args.csv}: {error}")
    except (OSError, ValueError) as error:
        return fail(str(error))
    if source.dsm.size < 2:
        return fail(f"{source.label}: {source.dsm.size} element(s), nothing to sequence")
    try:
        outcome = sequence(source.dsm, args)
    except ConsistencyError as error:
        print(f"{PROG}: {error}", file=sys.stderr)
        return 1
    print(report(source, args, outcome))
    if args.png is not None:
        # Drawing needs matplotlib, which a run without a picture does without.
        from dsm_picture import write_png

        write_png(args.png, source, outcome)
        print(f"picture: {args.png}")
    return 0


if __name__ == "__main__":
    sys.exit(main())
