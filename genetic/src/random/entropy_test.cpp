#include "random/entropy.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstddef>
#include <vector>

namespace genetic {
namespace {

bool any_set(std::span<const std::byte> bytes) {
  return std::any_of(bytes.begin(), bytes.end(), [](std::byte b) { return b != std::byte{0}; });
}

TEST(FillFromOs, FillsEveryStretchOfALargeRequest) {
  // The system hands bytes out in pieces (256 at a time on some): a piece skipped stays zero.
  std::vector<std::byte> bytes(std::size_t{1} << 16);
  ASSERT_TRUE(fill_from_os(bytes));
  for (std::size_t at = 0; at < bytes.size(); at += 64) {
    EXPECT_TRUE(any_set(std::span(bytes).subspan(at, 64))) << "zero stretch at byte " << at;
  }
}

TEST(FillFromOs, RequestsGetFreshBytesAndAnEmptyOneSucceeds) {
  std::byte first[32] = {};
  std::byte second[32] = {};
  ASSERT_TRUE(fill_from_os(first));
  ASSERT_TRUE(fill_from_os(second));
  EXPECT_FALSE(std::equal(std::begin(first), std::end(first), std::begin(second)));
  EXPECT_TRUE(fill_from_os({}));
}

}  // namespace
}  // namespace genetic
