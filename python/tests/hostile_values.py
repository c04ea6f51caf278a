"""Hostile values for the robustness tests: what each class takes, pictures of object state, and
hypothesis strategies of arbitrary Python values, among them objects whose __index__, __float__,
__len__ or item access raise, lie, change the sequence being read or touch the object being
assigned meanwhile."""
import sys

from hypothesis import strategies as st

from conftest import Float, Index, give
from run_checks import U64, is_u64, sanitized
from travok import (
    Chromosome,
    ConvergenceKinds,
    CrossoverBlend,
    CrossoverKinds,
    CrossoverSimulatedBinary,
    EvaluatorKinds,
    EvaluatorMatrix,
    EvaluatorValue,
    FitnessStatistics,
    GeneratorKinds,
    HallOfFame,
    Lineage,
    MutatorKinds,
    MutatorSwap,
    Population,
    RecorderHdrHistogram,
    RecorderKinds,
    SelectorKinds,
    SequencingSettings,
    sequence_sga,
)

# Where the run ends on an impossible allocation instead of throwing, absurd sizes cannot be asked for.
ASAN = sanitized()
ABSURD = 10**12


class Hostile(Exception):
    """Raised by the caller's own hooks; it must reach the caller unchanged."""


# --- what each class takes --------------------------------------------------

# Parameter and attribute types: (name, type), in constructor order.
CLASSES = {
    Chromosome: [("genes", "genes"), ("fitness", "opt_f64")],
    Population: [("chromosomes", "chromosomes"), ("generation", "u64")],
    FitnessStatistics: [("size", "u64")] + [(name, "f64") for name in ("min", "max", "sum", "mean", "variance")],
    HallOfFame: [("chromosomes", "chromosomes"), ("uniques", "geneset"), ("capacity", "u64")],
    Lineage: [("generations", "populations"), ("records", "records"), ("hall_of_fame", "hall_of_fame"),
              ("n_generations", "opt_u64"), ("n_records", "opt_u64")],
    CrossoverBlend: [("alpha", "f64")],
    CrossoverSimulatedBinary: [("eta", "f64")],
    EvaluatorMatrix: [("kind", "evaluator_kind"), ("matrix", "matrix"), ("offset", "opt_u64")],
    EvaluatorValue: [("value", "f64")],
    MutatorSwap: [("p_swap", "f64")],
    RecorderHdrHistogram: [("sigfig", "u8")],
    SequencingSettings: [("n_genes", "u64"), ("p_crossover", "f64"), ("p_mutation", "f64")]
    + [(name, "opt_u64") for name in ("n_chromosomes", "n_generations", "n_records", "n_hall_of_fame")],
}
# RecorderHdrHistogram shows no attribute; every other class shows its parameters.
ATTRIBUTES = {cls: ([] if cls is RecorderHdrHistogram else fields) for cls, fields in CLASSES.items()}


def valid_arguments(cls):
    """Arguments that build an object, one per parameter."""
    return {
        Chromosome: lambda: [[1, 2], 1.5],
        Population: lambda: [[Chromosome([1], 2.0)], 3],
        FitnessStatistics: lambda: [1, 0.0, 1.0, 1.0, 1.0, 0.0],
        HallOfFame: lambda: [[Chromosome([1], 2.0)], {(1,)}, 2],
        Lineage: lambda: [[Population([], 1)], [FitnessStatistics(0, 0.0, 0.0, -0.0, 0.0, 0.0)],
                          HallOfFame([], set(), 1), 1, None],
        CrossoverBlend: lambda: [0.5],
        CrossoverSimulatedBinary: lambda: [2.0],
        EvaluatorMatrix: lambda: [EvaluatorKinds.FeedbackMarks, [0.0, 1.0, 0.0, 0.0], None],
        EvaluatorValue: lambda: [1.0],
        MutatorSwap: lambda: [0.1],
        RecorderHdrHistogram: lambda: [3],
        SequencingSettings: lambda: [3, 0.5, 0.5, 4, 2, None, None],
    }[cls]()


# A value of each type that a caller's hook may assign while another assignment converts.
SENTINELS = {
    "u64": 7, "opt_u64": 7, "u8": 7, "f64": 7.0, "opt_f64": 7.0, "genes": [7, 7, 7], "matrix": [7.0],
    "chromosomes": [Chromosome([7], 7.0)], "populations": [Population([], 7)],
    "records": [FitnessStatistics(7, 7.0, 7.0, 7.0, 7.0, 7.0)], "hall_of_fame": HallOfFame([], {(7,)}, 7),
    "geneset": {(7, 7)}, "evaluator_kind": EvaluatorKinds.LowerLeftDistance,
}


