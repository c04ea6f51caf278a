"""FitnessStatistics and RecorderHdrHistogram as Python values."""
import math

import pytest

from travok import FitnessStatistics, RecorderHdrHistogram

FIELDS = ["size", "min", "max", "sum", "mean", "variance"]


def record(**changes):
    fields = dict(size=3, min=1.0, max=6.0, sum=9.0, mean=3.0, variance=14.0)
    fields.update(changes)
    return FitnessStatistics(**fields)


def test_fields_read_back_by_position_and_keyword():
    by_position = FitnessStatistics(3, 1, 6, 9, 3, 14)
    assert [getattr(by_position, name) for name in FIELDS] == [3, 1.0, 6.0, 9.0, 3.0, 14.0]
    assert type(by_position.size) is int
    assert all(type(getattr(by_position, name)) is float for name in FIELDS[1:])
    assert by_position == record()


def test_signed_zero_survives_a_round_trip():
    assert math.copysign(1.0, record(sum=-0.0).sum) == -1.0


@pytest.mark.parametrize("name", FIELDS)
def test_each_field_can_be_assigned(name):
    changed = record()
    setattr(changed, name, 2**64 - 1 if name == "size" else -2.5)
    assert changed == record(**{name: 2**64 - 1 if name == "size" else -2.5})
    assert changed != record()


@pytest.mark.parametrize("name", FIELDS[1:])
def test_float_fields_compare_as_ieee_values(name):
    assert record(**{name: 0.0}) == record(**{name: -0.0})
    with_nan = record(**{name: math.nan})
    assert with_nan != with_nan
    assert not (with_nan == with_nan)


@pytest.mark.parametrize("sigfig", [0, 3, 255, True])
def test_histogram_accepts_every_8_bit_count(sigfig):
    assert RecorderHdrHistogram(sigfig) == RecorderHdrHistogram(sigfig=int(sigfig))


def test_histogram_equality_and_no_readable_attributes():
    assert RecorderHdrHistogram(3) == RecorderHdrHistogram(3)
    assert RecorderHdrHistogram(3) != RecorderHdrHistogram(4)
    with pytest.raises(AttributeError):
        RecorderHdrHistogram(3).sigfig
    with pytest.raises(AttributeError):
        RecorderHdrHistogram(3).sigfig = 4
