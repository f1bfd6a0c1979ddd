#pragma once
// Item identifier lists: a run of elements, each led by its 16-bit size
// (which counts itself), ended by a 16-bit zero. The empty list names the
// desktop. Every list here is allocated and freed by the shell's allocator.

#include <windows.h>
#include <shellapi.h>
#include <shlobj.h>

#include <cstddef>
#include <utility>
#include <vector>

namespace kalvera {

void IdListFree(ITEMIDLIST* list) noexcept;

// Owner of one identifier list. The shell's typed views are asked for
// explicitly at each call, because an item's "relative" list is the whole
// absolute list for a root item.
class IdList {
public:
    IdList() noexcept = default;
    explicit IdList(ITEMIDLIST* list) noexcept : list_(list) {}
    IdList(IdList&& other) noexcept : list_(std::exchange(other.list_, nullptr)) {}
    IdList& operator=(IdList&& other) noexcept {
        if (this != &other)
            reset(other.release());
        return *this;
    }
    IdList(const IdList&) = delete;
    IdList& operator=(const IdList&) = delete;
    ~IdList() { IdListFree(list_); }

    ITEMIDLIST* get() const noexcept { return list_; }
    explicit operator bool() const noexcept { return list_ != nullptr; }
    ITEMIDLIST* release() noexcept { return std::exchange(list_, nullptr); }
    void reset(ITEMIDLIST* list = nullptr) noexcept { IdListFree(std::exchange(list_, list)); }

    PCIDLIST_ABSOLUTE abs() const noexcept { return static_cast<PCIDLIST_ABSOLUTE>(list_); }
    PCUIDLIST_RELATIVE rel() const noexcept { return static_cast<PCUIDLIST_RELATIVE>(list_); }
    PCUITEMID_CHILD child() const noexcept { return static_cast<PCUITEMID_CHILD>(list_); }

    // Out-parameter adapters for the shell's typed results.
    PIDLIST_ABSOLUTE* put_abs() noexcept { return reinterpret_cast<PIDLIST_ABSOLUTE*>(put()); }
    PIDLIST_RELATIVE* put_rel() noexcept { return reinterpret_cast<PIDLIST_RELATIVE*>(put()); }
    PITEMID_CHILD* put_child() noexcept { return reinterpret_cast<PITEMID_CHILD*>(put()); }

private:
    ITEMIDLIST** put() noexcept {
        reset();
        return &list_;
    }
    ITEMIDLIST* list_ = nullptr;
};

// Views of borrowed lists in the shell's typed forms.
inline PCIDLIST_ABSOLUTE AsAbsolute(const ITEMIDLIST* list) {
    return static_cast<PCIDLIST_ABSOLUTE>(list);
}
inline PCUIDLIST_RELATIVE AsRelative(const ITEMIDLIST* list) {
    return static_cast<PCUIDLIST_RELATIVE>(list);
}
inline PCUITEMID_CHILD AsChild(const ITEMIDLIST* list) {
    return static_cast<PCUITEMID_CHILD>(list);
}

// Size bytes, zero-filled; raises the platform-call error when the shell
// has no memory to give.
IdList IdListAlloc(std::size_t size);
const ITEMIDLIST* IdListNext(const ITEMIDLIST* list) noexcept;
int IdListCount(const ITEMIDLIST* list) noexcept;
// 0 for no list, else 2 plus the elements' sizes.
std::size_t IdListSize(const ITEMIDLIST* list) noexcept;
// True when the two lists are the same bytes (the same item read the same
// way); lists of one item read two ways may differ and still be equal.
bool IdListBytesEqual(const ITEMIDLIST* a, const ITEMIDLIST* b) noexcept;
IdList IdListCopy(const ITEMIDLIST* list);
// The elements of first (none for no list), then all of second.
IdList IdListConcat(const ITEMIDLIST* first, const ITEMIDLIST* second);
// In place: the list ends one element earlier.
void IdListStripLast(ITEMIDLIST* list) noexcept;
// A copy of the last element as a one-element list (empty for the empty list).
IdList IdListLastElement(const ITEMIDLIST* list);
// The absolute lists of the ancestors, desktop first, without the list itself.
std::vector<IdList> IdListAncestors(const ITEMIDLIST* list);
// Asks the desktop folder whether the two absolute lists name the same item.
bool SameIdList(const ITEMIDLIST* a, const ITEMIDLIST* b);

} // namespace kalvera
