// The module's entry point: created once per process, for one interpreter.
#define PY_SSIZE_T_CLEAN
#include <Python.h>

#include "binding/errors.hpp"
#include "binding/module.hpp"
#include "convergence.hpp"
#include "crossover.hpp"
#include "evaluator.hpp"
#include "generator.hpp"
#include "lineage.hpp"
#include "mutator.hpp"
#include "recorder.hpp"
#include "selector.hpp"
#include "sequencing.hpp"

namespace {

PyModuleDef module_definition = {
    PyModuleDef_HEAD_INIT,
    "travok",
    "Genetic sequencing of dependency matrices: orderings that leave few marks above the diagonal.",
    0,        // no per-module state
    nullptr,  // names are added by the initialiser, not by a method table
    nullptr,
    nullptr,
    nullptr,
    nullptr,
};

binding::SingleModule the_module{"travok"};

PyObject* create_module() {
  using namespace binding;
  Ref module = Ref::check(PyModule_Create2(&module_definition, 1013));
  // The internal-fault class exists before any call of the module can fault.
  if (panic_exception_type() == nullptr) throw PythonError();
#ifdef Py_GIL_DISABLED
  if (PyUnstable_Module_SetGIL(module.get(), Py_MOD_GIL_USED) < 0) throw PythonError();
#endif
  // Callers see the names of __all__ in this order.
  add_class<faces::ChromosomeClass>(module.get());
  add_class<faces::PopulationClass>(module.get());
  add_class<faces::FitnessStatisticsClass>(module.get());
  add_class<faces::HallOfFameClass>(module.get());
  add_class<faces::LineageClass>(module.get());
  add_class<faces::ConvergenceKindsClass>(module.get());
  add_class<faces::CrossoverKindsClass>(module.get());
  add_class<faces::CrossoverBlendClass>(module.get());
  add_class<faces::CrossoverSimulatedBinaryClass>(module.get());
  add_class<faces::EvaluatorKindsClass>(module.get());
  add_class<faces::EvaluatorMatrixClass>(module.get());
  add_class<faces::EvaluatorValueClass>(module.get());
  add_class<faces::GeneratorKindsClass>(module.get());
  add_class<faces::MutatorKindsClass>(module.get());
  add_class<faces::MutatorSwapClass>(module.get());
  add_class<faces::RecorderKindsClass>(module.get());
  add_class<faces::RecorderHdrHistogramClass>(module.get());
  add_class<faces::SelectorKindsClass>(module.get());
  add_class<faces::SequencingSettingsClass>(module.get());
  Ref module_name = Ref::check(PyModule_GetNameObject(module.get()));
  Ref function = Ref::check(PyCFunction_NewEx(faces::sequence_sga_definition(), module.get(), module_name.get()));
  add_name(module.get(), "sequence_sga", function.get());
  return module.release();
}

}  // namespace

PyMODINIT_FUNC PyInit_travok() {
  return binding::boundary<PyObject*>(nullptr, [] { return binding::import_once(the_module, create_module); });
}
