"""Option classes with one float parameter: CrossoverBlend, CrossoverSimulatedBinary, MutatorSwap."""
import math

import pytest

from conftest import Index
from travok import CrossoverBlend, CrossoverSimulatedBinary, MutatorSwap

# class, parameter, class docstring (after the signature lines), parameter docstring
OPTIONS = [
    (
        CrossoverBlend,
        "alpha",
        "Blending crossover for float-like valued gene sequences\n\n"
        "Blends both parents' values to achieve offspring. Note that alpha pulls \"further\"\n"
        "than the domain between the two parents for a 1.0 value.\n\n"
        "Each value is determined by:\n"
        "`gamma * A + (1 - gamma)`, where `gamma = (1.0 + 2.0 * alpha) * rng.gen() - alpha`\n\n"
        "This means that the interval is extended past regular averaging for any `alpha > 0.0`.",
        "`gamma * A + (1 - gamma)`, where `gamma = (1.0 + 2.0 * alpha) * rng.gen() - alpha`\n"
        "This means that the interval is extended past regular averaging for any `alpha > 0.0`.",
    ),
    (
        CrossoverSimulatedBinary,
        "eta",
        "Simulated binary crossover for float-like valued gene sequences\n\n"
        "`eta` is the crowding degree of the crossover. The higher the eta, the more\n"
        "the offspring resembles its parents.",
        "Crowding degree of the crossover.\nThe higher the eta, the more the offspring resembles its parents.",
    ),
    (
        MutatorSwap,
        "p_swap",
        "Swap mutation by independently checking each position to be swapped with a random other.\n\n"
        "`p_swap` represents the probability that a position is swapped.",
        "Probability that a position is swapped.",
    ),
]
IDS = [option.__name__ for option, *_ in OPTIONS]
CLASSES = [(option, parameter) for option, parameter, *_ in OPTIONS]


@pytest.mark.parametrize("option, parameter, doc, attribute_doc", OPTIONS, ids=IDS)
def test_docstrings_and_signature(option, parameter, doc, attribute_doc):
    assert option.__doc__ == doc
    assert option.__text_signature__ == f"({parameter})"
    assert getattr(option, parameter).__doc__ == attribute_doc
    assert option.__module__ == "builtins"


@pytest.mark.parametrize("option, parameter", CLASSES, ids=IDS)
@pytest.mark.parametrize(
    "given, stored",
    [(0.5, 0.5), (2, 2.0), (True, 1.0), (Index(2), 2.0), (-math.inf, -math.inf), (-7.25, -7.25)],
    ids=["float", "int", "bool", "__index__", "infinity", "negative"],
)
def test_parameter_is_stored_as_float_without_range_check(option, parameter, given, stored):
    for built in (option(given), option(**{parameter: given})):
        value = getattr(built, parameter)
        assert type(value) is float
        assert value == stored


@pytest.mark.parametrize("option, parameter", CLASSES, ids=IDS)
def test_assignment(option, parameter):
    built = option(1.0)
    setattr(built, parameter, 0.25)
    assert getattr(built, parameter) == 0.25
    assert built == option(0.25)


@pytest.mark.parametrize("option, parameter", CLASSES, ids=IDS)
def test_binding_errors(option, parameter):
    name = option.__name__
    with pytest.raises(TypeError) as caught:
        option()
    assert str(caught.value) == f"{name}.__new__() missing 1 required positional argument: '{parameter}'"
    with pytest.raises(TypeError) as caught:
        option(1.0, 2.0)
    # The message template keeps the plural for a single parameter.
    assert str(caught.value) == f"{name}.__new__() takes 1 positional arguments but 2 were given"
    with pytest.raises(TypeError) as caught:
        option(1.0, **{parameter: 2.0})
    assert str(caught.value) == f"{name}.__new__() got multiple values for argument '{parameter}'"


@pytest.mark.parametrize("option, parameter", CLASSES, ids=IDS)
def test_parameter_cannot_be_deleted(option, parameter):
    built = option(1.0)
    with pytest.raises(AttributeError) as caught:
        delattr(built, parameter)
    assert str(caught.value) == "can't delete attribute"
    assert getattr(built, parameter) == 1.0


@pytest.mark.parametrize("option, parameter", CLASSES, ids=IDS)
def test_equality_compares_the_parameter_as_float(option, parameter):
    assert option(0.0) == option(-0.0)
    assert option(1) == option(1.0)
    assert option(1.0) != option(2.0)
    nan = option(math.nan)
    assert nan != nan
    assert not (nan == nan)


@pytest.mark.parametrize("option, parameter", CLASSES, ids=IDS)
def test_other_classes_ordering_and_hashing(option, parameter):
    for other, _ in CLASSES:
        if other is not option:
            assert option(1.0) != other(1.0)
    assert option(1.0) != 1.0
    with pytest.raises(TypeError):
        option(1.0) < option(2.0)
    with pytest.raises(TypeError):
        hash(option(1.0))
    with pytest.raises(AttributeError):
        option(1.0).other = 1


@pytest.mark.parametrize("option, parameter", CLASSES, ids=IDS)
def test_cannot_be_subclassed(option, parameter):
    with pytest.raises(TypeError):
        type("Mine", (option,), {})
