#pragma once
// Helpers the core's GoogleTest suite shares (its include folder is given to the tests alone).
#include <algorithm>
#include <cstdint>
#include <numeric>
#include <string>

#include "fault.hpp"
#include "population/chromosome.hpp"

namespace genetic {

// The text of the error `call` throws (a Fault unless another class is named), or "no error"
// when it returns: EXPECT_EQ on it shows the message expected beside the one thrown.
template <class Error = Fault, class Call>
std::string error_text(Call&& call) {
  try {
    call();
  } catch (const Error& e) {
    return e.what();
  }
  return "no error";
}

// 0, 1, ..., n - 1: what every ordering of n genes sorts to.
inline Genes identity(std::uint64_t n) {
  Genes genes(n);
  std::iota(genes.begin(), genes.end(), Gene{0});
  return genes;
}

inline Genes sorted(Genes genes) {
  std::ranges::sort(genes);
  return genes;
}

}  // namespace genetic