def conforms(kind, value):
    """Whether a value read back has the type the attribute promises."""
    if kind.startswith("opt_"):
        return value is None or conforms(kind[4:], value)
    checks = {
        "u64": is_u64,
        "u8": lambda v: type(v) is int and 0 <= v < 256,
        "f64": lambda v: type(v) is float,
        "genes": lambda v: type(v) is list and all(is_u64(gene) for gene in v),
        "matrix": lambda v: type(v) is list and all(type(cell) is float for cell in v),
        "chromosomes": lambda v: type(v) is list and all(type(item) is Chromosome for item in v),
        "populations": lambda v: type(v) is list and all(type(item) is Population for item in v),
        "records": lambda v: type(v) is list and all(type(item) is FitnessStatistics for item in v),
        "hall_of_fame": lambda v: type(v) is HallOfFame,
        "geneset": lambda v: type(v) is set and all(type(t) is tuple and all(map(is_u64, t)) for t in v),
        "evaluator_kind": lambda v: type(v) is EvaluatorKinds,
    }
    return checks[kind](value)


def state(value):
    """A comparable picture of a value: NaN equals NaN and -0.0 differs from 0.0, so 'unchanged'
    means exactly unchanged."""
    if type(value) in ATTRIBUTES:
        return type(value).__name__, tuple(state(getattr(value, name)) for name, _ in ATTRIBUTES[type(value)])
    if type(value) is float:
        return "float", repr(value)
    if type(value) in (list, tuple):
        return tuple(state(item) for item in value)
    if type(value) is set:
        return frozenset(state(item) for item in value)
    if type(value) is EvaluatorKinds:
        return repr(value)
    return value


# --- hostile values ----------------------------------------------------------

class Target:
    """The object an assignment is being made to, for hooks that touch it meanwhile."""
    obj = None
    name = None
    kind = None
    log = []

    @classmethod
    def touch(cls, how):
        if cls.obj is None:
            return
        if how == "assign":
            setattr(cls.obj, cls.name, SENTINELS[cls.kind])
        elif how == "read":
            for name, _ in ATTRIBUTES[type(cls.obj)]:
                getattr(cls.obj, name)
        elif how == "compare":
            assert (cls.obj == cls.obj) in (True, False)
        elif how == "delete":
            try:
                delattr(cls.obj, cls.name)
            except AttributeError as error:
                assert str(error) == "can't delete attribute"
        cls.log.append(state(cls.obj))


class Sequence:
    """A sequence by the old protocol: __len__ may lie or raise, items may run out early or late, and
    reading an item may grow or shrink the sequence or touch the target."""

    def __init__(self, items, length=None, grow=0, shrink=False, fail_at=None, touch=None):
        self.items, self.length, self.grow, self.shrink = list(items), length, grow, shrink
        self.fail_at, self.touch = fail_at, touch

    def __len__(self):
        return len(self.items) if self.length is None else give(self.length, "len")

    def __getitem__(self, index):
        if self.touch:
            Target.touch(self.touch)
        if index == self.fail_at:
            raise Hostile("item")
        if self.grow > 0:
            self.grow -= 1
            self.items.append(self.items[-1] if self.items else 0)
        if self.shrink and self.items:
            self.items.pop()
        return self.items[index]  # IndexError ends the iteration


class RaisingIter(Sequence):
    def __iter__(self):
        raise Hostile("iter")


class OddTypeError(TypeError):
    def __str__(self):
        raise Hostile("str of a TypeError")


def nested(depth):
    value = [1]
    for _ in range(depth):
        value = [value]
    return value


def self_containing():
    value = [1]
    value.append(value)
    return value


TOUCHES = st.sampled_from([None, "assign", "read", "compare", "delete"])
# The same, as the hook a hostile number runs before it answers.
HOOKS = TOUCHES.map(lambda how: how and (lambda: Target.touch(how)))
INTEGERS = st.integers() | st.sampled_from([0, 1, -1, U64 - 1, U64, 2**63, -(2**63), 2**1000, -(2**1000), 255, 256])
FLOATS = st.floats(allow_nan=True, allow_infinity=True)
SCALARS = st.none() | st.booleans() | INTEGERS | FLOATS | st.text(max_size=4) | st.binary(max_size=4)
# Exception classes are raised afresh each time.
INDEX_RESULTS = INTEGERS | st.sampled_from([Hostile, TypeError, OddTypeError, "x", 1.5, None])
FLOAT_RESULTS = FLOATS | st.sampled_from([Hostile, TypeError, "x", 1, None])
# 2**62 and sys.maxsize exceed any vector's capacity; ABSURD is a request the allocator must refuse.
LENGTHS = st.sampled_from([None, 0, 1, 2, 3, -1, Hostile, TypeError, 2**62, sys.maxsize, 2**100]
                          + ([] if ASAN else [ABSURD]))
