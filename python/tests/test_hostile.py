"""Hostile input: arbitrary Python values for every constructor argument, every attribute and every
argument of sequence_sga. Whatever arrives, the module answers with one of a few exception types and
its documented messages, keeps what it held when a call fails, and never ends the process."""
import sys

import pytest
from hypothesis import HealthCheck, given, settings, strategies as st

from run_checks import (BORROW_MESSAGES, CONFIG_MESSAGES, U64, address_space, check_lineage, is_u64,
                        needs_real_allocator, panic_type, run, sanitized)
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

PANIC = panic_type()
WRONG_KIND = "wrong evaluator kind, only those in the EvaluatorMatrix.kinds() set are valid."
MATRIX_SIZE = "Vector should be of size dimensions^2. "
SINGLE = "n_chromosomes must not be 1"
# Where the run ends on an impossible allocation instead of throwing, absurd sizes cannot be asked for.
ASAN = sanitized()
ABSURD = 10**12
# Only a few examples each: the suite runs in CI on every change.
FEW = settings(max_examples=40, deadline=None, database=None,
               suppress_health_check=[HealthCheck.too_slow, HealthCheck.data_too_large, HealthCheck.filter_too_much])


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


class Index:
    def __init__(self, result, touch=None):
        self.result, self.touch = result, touch

    def __index__(self):
        if self.touch:
            Target.touch(self.touch)
        if isinstance(self.result, BaseException):
            raise self.result
        return self.result

    __int__ = __index__


class Float:
    def __init__(self, result, touch=None):
        self.result, self.touch = result, touch

    def __float__(self):
        if self.touch:
            Target.touch(self.touch)
        if isinstance(self.result, BaseException):
            raise self.result
        return self.result


