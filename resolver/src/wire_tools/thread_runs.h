// Sharing a batch out over threads: the batch is cut into runs that the
// threads take in turn, each run's result kept in its own place, so that
// the results are joined in run order whatever thread took which run.
// This file holds what every such batch does alike: starting the helper
// threads beside the calling one and waiting for them; and two tasks run
// at once, for work that comes before the runs.
#pragma once

#include <cstddef>
#include <exception>
#include <functional>
#include <system_error>
#include <thread>
#include <utility>
#include <vector>

namespace zorv::wire {

// Calls `work` on `threads` threads at once, the calling one included, and
// returns when every call has returned; each call takes runs until none is
// left. When the system refuses a thread, the ones there are take every
// run. `work` must not throw: it keeps a fault for the caller to rethrow
// once all threads are done.
template <class Work>
void work_on_threads(std::size_t threads, Work&& work) {
  std::vector<std::thread> helpers;
  if (threads > 1) helpers.reserve(threads - 1);
  try {
    for (std::size_t i = 1; i < threads; ++i) helpers.emplace_back([&work] { work(); });
  } catch (const std::system_error&) {
    // Fewer threads than asked for.
  }
  work();
  for (std::thread& helper : helpers) helper.join();
}

// Calls `other` on a thread of its own (or here, when the system refuses
// one) while this thread calls `here`; returns when both have returned,
// and rethrows what either threw.
inline void run_both(const std::function<void()>& other, const std::function<void()>& here) {
  std::exception_ptr other_fault;
  const auto guarded_other = [&] {
    try {
      other();
    } catch (...) {
      other_fault = std::current_exception();
    }
  };
  std::thread helper;
  try {
    helper = std::thread(guarded_other);
  } catch (const std::system_error&) {
    guarded_other();
  }
  std::exception_ptr here_fault;
  try {
    here();
  } catch (...) {
    here_fault = std::current_exception();
  }
  if (helper.joinable()) helper.join();
  if (here_fault) std::rethrow_exception(here_fault);
  if (other_fault) std::rethrow_exception(other_fault);
}

}  // namespace zorv::wire
