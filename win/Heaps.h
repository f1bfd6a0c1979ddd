#pragma once
// What a process's heaps hold, measured in a way that works under Wine too:
// process memory counters do not move there for hundreds of kilobytes.

#include <cstddef>

namespace kalvera {

// The bytes of the busy blocks of all the process's heaps (the C and C++
// runtime's, COM's and the system's); with overhead, each block's
// bookkeeping too, as a measure of what the blocks really cost.
size_t BusyHeapBytes(bool withOverhead = false);

} // namespace kalvera
