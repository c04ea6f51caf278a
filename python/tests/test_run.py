"""Whole runs of sequence_sga: the lineage's shape, fitness and records against reference computations,
and independence from the option objects passed in."""
import math
import sys

import pytest

from travok import (
    ConvergenceKinds,
    CrossoverBlend,
    CrossoverKinds,
    CrossoverSimulatedBinary,
    EvaluatorKinds,
    EvaluatorMatrix,
    EvaluatorValue,
    GeneratorKinds,
    Lineage,
    MutatorSwap,
    RecorderKinds,
    SelectorKinds,
    SequencingSettings,
    sequence_sga,
)

U64 = 2**64
NAN = math.nan

# 7 x 7 with every kind of cell: marks (1.0, 0.5, 7.0, NaN) and non-marks (0.0, -0.0), on both sides
# of the diagonal and on it.
MATRIX_7 = [
    0.0, 1.0, -0.0, NAN, 0.0, 0.5, 0.0,
    0.0, 7.0, 1.0, 0.0, -0.0, 0.0, 1.0,
    1.0, 0.0, -0.0, 0.0, 1.0, 0.0, 0.0,
    -0.0, NAN, 0.0, 0.0, 0.0, 1.0, 0.0,
    0.5, 0.0, 0.0, 1.0, NAN, 0.0, -0.0,
    0.0, -0.0, 1.0, 0.0, 0.0, 0.0, 1.0,
    1.0, 0.0, 0.0, -0.0, 1.0, 0.0, 0.0,
]
# 5 x 5 of plain zeros and ones.
MATRIX_5 = [float((r * 3 + c * 7) % 4 == 1) for r in range(5) for c in range(5)]


def settings(n_genes=7, p_crossover=0.8, p_mutation=0.3, **optional):
    fields = dict(n_chromosomes=6, n_generations=3)
    fields.update(optional)
    return SequencingSettings(n_genes, p_crossover, p_mutation, **fields)


def run(settings, evaluator=None, selector=SelectorKinds.Roulette, crossover=CrossoverKinds.IPX, p_swap=0.3):
    if evaluator is None:
        evaluator = EvaluatorMatrix(EvaluatorKinds.FeedbackMarks, MATRIX_7)
    return sequence_sga(settings, GeneratorKinds.RandomSequence, evaluator, RecorderKinds.FitnessStatistics, selector,
                        crossover, MutatorSwap(p_swap), ConvergenceKinds.Never)


def every_chromosome(lineage):
    return [chromosome for population in lineage.generations for chromosome in population.chromosomes]


# --- reference computations ------------------------------------------------

def marked(cell):
    return cell != 0.0  # NaN is a mark, -0.0 is not


def reference_fitness(evaluator, genes):
    if isinstance(evaluator, EvaluatorValue):
        return evaluator.value
    matrix, kind, offset = evaluator.matrix, evaluator.kind, evaluator.offset or 0
    d = int(math.sqrt(len(matrix)))
    n = len(genes)

    def mark(row, column):
        assert row < d and column < d, "the reference never reads outside the matrix"
        return marked(matrix[row * d + column])

    if kind == EvaluatorKinds.LowerLeftDistance:
        total = sum((n - 1 - i) + j for i in range(n) for j in range(n) if mark(genes[i], genes[j]))
    elif kind == EvaluatorKinds.FeedbackMarks:
        total = d * (d - 1) // 2 - sum(mark(genes[i], genes[j]) for i in range(n) for j in range(i + 1, n))
    else:
        assert kind == EvaluatorKinds.FeedbackDistance
        total = (d * d - 1) * d // 6 - sum(j - i for i in range(n) for j in range(i + 1, n) if mark(genes[i], genes[j]))
    return float((total + offset) % U64)  # unsigned 64-bit arithmetic, one rounding at the end


def reference_record(fitnesses):
    n = len(fitnesses)
    if n == 0:
        return (0, 0.0, 0.0, -0.0, 0.0, 0.0)
    total = -0.0
    for f in fitnesses:
        total += f
    mean = total / n
    low = high = fitnesses[0]
    for f in fitnesses[1:]:
        if f < low:
            low = f
        if f > high:
            high = f
    variance = 0.0
    for f in fitnesses:
        variance += (mean - f) * (mean - f)
    return (n, low, high, total, mean, variance)


