#pragma once
// The entry function of travok_dsm._search.
#define PY_SSIZE_T_CLEAN
#include <Python.h>

namespace faces {

PyMethodDef* search_definition();

}  // namespace faces
