#pragma once
// Python faces of the data model: Chromosome, Population, HallOfFame, Lineage.
#include <tuple>

#include "binding/convert.hpp"
#include "binding/klass.hpp"
#include "lineage/hall_of_fame.hpp"
#include "lineage/kept_population.hpp"
#include "lineage/lineage.hpp"
#include "population/chromosome.hpp"
#include "recorder.hpp"

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

struct HallOfFameClass {
  using Value = genetic::HallOfFame;
  static constexpr const char* name = "HallOfFame";
  static constexpr const char* text = "Hall Of Fame containing the fittest unique chromosomes.";
  static constexpr std::tuple fields{
      Field<&Value::chromosomes>{"chromosomes", "Chromosomes in the Hall Of Fame. From best to worst."},
      Field<&Value::uniques>{"uniques", "Unique gene sequences (Chromosomes) in the Hall Of Fame."},
      Field<&Value::capacity>{"capacity", "Maximum Hall Of Fame capacity. Defaults to 1 (the single best chromosome)."},
  };
};

struct LineageClass {
  using Value = genetic::Lineage;
  static constexpr const char* name = "Lineage";
  static constexpr const char* text =
      "The lineage in a genetic algorithm is where the data resides. It keeps track of past\n"
      "populations of chromosomes (generations) in an efficient way and also of the most\n"
      "performant chromosomes in all past populations in the hall of fame.";
  // The docstrings are fixed interface texts, pinned by the tests: the "VecDeque" they
  // name is not a type of this module.
  static constexpr std::tuple fields{
      Field<&Value::generations>{"generations", "Past generations. Up to `n_generations` are kept."},
      Field<&Value::records>{"records", "Records of past generations. Up to `n_records` are kept."},
      Field<&Value::hall_of_fame>{"hall_of_fame", "Hall of Fame of best performing chromosomes."},
      Field<&Value::n_generations>{"n_generations", "Optional capacity for the generations VecDeque."},
      Field<&Value::n_records>{"n_records", "Optional capacity for the records VecDeque."},
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
template <>
struct binding::ClassFor<genetic::HallOfFame> {
  using type = faces::HallOfFameClass;
};
template <>
struct binding::ClassFor<genetic::Lineage> {
  using type = faces::LineageClass;
};

// A set of gene sequences; each element converts as a gene list and reads back as a
// tuple of ints, a form the conversion accepts again.
template <>
struct binding::Converter<genetic::GeneSet> {
  static genetic::GeneSet from_py(PyObject* object);
  static Ref to_py(const genetic::GeneSet& set);
};

// A lineage's populations read back as Population objects, packed ones unpacked; a
// population the caller gives is kept whole.
template <>
struct binding::Converter<genetic::KeptPopulation> {
  static genetic::KeptPopulation from_py(PyObject* object) {
    return genetic::KeptPopulation(from_python<genetic::Population>(object));
  }
  static Ref to_py(const genetic::KeptPopulation& kept) { return to_python(kept.population()); }
};
