#pragma once

#include <cstddef>

namespace tarnvale {

// Heap allocations made through the global operator new since the program
// started; the benchmarks' own replacement of operator new counts them.
std::size_t allocationCount();

}  // namespace tarnvale
