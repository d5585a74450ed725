// The engine tests' count of operator new calls; read it before and after a
// stretch of work to see whether that work allocated.
#pragma once

#include <atomic>
#include <cstdint>

namespace tuttiro::test {

extern std::atomic<int64_t> allocationCount;

}  // namespace tuttiro::test
