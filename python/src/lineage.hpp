#pragma once
// Python faces of the data model: Chromosome, Population, HallOfFame, Lineage.
#include <tuple>

#include "binding/klass.hpp"
#include "lineage/chromosome.hpp"
#include "lineage/hall_of_fame.hpp"
#include "lineage/lineage.hpp"

namespace faces {

using binding::Field;

struct ChromosomeClass {
  using Value = genetic::Chromosome;
  static constexpr const char* name = "Chromosome";
  static constexpr const char* text = "Chromosome represented by a vector of genes and a fitness value.";
  static constexpr std::tuple fields{
      Field<&Value::genes>{"genes", "The genes of this chromosome."},
      Field<&Value::fitness>{"fitness", "The fitness of this chromosome."},
  };
};

struct PopulationClass {
  using Value = genetic::Population;
  static constexpr const char* name = "Population";
  static constexpr const char* text = "Population consisting of multiple chromosomes and a generation number.";
  static constexpr std::tuple fields{
      Field<&Value::chromosomes>{"chromosomes", "Chromosomes of this population."},
      Field<&Value::generation>{"generation", "Generation index."},
  };
};

}  // namespace faces

template <>
struct binding::ClassFor<genetic::Chromosome> {
  using type = faces::ChromosomeClass;
};
template <>
struct binding::ClassFor<genetic::Population> {
  using type = faces::PopulationClass;
};
