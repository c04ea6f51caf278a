"""sequence_sga before and around a run: binding, argument unions, configuration errors and internal faults."""
import pytest

from conftest import Index
from travok import (
    ConvergenceKinds,
    CrossoverBlend,
    CrossoverKinds,
    CrossoverSimulatedBinary,
    EvaluatorKinds,
    EvaluatorMatrix,
    EvaluatorValue,
    GeneratorKinds,
    MutatorKinds,
    MutatorSwap,
    RecorderHdrHistogram,
    RecorderKinds,
    SelectorKinds,
    SequencingSettings,
    sequence_sga,
)

PARAMETERS = ["settings", "generator", "evaluator", "recorder", "selector", "crossover", "mutator", "convergence"]
NO_LIMIT = "with no limit on n_generations and convergence set to never, this would run indefinitely."

# A 4 x 4 matrix with marks above and below the diagonal.
MATRIX = [0.0, 1.0, 0.0, 1.0,
          0.0, 0.0, 1.0, 0.0,
          1.0, 0.0, 0.0, 1.0,
          0.0, 1.0, 0.0, 0.0]


def settings(**changes):
    fields = dict(n_genes=4, p_crossover=0.9, p_mutation=0.3, n_chromosomes=4, n_generations=2)
    fields.update(changes)
    return SequencingSettings(**fields)


def arguments(**changes):
    """All eight arguments of a valid call, in parameter order, with some replaced."""
    given = dict(
        settings=settings(),
        generator=GeneratorKinds.RandomSequence,
        evaluator=EvaluatorMatrix(EvaluatorKinds.FeedbackMarks, MATRIX),
        recorder=RecorderKinds.FitnessStatistics,
        selector=SelectorKinds.Roulette,
        crossover=CrossoverKinds.IPX,
        mutator=MutatorSwap(0.3),
        convergence=ConvergenceKinds.Never,
    )
    assert set(changes) <= set(given)
    given.update(changes)
    return given


def call(**changes):
    return sequence_sga(*arguments(**changes).values())


def raises(exception, **changes):
    with pytest.raises(exception) as excinfo:
        call(**changes)
    assert type(excinfo.value) is exception
    return str(excinfo.value)


def union_message(argument, union, variants, given):
    """The argument-union TypeError: one line per variant, each naming the class it expected."""
    lines = [f"argument '{argument}': failed to extract enum {union} ('{' | '.join(name for name, _ in variants)}')"]
    for name, expected in variants:
        lines.append(f"- variant {name} ({name}): TypeError: failed to extract field {union}::{name}.0, "
                     f"caused by TypeError: '{given}' object cannot be cast as '{expected}'")
    return "\n".join(lines)


@pytest.fixture(scope="module")
def panic():
    """The internal-fault class, which the module does not export: taken from a fault it raises."""
    with pytest.raises(BaseException) as excinfo:
        call(settings=settings(n_generations=0))
    return type(excinfo.value)


# --- binding ---------------------------------------------------------------
# One binder serves every class and function (its other messages are in test_binding.py); these are
# its messages as a function rather than a constructor.

@pytest.mark.parametrize(
    ("args", "kwargs", "message"),
    [
        pytest.param((), {}, "sequence_sga() missing 8 required positional arguments: 'settings', 'generator', "
                     "'evaluator', 'recorder', 'selector', 'crossover', 'mutator', and 'convergence'", id="none"),
        pytest.param((0,) * 8, {"seed": 1}, "sequence_sga() got an unexpected keyword argument 'seed'",
                     id="unexpected"),
        pytest.param((0,) * 3, {"evaluator": 0}, "sequence_sga() got multiple values for argument 'evaluator'",
                     id="multiple"),
        pytest.param((0,) * 10, {}, "sequence_sga() takes 8 positional arguments but 10 were given", id="too-many"),
    ],
)
def test_binding_errors(args, kwargs, message):
    with pytest.raises(TypeError) as excinfo:
        sequence_sga(*args, **kwargs)
    assert str(excinfo.value) == message


def test_keyword_and_mixed_calls_run():
    given = arguments()
    assert sequence_sga(**dict(reversed(list(given.items())))).n_generations == 2
    values = list(given.values())
    assert sequence_sga(*values[:3], **dict(list(given.items())[3:])).n_generations == 2


def test_signature_and_doc():
    assert sequence_sga.__text_signature__ == "(" + ", ".join(PARAMETERS) + ")"
    assert sequence_sga.__doc__ == "Run a genetic sequencing algorithm with the given settings."


# --- argument unions -------------------------------------------------------

GENERATOR = [("Kind", "GeneratorKinds")]
EVALUATOR = [("Matrix", "EvaluatorMatrix"), ("Value", "EvaluatorValue")]
RECORDER = [("HdrHistogram", "RecorderHdrHistogram"), ("Kind", "RecorderKinds")]
SELECTOR = [("Kind", "SelectorKinds")]
CROSSOVER = [("Blend", "CrossoverBlend"), ("SimulatedBinary", "CrossoverSimulatedBinary"), ("Kind", "CrossoverKinds")]
MUTATOR = [("Swap", "MutatorSwap")]
CONVERGENCE = [("Kind", "ConvergenceKinds")]


