#pragma once
// The operating system's random source behind one call: the only code of the core that
// knows which system it runs on.
#include <cstddef>
#include <span>

namespace genetic {

// Fills `bytes` from the operating system's random source, waiting only until the system
// has first seeded it; false when the system supplies none (the bytes are then unspecified).
bool fill_from_os(std::span<std::byte> bytes) noexcept;

}  // namespace genetic