class Sequence:
    """A sequence by the old protocol: __len__ may lie or raise, items may run out early or late, and
    reading an item may grow or shrink the sequence or touch the target."""

    def __init__(self, items, length=None, grow=0, shrink=False, fail_at=None, touch=None):
        self.items, self.length, self.grow, self.shrink = list(items), length, grow, shrink
        self.fail_at, self.touch = fail_at, touch

    def __len__(self):
        if isinstance(self.length, BaseException):
            raise self.length
        return len(self.items) if self.length is None else self.length

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
INTEGERS = st.integers() | st.sampled_from([0, 1, -1, U64 - 1, U64, 2**63, -(2**63), 2**1000, -(2**1000), 255, 256])
FLOATS = st.floats(allow_nan=True, allow_infinity=True)
SCALARS = st.none() | st.booleans() | INTEGERS | FLOATS | st.text(max_size=4) | st.binary(max_size=4)
INDEX_RESULTS = INTEGERS | st.sampled_from([Hostile("index"), TypeError("index"), OddTypeError(), "x", 1.5, None])
FLOAT_RESULTS = FLOATS | st.sampled_from([Hostile("float"), TypeError("float"), "x", 1, None])
# 2**62 and sys.maxsize exceed any vector's capacity; ABSURD is a request the allocator must refuse.
LENGTHS = st.sampled_from([None, 0, 1, 2, 3, -1, Hostile("len"), TypeError("len"), 2**62, sys.maxsize, 2**100]
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
        st.builds(Index, INDEX_RESULTS, TOUCHES)
        | st.builds(Float, FLOAT_RESULTS, TOUCHES)
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


def check_refusal(error, name, allowed_values=(WRONG_KIND,)):
    """The exception of a failed conversion of argument or attribute `name`."""
    assert isinstance(error, (TypeError, OverflowError, ValueError, RuntimeError, MemoryError, Hostile)), repr(error)
    if isinstance(error, TypeError):
        assert str(error).startswith(f"argument '{name}': "), str(error)
    elif type(error) is RuntimeError:
        assert str(error) in BORROW_MESSAGES
    elif isinstance(error, ValueError):
        assert str(error) in allowed_values, str(error)


# --- constructors and attributes ---------------------------------------------

PARAMETERS = [pytest.param(cls, index, id=f"{cls.__name__}-{name}")
              for cls, fields in CLASSES.items() for index, (name, _) in enumerate(fields)]
ATTRIBUTE_CASES = [pytest.param(cls, name, kind, id=f"{cls.__name__}-{name}")
                   for cls, fields in ATTRIBUTES.items() for name, kind in fields]


@pytest.mark.parametrize(("cls", "index"), PARAMETERS)
@FEW
@given(value=ANYTHING)
def test_constructor_argument_is_converted_or_refused(cls, index, value):
    name, kind = CLASSES[cls][index]
    arguments = valid_arguments(cls)
    arguments[index] = value
    try:
        made = cls(*arguments)
    except Exception as error:  # noqa: BLE001 - which exceptions may arrive is what is checked
        check_refusal(error, name)
        return
    assert type(made) is cls
    if ATTRIBUTES[cls]:
        assert conforms(kind, getattr(made, name))


@pytest.mark.parametrize(("cls", "name", "kind"), ATTRIBUTE_CASES)
@FEW
@given(value=ANYTHING)
def test_assignment_stores_a_converted_value_or_nothing(cls, name, kind, value):
    target = cls(*valid_arguments(cls))
    before = state(target)
    Target.obj, Target.name, Target.kind, Target.log = target, name, kind, []
    try:
        setattr(target, name, value)
    except Exception as error:  # noqa: BLE001
        check_refusal(error, name, allowed_values=())
        # What the caller's own hooks assigned meanwhile stays; the failed assignment adds nothing.
        assert state(target) == (Target.log[-1] if Target.log else before)
        return
    finally:
        Target.obj = None
    assert conforms(kind, getattr(target, name))
    # The other attributes are as they were (or as a hook left them).
    last = Target.log[-1] if Target.log else before
    others = [i for i, (other, _) in enumerate(ATTRIBUTES[cls]) if other != name]
    assert [state(target)[1][i] for i in others] == [last[1][i] for i in others]


@pytest.mark.parametrize("cls", list(CLASSES), ids=lambda cls: cls.__name__)
@FEW
@given(args=st.lists(ANYTHING, max_size=9), kwargs=st.dictionaries(st.text(max_size=12), ANYTHING, max_size=3))
def test_any_call_of_a_constructor_is_bound_or_refused(cls, args, kwargs):
    try:
        made = cls(*args, **kwargs)
    except Exception as error:  # noqa: BLE001
        assert isinstance(error, (TypeError, OverflowError, ValueError, MemoryError, Hostile)), repr(error)
        if isinstance(error, TypeError):
            message = str(error)
            assert message.startswith((f"{cls.__name__}.__new__() ", "argument '")), message
        elif isinstance(error, ValueError):
            assert str(error) == WRONG_KIND
        return
    assert type(made) is cls


@pytest.mark.parametrize("cls", [cls for cls in CLASSES if ATTRIBUTES[cls]], ids=lambda cls: cls.__name__)
@FEW
@given(other=ANYTHING)
def test_comparison_with_anything_is_a_bool_or_not_implemented(cls, other):
    made = cls(*valid_arguments(cls))
    equal = made == other
    assert type(equal) is bool
    assert (made != other) is (not equal)
    with pytest.raises(TypeError):
        made < other  # noqa: B015 - the ordering is refused whatever the operand


# --- sequence_sga ------------------------------------------------------------

NAMES = ["settings", "generator", "evaluator", "recorder", "selector", "crossover", "mutator", "convergence"]


def good_arguments():
    return [SequencingSettings(3, 0.5, 0.5, 4, 2), GeneratorKinds.RandomSequence,
            EvaluatorMatrix(EvaluatorKinds.FeedbackMarks, [0.0, 1.0, 0.0, 0.0, 0.0, 1.0, 1.0, 0.0, 0.0]),
            RecorderKinds.FitnessStatistics, SelectorKinds.Roulette, CrossoverKinds.IPX, MutatorSwap(0.3),
            ConvergenceKinds.Never]


@pytest.mark.parametrize("index", range(8), ids=NAMES)
@FEW
@given(value=ANYTHING)
def test_sequence_sga_argument_is_extracted_or_refused(index, value):
    arguments = good_arguments()
    arguments[index] = value
    try:
        lineage = sequence_sga(*arguments)
    except PANIC:
        return  # another settings object may ask for a run that faults
    except Exception as error:  # noqa: BLE001
        if isinstance(error, TypeError):
            assert str(error).startswith(f"argument '{NAMES[index]}': "), str(error)
        elif isinstance(error, ValueError):
            assert str(error) in CONFIG_MESSAGES or str(error).startswith((MATRIX_SIZE, SINGLE)), str(error)
        else:
            raise
        return
    assert lineage.generations, "a run that returns holds its newest population"


OPTIONAL_COUNT = st.none() | st.integers(0, 6) | st.just(U64 - 1)
PROBABILITIES = FLOATS | st.floats(0, 1)
CELLS = FLOATS | st.sampled_from([0.0, -0.0, 1.0])


def matrix_evaluator(kind, dimension, cells, offset):
    """A matrix evaluator as a caller may leave it: any kind (assignment accepts Value, which the run
    refuses) and a square matrix or, for dimension 6, one whose length is not a square."""
    made = EvaluatorMatrix(EvaluatorKinds.FeedbackMarks, [], offset)
    made.kind = kind
    made.matrix = cells[: dimension * dimension] if dimension < 6 else cells[:10]
    return made


EVALUATORS = (
    st.builds(matrix_evaluator, st.sampled_from([EvaluatorKinds.FeedbackMarks, EvaluatorKinds.FeedbackDistance,
                                                 EvaluatorKinds.LowerLeftDistance, EvaluatorKinds.Value]),
              st.integers(0, 6), st.lists(CELLS, min_size=25, max_size=25), OPTIONAL_COUNT)
    | st.builds(EvaluatorValue, FLOATS)
)


@FEW
@given(
    n_genes=st.integers(0, 7), p_crossover=PROBABILITIES, p_mutation=PROBABILITIES,
    n_chromosomes=st.none() | st.integers(0, 9), n_generations=st.none() | st.integers(0, 4),
    n_records=OPTIONAL_COUNT, n_hall_of_fame=OPTIONAL_COUNT, evaluator=EVALUATORS,
    selector=st.sampled_from([SelectorKinds.Roulette, SelectorKinds.Random]),
    crossover=st.sampled_from([CrossoverKinds.IPX, CrossoverKinds.Point, CrossoverKinds.Blend])
    | st.builds(CrossoverBlend, FLOATS) | st.builds(CrossoverSimulatedBinary, FLOATS),
    p_swap=PROBABILITIES,
)
def test_any_settings_run_to_a_well_formed_lineage_or_a_documented_error(
        n_genes, p_crossover, p_mutation, n_chromosomes, n_generations, n_records, n_hall_of_fame, evaluator,
        selector, crossover, p_swap):
    settings_ = SequencingSettings(n_genes, p_crossover, p_mutation, n_chromosomes, n_generations, n_records,
                                   n_hall_of_fame)
    try:
        lineage = run(settings_, evaluator, selector, crossover, MutatorSwap(p_swap))
    except PANIC as fault:
        assert len(fault.args) == 1 and type(fault.args[0]) is str and fault.args[0]
        return
    except ValueError as error:
        assert str(error) in CONFIG_MESSAGES or str(error).startswith((MATRIX_SIZE, SINGLE)), str(error)
        return
    ordering = isinstance(crossover, CrossoverKinds) and crossover == CrossoverKinds.IPX
    check_lineage(lineage, n_genes, n_chromosomes, n_generations, n_records, n_hall_of_fame, ordering)


# --- absurd sizes --------------------------------------------------------------

@needs_real_allocator
@pytest.mark.parametrize(
    "fields",
    [
        pytest.param(dict(n_genes=2**40, n_chromosomes=2), id="genes-2^40"),
        pytest.param(dict(n_genes=2**62, n_chromosomes=2), id="genes-beyond-vector"),
        pytest.param(dict(n_genes=0, n_chromosomes=2**40), id="chromosomes-2^40"),
        pytest.param(dict(n_genes=0, n_chromosomes=U64 - 1), id="chromosomes-max"),
    ],
)
def test_a_run_of_absurd_size_raises_memory_error(fields):
    with address_space(), pytest.raises(MemoryError):
        run(SequencingSettings(p_crossover=0.5, p_mutation=0.5, n_generations=1, **fields))
    # The process goes on, and so does the module.
    check_lineage(run(SequencingSettings(4, 0.5, 0.5, 4, 2)), 4, 4, 2)


ABSURD_VALUES = [
    pytest.param(EvaluatorMatrix, 1, "matrix", lambda: Sequence([0.0], length=ABSURD), id="matrix"),
    pytest.param(Chromosome, 0, "genes", lambda: Sequence([1], length=ABSURD), id="genes"),
    pytest.param(Population, 0, "chromosomes", lambda: Sequence([Chromosome([1])], length=ABSURD), id="chromosomes"),
    pytest.param(Lineage, 1, "records", lambda: Sequence([], length=ABSURD), id="records"),
]


@needs_real_allocator
@pytest.mark.parametrize(("cls", "index", "name", "make"), ABSURD_VALUES)
def test_a_sequence_claiming_an_absurd_length_raises_memory_error(cls, index, name, make):
    arguments = valid_arguments(cls)
    arguments[index] = make()
    with address_space(), pytest.raises(MemoryError):
        cls(*arguments)
    made = cls(*valid_arguments(cls))
    before = state(made)
    with address_space(), pytest.raises(MemoryError):
        setattr(made, name, make())
    assert state(made) == before

