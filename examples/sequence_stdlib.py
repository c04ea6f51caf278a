"""Sequence a real dependency matrix with travok.

By default the matrix is the import graph of the running interpreter's standard library (the
modules with the most import arcs); `--csv FILE` sequences a matrix of your own instead. The run
looks for an ordering that leaves few marks above the diagonal (feedback marks), and the script
reports them before and after with the best ordering found; `--png FILE` draws the matrix before
and after and the fitness per generation.
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
from pathlib import Path
from typing import TYPE_CHECKING

import travok

from dsm import Dsm, MatrixFormatError, feedback_count, read_csv, stdlib_dsm

if TYPE_CHECKING:
    import numpy as np
    from matplotlib.axes import Axes
    from numpy.typing import ArrayLike, NDArray

PROG = "sequence_stdlib.py"
MODULES_LOW, MODULES_HIGH = 80, 150


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
class Outcome:
    """A finished run: the best ordering, its feedback marks and the fitness per generation."""

    order: list[int]
    feedback: int
    fitness: float
    seconds: float
    first_generation: int
    best: list[float]
    mean: list[float]


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
                     "(default 1/number of elements)")
    run.add_argument("--hall-of-fame", type=_int_in(1), default=1, metavar="N",
                     help="best orderings to keep (default %(default)s)")
    run.add_argument("--records", type=_int_in(1), metavar="N",
                     help="fitness records to keep, newest first (default: one per generation)")
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


def sequence(dsm: Dsm, args: argparse.Namespace) -> Outcome:
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
    return Outcome(
        order=order,
        feedback=feedback,
        fitness=expected,
        seconds=seconds,
        first_generation=args.generations + 1 - len(records),
        best=[record.max for record in records],
        mean=[record.mean for record in records],
    )


def report(source: Source, args: argparse.Namespace, outcome: Outcome) -> str:
    dsm = source.dsm
    before = feedback_count(dsm, range(dsm.size))
    names = ", ".join(dsm.names[element] for element in outcome.order)
    lines = [
        f"matrix: {source.label}",
        f"size: {dsm.size} elements, {len(dsm.arcs())} marks",
        f"feedback marks in {source.order_name}: {before}",
        f"feedback marks in the best ordering found: {outcome.feedback} "
        f"(fitness {outcome.fitness:g} = {total_pairs(dsm.size)} - {outcome.feedback})",
        f"sequence_sga: {args.chromosomes} chromosomes, {args.generations} generations "
        f"in {outcome.seconds:.2f} s",
        "best ordering (each element after the ones it depends on, but for the feedback marks):",
        textwrap.fill(names, width=100, initial_indent="  ", subsequent_indent="  "),
    ]
    return "\n".join(lines)


# --- the picture ----------------------------------------------------------------------------

_EMPTY, _BELOW, _ABOVE, _DIAGONAL = 0, 1, 2, 3
_COLOURS = ["white", "#2c5f8a", "#d62728", "#e4e4e4"]


def cell_classes(dsm: Dsm, order: Sequence[int]) -> list[list[int]]:
    """The reordered matrix as colour classes: no mark, mark below, mark above, diagonal."""
    size = dsm.size
    grid = [[_DIAGONAL if i == j else _EMPTY for j in range(size)] for i in range(size)]
    for i, row in enumerate(order):
        for j, column in enumerate(order):
            if i != j and dsm.marks[row][column]:
                grid[i][j] = _ABOVE if i < j else _BELOW
    return grid


def _draw_matrix(axes: Axes, dsm: Dsm, order: Sequence[int], title: str, font: float) -> None:
    from matplotlib.colors import ListedColormap

    size = dsm.size
    axes.imshow(cell_classes(dsm, order), cmap=ListedColormap(_COLOURS), vmin=0, vmax=3,
                interpolation="nearest")
    axes.set_title(title, fontsize=11)
    if font >= 3.5:
        labels = [dsm.names[element] for element in order]
        axes.set_xticks(range(size), labels, rotation=90, fontsize=font)
        axes.set_yticks(range(size), labels, fontsize=font)
        axes.tick_params(length=0, pad=1)
    else:
        axes.set_xticks([])
        axes.set_yticks([])
    step = 10 if size <= 150 else 50
    for edge in range(step, size, step):
        axes.axhline(edge - 0.5, color="#bbbbbb", linewidth=0.3)
        axes.axvline(edge - 0.5, color="#bbbbbb", linewidth=0.3)


def _draw_fitness(axes: Axes, dsm: Dsm, outcome: Outcome) -> None:
    import numpy as np

    generations = range(outcome.first_generation, outcome.first_generation + len(outcome.best))
    axes.plot(generations, outcome.best, color="#d62728", linewidth=1.2, label="best in generation")
    axes.plot(generations, outcome.mean, color="#2c5f8a", linewidth=1.2, label="mean of generation")
    axes.axhline(outcome.fitness, color="black", linewidth=0.8, linestyle="--",
                 label=f"best of the run ({outcome.feedback} feedback marks)")
    axes.set_xlabel("generation")
    axes.set_ylabel("fitness (pairs - feedback marks)")
    total = float(total_pairs(dsm.size))

    def flip(value: ArrayLike) -> NDArray[np.float64]:
        return total - np.asarray(value, dtype=np.float64)

    feedback_axis = axes.secondary_yaxis("right", functions=(flip, flip))
    feedback_axis.set_ylabel("feedback marks")
    axes.grid(alpha=0.3)
    axes.legend(loc="best")
    axes.set_title("fitness per generation (FeedbackMarks)", fontsize=11)


def write_png(path: Path, source: Source, outcome: Outcome) -> None:
    import matplotlib

    matplotlib.use("Agg")
    from matplotlib.figure import Figure
    from matplotlib.patches import Patch

    dsm = source.dsm
    side = min(14.0, max(5.0, 0.09 * dsm.size))
    # Names as tall as about 80% of a cell, and none where they would be too small to read.
    font = min(8.0, 0.8 * side * 72 / dsm.size)
    figure = Figure(figsize=(2 * side + 2.5, side + 5.5), dpi=150, layout="constrained")
    grid = figure.add_gridspec(2, 2, height_ratios=[side, 4.0])
    before = feedback_count(dsm, range(dsm.size))
    _draw_matrix(figure.add_subplot(grid[0, 0]), dsm, range(dsm.size),
                 f"{source.order_name}: {before} feedback marks", font)
    _draw_matrix(figure.add_subplot(grid[0, 1]), dsm, outcome.order,
                 f"best ordering found: {outcome.feedback} feedback marks", font)
    _draw_fitness(figure.add_subplot(grid[1, :]), dsm, outcome)
    legend = [Patch(color=_COLOURS[_ABOVE], label="mark above the diagonal (feedback)"),
              Patch(color=_COLOURS[_BELOW], label="mark below the diagonal"),
              Patch(color=_COLOURS[_DIAGONAL], label="diagonal")]
    figure.legend(handles=legend, loc="outside lower center", ncols=3, fontsize=10)
    figure.suptitle(f"{source.label}\n{dsm.size} elements, {len(dsm.arcs())} marks; "
                    "row r depends on column c", fontsize=12)
    figure.savefig(path)


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
        write_png(args.png, source, outcome)
        print(f"picture: {args.png}")
    return 0


if __name__ == "__main__":
    sys.exit(main())
