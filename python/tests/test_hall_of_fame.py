"""HallOfFame as a plain container: construction, copies on read, the uniques set, equality."""
import math

import pytest

from travok import Chromosome, HallOfFame


class MySet(frozenset):
    pass


def members():
    return [Chromosome([2, 0, 1], 5.0), Chromosome([0, 1, 2], 3.0)]


def test_values_are_stored_unchanged():
    # No sorting, no truncation to capacity, no check of uniques against the members.
    chromosomes = [Chromosome([1], 1.0), Chromosome([2], 9.0), Chromosome([3])]
    hall = HallOfFame(chromosomes, {(7, 7)}, 1)
    assert hall.chromosomes == chromosomes
    assert hall.uniques == {(7, 7)}
    assert hall.capacity == 1


def test_uniques_read_back_as_a_set_of_tuples_that_can_be_assigned_back():
    hall = HallOfFame([], {(1, 2), (3,), ()}, 3)
    uniques = hall.uniques
    assert type(uniques) is set
    assert uniques == {(1, 2), (3,), ()}
    assert all(type(sequence) is tuple for sequence in uniques)
    other = HallOfFame([], set(), 3)
    other.uniques = uniques
    assert other == hall


@pytest.mark.parametrize(
    "given, stored",
    [
        ({(1, 2), (1, 2)}, {(1, 2)}),
        (frozenset({(4,), (5,)}), {(4,), (5,)}),
        (MySet({(6, 7)}), {(6, 7)}),
        ({range(3), (0, 1, 2)}, {(0, 1, 2)}),
        ({b"\x01\x02"}, {(1, 2)}),
        (set(), set()),
    ],
    ids=["equal-sequences-collapse", "frozenset", "frozenset-subclass", "range-and-tuple-collapse", "bytes", "empty"],
)
def test_uniques_accepts_sets_of_sequences(given, stored):
    assert HallOfFame([], given, 1).uniques == stored


def test_reads_are_copies():
    hall = HallOfFame(members(), {(2, 0, 1), (0, 1, 2)}, 2)
    hall.chromosomes[0].fitness = 100.0
    hall.chromosomes.append(Chromosome([9]))
    hall.uniques.add((9,))
    assert hall == HallOfFame(members(), {(2, 0, 1), (0, 1, 2)}, 2)


def test_constructor_copies_its_chromosomes():
    given = members()
    hall = HallOfFame(given, set(), 2)
    given[0].genes = [7]
    assert hall.chromosomes == members()


def test_assignment_replaces_each_field():
    hall = HallOfFame([], set(), 1)
    hall.chromosomes = members()
    hall.uniques = frozenset({(2, 0, 1)})
    hall.capacity = 2**64 - 1
    assert hall == HallOfFame(members(), {(2, 0, 1)}, 2**64 - 1)


@pytest.mark.parametrize(
    "left, right, equal",
    [
        (HallOfFame(members(), {(1,), (2,)}, 2), HallOfFame(members(), {(2,), (1,)}, 2), True),
        (HallOfFame(members(), set(), 2), HallOfFame(members()[::-1], set(), 2), False),
        (HallOfFame([], {(1, 2)}, 2), HallOfFame([], {(2, 1)}, 2), False),
        (HallOfFame([], {(1,)}, 2), HallOfFame([], {(1,), (2,)}, 2), False),
        (HallOfFame([], set(), 2), HallOfFame([], set(), 3), False),
        (HallOfFame([Chromosome([1], 0.0)], set(), 1), HallOfFame([Chromosome([1], -0.0)], set(), 1), True),
        (HallOfFame([Chromosome([1], math.nan)], set(), 1), HallOfFame([Chromosome([1], math.nan)], set(), 1), False),
    ],
    ids=["set-order-is-irrelevant", "member-order", "sequence-order", "set-size", "capacity", "signed-zero", "nan"],
)
def test_equality(left, right, equal):
    assert (left == right) is equal
    assert (left != right) is not equal


def test_a_nan_member_makes_the_object_unequal_to_itself():
    hall = HallOfFame([Chromosome([1], math.nan)], set(), 1)
    assert hall != hall