def same(a, b):
    """Float identity: equal with the same sign of zero, or both NaN."""
    if math.isnan(a) or math.isnan(b):
        return math.isnan(a) and math.isnan(b)
    return a == b and math.copysign(1.0, a) == math.copysign(1.0, b)


def record_fields(record):
    return (record.size, record.min, record.max, record.sum, record.mean, record.variance)


def assert_records_match_populations(lineage):
    # Both lists are newest first, so record i belongs to generations[i] while both exist.
    for record, population in zip(lineage.records, lineage.generations, strict=False):
        got = record_fields(record)
        expected = reference_record([c.fitness for c in population.chromosomes])
        assert got[0] == expected[0]
        assert all(same(g, e) for g, e in zip(got[1:], expected[1:], strict=True)), (got, expected)


def assert_fitness_matches(lineage, evaluator):
    chromosomes = every_chromosome(lineage) + lineage.hall_of_fame.chromosomes
    for chromosome in chromosomes:
        assert same(chromosome.fitness, reference_fitness(evaluator, chromosome.genes)), chromosome.genes


def is_ordering(genes, n_genes):
    return sorted(genes) == list(range(n_genes))


# --- lineage shape ---------------------------------------------------------

SHAPES = [
    # n_genes, n_chromosomes, n_generations, n_records, n_hall_of_fame
    pytest.param(7, 4, 1, None, None, id="one-generation"),
    pytest.param(7, 5, 3, None, 3, id="odd-five"),
    pytest.param(5, 3, 4, 2, None, id="odd-three-few-records"),
    pytest.param(7, 6, 5, 3, 4, id="records-bound-below"),
    pytest.param(7, 4, 3, 10, 2, id="records-bound-above"),
    pytest.param(7, 4, 3, 4, 2, id="records-bound-equal"),
    pytest.param(7, 4, 3, 0, 1, id="no-records"),
    pytest.param(7, 4, 2, None, 0, id="no-hall-of-fame"),
    pytest.param(4, 6, 4, None, 100, id="hall-of-fame-never-full"),
    pytest.param(7, 2, 6, None, 5, id="two-chromosomes"),
    pytest.param(3, 8, 2, 1, 6, id="three-genes"),
]


@pytest.mark.parametrize(("n_genes", "n_chromosomes", "n_generations", "n_records", "n_hall_of_fame"), SHAPES)
def test_lineage_shape(n_genes, n_chromosomes, n_generations, n_records, n_hall_of_fame):
    lineage = run(settings(n_genes, n_chromosomes=n_chromosomes, n_generations=n_generations, n_records=n_records,
                           n_hall_of_fame=n_hall_of_fame))
    assert lineage.n_generations == n_generations
    assert lineage.n_records == n_records
    assert [p.generation for p in lineage.generations] == list(range(n_generations, 0, -1))
    assert [len(p.chromosomes) for p in lineage.generations] == [n_chromosomes] * n_generations
    all_records = n_generations + 1
    assert len(lineage.records) == (all_records if n_records is None else min(n_records, all_records))
    assert all(record.size == n_chromosomes for record in lineage.records)
    for chromosome in every_chromosome(lineage):
        assert chromosome.fitness is not None
        assert is_ordering(chromosome.genes, n_genes)  # IPX and swaps keep orderings

    hall = lineage.hall_of_fame
    members = hall.chromosomes
    assert hall.capacity == (1 if n_hall_of_fame is None else n_hall_of_fame)
    assert len(members) <= hall.capacity
    assert (len(members) > 0) == (hall.capacity > 0)
    fitnesses = [m.fitness for m in members]
    assert fitnesses == sorted(fitnesses, reverse=True)
    assert len({tuple(m.genes) for m in members}) == len(members)
    assert hall.uniques == {tuple(m.genes) for m in members}
    if members:
        assert max(c.fitness for c in every_chromosome(lineage)) <= fitnesses[0]
        if n_records is None:  # every population's record is kept, generation 0 included
            assert fitnesses[0] == max(record.max for record in lineage.records)
        # A member is only ever displaced by a better one, so everything better than the worst
        # member, or everything at all while there is room, is in the hall of fame.
        for chromosome in every_chromosome(lineage):
            if len(members) < hall.capacity or chromosome.fitness > fitnesses[-1]:
                assert tuple(chromosome.genes) in hall.uniques
    assert_records_match_populations(lineage)


