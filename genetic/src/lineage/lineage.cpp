#include "lineage/lineage.hpp"

#include <iterator>
#include <utility>

namespace genetic {
namespace {

template <typename T>
void trim_back(std::deque<T>& queue, std::optional<std::uint64_t> bound) {
  while (bound && queue.size() > *bound) queue.pop_back();
}

template <typename T>
std::vector<T> drain(std::deque<T>& queue) {
  return std::vector<T>(std::make_move_iterator(queue.begin()), std::make_move_iterator(queue.end()));
}

}  // namespace

RunLineage::RunLineage(std::optional<std::uint64_t> n_generations, std::optional<std::uint64_t> n_records,
                       std::optional<std::uint64_t> n_hall_of_fame)
    : n_generations_(n_generations), n_records_(n_records), hall_of_fame_(n_hall_of_fame.value_or(1)) {}

void RunLineage::record(FitnessStatistics record) {
  records_.push_front(record);
  trim_back(records_, n_records_);
}

void RunLineage::keep(Population population) {
  generations_.emplace_front(std::move(population));
  trim_back(generations_, n_generations_);
  // Selection reads only the newest population: the one it replaced is packed, at
  // the width the population before it took, which is almost always right.
  if (generations_.size() > 1) {
    generations_[1].pack(pack_width_);
    pack_width_ = generations_[1].width();
  }
}

const Population* RunLineage::newest() const noexcept {
  return generations_.empty() ? nullptr : generations_.front().whole();
}

Lineage RunLineage::to_lineage() && {
  return Lineage{
      .generations = drain(generations_),
      .records = drain(records_),
      .hall_of_fame = std::move(hall_of_fame_).to_hall_of_fame(),
      .n_generations = n_generations_,
      .n_records = n_records_,
  };
}

}  // namespace genetic