@pytest.mark.parametrize(
    ("argument", "union", "variants", "given"),
    [
        pytest.param("generator", "Generator", GENERATOR, 0, id="generator-int"),
        pytest.param("generator", "Generator", GENERATOR, Index(RuntimeError), id="generator-index-like"),
        pytest.param("evaluator", "Evaluator", EVALUATOR, EvaluatorKinds.FeedbackMarks, id="evaluator-kind"),
        pytest.param("recorder", "Recorder", RECORDER, SelectorKinds.Roulette, id="recorder-other-kinds"),
        pytest.param("recorder", "Recorder", RECORDER, None, id="recorder-none"),
        pytest.param("selector", "Selector", SELECTOR, 1, id="selector-int"),
        pytest.param("crossover", "Crossover", CROSSOVER, MutatorSwap(0.5), id="crossover-mutator"),
        pytest.param("mutator", "Mutator", MUTATOR, MutatorKinds.Swap, id="mutator-kind"),
        pytest.param("mutator", "Mutator", MUTATOR, CrossoverBlend(0.5), id="mutator-crossover"),
        pytest.param("convergence", "Convergence", CONVERGENCE, "Never", id="convergence-str"),
    ],
)
def test_union_messages(argument, union, variants, given):
    assert raises(TypeError, **{argument: given}) == union_message(argument, union, variants, type(given).__qualname__)


def test_evaluator_union_message_verbatim():
    assert raises(TypeError, evaluator=5) == (
        "argument 'evaluator': failed to extract enum Evaluator ('Matrix | Value')\n"
        "- variant Matrix (Matrix): TypeError: failed to extract field Evaluator::Matrix.0, caused by TypeError: "
        "'int' object cannot be cast as 'EvaluatorMatrix'\n"
        "- variant Value (Value): TypeError: failed to extract field Evaluator::Value.0, caused by TypeError: "
        "'int' object cannot be cast as 'EvaluatorValue'"
    )


@pytest.mark.parametrize("given", [5, None, RecorderKinds.FitnessStatistics], ids=["int", "none", "kind"])
def test_settings_must_be_a_settings_object(given):
    assert raises(TypeError, settings=given) == (
        f"argument 'settings': '{type(given).__qualname__}' object cannot be cast as 'SequencingSettings'")


@pytest.mark.parametrize("bad", PARAMETERS, ids=PARAMETERS)
def test_extraction_stops_at_the_first_bad_argument(bad):
    # Every argument from `bad` on is unusable; only `bad` is reported.
    later = PARAMETERS[PARAMETERS.index(bad):]
    message = raises(TypeError, **{name: 7 for name in later})
    assert message.startswith(f"argument '{bad}': ")


def test_an_unusable_argument_comes_before_the_configuration_checks():
    message = raises(TypeError, settings=settings(n_generations=None, n_chromosomes=1),
                     evaluator=EvaluatorMatrix(EvaluatorKinds.FeedbackMarks, [1.0] * 10),
                     recorder=RecorderKinds.HdrHistogram, crossover=CrossoverKinds.Blend, convergence=0)
    assert message == union_message("convergence", "Convergence", CONVERGENCE, "int")


# --- configuration errors and their order ----------------------------------

def value_kind_matrix(matrix):
    evaluator = EvaluatorMatrix(EvaluatorKinds.FeedbackDistance, matrix)
    evaluator.kind = EvaluatorKinds.Value
    return evaluator


NOT_SQUARE = EvaluatorMatrix(EvaluatorKinds.LowerLeftDistance, [1.0] * 10)


