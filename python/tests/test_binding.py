"""Conventions every module class shares: argument binding, conversion errors,
class shape, comparison and the borrow word of each object."""

import copy
import gc
import pickle
import weakref

import pytest

from conftest import Float, Index, raised
from hostile_values import CLASSES, valid_arguments
from run_checks import needs_real_allocator
from travok import (
    Chromosome,
    CrossoverBlend,
    CrossoverSimulatedBinary,
    EvaluatorMatrix,
    EvaluatorValue,
    FitnessStatistics,
    HallOfFame,
    Lineage,
    MutatorSwap,
    Population,
    RecorderHdrHistogram,
    SequencingSettings,
)


def twin(qualname, parameters):
    """A Python function with the same parameters, whose binding errors are the host's."""
    namespace = {}
    exec(f"def f({parameters}): pass", namespace)
    function = namespace["f"]
    function.__qualname__ = qualname
    return function


# --- binding ---------------------------------------------------------------

BINDING_ERRORS = [
    pytest.param(Chromosome, (), {}, "Chromosome.__new__() missing 1 required positional argument: 'genes'",
                 id="missing-one"),
    pytest.param(Chromosome, (), {"fitness": 1.0},
                 "Chromosome.__new__() missing 1 required positional argument: 'genes'",
                 id="missing-one-given-optional"),
    pytest.param(Population, (), {},
                 "Population.__new__() missing 2 required positional arguments: 'chromosomes' and 'generation'",
                 id="missing-two"),
    pytest.param(Population, ([],), {}, "Population.__new__() missing 1 required positional argument: 'generation'",
                 id="missing-second"),
    pytest.param(Population, (), {"generation": 0},
                 "Population.__new__() missing 1 required positional argument: 'chromosomes'", id="missing-first"),
    pytest.param(Chromosome, ([1], 2.0, 3), {},
                 "Chromosome.__new__() takes from 1 to 2 positional arguments but 3 were given", id="too-many-range"),
    pytest.param(Chromosome, ([1], 2.0, 3, 4), {},
                 "Chromosome.__new__() takes from 1 to 2 positional arguments but 4 were given", id="too-many-range-4"),
    pytest.param(Population, ([], 0, 1), {}, "Population.__new__() takes 2 positional arguments but 3 were given",
                 id="too-many-fixed"),
    pytest.param(Chromosome, ([1],), {"colour": 1},
                 "Chromosome.__new__() got an unexpected keyword argument 'colour'", id="unexpected-keyword"),
    pytest.param(Chromosome, ([1],), {"fitness": None, "genes": [2]},
                 "Chromosome.__new__() got multiple values for argument 'genes'", id="multiple-values"),
    pytest.param(Population, ([], 0), {"generation": 1},
                 "Population.__new__() got multiple values for argument 'generation'", id="multiple-values-second"),
    pytest.param(HallOfFame, (), {}, "HallOfFame.__new__() missing 3 required positional arguments: 'chromosomes', "
                 "'uniques', and 'capacity'", id="missing-three"),
    # The message template keeps the plural for a single parameter.
    pytest.param(CrossoverBlend, (1.0, 2.0), {},
                 "CrossoverBlend.__new__() takes 1 positional arguments but 2 were given", id="too-many-single"),
    pytest.param(Chromosome, (), {"g\udc80nes": 1},
                 "Chromosome.__new__() got an unexpected keyword argument 'g\udc80nes'", id="keyword-without-utf8"),
]


@pytest.mark.parametrize(("cls", "args", "kwargs", "message"), BINDING_ERRORS)
def test_binding_error_messages(cls, args, kwargs, message):
    with pytest.raises(TypeError) as excinfo:
        cls(*args, **kwargs)
    assert raised(excinfo) == message


