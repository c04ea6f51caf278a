// search(): the arguments become core values, then the core searches without the interpreter
// lock, which it takes back only now and then to let signal handlers run.
#include "search.hpp"

#include <array>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "binding/binder.hpp"
#include "binding/convert.hpp"
#include "search/mark_graph.hpp"
#include "search/memetic.hpp"

namespace faces {
namespace {

using namespace binding;
using Clock = std::chrono::steady_clock;

constexpr std::array<const char*, 9> kParameters{"size",       "rows",  "columns",    "seconds", "generations",
                                                 "stagnation", "bound", "population", "starts"};
// Signal handlers run this often while a search is out; a handler that raises ends it.
constexpr auto kSignalPoll = std::chrono::milliseconds(50);

std::vector<std::pair<std::uint64_t, std::uint64_t>> marks_of(std::uint64_t size,
                                                              const std::vector<std::uint64_t>& rows,
                                                              const std::vector<std::uint64_t>& columns) {
  if (rows.size() != columns.size()) {
    raise(PyExc_ValueError, "rows and columns must have the same length, not " + std::to_string(rows.size()) + " and " +
                                std::to_string(columns.size()));
  }
  std::vector<std::pair<std::uint64_t, std::uint64_t>> marks(rows.size());
  for (std::size_t i = 0; i < rows.size(); ++i) {
    if (rows[i] >= size || columns[i] >= size) {
      raise(PyExc_ValueError, "mark " + std::to_string(i) + " (" + std::to_string(rows[i]) + ", " +
                                  std::to_string(columns[i]) + ") is outside a matrix of size " + std::to_string(size));
    }
    marks[i] = {rows[i], columns[i]};
  }
  return marks;
}

void check_starts(std::uint64_t size, const std::vector<std::vector<std::uint64_t>>& starts) {
  std::vector<bool> seen;
  for (std::size_t i = 0; i < starts.size(); ++i) {
    seen.assign(size, false);
    bool whole = starts[i].size() == size;
    for (const std::uint64_t element : starts[i]) {
      if (!whole) break;
      whole = element < size && !seen[element];
      if (whole) seen[element] = true;
    }
    if (!whole) {
      raise(PyExc_ValueError, "starts[" + std::to_string(i) + "] is not an ordering of " + std::to_string(size) +
                                  " elements (each index below " + std::to_string(size) + " once)");
    }
  }
}

const char* stop_name(genetic::SearchStop stop) {
  switch (stop) {
    case genetic::SearchStop::Generations:
      return "generations";
    case genetic::SearchStop::Stagnation:
      return "stagnation";
    case genetic::SearchStop::Seconds:
      return "seconds";
    case genetic::SearchStop::Bound:
      return "bound";
    case genetic::SearchStop::Stopped:
      return "stopped";
  }
  return "stopped";
}

// Runs the search with the interpreter lock released. Between generations, every kSignalPoll,
// the lock is taken back to run the signal handlers (on the main thread; elsewhere the call does
// nothing); an exception they raise stops the search and is raised once the lock is back for good.
genetic::SearchResult search_released(const genetic::MarkGraph& graph, const genetic::SearchSettings& settings,
                                      const std::vector<std::vector<std::uint64_t>>& starts) {
  struct Released {
    PyThreadState* state = PyEval_SaveThread();
    ~Released() { PyEval_RestoreThread(state); }
  };
  PyObject* raised = nullptr;  // owned; held without the lock but never touched there
  genetic::SearchResult result;
  {
    Released released;
    Clock::time_point next_poll = Clock::now() + kSignalPoll;
    const std::function<bool()> stop = [&] {
      const Clock::time_point now = Clock::now();
      if (now < next_poll) return false;
      next_poll = now + kSignalPoll;
      PyEval_RestoreThread(released.state);
      if (PyErr_CheckSignals() < 0) raised = PyErr_GetRaisedException();
      released.state = PyEval_SaveThread();
      return raised != nullptr;
    };
    try {
      result = genetic::memetic_search(graph, settings, starts, stop);
    } catch (...) {
      if (raised != nullptr) {
        PyEval_RestoreThread(released.state);
        Py_DECREF(raised);
        released.state = PyEval_SaveThread();
      }
      throw;
    }
  }
  if (raised != nullptr) {
    PyErr_SetRaisedException(raised);
    throw PythonError();
  }
  return result;
}

PyObject* search(PyObject*, PyObject* const* args, Py_ssize_t nargsf, PyObject* kwnames) {
  return boundary<PyObject*>(nullptr, [&] {
    static const Signature signature{"search()", kParameters, 3, 3};
    std::array<PyObject*, kParameters.size()> given{};
    bind_arguments(signature, args, nargsf, kwnames, given);

    // Conversion in parameter order: the first unusable argument is the one reported.
    const auto size = extract_argument<std::uint64_t>(given[0], "size");
    const auto rows = extract_argument<std::vector<std::uint64_t>>(given[1], "rows");
    const auto columns = extract_argument<std::vector<std::uint64_t>>(given[2], "columns");
    genetic::SearchSettings settings;
    settings.seconds = extract_argument<std::optional<double>>(given[3], "seconds");
    settings.n_generations = extract_argument<std::optional<std::uint64_t>>(given[4], "generations");
    settings.n_stagnation = extract_argument<std::optional<std::uint64_t>>(given[5], "stagnation");
    settings.bound = extract_argument<std::optional<std::uint64_t>>(given[6], "bound");
    settings.n_population = extract_argument<std::optional<std::uint64_t>>(given[7], "population").value_or(0);
    const auto starts = given[8] == nullptr
                            ? std::vector<std::vector<std::uint64_t>>{}
                            : extract_argument<std::vector<std::vector<std::uint64_t>>>(given[8], "starts");

    if (settings.seconds && !(*settings.seconds >= 0.0 && std::isfinite(*settings.seconds))) {
      raise(PyExc_ValueError,
            "seconds must be a finite number of at least 0, not " + std::to_string(*settings.seconds));
    }
    const genetic::MarkGraph graph(size, marks_of(size, rows, columns));
    check_starts(size, starts);

    genetic::SearchResult result = search_released(graph, settings, starts);
    Ref order = to_python(std::move(result.order));
    Ref feedback = to_python(result.feedback);
    Ref generations = to_python(result.generations);
    Ref stop = Ref::check(PyUnicode_FromString(stop_name(result.stop)));
    return Ref::check(PyTuple_Pack(4, order.get(), feedback.get(), generations.get(), stop.get())).release();
  });
}

}  // namespace

PyMethodDef* search_definition() {
  static PyMethodDef definition{
      "search", reinterpret_cast<PyCFunction>(reinterpret_cast<void (*)()>(&search)), METH_FASTCALL | METH_KEYWORDS,
      "search(size, rows, columns, *, seconds=None, generations=None, stagnation=None, bound=None, "
      "population=None, starts=())\n--\n\n"
      "Search an ordering of `size` elements with few feedback marks.\n\n"
      "The matrix has a mark at (rows[k], columns[k]) for each k: row depends on column, and a mark\n"
      "counts as feedback when its row comes before its column. The search stops after `seconds`,\n"
      "`generations`, `stagnation` generations without a better ordering, or once it finds one with\n"
      "`bound` feedback marks or fewer, whichever comes first (with none given, on stagnation).\n"
      "`population` is the number of orderings kept (None: chosen from the size); `starts` are\n"
      "orderings to start from. The interpreter lock is released while it runs, and a signal\n"
      "handler that raises (Ctrl-C) ends it with that exception.\n\n"
      "Returns (order, feedback, generations, stop): the best ordering found, its feedback marks,\n"
      "the generations run, and what stopped the search: 'seconds', 'generations', 'stagnation'\n"
      "or 'bound'."};
  return &definition;
}

}  // namespace faces