@pytest.mark.parametrize("n_genes", [200, 300], ids=["genes-below-256", "genes-above-255"])
def test_kept_populations_read_back_as_they_were_recorded(n_genes):
    # Past populations are held in a compact form; what comes back must be exactly what was recorded,
    # and a lineage rebuilt from what it reads back must compare equal to it.
    matrix = [float((r * 7 + c * 3) % 11 == 0) for r in range(n_genes) for c in range(n_genes)]
    evaluator = EvaluatorMatrix(EvaluatorKinds.FeedbackMarks, matrix)
    lineage = run(settings(n_genes, n_chromosomes=4, n_generations=3), evaluator, p_swap=0.05)
    for chromosome in every_chromosome(lineage):
        assert is_ordering(chromosome.genes, n_genes)
    assert_records_match_populations(lineage)
    rebuilt = Lineage(lineage.generations, lineage.records, lineage.hall_of_fame, lineage.n_generations,
                      lineage.n_records)
    assert rebuilt == lineage and lineage == rebuilt
    oldest = lineage.generations[-1]
    changed = oldest.chromosomes
    changed[0].genes = list(reversed(changed[0].genes))
    oldest.chromosomes = changed
    rebuilt.generations = lineage.generations[:-1] + [oldest]
    assert rebuilt != lineage and lineage != rebuilt


def test_runs_with_no_chromosomes():
    lineage = run(settings(n_chromosomes=0, n_generations=3, n_hall_of_fame=2))
    assert [(p.generation, p.chromosomes) for p in lineage.generations] == [(3, []), (2, []), (1, [])]
    assert len(lineage.records) == 4
    for record in lineage.records:
        assert record_fields(record) == (0, 0.0, 0.0, 0.0, 0.0, 0.0)
        assert math.copysign(1.0, record.sum) == -1.0
    assert lineage.hall_of_fame.chromosomes == []
    assert lineage.hall_of_fame.uniques == set()
    assert lineage.hall_of_fame.capacity == 2


def test_no_genes_with_an_empty_matrix():
    evaluator = EvaluatorMatrix(EvaluatorKinds.LowerLeftDistance, [], 3)
    lineage = run(settings(0, n_chromosomes=4, n_generations=2, n_hall_of_fame=3), evaluator=evaluator)
    assert all(c.genes == [] and c.fitness == 3.0 for c in every_chromosome(lineage))
    assert [m.genes for m in lineage.hall_of_fame.chromosomes] == [[]]


# --- fitness and records against the reference ----------------------------

def matrix(kind, values=MATRIX_7, offset=None):
    return EvaluatorMatrix(kind, values, offset)


KINDS = [EvaluatorKinds.FeedbackMarks, EvaluatorKinds.FeedbackDistance, EvaluatorKinds.LowerLeftDistance]
EVALUATORS = [
    pytest.param(7, matrix(kind, offset=offset), id=f"{kind!r}-offset-{label}")
    for kind in KINDS
    for offset, label in [(None, "none"), (0, "zero"), (13, "13"), (U64 - 9, "wraps")]
] + [
    pytest.param(5, matrix(EvaluatorKinds.FeedbackDistance, MATRIX_5), id="feedback-distance-5"),
    pytest.param(4, matrix(EvaluatorKinds.FeedbackMarks), id="fewer-genes-than-rows"),
    pytest.param(4, matrix(EvaluatorKinds.LowerLeftDistance), id="lower-left-fewer-genes-than-rows"),
    pytest.param(7, EvaluatorValue(2.5), id="value"),
    pytest.param(7, EvaluatorValue(-0.0), id="value-negative-zero"),
    pytest.param(7, EvaluatorValue(NAN), id="value-nan"),
    pytest.param(7, EvaluatorValue(1e300), id="value-huge"),
]


@pytest.mark.parametrize(("n_genes", "evaluator"), EVALUATORS)
def test_fitness_and_records_match_the_reference(n_genes, evaluator):
    lineage = run(settings(n_genes, n_chromosomes=7, n_generations=4, n_hall_of_fame=3), evaluator=evaluator)
    assert_fitness_matches(lineage, evaluator)
    assert_records_match_populations(lineage)


