#pragma once
// Splitting a loop over two threads for the rigging tools' large meshes.
#include <cstddef>
#include <system_error>
#include <thread>

namespace quorvel {

// Runs body(part, begin, end) over [0, count) in two halves (part 0 and 1) on
// two threads when count reaches `min_parallel`; inline as part 0 otherwise,
// or when no thread can be started. The halves must write disjoint data, so
// that the result does not depend on the split.
template <typename Body>
void RunInHalves(std::size_t count, std::size_t min_parallel, const Body& body) {
  if (count < min_parallel) {
    body(0, std::size_t{0}, count);
    return;
  }
  const std::size_t half = count / 2;
  std::thread second;
  try {
    second = std::thread([&] { body(1, half, count); });
  } catch (const std::system_error&) {
    body(0, std::size_t{0}, count);
    return;
  }
  body(0, std::size_t{0}, half);
  second.join();
}

}  // namespace quorvel
