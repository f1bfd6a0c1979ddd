#pragma once
// The three times of a file, the kinds a run chooses among them, and what a
// write found and left: the values every part of the core passes around.

#include "datetime/LocalTime.h"

#include <compare>
#include <cstdint>

namespace kalvera {

// The three times of one file.
struct FileTimes {
    FileTime creation = 0, lastAccess = 0, lastWrite = 0;
    bool operator==(const FileTimes&) const = default;
};

// Which file a path led to: two paths that are hard links of one file have
// the same identity.
struct FileIdentity {
    std::uint32_t volume = 0;
    std::uint64_t index = 0;
    auto operator<=>(const FileIdentity&) const = default;
};

// A file's times as a write found them and as it left them (read back on
// the writer's own handle), with what moves on any other change after it:
// the change time and the size. A change time of 0 was not known.
struct TimesReadBack {
    FileTimes before, after;
    FileTime changeAfter = 0;
    std::uint64_t sizeAfter = 0;
    FileIdentity identity;
};

struct TimestampKinds {
    bool creation = false;
    bool lastWrite = false;
    bool lastAccess = false;
};

// True when the two agree on every chosen kind.
inline bool SameChosenTimes(TimestampKinds kinds, const FileTimes& a, const FileTimes& b) {
    return (!kinds.creation || a.creation == b.creation) &&
           (!kinds.lastAccess || a.lastAccess == b.lastAccess) &&
           (!kinds.lastWrite || a.lastWrite == b.lastWrite);
}

} // namespace kalvera
