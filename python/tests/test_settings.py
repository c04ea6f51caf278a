"""SequencingSettings: values only, no validation, no defaults filled in."""
import math

import pytest

from travok import SequencingSettings

FIELDS = ["n_genes", "p_crossover", "p_mutation", "n_chromosomes", "n_generations", "n_records", "n_hall_of_fame"]
OPTIONAL = FIELDS[3:]


def settings(**changes):
    fields = dict(n_genes=10, p_crossover=0.9, p_mutation=0.1, n_chromosomes=4, n_generations=20, n_records=5,
                  n_hall_of_fame=3)
    fields.update(changes)
    return SequencingSettings(**fields)


def test_optional_values_default_to_none():
    made = SequencingSettings(10, 0.9, 0.1)
    assert (made.n_genes, made.p_crossover, made.p_mutation) == (10, 0.9, 0.1)
    assert [getattr(made, name) for name in OPTIONAL] == [None] * 4


def test_values_are_stored_unchanged_without_checks():
    made = SequencingSettings(0, 1.5, -2.0, n_chromosomes=3, n_generations=0, n_records=0, n_hall_of_fame=0)
    assert [getattr(made, name) for name in FIELDS] == [0, 1.5, -2.0, 3, 0, 0, 0]
    assert type(made.p_crossover) is float
    extreme = SequencingSettings(2**64 - 1, math.inf, -math.inf)
    assert (extreme.n_genes, extreme.p_crossover, extreme.p_mutation) == (2**64 - 1, math.inf, -math.inf)


@pytest.mark.parametrize("name", OPTIONAL)
def test_none_makes_an_optional_value_absent_again(name):
    made = settings()
    setattr(made, name, None)
    assert getattr(made, name) is None
    assert made == settings(**{name: None})
    assert made != settings()


@pytest.mark.parametrize(
    "changes, equal",
    [
        (dict(), True),
        (dict(p_crossover=-0.0, p_mutation=0.0), None),
        (dict(n_hall_of_fame=None), False),
        (dict(n_records=0), False),
        (dict(n_genes=11), False),
        (dict(p_mutation=0.2), False),
    ],
    ids=["same", "signed-zero", "absent-against-present", "other-count", "other-n_genes", "other-probability"],
)
def test_equality(changes, equal):
    if equal is None:  # both sides carry the change, with the opposite zero sign
        left = settings(**changes)
        right = settings(**{name: -value for name, value in changes.items()})
        assert left == right
        return
    assert (settings() == settings(**changes)) is equal
    assert (settings() != settings(**changes)) is not equal


def test_nan_probability_makes_settings_unequal_to_themselves():
    made = SequencingSettings(5, math.nan, 0.5)
    assert made != made
    assert SequencingSettings(5, 0.5, 0.5) == SequencingSettings(5, 0.5, 0.5)
    assert SequencingSettings(5, 0.5, 0.5) != SequencingSettings(5, 0.5, 0.5, n_hall_of_fame=1)
