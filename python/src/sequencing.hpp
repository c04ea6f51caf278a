#pragma once
// Python faces of the run settings and of the entry function.
#define PY_SSIZE_T_CLEAN
#include <Python.h>

#include <tuple>

#include "binding/klass.hpp"
#include "run/sga.hpp"

namespace faces {

using binding::Field;

struct SequencingSettingsClass {
  using Value = genetic::CoreSettings;
  static constexpr const char* name = "SequencingSettings";
  static constexpr const char* text = "Common settings for a simple genetic algorithm.";
  static constexpr std::tuple fields{
      Field<&Value::n_genes>{"n_genes", "Number of genes in each chromosome to generate if needed."},
      Field<&Value::p_crossover>{"p_crossover", "Probability of crossover happening between each pair of chromosomes."},
      Field<&Value::p_mutation>{"p_mutation", "Probability of mutation happening for each chromosome."},
      Field<&Value::n_chromosomes>{"n_chromosomes",
                                   "Number of chromosomes to strive for in each population. (should be even)"},
      Field<&Value::n_generations>{"n_generations", "Maximum number of generations to evaluate."},
      Field<&Value::n_records>{"n_records", "Maximum number of generation records to keep."},
      Field<&Value::n_hall_of_fame>{"n_hall_of_fame", "Number of best performing chromosomes to keep."},
  };
};

// The function entry of sequence_sga, added to the module last.
PyMethodDef* sequence_sga_definition();

}  // namespace faces

template <>
struct binding::ClassFor<genetic::CoreSettings> {
  using type = faces::SequencingSettingsClass;
};
