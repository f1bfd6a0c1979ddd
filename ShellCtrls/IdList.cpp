#include "ShellCtrls/IdList.h"
#include "ShellCtrls/ShellModule.h"
#include "win/Error.h"

#include <cstring>

namespace kalvera {
namespace {

std::uint16_t ElementSize(const ITEMIDLIST* list) noexcept {
    std::uint16_t cb;
    std::memcpy(&cb, list, sizeof cb); // elements need not be aligned
    return cb;
}

const ITEMIDLIST* Advance(const ITEMIDLIST* list, std::size_t bytes) noexcept {
    return reinterpret_cast<const ITEMIDLIST*>(reinterpret_cast<const BYTE*>(list) + bytes);
}

} // namespace

// The shell's task allocator is the COM task allocator.
void IdListFree(ITEMIDLIST* list) noexcept {
    CoTaskMemFree(list);
}

IdList IdListAlloc(std::size_t size) {
    void* memory = CoTaskMemAlloc(size);
    if (!memory)
        throw PlatformError(SystemMessageText(E_OUTOFMEMORY), E_OUTOFMEMORY);
    std::memset(memory, 0, size);
    return IdList(static_cast<ITEMIDLIST*>(memory));
}

const ITEMIDLIST* IdListNext(const ITEMIDLIST* list) noexcept {
    return Advance(list, ElementSize(list));
}

int IdListCount(const ITEMIDLIST* list) noexcept {
    int count = 0;
    for (; list && ElementSize(list) != 0; list = IdListNext(list))
        ++count;
    return count;
}

std::size_t IdListSize(const ITEMIDLIST* list) noexcept {
    if (!list)
        return 0;
    std::size_t size = 2;
    for (; ElementSize(list) != 0; list = IdListNext(list))
        size += ElementSize(list);
    return size;
}

IdList IdListCopy(const ITEMIDLIST* list) {
    const std::size_t size = IdListSize(list);
    IdList copy = IdListAlloc(size);
    std::memcpy(copy.get(), list, size);
    return copy;
}

IdList IdListConcat(const ITEMIDLIST* first, const ITEMIDLIST* second) {
    const std::size_t firstBytes = first ? IdListSize(first) - 2 : 0;
    const std::size_t secondBytes = IdListSize(second);
    IdList result = IdListAlloc(firstBytes + secondBytes);
    auto* out = reinterpret_cast<BYTE*>(result.get());
    if (firstBytes)
        std::memcpy(out, first, firstBytes);
    std::memcpy(out + firstBytes, second, secondBytes);
    return result;
}

void IdListStripLast(ITEMIDLIST* list) noexcept {
    if (!list || ElementSize(list) == 0)
        return;
    const ITEMIDLIST* last = list;
    for (const ITEMIDLIST* next = IdListNext(last); ElementSize(next) != 0; next = IdListNext(next))
        last = next;
    std::memset(const_cast<ITEMIDLIST*>(last), 0, 2);
}

IdList IdListLastElement(const ITEMIDLIST* list) {
    const ITEMIDLIST* last = list;
    if (ElementSize(list) != 0)
        for (const ITEMIDLIST* next = IdListNext(last); ElementSize(next) != 0;
             next = IdListNext(next))
            last = next;
    return IdListCopy(last);
}

std::vector<IdList> IdListAncestors(const ITEMIDLIST* list) {
    std::vector<IdList> ancestors;
    IdList current = IdListCopy(list);
    while (ElementSize(current.get()) != 0) {
        IdListStripLast(current.get());
        IdList next = IdListCopy(current.get());
        ancestors.insert(ancestors.begin(), std::move(current));
        current = std::move(next);
    }
    return ancestors;
}

bool IdListBytesEqual(const ITEMIDLIST* a, const ITEMIDLIST* b) noexcept {
    if (!a || !b)
        return a == b;
    const std::size_t size = IdListSize(a);
    return size == IdListSize(b) && std::memcmp(a, b, size) == 0;
}

bool SameIdList(const ITEMIDLIST* a, const ITEMIDLIST* b) {
    return DesktopFolderInterface()->CompareIDs(0, AsRelative(a), AsRelative(b)) == 0;
}

} // namespace kalvera
