#pragma once
// The dates the photo runs set: the date a file's own bytes give (a photo
// taken, a video recorded) and the date its name gives, as file times.

#include "core/readers/ContentReader.h"
#include "core/readers/MediaDate.h"
#include "datetime/SystemTime.h"

#include <optional>
#include <string_view>

namespace kalvera {

// The date as a file time: local time, unless it has an offset. Empty for
// a date before 1601.
std::optional<FileTime> FileTimeOfDateTaken(const TakenDate& date, LocalTimeConverter& local);

// The date the file's bytes, read through read, give; empty when they give
// none that can be read. reads gets the number of reads it took.
std::optional<FileTime> ReadDateTaken(const ContentReader& read, LocalTimeConverter& local,
                                      int* reads = nullptr);

// The date and time the name of the file at path gives, local time.
std::optional<FileTime> DateOfName(std::wstring_view path, LocalTimeConverter& local);

} // namespace kalvera
