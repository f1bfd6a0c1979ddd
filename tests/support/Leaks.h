#pragma once
// What a process holds, measured in a way that works under Wine too: the
// bytes of the busy blocks of all its heaps (the C and C++ runtime's, COM's
// and the system's), and its kernel handles. Process memory counters do not
// move there for leaks of hundreds of kilobytes.

#include <windows.h>

#include <cstddef>
#include <functional>

namespace kalvera::test {

size_t BusyHeapBytes();
DWORD HandleCount();

struct Growth {
    long long heapBytes;
    long handles;
};

// Runs the operation a few times to let caches settle, then `rounds` times
// more, and reports how much the heaps and the handle table grew over those.
Growth GrowthOver(int rounds, const std::function<void()>& operation);

} // namespace kalvera::test
