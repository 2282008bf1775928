#pragma once

#include <cstddef>

namespace tarnvale::test {

// While alive, every single allocation through operator new of more than
// `bytes` fails with std::bad_alloc, as when memory runs out for a large
// picture. The test program replaces the global allocation functions for this.
class FailingAllocation {
 public:
  explicit FailingAllocation(std::size_t bytes);
  ~FailingAllocation();
  FailingAllocation(const FailingAllocation&) = delete;
  FailingAllocation& operator=(const FailingAllocation&) = delete;
};

}  // namespace tarnvale::test