# Call shapes that break more than one rule at once: the error reported first must be
# the one a Python function with the same parameters reports. Keyword names are far
# from the parameter names so that the host adds no suggestion to its message.
PRECEDENCE = [
    pytest.param(Chromosome, "genes, fitness=None", (1, 2, 3), {"colour": 1}, id="unexpected-before-too-many"),
    pytest.param(Chromosome, "genes, fitness=None", (1, 2, 3), {"genes": 1}, id="multiple-before-too-many"),
    pytest.param(Chromosome, "genes, fitness=None", (1, 2, 3), {"fitness": 1}, id="surplus-binds-up-to-last"),
    pytest.param(Chromosome, "genes, fitness=None", (), {"colour": 1}, id="unexpected-before-missing"),
    pytest.param(Chromosome, "genes, fitness=None", (), {"fitness": 1, "colour": 1}, id="unexpected-after-valid"),
    pytest.param(Chromosome, "genes, fitness=None", (1,), {"colour": 1, "genes": 2}, id="first-keyword-wins-a"),
    pytest.param(Chromosome, "genes, fitness=None", (1,), {"genes": 2, "colour": 1}, id="first-keyword-wins-b"),
    pytest.param(Chromosome, "genes, fitness=None", (1, 2, 3, 4), {}, id="too-many-only"),
    pytest.param(Population, "chromosomes, generation", (1, 2, 3), {"generation": 1}, id="population-multiple"),
    pytest.param(Population, "chromosomes, generation", (), {"zzz": 1, "chromosomes": 1}, id="population-unexpected"),
    pytest.param(Population, "chromosomes, generation", (1,), {}, id="population-missing"),
]


@pytest.mark.parametrize(("cls", "parameters", "args", "kwargs"), PRECEDENCE)
def test_binding_error_precedence_follows_host(cls, parameters, args, kwargs):
    reference = twin(f"{cls.__name__}.__new__", parameters)
    with pytest.raises(TypeError) as expected:
        reference(*args, **kwargs)
    with pytest.raises(TypeError) as actual:
        cls(*args, **kwargs)
    assert raised(actual) == raised(expected)


@pytest.mark.parametrize(
    ("call", "expected"),
    [
        pytest.param(lambda: Chromosome(genes=[1], fitness=2), Chromosome([1], 2.0), id="all-keywords"),
        pytest.param(lambda: Chromosome(fitness=2, genes=[1]), Chromosome([1], 2.0), id="keywords-reversed"),
        pytest.param(lambda: Chromosome([1], fitness=2), Chromosome([1], 2.0), id="mixed"),
        pytest.param(lambda: Chromosome([1], None), Chromosome([1]), id="explicit-none"),
        pytest.param(lambda: Chromosome([1], **{}), Chromosome([1]), id="empty-keywords"),
        pytest.param(lambda: Population(generation=3, chromosomes=[Chromosome([1])]),
                     Population([Chromosome([1])], 3), id="population-keywords"),
    ],
)
def test_keyword_binding(call, expected):
    assert call() == expected


# --- conversion errors -----------------------------------------------------

def chained_type_error():
    try:
        raise KeyError("k")
    except KeyError as cause:
        error = TypeError("inner")
        error.__cause__ = cause
        return error


def test_prefixed_type_error_keeps_its_cause():
    original = chained_type_error()
    with pytest.raises(TypeError) as excinfo:
        Chromosome([Index(original)])
    assert raised(excinfo) == "argument 'genes': inner"
    assert excinfo.value.__cause__ is original.__cause__


# Each conversion site with a hostile object raising the given error.
HOSTILE_SITES = [
    pytest.param(lambda error: Chromosome([1, Index(error)]), "genes", id="gene-index"),
    pytest.param(lambda error: Chromosome([1], Float(error)), "fitness", id="fitness-float"),
    pytest.param(lambda error: Chromosome([1], Index(error)), "fitness", id="fitness-index"),
    pytest.param(lambda error: Population([], Index(error)), "generation", id="generation-index"),
]


@pytest.mark.parametrize(("convert", "name"), HOSTILE_SITES)
@pytest.mark.parametrize("error_type", [ValueError, OverflowError, KeyboardInterrupt],
                         ids=["value-error", "overflow-error", "base-exception"])
def test_other_exceptions_pass_unchanged(convert, name, error_type):
    error = error_type("hostile")
    with pytest.raises(error_type) as excinfo:
        convert(error)
    assert excinfo.value is error


@pytest.mark.parametrize(("convert", "name"), HOSTILE_SITES)
def test_type_errors_are_prefixed_at_every_site(convert, name):
    with pytest.raises(TypeError) as excinfo:
        convert(TypeError("hostile"))
    assert raised(excinfo) == f"argument '{name}': hostile"


class FloatSpy:
    calls = 0

    def __float__(self):
        FloatSpy.calls += 1
        return 1.0


def test_arguments_convert_in_parameter_order_and_stop_at_first_failure():
    FloatSpy.calls = 0
    with pytest.raises(TypeError) as excinfo:
        Chromosome(fitness=FloatSpy(), genes="12")
    assert raised(excinfo) == "argument 'genes': Can't extract `str` to `Vec`"
    assert FloatSpy.calls == 0


# Sequences with hostile protocol methods; the length is only a capacity hint.

