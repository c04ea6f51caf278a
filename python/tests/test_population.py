"""Population: member copies, generation conversion, equality."""

import math

import pytest

from travok import Chromosome, Population

U64_MAX = 2**64 - 1


def raised(excinfo):
    return str(excinfo.value)


class Index:
    def __init__(self, value):
        self.value = value

    def __index__(self):
        return self.value


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


CHROMOSOMES_ERRORS = [
    pytest.param("ab", TypeError, "argument 'chromosomes': Can't extract `str` to `Vec`", id="str"),
    pytest.param({1, 2}, TypeError,
                 "argument 'chromosomes': 'set' object cannot be cast as 'Sequence'", id="set"),
    pytest.param(Chromosome([1]), TypeError,
                 "argument 'chromosomes': 'Chromosome' object cannot be cast as 'Sequence'", id="single-chromosome"),
    pytest.param([Chromosome([1]), 5], TypeError,
                 "argument 'chromosomes': 'int' object cannot be cast as 'Chromosome'", id="int-member"),
    pytest.param([Population([], 0)], TypeError,
                 "argument 'chromosomes': 'Population' object cannot be cast as 'Chromosome'", id="population-member"),
    pytest.param([[1, 2]], TypeError,
                 "argument 'chromosomes': 'list' object cannot be cast as 'Chromosome'", id="gene-list-member"),
]

GENERATION_ERRORS = [
    pytest.param(-1, OverflowError, "can't convert negative int to unsigned", id="negative"),
    pytest.param(2**64, OverflowError, "int too big to convert", id="above-u64"),
    pytest.param(1.0, TypeError, "argument 'generation': 'float' object cannot be interpreted as an integer",
                 id="float"),
    pytest.param("1", TypeError, "argument 'generation': 'str' object cannot be interpreted as an integer", id="str"),
    pytest.param(None, TypeError, "argument 'generation': 'NoneType' object cannot be interpreted as an integer",
                 id="none"),
]


@pytest.mark.parametrize(("chromosomes", "error", "message"), CHROMOSOMES_ERRORS)
def test_chromosomes_errors(chromosomes, error, message):
    with pytest.raises(error) as excinfo:
        Population(chromosomes, 0)
    assert raised(excinfo) == message


@pytest.mark.parametrize(("generation", "error", "message"), GENERATION_ERRORS)
def test_generation_errors(generation, error, message):
    with pytest.raises(error) as excinfo:
        Population([], generation)
    assert type(excinfo.value) is error
    assert raised(excinfo) == message


@pytest.mark.parametrize(("chromosomes", "error", "message"), CHROMOSOMES_ERRORS)
def test_failed_chromosomes_assignment_stores_nothing(chromosomes, error, message):
    population = Population([Chromosome([1], 1.0)], 2)
    with pytest.raises(error) as excinfo:
        population.chromosomes = chromosomes
    assert raised(excinfo) == message
    assert population == Population([Chromosome([1], 1.0)], 2)


@pytest.mark.parametrize(("generation", "error", "message"), GENERATION_ERRORS)
def test_failed_generation_assignment_stores_nothing(generation, error, message):
    population = Population([], 2)
    with pytest.raises(error) as excinfo:
        population.generation = generation
    assert raised(excinfo) == message
    assert population.generation == 2


def test_chromosomes_convert_before_generation():
    with pytest.raises(TypeError) as excinfo:
        Population(generation=1.0, chromosomes="ab")
    assert raised(excinfo) == "argument 'chromosomes': Can't extract `str` to `Vec`"


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
