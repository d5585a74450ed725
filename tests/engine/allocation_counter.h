// The engine tests' count of operator new calls; read it before and after a
// stretch of work to see whether that work allocated.
#pragma once

#include <atomic>
#include <cstdint>

namespace tuttiro::test {

extern std::atomic<int64_t> allocationCount;
// While above 0, each allocation fails (and counts it down): memory running out.
extern std::atomic<int> failingAllocations;

}  // namespace tuttiro::test
