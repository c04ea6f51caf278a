#pragma once
// Work done around fork(), where the system has one. Elsewhere no process is ever copied
// with the core's state in it, and there is nothing to do.
#if !defined(_WIN32) && __has_include(<pthread.h>)
#include <pthread.h>
#define GENETIC_HAS_FORK 1
#else
#define GENETIC_HAS_FORK 0
#endif

namespace genetic {

// Registers handlers run around every fork of the process, in pthread_atfork's order:
// `prepare` in the parent before the copy, `parent` in the parent and `child` in the copy
// after it; any may be null. False where the system has no fork, or refuses.
inline bool at_fork(void (*prepare)(), void (*parent)(), void (*child)()) noexcept {
#if GENETIC_HAS_FORK
  return pthread_atfork(prepare, parent, child) == 0;
#else
  static_cast<void>(prepare), static_cast<void>(parent), static_cast<void>(child);
  return false;
#endif
}

}  // namespace genetic
