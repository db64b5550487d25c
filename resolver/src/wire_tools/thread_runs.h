// Sharing a batch out over threads: the batch is cut into runs that the
// threads take in turn, each run's result kept in its own place, so that
// the results are joined in run order whatever thread took which run.
// This file holds what every such batch does alike: starting the helper
// threads beside the calling one and waiting for them.
#pragma once

#include <cstddef>
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

}  // namespace zorv::wire
