"""The command line: ``python -m travok_dsm [FILE]`` and ``travok-dsm [FILE]``.

Without FILE it sequences the import graph of the running interpreter's standard library (the
modules with the most import arcs); with FILE, a CSV matrix of your own. It reports the feedback
marks before and after with the best ordering found, or prints the result as one JSON object
(``--json``), and draws the matrix (``--png FILE``).
"""

from __future__ import annotations

import argparse
import platform
import sys
import sysconfig
import textwrap
from collections.abc import Callable, Sequence
from dataclasses import dataclass
from itertools import groupby
from pathlib import Path
from typing import Any, TextIO

from travok_dsm._runs import RunFault
from travok_dsm.errors import ConsistencyError, DsmError
from travok_dsm.matrix import Dsm, feedback
from travok_dsm.options import METHODS, MemeticOptions, Options, SgaOptions
from travok_dsm.parallel import default_workers
from travok_dsm.result import Block, Result, bound_note
from travok_dsm.sequencing import SEARCHED_BLOCK, sequence
from travok_dsm.stdlib import stdlib_dsm

__all__ = ["Source", "build_parser", "main", "report"]

PROG = "travok-dsm"
MODULES_LOW, MODULES_HIGH = 80, 150


@dataclass(frozen=True)
class Source:
    """A matrix to sequence and how to describe it."""

    dsm: Dsm
    label: str
    order_name: str


# --- options --------------------------------------------------------------------------------


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


def _positive(text: str) -> float:
    value = float(text)
    if not 0.0 < value < float("inf"):
        raise argparse.ArgumentTypeError(f"{text} is not a number above 0")
    return value


_positive.__name__ = "number"


def _non_negative(text: str) -> float:
    value = float(text)
    if not 0.0 <= value < float("inf"):
        raise argparse.ArgumentTypeError(f"{text} is not a number of at least 0")
    return value


_non_negative.__name__ = "number"


def build_parser() -> argparse.ArgumentParser:
    parser = argparse.ArgumentParser(
        prog=PROG,
        description="Sequence a dependency matrix: find an ordering of its elements that leaves "
        "few marks above the diagonal (feedback marks).",
    )
    source = parser.add_mutually_exclusive_group()
    source.add_argument(
        "file", nargs="?", type=Path, metavar="FILE",
        help="a square 0/1 matrix in CSV (cell (r, c) nonzero: r depends on c); a header row and "
        "a first column of names are optional. Without FILE: the standard library's import graph",
    )
    source.add_argument(
        "--modules", type=_int_in(MODULES_LOW, MODULES_HIGH), default=100, metavar="K",
        help=f"sequence the import graph of the K standard-library modules with the most import "
        f"arcs ({MODULES_LOW} to {MODULES_HIGH}; default %(default)s)",
    )
    parser.add_argument("--stdlib", type=Path, metavar="DIR",
                        help="the library folder to read (default: the running interpreter's)")
    search = parser.add_argument_group("search")
    search.add_argument("--method", choices=list(METHODS), default="memetic",
                        help="the search run on each block: memetic, a memetic search that "
                        "improves each ordering it makes by moving single elements (default), or "
                        "sga, the genetic algorithm of the travok module")
    search.add_argument("--restarts", type=_int_in(1), metavar="K",
                        help="runs per block, the best kept (default: one per worker)")
    search.add_argument("--workers", type=_int_in(1), metavar="N",
                        help=f"processes to run them on (default: one per core, here "
                        f"{default_workers()}; this process alone when the runs would take less "
                        "than about a second)")
    search.add_argument("--partition", action=argparse.BooleanOptionalAction, default=True,
                        help="put the blocks of mutually dependent elements in dependency order "
                        "and search only inside the blocks of 3 or more elements, each on its own "
                        "(default); --no-partition searches the whole matrix at once")
    search.add_argument("--no-exact", action="store_true",
                        help="skip the exact step, which bounds each block's feedback from below "
                        "(and ends the search of a block at its proven minimum): lower_bound "
                        "stays null")
    search.add_argument("--exact-seconds", type=_non_negative, default=1.0, metavar="S",
                        help="seconds the exact step may take in all, shared by the blocks "
                        "(default %(default)s)")
    memetic = parser.add_argument_group("memetic search (memetic)")
    memetic.add_argument("--seconds", type=_positive, metavar="S",
                         help="seconds per run (default: 0.01 per element of the block, 0.2 to 10)")
    memetic.add_argument("--stagnation", type=_int_in(1), metavar="N",
                         help="generations without a better ordering after which a run stops "
                         "(default: D²/2 for a block of D elements, at least 100)")
    run = parser.add_argument_group("genetic algorithm (sga)")
    run.add_argument("--chromosomes", type=_int_in(2), metavar="N",
                     help="chromosomes per population (default: 4 per element of the block, "
                     "100 to 1000)")
    run.add_argument("--generations", type=_int_in(1), metavar="N",
                     help="generations to run (default: 10 per element of the block, 300 to 2500, "
                     "fewer where a run would keep more than 150 million genes)")
    run.add_argument("--p-crossover", type=_probability, metavar="P",
                     help=f"probability that a pair of parents is crossed (default "
                     f"{SgaOptions.p_crossover})")
    run.add_argument("--p-mutation", type=_probability, metavar="P",
                     help=f"probability that a chromosome is mutated (default "
                     f"{SgaOptions.p_mutation})")
    run.add_argument("--p-swap", type=_probability, metavar="P",
                     help="probability that a position of a mutated chromosome is swapped "
                     "(default 1/number of elements searched)")
    run.add_argument("--hall-of-fame", type=_int_in(1), metavar="N",
                     help=f"best orderings each run keeps (default {SgaOptions.hall_of_fame})")
    run.add_argument("--records", type=_int_in(1), metavar="N",
                     help="fitness records to keep, newest first (default: one per generation)")
    output = parser.add_argument_group("output")
    output.add_argument("--json", action="store_true",
                        help="print the result as one JSON object instead of the report")
    output.add_argument("--png", type=Path, metavar="FILE",
                        help="draw the ordering found, the matrix as given and the search's "
                        "progress (needs matplotlib)")
    return parser