class ItemsOnly:
    def __getitem__(self, index):
        if index < 3:
            return index + 10
        raise IndexError(index)


class LenRaises(ItemsOnly):
    def __init__(self, error):
        self.error = error

    def __len__(self):
        raise self.error


class BufferRaises(ItemsOnly):
    def __init__(self, error):
        self.error = error

    def __buffer__(self, flags):
        raise self.error


class LenNegative(ItemsOnly):
    def __len__(self):
        return -1


class LenTooBig(ItemsOnly):
    def __len__(self):
        return 2**70


@pytest.mark.parametrize(
    "sequence",
    [ItemsOnly(), LenRaises(ValueError("no len")), LenRaises(TypeError("no len")), LenNegative(), LenTooBig(),
     BufferRaises(ValueError("no buffer"))],
    ids=["no-len", "len-value-error", "len-type-error", "len-negative", "len-beyond-index", "buffer-value-error"],
)
def test_a_failing_length_or_buffer_is_ignored(sequence):
    assert Chromosome(sequence).genes == [10, 11, 12]


@pytest.mark.parametrize("hook", [LenRaises, BufferRaises], ids=["len", "buffer"])
@pytest.mark.parametrize("error_type", [KeyboardInterrupt, SystemExit, MemoryError])
def test_an_interrupt_or_memory_error_from_the_length_or_buffer_propagates(hook, error_type):
    chromosome = Chromosome([1, 2])
    error = error_type("from a hook")
    with pytest.raises(error_type) as excinfo:
        chromosome.genes = hook(error)
    assert excinfo.value is error
    assert chromosome.genes == [1, 2]


class IterRaises(ItemsOnly):
    def __init__(self, error):
        self.error = error

    def __iter__(self):
        raise self.error


class NextRaises(ItemsOnly):
    def __init__(self, error):
        self.error = error

    def __iter__(self):
        yield 1
        raise self.error


@pytest.mark.parametrize("cls", [IterRaises, NextRaises], ids=["iter", "next"])
def test_iteration_errors_propagate(cls):
    error = RuntimeError("iteration refused")
    with pytest.raises(RuntimeError) as excinfo:
        Chromosome(cls(error))
    assert excinfo.value is error


def test_iteration_type_error_is_prefixed():
    with pytest.raises(TypeError) as excinfo:
        Chromosome(IterRaises(TypeError("not today")))
    assert raised(excinfo) == "argument 'genes': not today"


class LyingLength(ItemsOnly):
    def __init__(self, length):
        self.length = length

    def __len__(self):
        return self.length


HUGE_LISTS = [
    pytest.param(range(2**62), id="range"),
    pytest.param(LyingLength(2**62), id="len-beyond-vector-limit"),
    pytest.param(LyingLength(2**59), id="len-beyond-memory", marks=needs_real_allocator),
]


@pytest.mark.parametrize("genes", HUGE_LISTS)
def test_huge_gene_list_is_memory_error_and_an_assignment_stores_nothing(genes):
    with pytest.raises(MemoryError):
        Chromosome(genes)
    chromosome = Chromosome([1, 2], 3.0)
    with pytest.raises(MemoryError):
        chromosome.genes = genes
    assert chromosome == Chromosome([1, 2], 3.0)
    chromosome.genes = [4]  # the assignment mark was released
    assert chromosome.genes == [4]


def test_huge_member_list_leaves_population_unchanged():
    population = Population([Chromosome([1])], 5)
    with pytest.raises(MemoryError):
        population.chromosomes = LyingLength(2**62)
    assert population == Population([Chromosome([1])], 5)


# --- class shape -----------------------------------------------------------

