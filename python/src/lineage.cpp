#include "lineage.hpp"

namespace binding {

genetic::GeneSet Converter<genetic::GeneSet>::from_py(PyObject* object) {
  Ref iterator = iterate_set(object);
  genetic::GeneSet set;
  while (Ref item = next_item(iterator.get())) set.insert(from_python<genetic::Genes>(item.get()));
  return set;
}

Ref Converter<genetic::GeneSet>::to_py(const genetic::GeneSet& set) {
  Ref result = Ref::check(PySet_New(nullptr));
  for (const genetic::Genes& genes : set) {
    Ref tuple = Ref::check(PyTuple_New(static_cast<Py_ssize_t>(genes.size())));
    for (std::size_t i = 0; i < genes.size(); ++i) {
      PyTuple_SET_ITEM(tuple.get(), static_cast<Py_ssize_t>(i), to_python(genes[i]).release());
    }
    if (PySet_Add(result.get(), tuple.get()) < 0) throw PythonError();
  }
  return result;
}

}  // namespace binding
