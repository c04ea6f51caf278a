#include "evaluator.hpp"

#include "binding/errors.hpp"
#include "binding/ref.hpp"

namespace faces {
namespace {

// The kinds that read a matrix; their short names are the member names.
constexpr bool reads_matrix(genetic::EvaluatorKind kind) noexcept { return kind != genetic::EvaluatorKind::Value; }

}  // namespace

PyObject* evaluator_matrix_kinds(PyObject*, PyObject*) {
  return binding::boundary<PyObject*>(nullptr, [] {
    binding::Ref kinds = binding::Ref::check(PySet_New(nullptr));
    for (const auto& member : EvaluatorKindsClass::members) {
      if (!reads_matrix(member.value)) continue;
      binding::Ref name = binding::Ref::check(PyUnicode_FromString(member.name));
      if (PySet_Add(kinds.get(), name.get()) < 0) throw binding::PythonError();
    }
    return kinds.release();
  });
}

void EvaluatorMatrixClass::check(const Value& value) {
  if (!reads_matrix(value.kind)) {
    binding::raise(PyExc_ValueError, "wrong evaluator kind, only those in the EvaluatorMatrix.kinds() set are valid.");
  }
}

}  // namespace faces
