#pragma once
// Move-only owners of GDI objects, icons and memory device contexts.

#include "win/Handle.h"

namespace kalvera {

template <typename Object> struct GdiObjectTraits {
    using Type = Object;
    static Type Invalid() noexcept { return nullptr; }
    static void Close(Type h) noexcept { DeleteObject(h); }
};
struct IconTraits {
    using Type = HICON;
    static Type Invalid() noexcept { return nullptr; }
    static void Close(Type h) noexcept { DestroyIcon(h); }
};
struct MemoryDcTraits {
    using Type = HDC;
    static Type Invalid() noexcept { return nullptr; }
    static void Close(Type h) noexcept { DeleteDC(h); }
};

using UniqueFont = UniqueResource<GdiObjectTraits<HFONT>>;
using UniqueBitmap = UniqueResource<GdiObjectTraits<HBITMAP>>;
using UniqueIcon = UniqueResource<IconTraits>;
// A DC from CreateCompatibleDC, not one borrowed with GetDC.
using UniqueMemoryDc = UniqueResource<MemoryDcTraits>;

} // namespace kalvera