# The options of each method, by their names on the command line and in its options class.
_METHOD_OPTIONS = {
    "memetic": {"--seconds": "seconds", "--stagnation": "stagnation"},
    "sga": {"--chromosomes": "chromosomes", "--generations": "generations",
            "--p-crossover": "p_crossover", "--p-mutation": "p_mutation", "--p-swap": "p_swap",
            "--hall-of-fame": "hall_of_fame", "--records": "records"},
}


def _options(args: argparse.Namespace) -> Options:
    """The chosen method's options from those given; another method's options are refused."""
    for method, names in _METHOD_OPTIONS.items():
        given = [flag for flag, name in names.items() if getattr(args, name) is not None]
        if given and method != args.method:
            raise ValueError(f"{given[0]} goes with --method {method}, not {args.method}")
    values = {name: getattr(args, name) for name in _METHOD_OPTIONS[args.method].values()
              if getattr(args, name) is not None}
    kind: type[MemeticOptions] | type[SgaOptions] = METHODS[args.method]
    return kind(**values)


def load_source(args: argparse.Namespace) -> Source:
    if args.file is not None:
        return Source(Dsm.read_csv(args.file), f"{args.file}", "file order")
    folder = Path(sysconfig.get_paths()["stdlib"]) if args.stdlib is None else args.stdlib
    dsm = stdlib_dsm(args.modules, folder)
    label = (f"imports between the {dsm.size} modules with the most import arcs in {folder} "
             f"(Python {platform.python_version()})")
    return Source(dsm, label, "alphabetical order")


# --- the report -----------------------------------------------------------------------------


def _sizes(blocks: Sequence[Block]) -> str:
    """Block sizes in order, a repeated size written once with its count: "1 ×3, 10, 2"."""
    groups = [(size, len(list(same))) for size, same in groupby(block.size for block in blocks)]
    return ", ".join(f"{size} ×{count}" if count > 1 else f"{size}" for size, count in groups)


def _partition_lines(blocks: Sequence[Block]) -> list[str]:
    count = f"{len(blocks)} {'block' if len(blocks) == 1 else 'blocks'}"
    lines = [f"partition: {count} in dependency order, of sizes {_sizes(blocks)}"]
    cyclic = [block for block in blocks if block.size > 1]
    if cyclic:
        each = ", ".join(f"{block.feedback} in a block of {block.size}" for block in cyclic)
        lines.append(f"feedback marks inside blocks: {each}; none between blocks")
    else:
        lines.append("feedback marks: none, every element is a block of its own")
    return lines


def _plural(count: int, word: str) -> str:
    return f"{count} {word if count == 1 else word + 's'}"


