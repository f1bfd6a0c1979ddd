#include "tests/support/Leaks.h"

#include <vector>

namespace kalvera::test {

size_t BusyHeapBytes() {
    std::vector<HANDLE> heaps(GetProcessHeaps(0, nullptr) + 16);
    heaps.resize(GetProcessHeaps(static_cast<DWORD>(heaps.size()), heaps.data()));
    size_t busy = 0;
    for (HANDLE heap : heaps) {
        if (!HeapLock(heap))
            continue;
        PROCESS_HEAP_ENTRY entry{};
        while (HeapWalk(heap, &entry))
            if (entry.wFlags & PROCESS_HEAP_ENTRY_BUSY)
                busy += entry.cbData;
        HeapUnlock(heap);
    }
    return busy;
}

DWORD HandleCount() {
    DWORD count = 0;
    GetProcessHandleCount(GetCurrentProcess(), &count);
    return count;
}

Growth GrowthOver(int rounds, const std::function<void()>& operation) {
    for (int i = 0; i < 3; ++i)
        operation();
    const size_t heapBefore = BusyHeapBytes();
    const DWORD handlesBefore = HandleCount();
    for (int i = 0; i < rounds; ++i)
        operation();
    return {static_cast<long long>(BusyHeapBytes()) - static_cast<long long>(heapBefore),
            static_cast<long>(HandleCount()) - static_cast<long>(handlesBefore)};
}

} // namespace kalvera::test
