#include "core/readers/DateTaken.h"
#include "datetime/Calendar.h"

#include <algorithm>
#include <cstring>
#include <string_view>

namespace kalvera {
namespace {

constexpr std::uint16_t kDateTime = 0x0132, kExifDirectory = 0x8769, kOriginal = 0x9003,
                        kDigitized = 0x9004, kOffset = 0x9010, kOffsetOriginal = 0x9011,
                        kOffsetDigitized = 0x9012;

// Where a tag's text stands in the block, once found.
struct Text {
    std::size_t at = 0, length = 0;
    explicit operator bool() const { return length > 0; }
};

// A TIFF block (a whole TIFF file's first bytes, or an Exif segment's body):
// every read is checked against its size, every offset against overflow.
class TiffBlock {
public:
    TiffBlock(const std::uint8_t* data, std::size_t size, bool whole)
        : data_(data), size_(size), whole_(whole), big_(size >= 2 && data[0] == 'M') {}

    bool Has(std::uint64_t at, std::uint64_t length) const {
        return at <= size_ && length <= size_ - at;
    }
    // A place past the bytes at hand: more may be read unless they are all.
    bool WantsMore(std::uint64_t at, std::uint64_t length) const {
        return !Has(at, length) && !whole_;
    }
    std::uint16_t U16(std::size_t at) const {
        return big_ ? std::uint16_t(data_[at] << 8 | data_[at + 1])
                    : std::uint16_t(data_[at + 1] << 8 | data_[at]);
    }
    std::uint32_t U32(std::size_t at) const {
        return big_ ? std::uint32_t(U16(at)) << 16 | U16(at + 2)
                    : std::uint32_t(U16(at + 2)) << 16 | U16(at);
    }
    const std::uint8_t* At(std::size_t at) const { return data_ + at; }

private:
    const std::uint8_t* data_;
    std::size_t size_;
    bool whole_;
    bool big_;
};

// The tags the date needs, from the first directory and the Exif one.
struct DateTags {
    Text dateTime, original, digitized, offset, offsetOriginal, offsetDigitized;
    std::uint32_t exifDirectory = 0;
};

// The text tags the date needs, each with its place in DateTags.
struct TextTag {
    std::uint16_t tag;
    Text DateTags::*text;
};
constexpr TextTag kTextTags[] = {
    {kDateTime, &DateTags::dateTime},
    {kOriginal, &DateTags::original},
    {kDigitized, &DateTags::digitized},
    {kOffset, &DateTags::offset},
    {kOffsetOriginal, &DateTags::offsetOriginal},
    {kOffsetDigitized, &DateTags::offsetDigitized},
};

enum class Step { Done, Bad, More };

// A byte-sized value of at most 32 bytes (a date has 20): inline when it
// fits the entry's four bytes, elsewhere in the block otherwise.
Step ReadText(const TiffBlock& block, std::size_t entry, Text& text) {
    const std::uint16_t type = block.U16(entry + 2);
    if (type != 1 && type != 2 && type != 7)
        return Step::Done;
    const std::uint32_t count = block.U32(entry + 4);
    const std::size_t length = std::min<std::uint32_t>(count, 32);
    const std::uint64_t at = count <= 4 ? entry + 8 : block.U32(entry + 8);
    if (block.WantsMore(at, length))
        return Step::More;
    if (block.Has(at, length))
        text = {static_cast<std::size_t>(at), length};
    return Step::Done;
}

// One directory's entries, as far as the block holds them: a count that
// runs past a whole block is cut there.
Step ReadDirectory(const TiffBlock& block, std::uint32_t offset, DateTags& tags) {
    if (block.WantsMore(offset, 2))
        return Step::More;
    if (!block.Has(offset, 2))
        return Step::Bad;
    const std::uint16_t count = block.U16(offset);
    for (std::uint32_t i = 0; i < count; ++i) {
        const std::uint64_t entry = std::uint64_t(offset) + 2 + 12 * std::uint64_t(i);
        if (block.WantsMore(entry, 12))
            return Step::More;
        if (!block.Has(entry, 12))
            break;
        const auto at = static_cast<std::size_t>(entry);
        const std::uint16_t tag = block.U16(at);
        if (tag == kExifDirectory)
            tags.exifDirectory = block.U32(at + 8);
        for (const TextTag& wanted : kTextTags)
            if (tag == wanted.tag && ReadText(block, at, tags.*wanted.text) == Step::More)
                return Step::More;
    }
    return Step::Done;
}

bool Digits(const std::uint8_t* p, int count, int& value) {
    value = 0;
    for (int i = 0; i < count; ++i) {
        if (p[i] < '0' || p[i] > '9')
            return false;
        value = value * 10 + (p[i] - '0');
    }
    return true;
}

// "YYYY:MM:DD HH:MM:SS"; a date written with "-" or "/", or with a "T",
// is read too. Blanks (an unknown date) and impossible dates are not.
bool ParseDate(const TiffBlock& block, Text text, TakenDate& date) {
    if (text.length < 19)
        return false;
    const std::uint8_t* p = block.At(text.at);
    const std::string_view dateMarks = ":-/", middle = " T";
    if (dateMarks.find(char(p[4])) == dateMarks.npos || p[7] != p[4] ||
        middle.find(char(p[10])) == middle.npos || p[13] != ':' || p[16] != ':')
        return false;
    TakenDate d;
    if (!Digits(p, 4, d.year) || !Digits(p + 5, 2, d.month) || !Digits(p + 8, 2, d.day) ||
        !Digits(p + 11, 2, d.hour) || !Digits(p + 14, 2, d.minute) || !Digits(p + 17, 2, d.second))
        return false;
    if (d.month < 1 || d.month > 12 || d.day < 1 || d.day > DaysInMonth(d.year, d.month) ||
        d.hour > 23 || d.minute > 59 || d.second > 59)
        return false;
    date = d;
    return true;
}

// "+09:00" or "-05:30".
bool ParseOffset(const TiffBlock& block, Text text, int& minutes) {
    if (text.length < 6)
        return false;
    const std::uint8_t* p = block.At(text.at);
    int hours = 0, mins = 0;
    if ((p[0] != '+' && p[0] != '-') || p[3] != ':' || !Digits(p + 1, 2, hours) ||
        !Digits(p + 4, 2, mins) || hours > 23 || mins > 59)
        return false;
    minutes = (p[0] == '-' ? -1 : 1) * (hours * 60 + mins);
    return true;
}

DateTakenScan ScanTiff(const TiffBlock& block, TakenDate& date) {
    if (block.WantsMore(0, 8))
        return DateTakenScan::NeedMore;
    if (!block.Has(0, 8) || block.U16(2) != 42)
        return DateTakenScan::None;
    DateTags tags;
    const std::uint32_t first = block.U32(4);
    Step step = ReadDirectory(block, first, tags);
    // The Exif directory is visited once, and not when it is the first
    // one again.
    if (step == Step::Done && tags.exifDirectory && tags.exifDirectory != first) {
        const std::uint32_t exif = tags.exifDirectory;
        step = ReadDirectory(block, exif, tags);
        tags.exifDirectory = exif;
    }
    if (step == Step::More)
        return DateTakenScan::NeedMore;
    struct Choice {
        Text date, ownOffset;
    };
    for (const Choice& choice :
         {Choice{tags.original, tags.offsetOriginal}, Choice{tags.digitized, tags.offsetDigitized},
          Choice{tags.dateTime, tags.offset}}) {
        if (!choice.date || !ParseDate(block, choice.date, date))
            continue;
        // The date's own offset; failing that, one of the file's others:
        // a camera writes them all from one clock.
        int minutes = 0;
        for (Text offset :
             {choice.ownOffset, tags.offsetOriginal, tags.offsetDigitized, tags.offset})
            if (offset && ParseOffset(block, offset, minutes)) {
                date.offsetMinutes = minutes;
                break;
            }
        return DateTakenScan::Found;
    }
    return DateTakenScan::None;
}

// The segments of a JPEG file up to its image data, for an APP1 segment
// that holds Exif data.
DateTakenScan ScanJpeg(const std::uint8_t* data, std::size_t size, bool whole, TakenDate& date) {
    const DateTakenScan cut = whole ? DateTakenScan::None : DateTakenScan::NeedMore;
    std::size_t at = 2;
    for (;;) {
        if (size - at < 4)
            return cut;
        if (data[at] != 0xFF)
            return DateTakenScan::None;
        const std::uint8_t marker = data[at + 1];
        if (marker == 0xFF) { // fill byte
            ++at;
            continue;
        }
        if (marker == 0x01 || (marker >= 0xD0 && marker <= 0xD7)) { // no length
            at += 2;
            continue;
        }
        if (marker == 0xD9 || marker == 0xDA) // end of image, start of scan
            return DateTakenScan::None;
        const std::size_t length = std::size_t(data[at + 2]) << 8 | data[at + 3];
        if (length < 2)
            return DateTakenScan::None;
        const std::size_t body = at + 4, end = at + 2 + length;
        if (marker == 0xE1 && length >= 8) {
            if (end > size)
                return cut;
            if (std::memcmp(data + body, "Exif\0\0", 6) == 0) {
                const DateTakenScan found =
                    ScanTiff(TiffBlock(data + body + 6, end - body - 6, true), date);
                if (found == DateTakenScan::Found)
                    return found;
            }
        }
        if (end > size)
            return cut;
        at = end;
    }
}

} // namespace

DateTakenScan ScanDateTaken(const std::uint8_t* data, std::size_t size, bool whole,
                            TakenDate& date) {
    if (size < 4)
        return whole ? DateTakenScan::None : DateTakenScan::NeedMore;
    if (data[0] == 0xFF && data[1] == 0xD8)
        return ScanJpeg(data, size, whole, date);
    const bool tiff = (data[0] == 'I' && data[1] == 'I') || (data[0] == 'M' && data[1] == 'M');
    return tiff ? ScanTiff(TiffBlock(data, size, whole), date) : DateTakenScan::None;
}

std::optional<FileTime> FileTimeOfDateTaken(const TakenDate& date, LocalTimeConverter& local) {
    if (date.year < 1601)
        return std::nullopt;
    const long days = DaysSinceEpoch(date.year, date.month, date.day);
    const std::int64_t seconds = date.hour * 3600 + date.minute * 60 + date.second;
    if (!date.offsetMinutes)
        return local.ToUtc(days + seconds / 86400.0);
    const std::int64_t utc = (days - DaysSinceEpoch(1601, 1, 1)) * 86400LL + seconds -
                             std::int64_t(*date.offsetMinutes) * 60;
    if (utc <= 0)
        return std::nullopt;
    return static_cast<FileTime>(utc) * 10'000'000;
}

std::optional<FileTime> ReadDateTaken(const ContentReader& read, std::vector<std::uint8_t>& buffer,
                                      LocalTimeConverter& local) {
    buffer.resize(kDateTakenFirstRead);
    std::size_t size = read(0, buffer.data(), buffer.size());
    TakenDate date;
    DateTakenScan scan = ScanDateTaken(buffer.data(), size, size < buffer.size(), date);
    if (scan == DateTakenScan::NeedMore) {
        buffer.resize(kDateTakenMostRead);
        size += read(size, buffer.data() + size, buffer.size() - size);
        scan = ScanDateTaken(buffer.data(), size, true, date);
    }
    return scan == DateTakenScan::Found ? FileTimeOfDateTaken(date, local) : std::nullopt;
}

} // namespace kalvera