def _run_line(result: Result) -> str:
    searched = [block for block in result.blocks if block.settings is not None]
    if not searched:
        return (f"{result.method}: not run, no block has {SEARCHED_BLOCK} or more elements "
                f"({result.seconds:.2f} s in all)")
    budgets: dict[str, list[int]] = {}
    for block in searched:
        assert block.settings is not None
        budgets.setdefault(_budget(result.method, block.settings), []).append(block.size)
    each = "; ".join(
        f"{budget} for {'the block' if len(sizes) == 1 else 'the blocks'} of "
        f"{', '.join(map(str, sizes))}"
        for budget, sizes in budgets.items())
    where = ("in this process" if result.workers == 1 else "on an executor"
             if result.workers is None else f"on {result.workers} worker processes")
    runs = _plural(result.restarts, "run")
    scope = "the matrix" if not result.partitioned else (
        f"each of {len(searched)} blocks" if len(searched) > 1 else "its block")
    return (f"{result.method}: {runs} of {scope} ({_plural(result.runs, 'run')} in all, {where}) "
            f"in {result.seconds:.2f} s; {each}")


def _budget(method: str, settings: dict[str, Any]) -> str:
    if method == "sga":
        return f"{settings['chromosomes']} chromosomes × {settings['generations']} generations"
    limits = [f"{settings['seconds']:g} s"]
    if settings.get("generations") is not None:
        limits.append(f"{settings['generations']} generations")
    limits.append(f"{settings['stagnation']} generations without a better ordering")
    if settings.get("bound") is not None:
        limits.append(f"reaching the proven minimum {settings['bound']}")
    return "at most " + " or ".join(limits) + " per run"


def report(source: Source, result: Result) -> str:
    dsm = source.dsm
    before = feedback(dsm, range(dsm.size))
    pairs = dsm.size * (dsm.size - 1) // 2
    lines = [
        f"matrix: {source.label}",
        f"size: {dsm.size} elements, {len(dsm.arcs[0])} marks",
        f"feedback marks in {source.order_name}: {before}",
        *(_partition_lines(result.blocks) if result.partitioned else []),
        (f"feedback marks in the best ordering found: {result.feedback} "
         f"(fitness {pairs - result.feedback} = {pairs} - {result.feedback}); "
         f"{bound_note(result.feedback, result.lower_bound)}"),
        _run_line(result),
        "best ordering (each element after the ones it depends on, but for the feedback marks):",
        textwrap.fill(", ".join(result.order), width=100, initial_indent="  ",
                      subsequent_indent="  "),
    ]
    return "\n".join(lines)


class _Progress:
    """Runs done, on standard error, once the work has taken a second; rewritten in place on a
    terminal, a line a second otherwise."""

    def __init__(self, stream: TextIO) -> None:
        self.stream = stream
        self.terminal = stream.isatty()
        self.shown_at: float | None = None

    def __call__(self, done: int, total: int, seconds: float) -> None:
        if seconds < 1.0:
            return
        if not self.terminal and self.shown_at is not None and seconds - self.shown_at < 1.0:
            return
        self.shown_at = seconds
        text = f"{PROG}: {done} of {total} runs done, {seconds:.1f} s"
        self.stream.write(f"\r{text}" if self.terminal else f"{text}\n")
        self.stream.flush()

    def finish(self) -> None:
        if self.terminal and self.shown_at is not None:
            self.stream.write("\n")


# --- entry ----------------------------------------------------------------------------------


def fail(message: str) -> int:
    print(f"{PROG}: error: {message}", file=sys.stderr)
    return 2


def main(argv: Sequence[str] | None = None) -> int:
    args = build_parser().parse_args(argv)
    if args.png is not None:
        try:
            import matplotlib  # noqa: F401 - only whether it is there, before a long run
        except ImportError:
            return fail("--png needs matplotlib, which is not installed (pip install matplotlib)")
    try:
        options = _options(args)
        source = load_source(args)
    except DsmError as error:
        return fail(f"{args.file}: {error}")
    except (OSError, ValueError) as error:
        return fail(str(error))
    if source.dsm.size < 2:
        return fail(f"{source.label}: {source.dsm.size} element(s), nothing to sequence")
    progress = _Progress(sys.stderr)
    try:
        result = sequence(source.dsm, method=args.method, options=options, restarts=args.restarts,
                          partition=args.partition, workers=args.workers, progress=progress,
                          exact=not args.no_exact, exact_seconds=args.exact_seconds)
    except KeyboardInterrupt:
        progress.finish()
        print(f"{PROG}: interrupted", file=sys.stderr)
        return 130
    except (ConsistencyError, RunFault) as error:
        progress.finish()
        print(f"{PROG}: {error}", file=sys.stderr)
        return 1
    progress.finish()
    if args.json:
        print(result.to_json())
    else:
        print(report(source, result))
    if args.png is not None:
        from travok_dsm.picture import write_png

        write_png(args.png, result, title=source.label, given_order=source.order_name)
        if not args.json:
            print(f"picture: {args.png}")
    return 0
