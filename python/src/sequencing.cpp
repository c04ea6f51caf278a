// The entry function: Python options become core operators, the core runs, and the
// result comes back as a Lineage. Every value is copied out of its Python object
// before the run starts; the run calls no Python code but the interpreter's signal
// check between generations, so nothing of the run is visible to a signal handler.
#include "sequencing.hpp"

#include <array>
#include <utility>
#include <variant>

#include "binding/binder.hpp"
#include "binding/union.hpp"
#include "convergence.hpp"
#include "crossover.hpp"
#include "crossover/crossover.hpp"
#include "evaluator.hpp"
#include "evaluator/evaluator.hpp"
#include "generator.hpp"
#include "lineage.hpp"
#include "mutator.hpp"
#include "mutator/mutator.hpp"
#include "recorder.hpp"
#include "recorder/recorder.hpp"
#include "selector.hpp"
#include "selector/selector.hpp"

namespace faces {
namespace {

using binding::Union;
using namespace genetic;

constexpr std::array<const char*, 8> kParameters{"settings", "generator", "evaluator", "recorder",
                                                 "selector", "crossover", "mutator",   "convergence"};

constexpr Union<GeneratorKind> kGenerator{"Generator", {"Kind"}};
constexpr Union<EvaluatorMatrix, EvaluatorValue> kEvaluator{"Evaluator", {"Matrix", "Value"}};
constexpr Union<RecorderHdrHistogram, RecorderKind> kRecorder{"Recorder", {"HdrHistogram", "Kind"}};
constexpr Union<SelectorKind> kSelector{"Selector", {"Kind"}};
constexpr Union<CrossoverBlend, CrossoverSimulatedBinary, CrossoverKind> kCrossover{
    "Crossover", {"Blend", "SimulatedBinary", "Kind"}};
constexpr Union<MutatorSwap> kMutator{"Mutator", {"Swap"}};
constexpr Union<ConvergenceKind> kConvergence{"Convergence", {"Kind"}};

// Runs the handlers of pending signals between generations (the interpreter lock is held
// for the whole run). A handler that raises, Ctrl-C's KeyboardInterrupt for one, ends the
// run: its exception is already set and reaches the caller unchanged.
void check_signals(void*) {
  if (PyErr_CheckSignals() < 0) throw binding::PythonError();
}

PyObject* sequence_sga(PyObject*, PyObject* const* args, Py_ssize_t nargsf, PyObject* kwnames) {
  return binding::boundary<PyObject*>(nullptr, [&] {
    using namespace binding;
    static const Signature signature{"sequence_sga()", kParameters, kParameters.size()};
    std::array<PyObject*, kParameters.size()> given{};
    bind_arguments(signature, args, nargsf, kwnames, given);

    // Extraction in parameter order: the first unusable argument is the one reported.
    const CoreSettings settings = extract_argument<CoreSettings>(given[0], "settings");
    extract_union_argument(given[1], "generator", kGenerator);  // one kind: nothing to choose
    const auto evaluator_option = extract_union_argument(given[2], "evaluator", kEvaluator);
    const auto recorder_option = extract_union_argument(given[3], "recorder", kRecorder);
    const auto selector_option = extract_union_argument(given[4], "selector", kSelector);
    const auto crossover_option = extract_union_argument(given[5], "crossover", kCrossover);
    const auto mutator_option = extract_union_argument(given[6], "mutator", kMutator);
    extract_union_argument(given[7], "convergence", kConvergence);  // Never: only the check below

    // Configuration checks, in this order; a refusal raises ValueError.
    if (!settings.n_generations) {
      throw ConfigError("with no limit on n_generations and convergence set to never, this would run indefinitely.");
    }
    const auto evaluator = std::visit([](const auto& o) { return make_evaluator(o); }, evaluator_option);
    const auto recorder = std::visit([](const auto& o) { return make_recorder(o); }, recorder_option);
    const auto selector = make_selector(std::get<SelectorKind>(selector_option));
    const auto crossover = std::visit([](const auto& o) { return make_crossover(o); }, crossover_option);
    const SwapMutator mutator = make_mutator(std::get<MutatorSwap>(mutator_option));
    // One chromosome can never form a pair of parents; refuse it here rather than fault mid-run.
    if (settings.n_chromosomes == 1u) {
      throw ConfigError("n_chromosomes must not be 1: crossover needs pairs of parents; use 0 or at least 2.");
    }

    RunLineage run = run_sga(settings, SequenceGenerator{}, *evaluator, *recorder, *selector, *crossover, mutator,
                             BetweenGenerations{.call = &check_signals, .context = nullptr});
    return to_python(std::move(run).to_lineage()).release();
  });
}

}  // namespace

PyMethodDef* sequence_sga_definition() {
  static PyMethodDef definition{
      "sequence_sga", reinterpret_cast<PyCFunction>(reinterpret_cast<void (*)()>(&sequence_sga)),
      METH_FASTCALL | METH_KEYWORDS,
      "sequence_sga(settings, generator, evaluator, recorder, selector, crossover, mutator, convergence)\n--\n\n"
      "Run a genetic sequencing algorithm with the given settings."};
  return &definition;
}

}  // namespace faces