@pytest.mark.parametrize("selector", [SelectorKinds.Roulette, SelectorKinds.Random], ids=["roulette", "random"])
@pytest.mark.parametrize(
    ("crossover", "keeps_orderings"),
    [
        (CrossoverKinds.IPX, True),
        (CrossoverKinds.Point, False),
        # Neither can leave the parents' value range here: alpha 0 mixes within it, and a huge eta
        # keeps beta within a hair of 1.
        (CrossoverBlend(0.0), False),
        (CrossoverSimulatedBinary(1e6), False),
    ],
    ids=["ipx", "point", "blend", "simulated-binary"],
)
def test_operators_with_a_matrix(selector, crossover, keeps_orderings):
    evaluator = matrix(EvaluatorKinds.FeedbackDistance)
    lineage = run(settings(7, p_crossover=1.0, n_chromosomes=6, n_generations=4, n_hall_of_fame=2), evaluator,
                  selector=selector, crossover=crossover)
    for chromosome in every_chromosome(lineage):
        assert len(chromosome.genes) == 7
        assert all(0 <= gene < 7 for gene in chromosome.genes)
        if keeps_orderings:
            assert is_ordering(chromosome.genes, 7)
    assert_fitness_matches(lineage, evaluator)
    assert_records_match_populations(lineage)


@pytest.mark.parametrize(
    "crossover", [CrossoverBlend(0.0), CrossoverSimulatedBinary(1000.0)], ids=["blend", "simulated-binary"]
)
def test_blending_runs_with_a_value_evaluator(crossover):
    # Both parameters keep mixed values within a fraction of the parents' range (beta stays below
    # 1.04 for eta 1000), so no value can fall to -1 and end the run.
    lineage = run(settings(12, p_crossover=1.0, p_mutation=0.0, n_chromosomes=4, n_generations=2),
                  EvaluatorValue(4.0), selector=SelectorKinds.Random, crossover=crossover)
    for chromosome in every_chromosome(lineage):
        assert chromosome.fitness == 4.0
        assert len(chromosome.genes) == 12
        assert all(0 <= gene < 12 for gene in chromosome.genes)
    assert all(record_fields(r) == (4, 4.0, 4.0, 16.0, 4.0, 0.0) for r in lineage.records)


# --- independence of the options and the random stream ---------------------

def snapshot(lineage):
    return Lineage(lineage.generations, lineage.records, lineage.hall_of_fame, lineage.n_generations,
                   lineage.n_records)


def test_options_are_copied_and_not_kept():
    given = settings(7, n_generations=2, n_records=2)
    evaluator = matrix(EvaluatorKinds.FeedbackMarks, list(MATRIX_5) + [0.0] * 24, offset=4)  # 7 x 7
    mutator = MutatorSwap(0.3)
    crossover = CrossoverBlend(0.0)
    options = [given, evaluator, mutator, crossover]
    counts = [sys.getrefcount(option) for option in options]
    lineage = sequence_sga(given, GeneratorKinds.RandomSequence, evaluator, RecorderKinds.FitnessStatistics,
                           SelectorKinds.Random, crossover, mutator, ConvergenceKinds.Never)
    assert [sys.getrefcount(option) for option in options] == counts
    before = snapshot(lineage)
    assert before == lineage

    given.n_generations, given.n_records, given.n_genes = 9, None, 2
    evaluator.kind, evaluator.matrix, evaluator.offset = EvaluatorKinds.Value, [1.0], 99
    mutator.p_swap = -1.0
    crossover.alpha = 1e9
    assert lineage == before
    assert (lineage.n_generations, lineage.n_records) == (2, 2)
    assert_fitness_matches(lineage, matrix(EvaluatorKinds.FeedbackMarks, list(MATRIX_5) + [0.0] * 24, offset=4))


def test_each_call_reads_the_settings_anew():
    given = settings(n_generations=2)
    assert len(run(given).generations) == 2
    given.n_generations = 5
    assert len(run(given).generations) == 5


def test_calls_continue_the_random_stream():
    # 40 genes: two identical first populations are out of reach, and so are identical runs.
    given = settings(40, n_chromosomes=6, n_generations=1, n_records=1)
    evaluator = EvaluatorValue(1.0)
    genes = [[c.genes for c in every_chromosome(run(given, evaluator))] for _ in range(2)]
    assert genes[0] != genes[1]