MODULE_VALUES = st.sampled_from([
    Chromosome([0, 1, 2], 1.0), Chromosome([], None), Population([], 0), FitnessStatistics(0, 0, 0, 0, 0, 0),
    HallOfFame([], set(), 1), Lineage([], [], HallOfFame([], set(), 1)), CrossoverBlend(0.5),
    CrossoverSimulatedBinary(1.0), EvaluatorMatrix(EvaluatorKinds.FeedbackMarks, [0.0] * 9), EvaluatorValue(1.0),
    MutatorSwap(0.5), RecorderHdrHistogram(3), SequencingSettings(3, 0.5, 0.5, 4, 2),
    EvaluatorKinds.Value, EvaluatorKinds.FeedbackDistance, RecorderKinds.HdrHistogram, RecorderKinds.FitnessStatistics,
    SelectorKinds.Random, CrossoverKinds.Blend, CrossoverKinds.Point, MutatorKinds.Swap, ConvergenceKinds.Never,
    GeneratorKinds.RandomSequence, Chromosome, object(), sequence_sga,
])


def hostile(children):
    return (
        st.builds(Index, INDEX_RESULTS, HOOKS)
        | st.builds(Float, FLOAT_RESULTS, HOOKS)
        | st.builds(Sequence, st.lists(children, max_size=4), LENGTHS, st.integers(0, 3), st.booleans(),
                    st.none() | st.integers(0, 3), TOUCHES)
        | st.builds(RaisingIter, st.lists(children, max_size=2))
        | st.builds(nested, st.integers(1, 2000))
        | st.builds(self_containing)
    )


ANYTHING = st.recursive(
    SCALARS | MODULE_VALUES | hostile(SCALARS),
    lambda children: (st.lists(children, max_size=4) | st.tuples(children, children)
                      | st.frozensets(SCALARS.filter(lambda v: v == v), max_size=3)
                      | st.sets(st.tuples(INTEGERS, INTEGERS), max_size=3)
                      | st.dictionaries(st.text(max_size=2), children, max_size=2) | hostile(children)),
    max_leaves=8,
)


def sequences_of(items):
    return st.lists(items, max_size=5) | st.tuples(items) | st.builds(
        Sequence, st.lists(items, max_size=4), LENGTHS, st.integers(0, 3), st.booleans(),
        st.none() | st.integers(0, 3), TOUCHES)


INTEGER_LIKE = INTEGERS | st.booleans() | st.builds(Index, INDEX_RESULTS, HOOKS)
FLOAT_LIKE = FLOATS | INTEGER_LIKE | st.builds(Float, FLOAT_RESULTS, HOOKS)
# Values close to what each type takes, so that conversions get deep before they fail (or succeed).
NEAR = {
    "u64": INTEGER_LIKE,
    "u8": INTEGER_LIKE,
    "f64": FLOAT_LIKE,
    "genes": sequences_of(INTEGER_LIKE),
    "matrix": sequences_of(FLOAT_LIKE),
    "chromosomes": sequences_of(st.builds(Chromosome, st.lists(st.integers(0, 9), max_size=3)) | ANYTHING),
    "populations": sequences_of(st.builds(Population, st.just([]), st.integers(0, 9)) | ANYTHING),
    "records": sequences_of(st.builds(FitnessStatistics, st.integers(0, 9), FLOATS, FLOATS, FLOATS, FLOATS, FLOATS)
                            | ANYTHING),
    "hall_of_fame": st.builds(HallOfFame, st.just([]), st.just(set()), st.integers(0, 9)) | ANYTHING,
    "geneset": st.sets(st.tuples(INTEGERS, INTEGERS) | st.builds(Index, INDEX_RESULTS) | st.integers(),
                       max_size=3).map(lambda items: set(items))
    | st.frozensets(st.tuples(INTEGERS) | st.builds(RaisingIter, st.just([1])), max_size=3),
    "evaluator_kind": st.sampled_from([EvaluatorKinds.FeedbackDistance, EvaluatorKinds.FeedbackMarks,
                                       EvaluatorKinds.LowerLeftDistance, EvaluatorKinds.Value]),
}


def values_for(kind):
    """Anything at all, or something close to what `kind` takes."""
    if kind.startswith("opt_"):
        return st.none() | NEAR[kind[4:]] | ANYTHING
    return NEAR[kind] | ANYTHING
