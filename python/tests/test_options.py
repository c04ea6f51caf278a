"""Option classes with one float parameter: CrossoverBlend, CrossoverSimulatedBinary, MutatorSwap."""
import math

import pytest

from conftest import Index
from travok import CrossoverBlend, CrossoverSimulatedBinary, MutatorSwap

CLASSES = [(CrossoverBlend, "alpha"), (CrossoverSimulatedBinary, "eta"), (MutatorSwap, "p_swap")]
IDS = [option.__name__ for option, _ in CLASSES]


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
def test_equality_compares_the_parameter_as_float(option, parameter):
    assert option(0.0) == option(-0.0)
    assert option(1) == option(1.0)
    assert option(1.0) != option(2.0)
    assert all(option(1.0) != other(1.0) for other, _ in CLASSES if other is not option)
    nan = option(math.nan)
    assert nan != nan
    assert not (nan == nan)
