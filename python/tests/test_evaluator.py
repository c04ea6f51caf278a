"""EvaluatorMatrix and EvaluatorValue: construction, the kind check, kinds(), copies and equality."""
import math

import pytest

from travok import EvaluatorKinds, EvaluatorMatrix, EvaluatorValue

MATRIX_KINDS = ["FeedbackDistance", "FeedbackMarks", "LowerLeftDistance"]
WRONG_KIND = "wrong evaluator kind, only those in the EvaluatorMatrix.kinds() set are valid."


def test_kinds_is_a_static_method_returning_a_new_set():
    assert EvaluatorMatrix.kinds.__doc__ == "All available matrix evaluation kinds."
    assert EvaluatorMatrix.kinds.__text_signature__ == "()"
    first = EvaluatorMatrix.kinds()
    assert type(first) is set
    assert first == set(MATRIX_KINDS)
    first.add("Value")
    assert EvaluatorMatrix.kinds() == set(MATRIX_KINDS)
    built = EvaluatorMatrix(EvaluatorKinds.FeedbackMarks, [])
    assert built.kinds() == set(MATRIX_KINDS)
    with pytest.raises(TypeError):
        EvaluatorMatrix.kinds(1)


def test_kinds_names_the_members_the_constructor_accepts():
    for name in EvaluatorMatrix.kinds():
        kind = getattr(EvaluatorKinds, name)
        assert EvaluatorMatrix(kind, [1.0]).kind == kind


@pytest.mark.parametrize("kind", MATRIX_KINDS)
def test_matrix_construction_reads_back(kind):
    member = getattr(EvaluatorKinds, kind)
    built = EvaluatorMatrix(member, (0, 1, 0.5, -0.0), 7)
    assert built.kind == member
    assert built.kind is not member  # a new object on every read
    assert built.matrix == [0.0, 1.0, 0.5, -0.0]
    assert all(type(cell) is float for cell in built.matrix)
    assert math.copysign(1.0, built.matrix[3]) == -1.0
    assert built.offset == 7


def test_offset_defaults_to_none_and_matrix_is_not_checked_for_squareness():
    built = EvaluatorMatrix(kind=EvaluatorKinds.LowerLeftDistance, matrix=[1.0, 2.0, 3.0])
    assert built.offset is None
    assert built.matrix == [1.0, 2.0, 3.0]


@pytest.mark.parametrize(
    "arguments, error, message",
    [
        ((EvaluatorKinds.Value, [1.0]), ValueError, WRONG_KIND),
        # Conversion comes first, in parameter order; the kind is checked only after all three.
        ((5, "x", -1), TypeError, "argument 'kind': 'int' object cannot be cast as 'EvaluatorKinds'"),
        ((EvaluatorKinds.Value, "x"), TypeError, "argument 'matrix': Can't extract `str` to `Vec`"),
        ((EvaluatorKinds.Value, [1.0], -1), OverflowError, "can't convert negative int to unsigned"),
    ],
    ids=["value-kind", "kind-converted-first", "matrix-before-kind-check", "offset-before-kind-check"],
)
def test_matrix_constructor_refusals(arguments, error, message):
    with pytest.raises(error) as caught:
        EvaluatorMatrix(*arguments)
    assert str(caught.value) == message


def test_assignment_checks_nothing_further():
    built = EvaluatorMatrix(EvaluatorKinds.FeedbackMarks, [1.0, 0.0, 0.0, 1.0])
    built.kind = EvaluatorKinds.Value
    built.matrix = [1.0, 2.0, 3.0]
    built.offset = 2**64 - 1
    assert built.kind == EvaluatorKinds.Value
    assert built.matrix == [1.0, 2.0, 3.0]
    assert built.offset == 2**64 - 1
    built.offset = None
    assert built.offset is None


def test_reads_are_copies():
    built = EvaluatorMatrix(EvaluatorKinds.FeedbackMarks, [1.0, 2.0])
    built.matrix.append(3.0)
    built.matrix[0] = 9.0
    assert built.matrix == [1.0, 2.0]


def matrix(kind="FeedbackMarks", cells=(1.0, 0.0), offset=None):
    return EvaluatorMatrix(getattr(EvaluatorKinds, kind), list(cells), offset)


@pytest.mark.parametrize(
    "left, right, equal",
    [
        (matrix(), matrix(), True),
        (matrix(kind="FeedbackDistance"), matrix(), False),
        (matrix(cells=(0.0, 1.0)), matrix(cells=(0.0, -1.0)), False),
        (matrix(cells=(0.0, 1.0)), matrix(cells=(-0.0, 1.0)), True),
        (matrix(cells=(1.0,)), matrix(cells=(1.0, 0.0)), False),
        (matrix(cells=(math.nan,)), matrix(cells=(math.nan,)), False),
        (matrix(offset=None), matrix(offset=0), False),
        (matrix(offset=0), matrix(offset=0), True),
        (EvaluatorValue(0.0), EvaluatorValue(-0.0), True),
        (EvaluatorValue(1), EvaluatorValue(1.0), True),
        (EvaluatorValue(math.nan), EvaluatorValue(math.nan), False),
        (EvaluatorValue(1.0), EvaluatorValue(2.0), False),
        (EvaluatorValue(1.0), matrix(), False),
    ],
    ids=["same", "kind", "cell", "signed-zero-cell", "length", "nan-cell", "offset-absent-against-zero",
         "offset-zero", "value-signed-zero", "value-int", "value-nan", "value", "other-class"],
)
def test_equality(left, right, equal):
    assert (left == right) is equal
    assert (left != right) is not equal


def test_value_reads_back_as_float():
    built = EvaluatorValue(3)
    assert type(built.value) is float
    assert built.value == 3.0
    built.value = -math.inf
    assert built.value == -math.inf
