// Work over [0, count) split into one part per processor core, for verification's digests and
// MACs, each of which stands alone.
#ifndef LYRUTIL_AUDIT_PARALLEL_PARTS_H
#define LYRUTIL_AUDIT_PARALLEL_PARTS_H

#include <algorithm>
#include <cstddef>
#include <exception>
#include <system_error>
#include <thread>
#include <vector>

namespace lyrutil {

// Calls work(from, to) on consecutive parts covering [0, count), the first on this thread, the
// others on threads of their own (up to eight; none for less than `grain` items a part). Where no
// thread can be had, this thread does the part. Returns when every part is done; an exception a
// part threw is thrown here then.
template <typename Work>
void InParallelParts(size_t count, size_t grain, const Work& work) {
  const size_t cores = std::min<size_t>(std::max(1u, std::thread::hardware_concurrency()), 8);
  const size_t parts = std::max<size_t>(1, std::min(cores, count / std::max<size_t>(grain, 1)));
  std::vector<std::exception_ptr> failures(parts);
  const auto part = [&](size_t p) {
    try {
      work(count * p / parts, count * (p + 1) / parts);
    } catch (...) {
      failures[p] = std::current_exception();
    }
  };
  std::vector<std::thread> helpers;
  helpers.reserve(parts);
  for (size_t p = 1; p < parts; ++p) {
    try {
      helpers.emplace_back(part, p);
    } catch (const std::system_error&) {
      part(p);
    }
  }
  part(0);
  for (std::thread& helper : helpers) helper.join();
  for (const std::exception_ptr& failure : failures)
    if (failure) std::rethrow_exception(failure);
}

}  // namespace lyrutil

#endif  // LYRUTIL_AUDIT_PARALLEL_PARTS_H