# Every value class: its text signature, docstring and attribute docstrings (RecorderHdrHistogram
# shows no attribute).
SHAPES = {
    Chromosome: ("(genes, fitness=None)", "Chromosome represented by a vector of genes and a fitness value.",
                 {"genes": "The genes of this chromosome.", "fitness": "The fitness of this chromosome."}),
    Population: ("(chromosomes, generation)", "Population consisting of multiple chromosomes and a generation number.",
                 {"chromosomes": "Chromosomes of this population.", "generation": "Generation index."}),
    FitnessStatistics: ("(size, min, max, sum, mean, variance)", "Fitness statistics record.",
                        dict.fromkeys(["size", "min", "max", "sum", "mean", "variance"])),
    HallOfFame: ("(chromosomes, uniques, capacity)", "Hall Of Fame containing the fittest unique chromosomes.", {
        "chromosomes": "Chromosomes in the Hall Of Fame. From best to worst.",
        "uniques": "Unique gene sequences (Chromosomes) in the Hall Of Fame.",
        "capacity": "Maximum Hall Of Fame capacity. Defaults to 1 (the single best chromosome).",
    }),
    Lineage: (
        "(generations, records, hall_of_fame, n_generations=None, n_records=None)",
        "The lineage in a genetic algorithm is where the data resides. It keeps track of past\n"
        "populations of chromosomes (generations) in an efficient way and also of the most\n"
        "performant chromosomes in all past populations in the hall of fame.",
        {
            "generations": "Past generations. Up to `n_generations` are kept.",
            "records": "Records of past generations. Up to `n_records` are kept.",
            "hall_of_fame": "Hall of Fame of best performing chromosomes.",
            "n_generations": "Optional capacity for the generations VecDeque.",
            "n_records": "Optional capacity for the records VecDeque.",
        },
    ),
    CrossoverBlend: (
        "(alpha)",
        "Blending crossover for float-like valued gene sequences\n\n"
        "Blends both parents' values to achieve offspring. Note that alpha pulls \"further\"\n"
        "than the domain between the two parents for a 1.0 value.\n\n"
        "Each value is determined by:\n"
        "`gamma * A + (1 - gamma)`, where `gamma = (1.0 + 2.0 * alpha) * rng.gen() - alpha`\n\n"
        "This means that the interval is extended past regular averaging for any `alpha > 0.0`.",
        {"alpha": "`gamma * A + (1 - gamma)`, where `gamma = (1.0 + 2.0 * alpha) * rng.gen() - alpha`\n"
                  "This means that the interval is extended past regular averaging for any `alpha > 0.0`."},
    ),
    CrossoverSimulatedBinary: (
        "(eta)",
        "Simulated binary crossover for float-like valued gene sequences\n\n"
        "`eta` is the crowding degree of the crossover. The higher the eta, the more\n"
        "the offspring resembles its parents.",
        {"eta": "Crowding degree of the crossover.\nThe higher the eta, the more the offspring resembles its parents."},
    ),
    EvaluatorMatrix: ("(kind, matrix, offset=None)",
                      "Matrix evaluation with the given kind and optional fitness offset.",
                      {"kind": "Evaluation calculation selection.", "matrix": "Matrix values for a square matrix.",
                       "offset": "Optional fitness offset value."}),
    EvaluatorValue: ("(value)", "Plain value evaluation.", {"value": None}),
    MutatorSwap: ("(p_swap)", "Swap mutation by independently checking each position to be swapped with a random "
                  "other.\n\n`p_swap` represents the probability that a position is swapped.",
                  {"p_swap": "Probability that a position is swapped."}),
    RecorderHdrHistogram: ("(sigfig)", "", {}),
    SequencingSettings: (
        "(n_genes, p_crossover, p_mutation, n_chromosomes=None, n_generations=None, n_records=None, "
        "n_hall_of_fame=None)",
        "Common settings for a simple genetic algorithm.",
        {
            "n_genes": "Number of genes in each chromosome to generate if needed.",
            "p_crossover": "Probability of crossover happening between each pair of chromosomes.",
            "p_mutation": "Probability of mutation happening for each chromosome.",
            "n_chromosomes": "Number of chromosomes to strive for in each population. (should be even)",
            "n_generations": "Maximum number of generations to evaluate.",
            "n_records": "Maximum number of generation records to keep.",
            "n_hall_of_fame": "Number of best performing chromosomes to keep.",
        },
    ),
}
VALUE_CLASSES = pytest.mark.parametrize("cls", list(SHAPES), ids=lambda cls: cls.__name__)


def make(cls):
    return cls(*valid_arguments(cls))


def other_class(cls):
    return Population if cls is Chromosome else Chromosome


def test_every_value_class_is_described():
    assert list(SHAPES) == list(CLASSES)


@VALUE_CLASSES
def test_class_names_and_docs(cls):
    signature, doc, attributes = SHAPES[cls]
    assert cls.__module__ == "builtins"
    assert type(make(cls)).__module__ == "builtins"
    assert cls.__qualname__ == cls.__name__
    assert cls.__text_signature__ == signature
    assert cls.__doc__ == doc
    assert {name: getattr(cls, name).__doc__ for name in attributes} == attributes
    assert cls.__init__ is object.__init__
    assert cls.__bases__ == (object,)


@VALUE_CLASSES
def test_class_refuses_subclassing(cls):
    with pytest.raises(TypeError):
        type("Derived", (cls,), {})


