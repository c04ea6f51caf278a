"""Chromosome: gene and fitness conversions, copies on read, equality."""

import math

import pytest

from conftest import Float, Index
from travok import Chromosome

U64_MAX = 2**64 - 1


@pytest.mark.parametrize(
    ("genes", "expected"),
    [
        pytest.param([], [], id="empty"),
        pytest.param([3, 1, 2], [3, 1, 2], id="list"),
        pytest.param((3, 1, 2), [3, 1, 2], id="tuple"),
        pytest.param(range(3), [0, 1, 2], id="range"),
        pytest.param(b"\x05\x00\xff", [5, 0, 255], id="bytes"),
        pytest.param([Index(4), True, U64_MAX], [4, 1, U64_MAX], id="index-bool-max"),
        pytest.param([2, 2, 2], [2, 2, 2], id="repeats"),
    ],
)
def test_genes_read_back_as_list_of_int(genes, expected):
    chromosome = Chromosome(genes)
    assert chromosome.genes == expected
    assert type(chromosome.genes) is list
    assert all(type(gene) is int for gene in chromosome.genes)
    assert chromosome.fitness is None


@pytest.mark.parametrize(
    ("fitness", "expected"),
    [
        pytest.param(None, None, id="none"),
        pytest.param(1, 1.0, id="int"),
        pytest.param(-3.25, -3.25, id="float"),
        pytest.param(Float(2.5), 2.5, id="dunder-float"),
        pytest.param(Index(7), 7.0, id="dunder-index"),
        pytest.param(math.inf, math.inf, id="inf"),
    ],
)
def test_fitness_conversion(fitness, expected):
    read = Chromosome([1], fitness).fitness
    assert read == expected
    assert type(read) is (float if expected is not None else type(None))


def test_fitness_keeps_nan_and_negative_zero():
    assert math.isnan(Chromosome([], math.nan).fitness)
    assert math.copysign(1.0, Chromosome([], -0.0).fitness) == -1.0


def test_assignment_replaces_fields():
    chromosome = Chromosome([1], 1.0)
    chromosome.genes = (9, 8)
    chromosome.fitness = None
    assert chromosome.genes == [9, 8]
    assert chromosome.fitness is None
    chromosome.fitness = 3
    assert chromosome.fitness == 3.0


def test_reads_are_copies():
    source = [1, 2]
    chromosome = Chromosome(source)
    source.append(3)
    genes = chromosome.genes
    genes.append(7)
    assert chromosome.genes == [1, 2]
    assert chromosome.genes is not chromosome.genes


NAN = math.nan

EQUALITY = [
    pytest.param(([1], None), ([1], None), True, id="absent-absent"),
    pytest.param(([1],), ([1], None), True, id="default-is-absent"),
    pytest.param(([1], 0.0), ([1], -0.0), True, id="signed-zeros"),
    pytest.param(([1], 1), ([1], 1.0), True, id="int-and-float-fitness"),
    pytest.param(([], None), ([], None), True, id="empty"),
    pytest.param(([1], NAN), ([1], NAN), False, id="nan"),
    pytest.param(([1], None), ([1], 0.0), False, id="absent-vs-zero"),
    pytest.param(([1], 1.0), ([1], 2.0), False, id="fitness-differs"),
    pytest.param(([1, 2], 1.0), ([2, 1], 1.0), False, id="gene-order"),
    pytest.param(([1],), ([1, 1],), False, id="length"),
    pytest.param(([U64_MAX],), ([0],), False, id="wide-gene"),
]


@pytest.mark.parametrize(("left", "right", "equal"), EQUALITY)
def test_equality(left, right, equal):
    a, b = Chromosome(*left), Chromosome(*right)
    assert (a == b) is equal
    assert (b == a) is equal
    assert (a != b) is (not equal)


def test_nan_fitness_is_unequal_to_itself():
    chromosome = Chromosome([1], NAN)
    assert (chromosome == chromosome) is False
    assert (chromosome != chromosome) is True


def test_equality_sees_assigned_values():
    a, b = Chromosome([1]), Chromosome([1])
    b.fitness = 0.5
    assert a != b
    a.fitness = 0.5
    assert a == b
