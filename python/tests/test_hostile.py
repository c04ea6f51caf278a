"""Hostile input: arbitrary Python values for every constructor argument, every attribute and every
argument of sequence_sga. Whatever arrives, the module answers with one of a few exception types and
its documented messages, keeps what it held when a call fails, and never ends the process."""
import array

import pytest
from hypothesis import HealthCheck, given, settings, strategies as st

from conftest import Float
from hostile_values import (
    ABSURD,
    ANYTHING,
    ATTRIBUTES,
    CLASSES,
    FLOATS,
    Hostile,
    Sequence,
    Target,
    conforms,
    state,
    valid_arguments,
    values_for,
)
from run_checks import (
    BORROW_MESSAGES,
    CONFIG_MESSAGES,
    U64,
    address_space,
    check_lineage,
    needs_real_allocator,
    panic_type,
    run,
)
from travok import (
    Chromosome,
    ConvergenceKinds,
    CrossoverBlend,
    CrossoverKinds,
    CrossoverSimulatedBinary,
    EvaluatorKinds,
    EvaluatorMatrix,
    EvaluatorValue,
    GeneratorKinds,
    Lineage,
    MutatorSwap,
    Population,
    RecorderKinds,
    SelectorKinds,
    SequencingSettings,
    sequence_sga,
)

PANIC = panic_type()
WRONG_KIND = "wrong evaluator kind, only those in the EvaluatorMatrix.kinds() set are valid."
MATRIX_SIZE = "Vector should be of size dimensions^2. "
SINGLE = "n_chromosomes must not be 1"
# Only a few examples each: the suite runs in CI on every change.
FEW = settings(max_examples=40, deadline=None, database=None,
               suppress_health_check=[HealthCheck.too_slow, HealthCheck.data_too_large, HealthCheck.filter_too_much])


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
@given(data=st.data())
def test_constructor_argument_is_converted_or_refused(cls, index, data):
    name, kind = CLASSES[cls][index]
    value = data.draw(values_for(kind))
    arguments = valid_arguments(cls)
    arguments[index] = value
    try:
        made = cls(*arguments)
    except Exception as error:  # which exceptions may arrive is what is checked
        check_refusal(error, name)
        return
    assert type(made) is cls
    if ATTRIBUTES[cls]:
        assert conforms(kind, getattr(made, name))


@pytest.mark.parametrize(("cls", "name", "kind"), ATTRIBUTE_CASES)
@FEW
@given(data=st.data())
def test_assignment_stores_a_converted_value_or_nothing(cls, name, kind, data):
    target = cls(*valid_arguments(cls))
    value = data.draw(values_for(kind))
    before = state(target)
    Target.obj, Target.name, Target.kind, Target.log = target, name, kind, []
    try:
        setattr(target, name, value)
    except Exception as error:
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
    except Exception as error:
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
        made < other  # the ordering is refused whatever the operand


# --- exact refusals -----------------------------------------------------------

STR_TO_VEC = "Can't extract `str` to `Vec`"
NEGATIVE, TOO_BIG = "can't convert negative int to unsigned", "int too big to convert"
NOT_AN_INTEGER = "'{}' object cannot be interpreted as an integer"
RANGE = "out of range integral type conversion attempted"


class FloatReturnsStr:
    def __float__(self):
        return "x"


def float_conversion_message(value):
    """The interpreter's own message for a value no float comes out of (3.15 reworded it):
    array('d') converts its items by the same call the module makes."""
    with pytest.raises(TypeError) as excinfo:
        array.array("d", [value])
    return str(excinfo.value)


