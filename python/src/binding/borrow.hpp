#pragma once
// The borrow word of every module object: free, a count of reads in progress, or
// one assignment in progress. Only atomic operations touch it, so it needs no lock
// of its own and never waits: a conflict fails at once.
#define PY_SSIZE_T_CLEAN
#include <Python.h>

#include <atomic>
#include <cstdint>

#include "binding/errors.hpp"

namespace binding {

class BorrowFlag {
 public:
  static constexpr std::intptr_t kFree = 0;
  static constexpr std::intptr_t kWriting = -1;

  bool try_read() noexcept {
    std::intptr_t state = state_.load(std::memory_order_relaxed);
    do {
      if (state == kWriting) return false;
    } while (!state_.compare_exchange_weak(state, state + 1, std::memory_order_acquire, std::memory_order_relaxed));
    return true;
  }
  void end_read() noexcept { state_.fetch_sub(1, std::memory_order_release); }

  bool try_write() noexcept {
    std::intptr_t expected = kFree;
    return state_.compare_exchange_strong(expected, kWriting, std::memory_order_acquire, std::memory_order_relaxed);
  }
  void end_write() noexcept { state_.store(kFree, std::memory_order_release); }

 private:
  std::atomic<std::intptr_t> state_{kFree};
};

inline constexpr const char* kMutablyBorrowed = "Already mutably borrowed";
inline constexpr const char* kBorrowed = "Already borrowed";

// A read for the guard's lifetime; RuntimeError "Already mutably borrowed" when an
// assignment is in progress.
class ReadGuard {
 public:
  explicit ReadGuard(BorrowFlag& flag) : flag_(flag) {
    if (!flag_.try_read()) raise(PyExc_RuntimeError, kMutablyBorrowed);
  }
  ReadGuard(const ReadGuard&) = delete;
  ~ReadGuard() { flag_.end_read(); }

 private:
  BorrowFlag& flag_;
};

// An assignment for the guard's lifetime; RuntimeError "Already borrowed" when a read
// or another assignment is in progress.
class WriteGuard {
 public:
  explicit WriteGuard(BorrowFlag& flag) : flag_(flag) {
    if (!flag_.try_write()) raise(PyExc_RuntimeError, kBorrowed);
  }
  WriteGuard(const WriteGuard&) = delete;
  ~WriteGuard() { flag_.end_write(); }

 private:
  BorrowFlag& flag_;
};

}  // namespace binding
