// Every allocation through operator new in the test program is counted, so that a test can
// show that a path allocates nothing.
#pragma once

#include <atomic>
#include <cstddef>

namespace varlo::fake {
extern std::atomic<size_t> g_allocations;
}  // namespace varlo::fake
