#pragma once
// The date a photo was taken, read from the Exif data of a JPEG file (its
// APP1 segment) or of a TIFF file (any file that starts with a TIFF header).
// Only the few bytes the date needs are looked at, and never a byte outside
// what was read: the data comes from any file the user points at.

#include "datetime/SystemTime.h"
#include "core/readers/ContentReader.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

namespace kalvera {

// A date as the camera wrote it, with the offset from UTC when the file
// gives one.
struct TakenDate {
    int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
    std::optional<int> offsetMinutes;
};

enum class DateTakenScan { Found, None, NeedMore };

// Looks for the date in the first bytes of a file: DateTimeOriginal, then
// DateTimeDigitized, then the first directory's DateTime, each with its own
// offset tag (or another one the file has). whole says the bytes are all
// there is to read; otherwise an offset past them asks for more.
DateTakenScan ScanDateTaken(const std::uint8_t* data, std::size_t size, bool whole,
                            TakenDate& date);

// The date as a file time: local time, unless it has an offset. Empty for
// a date before 1601.
std::optional<FileTime> FileTimeOfDateTaken(const TakenDate& date, LocalTimeConverter& local);

// The first read, enough for almost every camera's file, and the most ever
// read of one file.
inline constexpr std::size_t kDateTakenFirstRead = 64 * 1024;
inline constexpr std::size_t kDateTakenMostRead = 256 * 1024;

// Reads the file's first bytes through read (into buffer, kept between
// calls) and its date taken; empty when it has none that can be read.
std::optional<FileTime> ReadDateTaken(const ContentReader& read, std::vector<std::uint8_t>& buffer,
                                      LocalTimeConverter& local);

} // namespace kalvera