@VALUE_CLASSES
def test_instances_have_no_dict_weakref_or_hash(cls):
    instance = make(cls)
    assert not hasattr(instance, "__dict__")
    with pytest.raises(AttributeError):
        instance.colour = 1
    with pytest.raises(TypeError):
        weakref.ref(instance)
    assert cls.__hash__ is None
    with pytest.raises(TypeError):
        hash(instance)
    assert not gc.is_tracked(instance)


def set_class(instance, cls):
    instance.__class__ = other_class(cls)


def replace_descriptor(instance, cls):
    setattr(cls, CLASSES[cls][0][0], 1)


# Every way the host offers to make or retype an instance without __new__ is
# refused, so no object ever holds an unbuilt core value.
BYPASSES = [
    pytest.param(lambda instance, cls: copy.copy(instance), id="copy"),
    pytest.param(lambda instance, cls: copy.deepcopy(instance), id="deepcopy"),
    pytest.param(lambda instance, cls: pickle.dumps(instance), id="pickle"),
    pytest.param(lambda instance, cls: object.__new__(cls), id="object-new"),
    pytest.param(set_class, id="class-assignment"),
    pytest.param(replace_descriptor, id="class-attribute"),
]


@VALUE_CLASSES
@pytest.mark.parametrize("bypass", BYPASSES)
def test_no_instance_without_the_constructor(bypass, cls):
    instance = make(cls)
    with pytest.raises(TypeError):
        bypass(instance, cls)
    assert type(instance) is cls
    assert instance == make(cls)


@VALUE_CLASSES
def test_attributes_cannot_be_deleted(cls):
    instance = make(cls)
    for name in SHAPES[cls][2]:
        with pytest.raises(AttributeError) as excinfo:
            delattr(instance, name)
        assert raised(excinfo) == "can't delete attribute"
    assert instance == make(cls)


# --- comparison ------------------------------------------------------------

class EqualToAll:
    def __eq__(self, other):
        return True

    __hash__ = None


@VALUE_CLASSES
def test_foreign_operands_are_not_implemented(cls):
    instance = make(cls)
    assert (instance == 1) is False
    assert (instance != "x") is True
    assert instance.__eq__(1) is NotImplemented
    assert instance.__ne__(None) is NotImplemented
    assert (instance == make(other_class(cls))) is False
    # NotImplemented, not False: the right operand's own equality decides.
    assert (instance == EqualToAll()) is True


@VALUE_CLASSES
def test_ordering_is_refused(cls):
    left, right = make(cls), make(cls)
    assert left.__lt__(right) is NotImplemented
    for compare in (lambda: left < right, lambda: left <= right, lambda: left > right, lambda: left >= right):
        with pytest.raises(TypeError):
            compare()


# --- borrow word -----------------------------------------------------------
# With the interpreter's lock in force, no Python code runs while an object's
# assignment mark is held (only the swap of the field happens under it) or while a
# read copies a field, so a read meeting an assignment in progress cannot be
# reached from one Python thread. What can be reached is Python code running during
# the conversion that precedes the mark; reads and assignments there must succeed.

class ReadsOwner:
    def __init__(self, owner, value):
        self.owner = owner
        self.value = value
        self.seen = None

    def __index__(self):
        owner = self.owner
        self.seen = (owner.genes, owner.fitness, owner == owner, Population([owner], 0).chromosomes[0].genes)
        return self.value


def test_reads_during_assignment_conversion_succeed():
    chromosome = Chromosome([1, 2], 4.0)
    gene = ReadsOwner(chromosome, 7)
    chromosome.genes = [gene, 8]
    assert gene.seen == ([1, 2], 4.0, True, [1, 2])
    assert chromosome.genes == [7, 8]


class AssignsOwner:
    def __init__(self, owner):
        self.owner = owner

    def __index__(self):
        self.owner.genes = [99]
        return 5

    def __float__(self):
        self.owner.fitness = 1.5
        return 2.5


def test_assignment_during_conversion_is_overwritten_by_the_outer_one():
    chromosome = Chromosome([1])
    chromosome.genes = [AssignsOwner(chromosome)]
    assert chromosome.genes == [5]
    chromosome.fitness = AssignsOwner(chromosome)
    assert chromosome.fitness == 2.5


def test_failed_conversions_leave_the_borrow_word_free():
    chromosome = Chromosome([1])
    for _ in range(3):
        with pytest.raises(TypeError):
            chromosome.genes = [ReadsOwner(chromosome, 3), "x"]
    chromosome.genes = [2]
    assert chromosome.genes == [2]
    assert chromosome == Chromosome([2])
