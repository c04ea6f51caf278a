#pragma once
// Python faces of the evaluator role: the evaluator kinds and the option classes of
// the matrix evaluators and of the constant value evaluator.
#define PY_SSIZE_T_CLEAN
#include <Python.h>

#include <array>
#include <cstddef>
#include <tuple>
#include <vector>

#include "binding/convert.hpp"
#include "binding/kinds.hpp"
#include "binding/klass.hpp"
#include "evaluator/cells.hpp"
#include "evaluator/evaluator.hpp"
#include "kinds.hpp"

namespace faces {

using binding::Field;

struct EvaluatorKindsClass {
  using Value = genetic::EvaluatorKind;
  using Machinery = binding::Kinds<EvaluatorKindsClass>;
  static constexpr const char* name = "EvaluatorKinds";
  static constexpr const char* text = "Kinds of evaluator implementations.";
  static constexpr bool constructible = true;
  static constexpr std::array members{
      binding::Member<Value>{"FeedbackDistance", Value::FeedbackDistance},
      binding::Member<Value>{"FeedbackMarks", Value::FeedbackMarks},
      binding::Member<Value>{"LowerLeftDistance", Value::LowerLeftDistance},
      binding::Member<Value>{"Value", Value::Value},
  };
};

// EvaluatorMatrix.kinds(): a new set of the short names of the matrix kinds.
PyObject* evaluator_matrix_kinds(PyObject* unused_class, PyObject* unused_args);

struct EvaluatorMatrixClass {
  using Value = genetic::EvaluatorMatrix;
  static constexpr const char* name = "EvaluatorMatrix";
  static constexpr const char* text = "Matrix evaluation with the given kind and optional fitness offset.";
  static constexpr std::tuple fields{
      Field<&Value::kind>{"kind", "Evaluation calculation selection."},
      Field<&Value::matrix>{"matrix", "Matrix values for a square matrix."},
      Field<&Value::offset>{"offset", "Optional fitness offset value."},
  };
  // Only the constructor refuses a kind that reads no matrix; assignment does not.
  static void check(const Value& value);
  static constexpr PyMethodDef methods[]{
      {"kinds", &evaluator_matrix_kinds, METH_NOARGS | METH_STATIC,
       "kinds()\n--\n\nAll available matrix evaluation kinds."},
      {},
  };
};

struct EvaluatorValueClass {
  using Value = genetic::EvaluatorValue;
  static constexpr const char* name = "EvaluatorValue";
  static constexpr const char* text = "Plain value evaluation.";
  static constexpr std::tuple fields{Field<&Value::value>{"value"}};
};

}  // namespace faces

template <>
struct binding::ClassFor<genetic::EvaluatorKind> {
  using type = faces::EvaluatorKindsClass;
};
template <>
struct binding::ClassFor<genetic::EvaluatorMatrix> {
  using type = faces::EvaluatorMatrixClass;
};
template <>
struct binding::ClassFor<genetic::EvaluatorValue> {
  using type = faces::EvaluatorValueClass;
};

// Matrix cells convert as a list of floats, rebuilt cell by cell from how they are kept.
template <>
struct binding::Converter<genetic::Cells> {
  // The numbers go straight into the cells' kept form: a 0/1 matrix is never a list of floats.
  static genetic::Cells from_py(PyObject* object) {
    genetic::CellsBuilder builder;
    read_list<double>(object, builder);
    return std::move(builder).finish();
  }
  static Ref to_py(const genetic::Cells& cells) {
    Ref list = Ref::check(PyList_New(static_cast<Py_ssize_t>(cells.size())));
    for (std::size_t i = 0; i < cells.size(); ++i) {
      PyList_SET_ITEM(list.get(), static_cast<Py_ssize_t>(i), to_python(cells[i]).release());
    }
    return list;
  }
};
