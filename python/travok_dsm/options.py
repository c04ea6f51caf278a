"""The search methods `sequence` can run on a block, and their options.

Options are plain values, so that they travel to worker processes and cluster nodes as they are;
a count left None is scaled to the size of each block when its runs start.
"""

from __future__ import annotations

import math
from dataclasses import asdict, dataclass
from typing import Any, Literal

__all__ = ["METHODS", "MemeticOptions", "Options", "SgaOptions", "options_for"]

# Measured: a block of 116 elements, 464 chromosomes and 1160 generations in 0.19 s.
_SECONDS_PER_GENE = 3e-9
# The genes a run with scaled settings may keep: a byte each, two from 256 elements on.
_KEPT_GENES = 150_000_000

Evaluator = Literal["FeedbackMarks", "FeedbackDistance", "LowerLeftDistance"]
Selector = Literal["Roulette", "Random"]
Crossover = Literal["IPX", "Point", "Blend", "SimulatedBinary"]


@dataclass(frozen=True, kw_only=True)
class SgaOptions:
    """Options of ``travok.sequence_sga`` runs, the genetic algorithm of the ``travok`` module.

    Left None, a count is scaled to the size D of each block searched:

    - ``chromosomes``: 4·D, at least 100 and at most 1000 (an even number);
    - ``generations``: 10·D, at least 300 and at most 2500, and fewer (down to 100) where a run
      would keep more than 150 million genes: a run keeps every population it makes, about 62 MB
      for a block of 116 elements (464 chromosomes, 1160 generations);
    - ``p_swap``: 1/D, so that a mutated ordering has about one swap;
    - ``records``: every generation.

    ``evaluator``, ``selector`` and ``crossover`` name the kinds of the ``travok`` module;
    ``crossover_parameter`` is the alpha of ``Blend`` or the eta of ``SimulatedBinary``. Only
    ``IPX`` keeps orderings whole; with the others a run may end with something that is not an
    ordering, which `sequence` refuses. ``offset`` is the evaluator's offset, ``hall_of_fame`` the
    number of best orderings each run keeps (only the best is used).
    """

    chromosomes: int | None = None
    generations: int | None = None
    p_crossover: float = 0.9
    p_mutation: float = 0.2
    p_swap: float | None = None
    hall_of_fame: int = 1
    records: int | None = None
    evaluator: Evaluator = "FeedbackMarks"
    offset: int | None = None
    selector: Selector = "Roulette"
    crossover: Crossover = "IPX"
    crossover_parameter: float | None = None

    def __post_init__(self) -> None:
        _check_count("chromosomes", self.chromosomes, 2)
        _check_count("generations", self.generations, 1)
        _check_count("hall_of_fame", self.hall_of_fame, 1)
        _check_count("records", self.records, 1)
        _check_count("offset", self.offset, 0)
        for name in ("p_crossover", "p_mutation", "p_swap"):
            value = getattr(self, name)
            if value is not None and not (isinstance(value, (int, float)) and 0.0 <= value <= 1.0):
                raise ValueError(f"{name} must be a probability between 0 and 1, not {value!r}")
        _check_choice("evaluator", self.evaluator, Evaluator)
        _check_choice("selector", self.selector, Selector)
        _check_choice("crossover", self.crossover, Crossover)
        needs_parameter = self.crossover in ("Blend", "SimulatedBinary")
        if needs_parameter != (self.crossover_parameter is not None):
            raise ValueError("crossover_parameter goes with crossover 'Blend' (alpha) or "
                             "'SimulatedBinary' (eta), and only with them")

    def for_block(self, size: int) -> dict[str, Any]:
        """Every option with the counts scaled to a block of ``size`` elements."""
        resolved = asdict(self)
        if self.chromosomes is None:
            resolved["chromosomes"] = 2 * math.ceil(min(1000, max(100, 4 * size)) / 2)
        if self.generations is None:
            most = _KEPT_GENES // (resolved["chromosomes"] * size)
            resolved["generations"] = max(100, min(2500, max(300, 10 * size), most))
        if self.p_swap is None:
            resolved["p_swap"] = 1.0 / size
        return resolved

    def expected_seconds(self, size: int) -> float:
        """About how long one run on a block of ``size`` elements takes on one core."""
        settings = self.for_block(size)
        steps: int = settings["chromosomes"] * (settings["generations"] + 1) * size
        return steps * _SECONDS_PER_GENE


def _check_count(name: str, value: object, low: int) -> None:
    if value is not None and (isinstance(value, bool) or not isinstance(value, int) or value < low):
        raise ValueError(f"{name} must be an integer of at least {low}, not {value!r}")


def _check_choice(name: str, value: object, choices: Any) -> None:
    allowed = choices.__args__
    if value not in allowed:
        raise ValueError(f"{name} must be one of {', '.join(map(repr, allowed))}, not {value!r}")


@dataclass(frozen=True, kw_only=True)
class MemeticOptions:
    """Options of memetic search runs, the default method: a population of orderings, each child
    improved by moving single elements to their best places, the best kept from one generation to
    the next. A run stops at whichever limit it reaches first.

    Left None, a limit is scaled to the size D of each block searched:

    - ``seconds``: wall time of a run, 0.01 s per element (1.2 s for a block of 116 elements), at
      least 0.2 s and at most 10 s;
    - ``stagnation``: generations without a better ordering, D²/2, at least 100: a small block
      ends early, a large one uses its time (measured: on blocks of 76 and 116 elements the
      search often stays at one mark above the least for several hundred generations before it
      finds the least);
    - ``generations``: no limit but the two above;
    - ``population``: orderings the search keeps, chosen by the search from D.

    A run of a block that other runs search at the same time does not wait for them: give the
    runs as many workers as there are runs per block for the wall time to stay near ``seconds``.
    """

    seconds: float | None = None
    stagnation: int | None = None
    generations: int | None = None
    population: int | None = None

    def __post_init__(self) -> None:
        if self.seconds is not None and (isinstance(self.seconds, bool)
                                         or not isinstance(self.seconds, (int, float))
                                         or not 0.0 < self.seconds < math.inf):
            raise ValueError(f"seconds must be a number above 0, not {self.seconds!r}")
        _check_count("stagnation", self.stagnation, 1)
        _check_count("generations", self.generations, 1)
        _check_count("population", self.population, 2)

    def for_block(self, size: int) -> dict[str, Any]:
        """Every option with the limits scaled to a block of ``size`` elements."""
        resolved = asdict(self)
        if self.seconds is None:
            resolved["seconds"] = min(10.0, max(0.2, 0.01 * size))
        if self.stagnation is None:
            resolved["stagnation"] = max(100, size * size // 2)
        return resolved

    def expected_seconds(self, size: int) -> float:
        """At most how long one run on a block of ``size`` elements takes."""
        seconds: float = self.for_block(size)["seconds"]
        return seconds


Options = MemeticOptions | SgaOptions

# The search methods by name, each with the class of its options; the first is the default.
METHODS: dict[str, type[MemeticOptions] | type[SgaOptions]] = {
    "memetic": MemeticOptions,
    "sga": SgaOptions,
}


def options_for(method: str, options: object | None) -> Options:
    """The options to run ``method`` with: those given, or the method's defaults."""
    kind = METHODS.get(method)
    if kind is None:
        known = ", ".join(map(repr, METHODS))
        raise ValueError(f"unknown method {method!r}; the methods are {known}")
    if options is None:
        return kind()
    if not isinstance(options, kind):
        raise TypeError(f"method {method!r} takes {kind.__name__}, not {type(options).__name__}")
    return options