# What each converter refuses: (value, exception, message). A TypeError's message follows
# "argument '<name>': ", the parameter or attribute being converted; other errors pass unprefixed.
# An optional kind takes None and refuses the rest as its value's kind does.
REFUSALS = {
    "u64": [(-1, OverflowError, NEGATIVE), (2**64, OverflowError, TOO_BIG),
            (1.0, TypeError, NOT_AN_INTEGER.format("float")), ("1", TypeError, NOT_AN_INTEGER.format("str")),
            (None, TypeError, NOT_AN_INTEGER.format("NoneType"))],
    "u8": [(256, OverflowError, RANGE), (-1, OverflowError, RANGE), (2**63 - 1, OverflowError, RANGE),
           (2**70, OverflowError, "Python int too large to convert to C long"),
           (3.0, TypeError, NOT_AN_INTEGER.format("float")), ("3", TypeError, NOT_AN_INTEGER.format("str"))],
    "f64": [("x", TypeError, "must be real number, not str"), ([1.0], TypeError, "must be real number, not list"),
            (None, TypeError, "must be real number, not NoneType"),
            (2**1024, OverflowError, "int too large to convert to float"),
            (FloatReturnsStr(), TypeError, float_conversion_message(FloatReturnsStr())),
            (Float(ValueError), ValueError, "float")],
    "genes": [("12", TypeError, STR_TO_VEC), (type("Text", (str,), {})("1"), TypeError, STR_TO_VEC),
              ({1, 2}, TypeError, "'set' object cannot be cast as 'Sequence'"),
              ({1: 2}, TypeError, "'dict' object cannot be cast as 'Sequence'"),
              (None, TypeError, "'NoneType' object cannot be cast as 'Sequence'"),
              (iter([1]), TypeError, "'list_iterator' object cannot be cast as 'Sequence'"),
              ([7, 8, 9.5, 10], TypeError, NOT_AN_INTEGER.format("float")),
              ([1, "2"], TypeError, NOT_AN_INTEGER.format("str")),
              ([-1], OverflowError, NEGATIVE), ([2**64], OverflowError, TOO_BIG)],
    "matrix": [("abc", TypeError, STR_TO_VEC), ({1.0}, TypeError, "'set' object cannot be cast as 'Sequence'"),
               ([1.0, "a"], TypeError, "must be real number, not str"), ([Float(ValueError)], ValueError, "float")],
    "chromosomes": [("ab", TypeError, STR_TO_VEC), ({1, 2}, TypeError, "'set' object cannot be cast as 'Sequence'"),
                    (5, TypeError, "'int' object cannot be cast as 'Sequence'"),
                    (Chromosome([1]), TypeError, "'Chromosome' object cannot be cast as 'Sequence'"),
                    ([Chromosome([1]), 5], TypeError, "'int' object cannot be cast as 'Chromosome'"),
                    ([Chromosome([1]), None], TypeError, "'NoneType' object cannot be cast as 'Chromosome'"),
                    ([Population([], 0)], TypeError, "'Population' object cannot be cast as 'Chromosome'"),
                    ([[1, 2]], TypeError, "'list' object cannot be cast as 'Chromosome'")],
    "populations": [("ab", TypeError, STR_TO_VEC),
                    ([Population([], 1), 5], TypeError, "'int' object cannot be cast as 'Population'")],
    "records": [("ab", TypeError, STR_TO_VEC),
                ([Population([], 1)], TypeError, "'Population' object cannot be cast as 'FitnessStatistics'")],
    "hall_of_fame": [(None, TypeError, "'NoneType' object cannot be cast as 'HallOfFame'")],
    "geneset": [([(1, 2)], TypeError, "'list' object cannot be cast as 'set'"),
                ({1: 2}, TypeError, "'dict' object cannot be cast as 'set'"),
                ("ab", TypeError, "'str' object cannot be cast as 'set'"), ({"ab"}, TypeError, STR_TO_VEC),
                ({5}, TypeError, "'int' object cannot be cast as 'Sequence'"),
                ({(3,), (4, "x")}, TypeError, NOT_AN_INTEGER.format("str")),
                ({(1.5,)}, TypeError, NOT_AN_INTEGER.format("float")),
                ({(-1,)}, OverflowError, NEGATIVE), ({(2**64,)}, OverflowError, TOO_BIG)],
    "evaluator_kind": [(1, TypeError, "'int' object cannot be cast as 'EvaluatorKinds'"),
                       (None, TypeError, "'NoneType' object cannot be cast as 'EvaluatorKinds'")],
}
REFUSAL_CASES = [
    pytest.param(cls, index, value, error, message, id=f"{cls.__name__}-{name}-{error.__name__}-{case}")
    for cls, fields in CLASSES.items() for index, (name, kind) in enumerate(fields)
    for case, (value, error, message) in enumerate(REFUSALS[kind.removeprefix("opt_")])
    if value is not None or not kind.startswith("opt_")
]


@pytest.mark.parametrize(("cls", "index", "value", "error", "message"), REFUSAL_CASES)
def test_refusal_is_exact_and_an_assignment_stores_nothing(cls, index, value, error, message):
    name = CLASSES[cls][index][0]
    expected = f"argument '{name}': {message}" if error is TypeError else message
    arguments = valid_arguments(cls)
    arguments[index] = value
    with pytest.raises(error) as caught:
        cls(*arguments)
    assert type(caught.value) is error
    assert str(caught.value) == expected
    if ATTRIBUTES[cls]:
        made = cls(*valid_arguments(cls))
        before = state(made)
        with pytest.raises(error) as caught:
            setattr(made, name, value)
        assert str(caught.value) == expected
        assert state(made) == before


@pytest.mark.parametrize("cls", [cls for cls in CLASSES if len(CLASSES[cls]) > 1], ids=lambda cls: cls.__name__)
def test_arguments_convert_in_parameter_order(cls):
    """Every argument refused, given by keyword in reverse: the first parameter is the one reported."""
    with pytest.raises(TypeError) as caught:
        cls(**{name: object() for name, _ in reversed(CLASSES[cls])})
    assert str(caught.value).startswith(f"argument '{CLASSES[cls][0][0]}': "), str(caught.value)


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
    except Exception as error:
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

