#pragma once
// The date a photo was taken or a video recorded, from the file's own
// bytes, whatever its name says it is: the Exif data of a JPEG, TIFF, PNG,
// WebP or HEIF (HEIC, AVIF) file, and the creation date of a QuickTime or
// MP4 movie (MOV, MP4, M4V, 3GP). The reading moves through segments,
// chunks, boxes and directories by their offsets and sizes, a few reads per
// file; anything that runs outside its parent or the file, loops, or nests
// too deep ends it with no date. Nothing here includes the platform's
// headers: the same code is fuzzed natively.

#include "core/readers/FileBytes.h"

#include <cstdint>
#include <optional>
#include <string_view>

namespace kalvera {

// A date as the camera or the phone wrote it, with the offset from UTC
// when the file gives one.
struct TakenDate {
    int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
    std::optional<int> offsetMinutes;
    bool operator==(const TakenDate&) const = default;
};

std::optional<TakenDate> ReadMediaDate(FileBytes& file);

// The Exif date of a TIFF block that begins at base in the file and ends at
// end: DateTimeOriginal, then DateTimeDigitized, then the first directory's
// DateTime, each with its own offset tag (or another the block has).
std::optional<TakenDate> ReadTiffDate(FileBytes& file, std::uint64_t base, std::uint64_t end);

// "2019:07:04 13:05:09" (":", "-" or "/" in the date, " " or "T" before the
// time); blanks and impossible dates are not dates.
std::optional<TakenDate> ParseExifDate(std::string_view text);
// An ISO 8601 date and time with an optional fraction and offset:
// "2019-07-04T13:05:09+0900", "...09.120+09:00", "...09Z".
std::optional<TakenDate> ParseIsoDate(std::string_view text);
// XMP's form of it: a date alone, or with minutes and no seconds, as well
// ("2019-07-04", "2019-07-04T13:05+09:00"). No offset: local time.
std::optional<TakenDate> ParseXmpDate(std::string_view text);

} // namespace kalvera
