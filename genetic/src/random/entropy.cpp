#include "random/entropy.hpp"

#include <algorithm>
#include <cerrno>

#if defined(_WIN32)
#include <windows.h>
// After windows.h, which defines the types it uses.
#include <bcrypt.h>
#elif defined(__linux__)
#include <sys/random.h>
#else
// getentropy: in unistd.h on the BSDs, in sys/random.h on macOS.
#include <unistd.h>
#if __has_include(<sys/random.h>)
#include <sys/random.h>
#endif
#endif

namespace genetic {

bool fill_from_os(std::span<std::byte> bytes) noexcept {
  std::byte* at = bytes.data();
  std::size_t left = bytes.size();
  while (left > 0) {
#if defined(_WIN32)
    const auto take = static_cast<ULONG>(std::min<std::size_t>(left, 1u << 30));
    if (!BCRYPT_SUCCESS(
            BCryptGenRandom(nullptr, reinterpret_cast<PUCHAR>(at), take, BCRYPT_USE_SYSTEM_PREFERRED_RNG))) {
      return false;
    }
    const std::size_t got = take;
#elif defined(__linux__)
    const ssize_t read = getrandom(at, left, 0);
    if (read < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    const auto got = static_cast<std::size_t>(read);
#else
    // getentropy hands out at most 256 bytes a call.
    const std::size_t got = std::min<std::size_t>(left, 256);
    if (getentropy(at, got) != 0) return false;
#endif
    at += got;
    left -= got;
  }
  return true;
}

}  // namespace genetic
