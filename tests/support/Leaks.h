#pragma once
// What a process holds, measured in a way that works under Wine too: the
// bytes of the busy blocks of all its heaps, and its kernel handles.

#include "win/Heaps.h"

#include <windows.h>

#include <cstddef>
#include <functional>

namespace kalvera::test {

using kalvera::BusyHeapBytes;
DWORD HandleCount();

struct Growth {
    long long heapBytes;
    long handles;
};

// Runs the operation a few times to let caches settle, then `rounds` times
// more, and reports how much the heaps and the handle table grew over those.
Growth GrowthOver(int rounds, const std::function<void()>& operation);

} // namespace kalvera::test
