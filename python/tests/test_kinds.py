"""The seven kinds enumerations: members, construction, text forms and comparisons."""
import pytest

import travok
from conftest import Index
from travok import (
    ConvergenceKinds,
    CrossoverKinds,
    EvaluatorKinds,
    GeneratorKinds,
    MutatorKinds,
    RecorderKinds,
    SelectorKinds,
)

# class, members in order of value, __doc__, __text_signature__ (None: not constructible)
KINDS = [
    (GeneratorKinds, ["RandomSequence"],
     "Generator kinds. Primary use is for generators without further parameters.", None),
    (EvaluatorKinds, ["FeedbackDistance", "FeedbackMarks", "LowerLeftDistance", "Value"],
     "Kinds of evaluator implementations.", "()"),
    (RecorderKinds, ["FitnessStatistics", "HdrHistogram"],
     "Recorder kinds, i.e. the statistics tracker implementation.", "()"),
    (SelectorKinds, ["Roulette", "Random"], "Selector kinds. What individual selection method to use.", "()"),
    (ConvergenceKinds, ["Never"], "The different kinds of convergence included in the bindings.", "()"),
    (CrossoverKinds, ["IPX", "Point", "Blend", "SimulatedBinary"], "Crossover kinds enumeration.", "()"),
    (MutatorKinds, ["Swap"], "Mutator kinds to select from.", None),
]
KIND_IDS = [kinds.__name__ for kinds, *_ in KINDS]
MEMBERS = [(kinds, name, value) for kinds, names, *_ in KINDS for value, name in enumerate(names)]
MEMBER_IDS = [f"{kinds.__name__}.{name}" for kinds, name, _ in MEMBERS]
CONSTRUCTIBLE = [kinds for kinds, _, _, signature in KINDS if signature is not None]


@pytest.mark.parametrize("kinds, names, doc, signature", KINDS, ids=KIND_IDS)
def test_class_docstring_and_signature(kinds, names, doc, signature):
    assert kinds.__doc__ == doc
    assert kinds.__text_signature__ == signature
    assert kinds.__module__ == "builtins"
    assert kinds.__qualname__ == kinds.__name__


@pytest.mark.parametrize("kinds, name, value", MEMBERS, ids=MEMBER_IDS)
def test_member_text_value_and_identity(kinds, name, value):
    member = getattr(kinds, name)
    assert type(member) is kinds
    assert member is getattr(kinds, name)
    assert repr(member) == str(member) == f"{kinds.__name__}.{name}"
    assert int(member) == value
    assert type(int(member)) is int


@pytest.mark.parametrize("kinds, name, value", MEMBERS, ids=MEMBER_IDS)
def test_member_equals_only_itself_within_its_class(kinds, name, value):
    member = getattr(kinds, name)
    for other_kinds, other_name, _ in MEMBERS:
        if other_kinds is kinds:
            other = getattr(kinds, other_name)
            assert (member == other) == (other_name == name)
            assert (member != other) == (other_name != name)


@pytest.mark.parametrize("kinds", CONSTRUCTIBLE, ids=lambda kinds: kinds.__name__)
def test_constructor_gives_a_new_member_of_value_zero(kinds):
    made = kinds()
    first = getattr(kinds, KINDS[KIND_IDS.index(kinds.__name__)][1][0])
    assert made == first
    assert made is not first
    assert int(made) == 0
    assert repr(made) == repr(first)


@pytest.mark.parametrize("kinds", CONSTRUCTIBLE, ids=lambda kinds: kinds.__name__)
def test_constructor_takes_no_arguments(kinds):
    with pytest.raises(TypeError) as caught:
        kinds(1)
    assert str(caught.value) == f"{kinds.__name__}.__new__() takes 0 positional arguments but 1 was given"
    with pytest.raises(TypeError) as caught:
        kinds(value=0)
    assert str(caught.value) == f"{kinds.__name__}.__new__() got an unexpected keyword argument 'value'"


@pytest.mark.parametrize("kinds", [GeneratorKinds, MutatorKinds], ids=["GeneratorKinds", "MutatorKinds"])
def test_parameterless_roles_cannot_be_instantiated(kinds):
    with pytest.raises(TypeError):
        kinds()


