#pragma once
// The two ways the core refuses to go on. A Fault is a broken invariant inside a
// run (the caller sees an internal-fault exception); a ConfigError is a setting
// that cannot be run, found before any operator works (the caller sees a
// ValueError). Both carry the exact text the user reads.
#include <stdexcept>
#include <string>

namespace genetic {

class Fault : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

class ConfigError : public std::invalid_argument {
 public:
  using std::invalid_argument::invalid_argument;
};

// Out of line and cold, so that the checks on hot paths stay a compare and a branch.
[[noreturn, gnu::cold]] void fault(const char* message);
[[noreturn, gnu::cold]] void fault(const std::string& message);

inline constexpr const char* kIndexOutOfBounds = "Matrix index out of bounds.";
inline constexpr const char* kEmptyRange = "cannot sample empty range";

}  // namespace genetic
