#include "win/Heaps.h"

#include <windows.h>

#include <vector>

namespace kalvera {

size_t BusyHeapBytes(bool withOverhead) {
    std::vector<HANDLE> heaps(GetProcessHeaps(0, nullptr) + 16);
    heaps.resize(GetProcessHeaps(static_cast<DWORD>(heaps.size()), heaps.data()));
    size_t busy = 0;
    for (HANDLE heap : heaps) {
        if (!HeapLock(heap))
            continue;
        PROCESS_HEAP_ENTRY entry{};
        while (HeapWalk(heap, &entry))
            if (entry.wFlags & PROCESS_HEAP_ENTRY_BUSY)
                busy += entry.cbData + (withOverhead ? entry.cbOverhead : 0);
        HeapUnlock(heap);
    }
    return busy;
}

} // namespace kalvera
