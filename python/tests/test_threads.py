"""Several Python threads on the same objects at once: reading, assigning, comparing and running
sequence_sga. Nothing crashes, every run returns a well-formed lineage, and the only errors are the
borrow rule's. Runs on different threads draw from different random sources."""
import random
import sys
import threading

import pytest

from run_checks import BORROW_MESSAGES, check_lineage, panic_type, run
from travok import (
    Chromosome,
    CrossoverBlend,
    CrossoverKinds,
    EvaluatorKinds,
    EvaluatorMatrix,
    EvaluatorValue,
    HallOfFame,
    Lineage,
    MutatorSwap,
    Population,
    SelectorKinds,
    SequencingSettings,
)

N_THREADS = 4
PANIC = panic_type()
# 6 x 6, marks on both sides of the diagonal.
MATRIX = [float((3 * r + 5 * c) % 4 == 1) for r in range(6) for c in range(6)]
GENE_COUNTS = (4, 5, 6)
POPULATION_SIZES = (2, 4, 5)


@pytest.fixture
def fine_switching():
    """Hands the interpreter lock over as often as it can, so the threads interleave finely."""
    saved = sys.getswitchinterval()
    sys.setswitchinterval(1e-6)
    yield
    sys.setswitchinterval(saved)


def start_together(work, n_threads=N_THREADS):
    """Runs work(k) on n_threads threads released at once; returns what each raised, if anything."""
    barrier = threading.Barrier(n_threads)
    failures = [None] * n_threads

    def body(k):
        barrier.wait()
        try:
            work(k)
        except BaseException as error:  # reported to the main thread below
            failures[k] = error

    threads = [threading.Thread(target=body, args=(k,)) for k in range(n_threads)]
    for thread in threads:
        thread.start()
    for thread in threads:
        thread.join()
    return failures


class Shared:
    """The objects every thread works on."""

    def __init__(self):
        self.settings = SequencingSettings(5, 0.8, 0.4, n_chromosomes=4, n_generations=3, n_records=2,
                                           n_hall_of_fame=3)
        self.evaluator = EvaluatorMatrix(EvaluatorKinds.FeedbackDistance, MATRIX)
        self.mutator = MutatorSwap(0.3)
        self.chromosome = Chromosome([0, 1, 2], 1.0)
        self.population = Population([Chromosome([1, 0], 2.0)], 0)
        self.hall_of_fame = HallOfFame([], set(), 2)
        self.lineage = Lineage([], [], HallOfFame([], set(), 1))


def read_everything(shared, rng):
    shared.settings.n_genes, shared.settings.p_crossover, shared.settings.n_hall_of_fame
    shared.evaluator.matrix, shared.evaluator.kind, shared.mutator.p_swap
    assert all(type(gene) is int for gene in shared.chromosome.genes)
    shared.population.chromosomes, shared.hall_of_fame.uniques, shared.lineage.generations


def assign_something(shared, rng):
    # Only values a run accepts, so every run's outcome stays predictable.
    shared.settings.n_genes = rng.choice(GENE_COUNTS)
    shared.settings.n_chromosomes = rng.choice(POPULATION_SIZES)
    shared.settings.p_mutation = rng.random()
    shared.evaluator.offset = rng.choice([None, 0, 3])
    shared.mutator.p_swap = rng.random()
    shared.chromosome.genes = [rng.randrange(10) for _ in range(rng.randrange(5))]
    shared.chromosome.fitness = rng.choice([None, rng.random()])
    shared.population.chromosomes = [shared.chromosome, shared.chromosome]
    shared.population.generation = rng.randrange(100)
    shared.lineage.hall_of_fame = shared.hall_of_fame


def compare_objects(shared, rng):
    for a, b in [(shared.chromosome, shared.chromosome), (shared.population, shared.population),
                 (shared.settings, shared.settings), (shared.lineage, shared.lineage)]:
        assert type(a == b) is bool and (a != b) is (not (a == b))


def run_shared(shared, rng):
    crossover = rng.choice([CrossoverKinds.IPX, CrossoverKinds.IPX, CrossoverKinds.Point, CrossoverBlend(0.0)])
    selector = rng.choice([SelectorKinds.Roulette, SelectorKinds.Random])
    lineage = run(shared.settings, shared.evaluator, selector, crossover, shared.mutator)
    # The settings may change while the run goes; the run used one consistent copy of them.
    n_genes = len(lineage.generations[0].chromosomes[0].genes)
    n_chromosomes = len(lineage.generations[0].chromosomes)
    assert n_genes in GENE_COUNTS and n_chromosomes in POPULATION_SIZES
    check_lineage(lineage, n_genes, n_chromosomes, 3, 2, 3, ordering=crossover == CrossoverKinds.IPX)


OPERATIONS = [read_everything, assign_something, compare_objects, run_shared]
# An option object being assigned while sequence_sga extracts it fails its variant of the argument
# union; the union reports every variant's failure, the borrow conflict among them.
UNION_BORROW = "caused by RuntimeError: Already mutably borrowed"


