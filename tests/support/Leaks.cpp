#include "tests/support/Leaks.h"

#include <vector>

namespace kalvera::test {

DWORD HandleCount() {
    // The process's handle count stays put under Wine: the open handles are
    // counted one by one, up to a little past the newest one.
    HANDLE probe = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    const auto newest = reinterpret_cast<ULONG_PTR>(probe);
    CloseHandle(probe);
    DWORD count = 0;
    for (ULONG_PTR value = 4; value <= newest + 1024; value += 4) {
        DWORD flags = 0;
        count += GetHandleInformation(reinterpret_cast<HANDLE>(value), &flags) ? 1 : 0;
    }
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
