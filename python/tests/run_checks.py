"""Shared by the robustness tests: what a finished run must look like, the internal-fault class, and
whether the module runs under the address sanitizer."""
import math
import resource

import pytest

from travok import (
    Chromosome,
    ConvergenceKinds,
    CrossoverKinds,
    EvaluatorValue,
    FitnessStatistics,
    GeneratorKinds,
    HallOfFame,
    Lineage,
    MutatorSwap,
    Population,
    RecorderKinds,
    SelectorKinds,
    SequencingSettings,
    sequence_sga,
)

U64 = 2**64
BORROW_MESSAGES = ("Already borrowed", "Already mutably borrowed")
CONFIG_MESSAGES = (
    "with no limit on n_generations and convergence set to never, this would run indefinitely.",
    "unrecognized evaluator options",
    "unrecognized recorder options",
    "unrecognized crossover options",
)


def run(settings, evaluator=None, selector=SelectorKinds.Roulette, crossover=CrossoverKinds.IPX,
        mutator=None, recorder=RecorderKinds.FitnessStatistics):
    return sequence_sga(settings, GeneratorKinds.RandomSequence, evaluator or EvaluatorValue(1.0), recorder,
                        selector, crossover, mutator or MutatorSwap(0.3), ConvergenceKinds.Never)


def panic_type():
    """The internal-fault class, which the module does not export: taken from a fault it raises."""
    try:
        run(SequencingSettings(2, 0.5, 0.5, n_chromosomes=2, n_generations=0))
    except BaseException as error:  # noqa: B036 - the class is what we are after
        return type(error)
    raise AssertionError("a run of zero generations did not fault")


def sanitized():
    """True when the address sanitizer's runtime is loaded into this process."""
    with open("/proc/self/maps") as maps:
        return "libasan" in maps.read()


# The sanitizer's allocator ends the process on a request it cannot meet instead of throwing, so a
# test that asks for more memory than exists runs only on the ordinary allocator.
needs_real_allocator = pytest.mark.skipif(
    sanitized(), reason="the address sanitizer's allocator ends the process on an impossible request")


class address_space:
    """Caps this process's address space a little above its present size, so that a large request
    fails the same way whatever the machine's memory and overcommit policy."""

    def __init__(self, headroom=2 << 30):
        self.headroom = headroom

    def __enter__(self):
        self.saved = resource.getrlimit(resource.RLIMIT_AS)
        with open("/proc/self/statm") as statm:
            size = int(statm.read().split()[0]) * resource.getpagesize()
        resource.setrlimit(resource.RLIMIT_AS, (size + self.headroom, self.saved[1]))
        return self

    def __exit__(self, *exc):
        resource.setrlimit(resource.RLIMIT_AS, self.saved)


def is_u64(value):
    return type(value) is int and 0 <= value < U64


def check_chromosome(chromosome, n_genes, ordering):
    assert type(chromosome) is Chromosome
    genes = chromosome.genes
    assert type(genes) is list and all(is_u64(gene) for gene in genes)
    assert len(genes) == n_genes
    if ordering:
        assert sorted(genes) == list(range(n_genes))
    assert type(chromosome.fitness) is float, "every chromosome of a kept population is evaluated"


def check_lineage(lineage, n_genes, n_chromosomes, n_generations, n_records=None, n_hall_of_fame=None,
                  ordering=True):
    """A lineage as a finished run returns it: the newest populations first, each complete and
    evaluated, bounded records, and a hall of fame of unique members within its capacity."""
    assert type(lineage) is Lineage
    assert lineage.n_generations == n_generations
    assert lineage.n_records == n_records

    generations = lineage.generations
    assert [population.generation for population in generations] == list(range(n_generations, 0, -1))
    for population in generations:
        assert type(population) is Population
        assert len(population.chromosomes) == n_chromosomes
        for chromosome in population.chromosomes:
            check_chromosome(chromosome, n_genes, ordering)

    records = lineage.records
    expected_records = n_generations + 1 if n_records is None else min(n_generations + 1, n_records)
    assert len(records) == expected_records
    for record in records:
        assert type(record) is FitnessStatistics
        assert record.size == n_chromosomes

    hall_of_fame = lineage.hall_of_fame
    assert type(hall_of_fame) is HallOfFame
    capacity = 1 if n_hall_of_fame is None else n_hall_of_fame
    assert hall_of_fame.capacity == capacity
    members = hall_of_fame.chromosomes
    assert len(members) <= capacity
    for member in members:
        check_chromosome(member, n_genes, ordering)
    assert hall_of_fame.uniques == {tuple(member.genes) for member in members}
    assert len(hall_of_fame.uniques) == len(members)
    fitness = [member.fitness for member in members]
    if not any(math.isnan(value) for value in fitness):
        assert fitness == sorted(fitness, reverse=True), "best first"
