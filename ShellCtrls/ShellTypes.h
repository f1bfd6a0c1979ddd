#pragma once
// Small value types shared by the shell item model and the shell controls.

#include <cstdint>
#include <initializer_list>

namespace kalvera {

// A set of up to eight enumeration values, one bit each (bit = ordinal).
template <typename E> class SmallSet {
public:
    constexpr SmallSet() = default;
    constexpr SmallSet(std::initializer_list<E> members) {
        for (E m : members)
            bits_ |= Bit(m);
    }
    static constexpr SmallSet FromBits(std::uint8_t bits) {
        SmallSet s;
        s.bits_ = bits;
        return s;
    }
    constexpr bool Has(E m) const { return bits_ & Bit(m); }
    constexpr void Add(E m) { bits_ |= Bit(m); }
    constexpr void Remove(E m) { bits_ &= static_cast<std::uint8_t>(~Bit(m)); }
    constexpr std::uint8_t Bits() const { return bits_; }
    constexpr bool Empty() const { return bits_ == 0; }
    constexpr bool operator==(const SmallSet&) const = default;

private:
    static constexpr std::uint8_t Bit(E m) { return static_cast<std::uint8_t>(1u << int(m)); }
    std::uint8_t bits_ = 0;
};

enum TShellObjectType { otFolders, otNonFolders, otHidden };
using TShellObjectTypes = SmallSet<TShellObjectType>;

enum TCapability {
    CapCopy,
    CapDelete,
    CapLink,
    CapMove,
    CapRename,
    CapDropTarget,
    CapPropertySheet
};
using TCapabilitySet = SmallSet<TCapability>;

enum TAttribute {
    AttrGhosted,
    AttrLink,
    AttrReadOnly,
    AttrShared,
    AttrFileSystem,
    AttrFileSystemAncestor,
    AttrRemovable,
    AttrValidate
};
using TAttributeSet = SmallSet<TAttribute>;

enum TRootFolder {
    rfDesktop,
    rfMyComputer,
    rfNetwork,
    rfRecycleBin,
    rfAppData,
    rfCommonDesktopDirectory,
    rfCommonPrograms,
    rfCommonStartMenu,
    rfCommonStartup,
    rfControlPanel,
    rfDesktopDirectory,
    rfFavorites,
    rfFonts,
    rfInternet,
    rfPersonal,
    rfPrinters,
    rfPrintHood,
    rfPrograms,
    rfRecent,
    rfSendTo,
    rfStartMenu,
    rfStartup,
    rfTemplates
};

} // namespace kalvera
