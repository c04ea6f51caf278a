"""Population: member copies, generation conversion, equality."""

import math

import pytest

from conftest import Index
from travok import Chromosome, Population

U64_MAX = 2**64 - 1


def test_empty_population():
    population = Population([], 0)
    assert population.chromosomes == []
    assert population.generation == 0


@pytest.mark.parametrize(
    ("generation", "expected"),
    [
        pytest.param(3, 3, id="int"),
        pytest.param(U64_MAX, U64_MAX, id="max"),
        pytest.param(Index(9), 9, id="dunder-index"),
        pytest.param(True, 1, id="bool"),
    ],
)
def test_generation_conversion(generation, expected):
    read = Population([], generation).generation
    assert read == expected
    assert type(read) is int


@pytest.mark.parametrize(
    "members",
    [
        pytest.param([Chromosome([1], 1.0), Chromosome([2])], id="list"),
        pytest.param((Chromosome([2]), Chromosome([1], 1.0)), id="tuple"),
    ],
)
def test_members_read_back_as_new_copies_in_order(members):
    population = Population(members, 4)
    read = population.chromosomes
    assert type(read) is list
    assert read == list(members)
    assert all(type(member) is Chromosome for member in read)
    assert all(copy is not original for copy, original in zip(read, members, strict=True))
    assert population.chromosomes[0] is not population.chromosomes[0]


def test_changing_a_read_member_does_not_change_the_population():
    population = Population([Chromosome([1], 1.0)], 0)
    population.chromosomes[0].fitness = 2.0
    population.chromosomes[0].genes = [5]
    population.chromosomes.append(Chromosome([3]))
    assert population.chromosomes == [Chromosome([1], 1.0)]


def test_members_are_copied_when_given():
    member = Chromosome([1])
    population = Population([member], 0)
    member.genes = [8]
    assert population.chromosomes == [Chromosome([1])]
    population.chromosomes = [member]
    member.fitness = 3.0
    assert population.chromosomes == [Chromosome([8])]


def test_assignment_replaces_fields():
    population = Population([Chromosome([1])], 0)
    population.chromosomes = (Chromosome([2]), Chromosome([3]))
    population.generation = 12
    assert population == Population([Chromosome([2]), Chromosome([3])], 12)


def members(*fitnesses):
    return [Chromosome([index], fitness) for index, fitness in enumerate(fitnesses)]


EQUALITY = [
    pytest.param((members(1.0, None), 3), (members(1.0, None), 3), True, id="equal"),
    pytest.param(([], 0), ([], 0), True, id="empty"),
    pytest.param((members(1.0), 3), (members(1.0), 4), False, id="generation-differs"),
    pytest.param((members(1.0), 3), (members(1.0, 2.0), 3), False, id="length-differs"),
    pytest.param((members(1.0, 2.0), 3), (members(1.0, 2.0)[::-1], 3), False, id="order-differs"),
    pytest.param((members(1.0), 3), (members(None), 3), False, id="member-fitness-differs"),
    pytest.param((members(math.nan), 3), (members(math.nan), 3), False, id="nan-member"),
]


@pytest.mark.parametrize(("left", "right", "equal"), EQUALITY)
def test_equality(left, right, equal):
    a, b = Population(*left), Population(*right)
    assert (a == b) is equal
    assert (b == a) is equal
    assert (a != b) is (not equal)