@pytest.mark.parametrize(
    "left, right, equal",
    [
        (EvaluatorKinds.FeedbackMarks, 1, True),
        (EvaluatorKinds.FeedbackMarks, 2, False),
        (EvaluatorKinds.FeedbackMarks, 1.0, False),
        (EvaluatorKinds.FeedbackMarks, "1", False),
        (SelectorKinds.Random, True, True),
        (SelectorKinds.Roulette, False, True),
        (ConvergenceKinds.Never, 0, True),
        (CrossoverKinds.SimulatedBinary, Index(3), True),
        (CrossoverKinds.SimulatedBinary, Index(2), False),
        (EvaluatorKinds.FeedbackDistance, -0, True),
        (EvaluatorKinds.FeedbackDistance, 2**64, False),
        (EvaluatorKinds.FeedbackDistance, Index(ValueError), False),
        (RecorderKinds.FitnessStatistics, EvaluatorKinds.FeedbackDistance, False),
        (SelectorKinds.Random, RecorderKinds.HdrHistogram, False),
        (EvaluatorKinds.Value, None, False),
    ],
    ids=[
        "int", "other-int", "float-is-not-an-integer", "str", "true", "false", "zero", "__index__",
        "other-__index__", "negative-zero", "beyond-64-bits", "hostile-__index__", "other-class-same-value",
        "other-class-same-value-1", "none",
    ],
)
def test_equality_with_foreign_operands(left, right, equal):
    assert (left == right) is equal
    assert (left != right) is not equal
    if isinstance(right, (int, bool)):
        assert (right == left) is equal  # the reflected comparison follows the same rule


# An ordinary error from __index__ makes the operand incomparable (above); these are not answers.
@pytest.mark.parametrize("error_type", [KeyboardInterrupt, SystemExit, MemoryError])
@pytest.mark.parametrize(
    "compare",
    [lambda m, x: m == x, lambda m, x: m != x, lambda m, x: x == m, lambda m, x: x != m],
    ids=["eq", "ne", "reflected-eq", "reflected-ne"],
)
def test_an_interrupt_or_memory_error_from_index_propagates(compare, error_type):
    error = error_type("from __index__")
    with pytest.raises(error_type) as excinfo:
        compare(EvaluatorKinds.Value, Index(error))
    assert excinfo.value is error


def test_ordering_is_refused():
    with pytest.raises(TypeError):
        EvaluatorKinds.Value < EvaluatorKinds.FeedbackDistance
    with pytest.raises(TypeError):
        EvaluatorKinds.Value >= 0


def test_members_are_unhashable():
    assert EvaluatorKinds.__hash__ is None
    with pytest.raises(TypeError):
        hash(EvaluatorKinds.Value)
    with pytest.raises(TypeError):
        {EvaluatorKinds.Value}
    with pytest.raises(TypeError):
        {SelectorKinds.Random: 1}


def test_members_are_no_indices_and_no_numbers():
    with pytest.raises(TypeError):
        [0, 1][EvaluatorKinds.FeedbackMarks]
    with pytest.raises(TypeError):
        EvaluatorKinds.FeedbackMarks + 1
    with pytest.raises(TypeError):
        float(EvaluatorKinds.FeedbackMarks)


def test_members_and_classes_are_immutable():
    with pytest.raises(TypeError):
        EvaluatorKinds.Value = EvaluatorKinds.FeedbackMarks
    with pytest.raises(AttributeError):
        EvaluatorKinds.Value.name = "Other"
    assert repr(EvaluatorKinds.Value) == "EvaluatorKinds.Value"


def test_kinds_cannot_be_subclassed():
    with pytest.raises(TypeError):
        class Mine(SelectorKinds):
            pass


def test_members_have_no_listing():
    # Not the host's enumerations: no iteration over members, no name or value attributes.
    with pytest.raises(TypeError):
        list(EvaluatorKinds)
    assert not hasattr(EvaluatorKinds.Value, "name")
    assert not hasattr(EvaluatorKinds.Value, "value")
    assert travok.EvaluatorKinds is EvaluatorKinds
