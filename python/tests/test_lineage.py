"""Lineage as a plain container: construction, bounds not applied, copies on read, equality."""
import math

import pytest

from travok import Chromosome, FitnessStatistics, HallOfFame, Lineage, Population


def population(generation):
    return Population([Chromosome([0, 1], float(generation)), Chromosome([1, 0])], generation)


def record(size=2, mean=1.5):
    return FitnessStatistics(size, 1.0, 2.0, 3.0, mean, 0.5)


def hall(capacity=1):
    return HallOfFame([Chromosome([0, 1], 1.0)], {(0, 1)}, capacity)


def lineage(**changes):
    fields = dict(generations=[population(2), population(1)], records=[record(), record(3)], hall_of_fame=hall(),
                  n_generations=2, n_records=None)
    fields.update(changes)
    return Lineage(**fields)


def test_minimal_lineage_has_no_bounds():
    made = Lineage([], [], HallOfFame([], set(), 1))
    assert made.generations == []
    assert made.records == []
    assert made.hall_of_fame == HallOfFame([], set(), 1)
    assert made.n_generations is None
    assert made.n_records is None


def test_bounds_are_not_applied_to_built_lineages():
    generations = [population(3), population(1), population(2)]
    made = Lineage(generations, [record()] * 4, hall(), n_generations=1, n_records=0)
    assert made.generations == generations
    assert len(made.records) == 4
    assert (made.n_generations, made.n_records) == (1, 0)


def test_reads_are_new_copies():
    made = lineage()
    assert made.hall_of_fame is not made.hall_of_fame
    made.hall_of_fame.capacity = 5
    made.generations[0].generation = 99
    made.records[0].size = 99
    made.generations.clear()
    assert made == lineage()


def test_changed_copy_must_be_assigned_back():
    made = lineage()
    changed = made.hall_of_fame
    changed.capacity = 5
    made.hall_of_fame = changed
    assert made.hall_of_fame.capacity == 5
    changed.capacity = 6  # the lineage holds its own copy
    assert made.hall_of_fame.capacity == 5


def test_constructor_copies_its_arguments():
    generations = [population(1)]
    hall_of_fame = hall()
    made = Lineage(generations, [], hall_of_fame)
    generations[0].generation = 7
    hall_of_fame.capacity = 7
    assert made.generations == [population(1)]
    assert made.hall_of_fame == hall()


@pytest.mark.parametrize(
    "attribute, value",
    [
        ("generations", [population(5)]),
        ("records", [record(9)]),
        ("hall_of_fame", hall(capacity=3)),
        ("n_generations", None),
        ("n_generations", 0),
        ("n_records", 2**64 - 1),
    ],
    ids=["generations", "records", "hall_of_fame", "n_generations-none", "n_generations-zero", "n_records-max"],
)
def test_assignment_replaces_one_field(attribute, value):
    made = lineage()
    setattr(made, attribute, value)
    assert getattr(made, attribute) == value
    assert made == lineage(**{attribute: value})


@pytest.mark.parametrize(
    "changes",
    [
        dict(generations=[population(1), population(2)]),
        dict(generations=[population(2)]),
        dict(records=[record(3), record()]),
        dict(records=[record(), record(3, mean=1.25)]),
        dict(hall_of_fame=hall(capacity=2)),
        dict(n_generations=None),
        dict(n_records=0),
    ],
    ids=["generation-order", "generation-count", "record-order", "record-field", "hall-of-fame",
         "n_generations-absent", "n_records-absent-against-zero"],
)
def test_any_differing_field_makes_lineages_unequal(changes):
    assert lineage() == lineage()
    assert lineage() != lineage(**changes)
    assert not (lineage(**changes) == lineage())


def test_record_floats_compare_as_ieee_values():
    zero = FitnessStatistics(1, 0.0, 0.0, 0.0, 0.0, 0.0)
    negative_zero = FitnessStatistics(1, -0.0, 0.0, -0.0, 0.0, 0.0)
    assert lineage(records=[zero]) == lineage(records=[negative_zero])
    with_nan = lineage(records=[FitnessStatistics(1, math.nan, 0.0, 0.0, 0.0, 0.0)])
    assert with_nan != with_nan