def test_threads_reading_assigning_comparing_and_running_on_shared_objects(fine_switching):
    shared = Shared()
    borrow_errors = []

    def work(k):
        rng = random.Random(k)
        for _ in range(150):
            operation = rng.choice(OPERATIONS)
            try:
                operation(shared, rng)
            except RuntimeError as error:
                assert str(error) in BORROW_MESSAGES
                borrow_errors.append(str(error))
            except TypeError as error:
                assert UNION_BORROW in str(error), str(error)
                borrow_errors.append(str(error))
            except PANIC as fault:
                # A comparison whose right operand is being assigned meets the same conflict as a fault.
                assert str(fault).startswith("Already mutably borrowed")
                borrow_errors.append(str(fault))

    assert start_together(work) == [None] * N_THREADS
    if sys._is_gil_enabled():
        # The lock is never handed over inside a read or an assignment (no Python code runs
        # there), so accesses never overlap; a conflict would mean a borrow left taken.
        assert borrow_errors == []
    # The objects are still whole and usable.
    assert all(type(gene) is int for gene in shared.chromosome.genes)
    check_lineage(run(SequencingSettings(5, 0.8, 0.4, n_chromosomes=4, n_generations=2), shared.evaluator),
                  5, 4, 2)


def test_concurrent_runs_with_faults_and_refusals_leave_the_other_runs_whole(fine_switching):
    """Runs that fault or are refused on some threads do not disturb the runs on the others."""
    outcomes = [[] for _ in range(N_THREADS)]

    def work(k):
        for i in range(30):
            if (k + i) % 3 == 0:
                try:
                    run(SequencingSettings(2, 1.0, 0.0, n_chromosomes=4, n_generations=2),
                        crossover=CrossoverKinds.Point)
                except PANIC as fault:
                    outcomes[k].append(str(fault))
            elif (k + i) % 3 == 1:
                try:
                    run(SequencingSettings(4, 0.5, 0.5, n_chromosomes=4))
                except ValueError as error:
                    outcomes[k].append(str(error))
            else:
                lineage = run(SequencingSettings(6, 0.9, 0.5, n_chromosomes=6, n_generations=4, n_hall_of_fame=2),
                              EvaluatorMatrix(EvaluatorKinds.LowerLeftDistance, MATRIX))
                check_lineage(lineage, 6, 6, 4, None, 2)
                outcomes[k].append("ok")

    assert start_together(work) == [None] * N_THREADS
    assert {outcome for thread in outcomes for outcome in thread} == {
        "cannot sample empty range",
        "with no limit on n_generations and convergence set to never, this would run indefinitely.",
        "ok",
    }


def first_population(n_genes=16, n_chromosomes=8):
    """The first population of a run, as its hall of fame keeps it: under a constant fitness the
    first n_chromosomes unique chromosomes seen enter in order and no later one displaces them."""
    lineage = run(SequencingSettings(n_genes, 0.9, 0.5, n_chromosomes=n_chromosomes, n_generations=1,
                                     n_hall_of_fame=n_chromosomes), EvaluatorValue(1.0))
    members = [tuple(member.genes) for member in lineage.hall_of_fame.chromosomes]
    assert len(members) == n_chromosomes, "16! orderings: eight random ones are unique"
    return members


def test_runs_on_different_threads_draw_from_different_sources():
    populations = [None] * N_THREADS

    def work(k):
        populations[k] = first_population()

    assert start_together(work) == [None] * N_THREADS
    # Two more threads started later, and the main thread twice: a thread's stream goes on from run to run.
    assert start_together(work, 2) == [None, None]
    populations += [first_population(), first_population()]
    assert len(set(map(tuple, populations))) == len(populations)


def test_a_run_does_not_see_assignments_made_while_it_runs(fine_switching):
    """Another thread assigning the settings and options while runs go keeps every run whole."""
    settings = SequencingSettings(6, 0.9, 0.5, n_chromosomes=6, n_generations=20)
    evaluator = EvaluatorMatrix(EvaluatorKinds.FeedbackMarks, MATRIX)
    stop = threading.Event()

    def writer():
        rng = random.Random(7)
        while not stop.is_set():
            try:
                settings.n_generations = rng.choice([20, 21])
                evaluator.matrix = rng.choice([MATRIX, [1.0] * 36])
                evaluator.kind = rng.choice([EvaluatorKinds.FeedbackMarks, EvaluatorKinds.LowerLeftDistance])
            except RuntimeError as error:
                assert str(error) in BORROW_MESSAGES

    thread = threading.Thread(target=writer)
    thread.start()
    try:
        for _ in range(40):
            try:
                lineage = run(settings, evaluator)
            except RuntimeError as error:
                assert str(error) in BORROW_MESSAGES
                continue
            except TypeError as error:
                assert UNION_BORROW in str(error), str(error)
                continue
            n_generations = lineage.n_generations
            assert n_generations in (20, 21)
            check_lineage(lineage, 6, 6, n_generations)
    finally:
        stop.set()
        thread.join()