@pytest.mark.parametrize(
    ("changes", "message"),
    [
        pytest.param({"settings": settings(n_generations=None)}, NO_LIMIT, id="no-limit"),
        pytest.param({"settings": settings(n_generations=None), "recorder": RecorderKinds.HdrHistogram}, NO_LIMIT,
                     id="no-limit-before-recorder"),
        pytest.param({"settings": settings(n_generations=None, n_chromosomes=None),
                      "evaluator": value_kind_matrix(MATRIX), "crossover": CrossoverKinds.SimulatedBinary}, NO_LIMIT,
                     id="no-limit-before-everything"),
        pytest.param({"evaluator": value_kind_matrix(MATRIX)}, "unrecognized evaluator options", id="value-kind"),
        pytest.param({"evaluator": value_kind_matrix([1.0] * 10)}, "unrecognized evaluator options",
                     id="value-kind-before-matrix-size"),
        pytest.param({"evaluator": NOT_SQUARE}, "Vector should be of size dimensions^2. 3*3 != 10", id="size-10"),
        pytest.param({"evaluator": EvaluatorMatrix(EvaluatorKinds.FeedbackMarks, [0.0] * 2)},
                     "Vector should be of size dimensions^2. 1*1 != 2", id="size-2"),
        pytest.param({"evaluator": EvaluatorMatrix(EvaluatorKinds.FeedbackMarks, [0.0] * 24)},
                     "Vector should be of size dimensions^2. 4*4 != 24", id="size-24"),
        pytest.param({"evaluator": NOT_SQUARE, "recorder": RecorderHdrHistogram(3)},
                     "Vector should be of size dimensions^2. 3*3 != 10", id="matrix-before-recorder"),
        pytest.param({"recorder": RecorderHdrHistogram(3)}, "unrecognized recorder options", id="hdr-3"),
        pytest.param({"recorder": RecorderHdrHistogram(0)}, "unrecognized recorder options", id="hdr-0"),
        pytest.param({"recorder": RecorderKinds.HdrHistogram}, "unrecognized recorder options", id="hdr-kind"),
        pytest.param({"recorder": RecorderKinds.HdrHistogram, "crossover": CrossoverKinds.Blend},
                     "unrecognized recorder options", id="recorder-before-crossover"),
        pytest.param({"crossover": CrossoverKinds.Blend}, "unrecognized crossover options", id="blend-kind"),
        pytest.param({"crossover": CrossoverKinds.SimulatedBinary}, "unrecognized crossover options",
                     id="simulated-binary-kind"),
        pytest.param({"settings": settings(n_chromosomes=1), "crossover": CrossoverKinds.Blend},
                     "unrecognized crossover options", id="crossover-before-population-size"),
    ],
)
def test_configuration_errors(changes, message):
    assert raises(ValueError, **changes) == message


@pytest.mark.parametrize(
    "crossover",
    [CrossoverBlend(0.5), CrossoverSimulatedBinary(1e6), CrossoverKinds.IPX, CrossoverKinds.Point],
    ids=["blend", "simulated-binary", "ipx", "point"],
)
def test_accepted_crossovers(crossover):
    # A negative p_crossover never crosses: the option is accepted and built, and the run cannot
    # fault on a blended value far outside the gene range.
    lineage = call(crossover=crossover, settings=settings(n_generations=1, p_crossover=-1.0))
    assert [population.generation for population in lineage.generations] == [1]


def test_a_single_chromosome_is_refused():
    with pytest.raises(ValueError) as excinfo:
        call(settings=settings(n_chromosomes=1))
    assert "n_chromosomes" in str(excinfo.value)


# --- internal faults -------------------------------------------------------

def test_fault_class_is_a_bare_base_exception(panic):
    assert panic.__name__ == "PanicException"
    assert panic.__bases__ == (BaseException,)
    assert not issubclass(panic, Exception)


@pytest.mark.parametrize(
    ("changes", "message"),
    [
        pytest.param({"settings": settings(n_chromosomes=None)}, None, id="no-population-size"),
        pytest.param({"settings": settings(n_generations=0)}, None, id="zero-generations"),
        pytest.param({"settings": settings(n_genes=5)}, "Matrix index out of bounds.", id="genes-beyond-matrix"),
        pytest.param({"settings": settings(n_genes=2),
                      "evaluator": EvaluatorMatrix(EvaluatorKinds.LowerLeftDistance, [])},
                     "Matrix index out of bounds.", id="empty-matrix"),
        pytest.param({"settings": settings(n_genes=1, p_mutation=1.0), "mutator": MutatorSwap(1.0)},
                     "cannot sample empty range", id="one-gene-swap"),
        pytest.param({"settings": settings(n_genes=2, p_crossover=1.0), "crossover": CrossoverKinds.Point},
                     "cannot sample empty range", id="point-on-two-genes"),
        pytest.param({"settings": settings(n_genes=1, p_crossover=1.0), "crossover": CrossoverKinds.Point},
                     "cannot sample empty range", id="point-on-one-gene"),
        pytest.param({"settings": settings(n_genes=20, n_chromosomes=10, p_crossover=1.0),
                      # Random selection: roulette over all-zero fitness would pick only the first
                      # chromosome, and identical parents blend to themselves.
                      "evaluator": EvaluatorValue(0.0), "selector": SelectorKinds.Random,
                      "crossover": CrossoverBlend(1e6)}, None,
                     id="blend-below-zero"),
    ],
)
def test_internal_faults(panic, changes, message):
    with pytest.raises(BaseException) as excinfo:
        call(**changes)
    assert type(excinfo.value) is panic
    assert len(excinfo.value.args) == 1
    if message is None:
        assert str(excinfo.value)
    else:
        assert str(excinfo.value) == message


def test_a_fault_is_not_caught_as_an_exception_and_the_next_run_works(panic):
    caught = None
    try:
        try:
            call(settings=settings(n_genes=9))
        except Exception:  # must not match
            caught = "Exception"
    except BaseException as fault:
        caught = type(fault)
    assert caught is panic
    assert len(call().generations) == 2
