#include "core/readers/MediaDate.h"
#include "core/readers/XmpDate.h"
#include "datetime/Calendar.h"

#include <cstring>
#include <string>

namespace kalvera {
namespace {

// No file has more of these that matter: a run past them is a damaged file.
constexpr int kMostSegments = 4096, kMostEntries = 512, kMostBoxes = 256;

bool Digits(std::string_view text, std::size_t at, int count, int& value) {
    if (at > text.size() || text.size() - at < std::size_t(count))
        return false;
    value = 0;
    for (int i = 0; i < count; ++i) {
        const char c = text[at + i];
        if (c < '0' || c > '9')
            return false;
        value = value * 10 + (c - '0');
    }
    return true;
}

bool Valid(const TakenDate& d) {
    return d.year >= 1 && d.month >= 1 && d.month <= 12 && d.day >= 1 &&
           d.day <= DaysInMonth(d.year, d.month) && d.hour <= 23 && d.minute <= 59 &&
           d.second <= 59;
}

// "+09:00" or "+0900".
bool ParseOffset(std::string_view text, int& minutes) {
    int hours = 0, mins = 0;
    if (text.empty() || (text[0] != '+' && text[0] != '-') || !Digits(text, 1, 2, hours))
        return false;
    const std::size_t at = text.size() > 3 && text[3] == ':' ? 4 : 3;
    if (!Digits(text, at, 2, mins) || hours > 23 || mins > 59)
        return false;
    minutes = (text[0] == '-' ? -1 : 1) * (hours * 60 + mins);
    return true;
}

// The text of a value up to its first zero.
std::string TextOf(const std::uint8_t* bytes, std::size_t size) {
    std::string text(reinterpret_cast<const char*>(bytes), size);
    return text.substr(0, text.find('\0'));
}

// A TIFF block inside the file: every range is taken from the block's own
// offsets, and must lie inside the block and the file.
class Tiff {
public:
    Tiff(FileBytes& file, std::uint64_t base, std::uint64_t end, bool big)
        : file_(file), base_(base), end_(end), big_(big) {}

    ByteCursor Range(std::uint64_t at, std::uint64_t length) {
        if (at > end_ - base_ || length > end_ - base_ - at || length > FileBytes::kLargestRange)
            return {nullptr, 0};
        const std::uint8_t* bytes = file_.Get(base_ + at, std::size_t(length));
        return {bytes, bytes ? std::size_t(length) : 0, big_};
    }

private:
    FileBytes& file_;
    std::uint64_t base_, end_;
    bool big_;
};

struct DateTags {
    std::optional<TakenDate> dateTime, original, digitized;
    std::optional<int> offset, offsetOriginal, offsetDigitized;
    std::uint32_t exifDirectory = 0;
};

// A byte-sized value of at most 32 bytes (a date has 20): inline when it
// fits the entry's four bytes, elsewhere in the block otherwise.
std::string EntryText(Tiff& tiff, const ByteCursor& entries, std::uint64_t entry) {
    std::uint32_t type = 0, count = 0, where = 0;
    if (!entries.U16(entry + 2, type) || (type != 1 && type != 2 && type != 7) ||
        !entries.U32(entry + 4, count) || !entries.U32(entry + 8, where))
        return {};
    const std::uint32_t length = count < 32 ? count : 32;
    if (count <= 4)
        return TextOf(entries.At(std::size_t(entry + 8)), length);
    const ByteCursor value = tiff.Range(where, length);
    return value.Has(0, length) ? TextOf(value.At(0), length) : std::string();
}

// One directory's entries, as far as the block holds them.
void ReadDirectory(Tiff& tiff, std::uint32_t offset, DateTags& tags) {
    std::uint32_t count = 0;
    if (!tiff.Range(offset, 2).U16(0, count))
        return;
    if (count > kMostEntries)
        count = kMostEntries;
    // Entries past the block's end are cut there.
    ByteCursor entries = tiff.Range(std::uint64_t(offset) + 2, 12 * std::uint64_t(count));
    while (!entries.Has(0, 12 * std::uint64_t(count)) && count > 0)
        entries = tiff.Range(std::uint64_t(offset) + 2, 12 * std::uint64_t(--count));
    // The texts are read after the entries: reading one may take the
    // entries' bytes away.
    struct Wanted {
        std::uint32_t tag;
        std::uint64_t entry;
    };
    std::uint32_t pointer = 0;
    Wanted wanted[7];
    int found = 0;
    for (std::uint32_t i = 0; i < count; ++i) {
        const std::uint64_t entry = 12 * std::uint64_t(i);
        std::uint32_t tag = 0;
        entries.U16(entry, tag);
        if (tag == 0x8769)
            entries.U32(entry + 8, pointer);
        else if ((tag == 0x0132 || (tag >= 0x9003 && tag <= 0x9004) ||
                  (tag >= 0x9010 && tag <= 0x9012)) &&
                 found < 7)
            wanted[found++] = {tag, entry};
    }
    std::string texts[7];
    for (int i = 0; i < found; ++i) {
        // Entries and a text's bytes may lie in different windows.
        entries = tiff.Range(std::uint64_t(offset) + 2, 12 * std::uint64_t(count));
        texts[i] = EntryText(tiff, entries, wanted[i].entry);
    }
    if (pointer)
        tags.exifDirectory = pointer;
    for (int i = 0; i < found; ++i) {
        int minutes = 0;
        const bool offset =
            texts[i].size() >= 6 && texts[i][3] == ':' && ParseOffset(texts[i], minutes);
        switch (wanted[i].tag) {
        case 0x0132:
            tags.dateTime = ParseExifDate(texts[i]);
            break;
        case 0x9003:
            tags.original = ParseExifDate(texts[i]);
            break;
        case 0x9004:
            tags.digitized = ParseExifDate(texts[i]);
            break;
        case 0x9010:
            if (offset)
                tags.offset = minutes;
            break;
        case 0x9011:
            if (offset)
                tags.offsetOriginal = minutes;
            break;
        case 0x9012:
            if (offset)
                tags.offsetDigitized = minutes;
            break;
        }
    }
}

// True when the file holds the range's last byte: a range that runs past
// the file's end is a damaged one, whose date is not taken.
bool WholeInFile(FileBytes& file, std::uint64_t at, std::uint64_t length) {
    return length == 0 || file.Get(at + length - 1, 1) != nullptr;
}

// A range of the file whose date a later step may look for.
struct Range {
    std::uint64_t at = 0, end = 0;
    explicit operator bool() const { return end > at; }
};

// The date of an XMP packet that fills the range.
std::optional<TakenDate> ReadXmp(FileBytes& file, Range range) {
    if (!range || range.end - range.at > FileBytes::kLargestRange)
        return std::nullopt;
    const std::uint8_t* bytes = file.Get(range.at, std::size_t(range.end - range.at));
    return bytes ? DateInXmp(std::string_view(reinterpret_cast<const char*>(bytes),
                                              std::size_t(range.end - range.at)))
                 : std::nullopt;
}

// IPTC's DateCreated (2:55, "CCYYMMDD") with its TimeCreated (2:60,
// "HHMMSS+HHMM"), in a Photoshop segment's IPTC block (8BIM 0x0404).
std::optional<TakenDate> ReadIptc(FileBytes& file, Range range) {
    constexpr std::string_view kPhotoshop("Photoshop 3.0\0", 14);
    if (!range || range.end - range.at > FileBytes::kLargestRange)
        return std::nullopt;
    const ByteCursor segment(file.Get(range.at, std::size_t(range.end - range.at)),
                             std::size_t(range.end - range.at));
    if (!segment.Has(0, kPhotoshop.size()) ||
        std::memcmp(segment.At(0), kPhotoshop.data(), kPhotoshop.size()) != 0)
        return std::nullopt;
    for (std::uint64_t at = kPhotoshop.size(); segment.Is(at, "8BIM");) {
        std::uint32_t id = 0, nameLength = 0, size = 0;
        if (!segment.U16(at + 4, id) || !segment.U8(at + 6, nameLength))
            return std::nullopt;
        const std::uint64_t sizeAt = at + 6 + ((nameLength + 2) & ~1u);
        if (!segment.U32(sizeAt, size) || !segment.Has(sizeAt + 4, size))
            return std::nullopt;
        const std::uint64_t data = sizeAt + 4;
        if (id == 0x0404) {
            std::string date, time;
            for (std::uint64_t r = data; r + 5 <= data + size;) {
                std::uint32_t tag = 0, record = 0, dataset = 0, length = 0;
                if (!segment.U8(r, tag) || tag != 0x1C || !segment.U8(r + 1, record) ||
                    !segment.U8(r + 2, dataset) || !segment.U16(r + 3, length) ||
                    length > data + size - r - 5)
                    break;
                const std::string value = TextOf(segment.At(std::size_t(r + 5)), length);
                if (record == 2 && dataset == 55)
                    date = value;
                else if (record == 2 && dataset == 60)
                    time = value;
                r += 5 + length;
            }
            TakenDate d;
            if (date.size() != 8 || !Digits(date, 0, 4, d.year) || !Digits(date, 4, 2, d.month) ||
                !Digits(date, 6, 2, d.day))
                return std::nullopt;
            int minutes = 0;
            if (time.size() >= 6 && Digits(time, 0, 2, d.hour) && Digits(time, 2, 2, d.minute) &&
                Digits(time, 4, 2, d.second)) {
                if (ParseOffset(std::string_view(time).substr(6), minutes))
                    d.offsetMinutes = minutes;
            } else {
                d.hour = d.minute = d.second = 0;
            }
            return Valid(d) ? std::optional<TakenDate>(d) : std::nullopt;
        }
        at = data + size + (size & 1);
    }
    return std::nullopt;
}

// The segments of a JPEG file up to its image data, for an APP1 segment
// that holds Exif data; failing that, IPTC's date, then XMP's.
std::optional<TakenDate> ReadJpeg(FileBytes& file) {
    constexpr std::string_view kXmp("http://ns.adobe.com/xap/1.0/\0", 29);
    Range iptc, xmp;
    std::uint64_t at = 2;
    for (int segment = 0; segment < kMostSegments; ++segment) {
        const ByteCursor header(file.Get(at, 4), 4);
        std::uint32_t mark = 0, marker = 0, length = 0;
        if (!header.U8(0, mark) || mark != 0xFF || !header.U8(1, marker))
            break;
        if (marker == 0xFF) { // fill byte
            ++at;
            continue;
        }
        if (marker == 0x01 || (marker >= 0xD0 && marker <= 0xD7)) { // no length
            at += 2;
            continue;
        }
        if (marker == 0xD9 || marker == 0xDA || !header.U16(2, length) || length < 2)
            break; // end of image, start of scan
        const std::uint64_t body = at + 4, end = at + 2 + length;
        // Too short to hold "Exif\0\0" and more: not one.
        if (marker == 0xE1 && length >= 8) {
            const ByteCursor exif(file.Get(body, kXmp.size()), kXmp.size());
            if (exif.Has(0, 6) && std::memcmp(exif.At(0), "Exif\0\0", 6) == 0) {
                if (!WholeInFile(file, body, length - 2))
                    return std::nullopt;
                if (auto date = ReadTiffDate(file, body + 6, end))
                    return date;
            } else if (!xmp && exif.Has(0, kXmp.size()) &&
                       std::memcmp(exif.At(0), kXmp.data(), kXmp.size()) == 0) {
                xmp = {body + kXmp.size(), end};
            }
        } else if (marker == 0xED && !iptc) {
            iptc = {body, end};
        }
        at = end;
    }
    if (auto date = ReadIptc(file, iptc))
        return date;
    return ReadXmp(file, xmp);
}

// A TIFF block that may follow "Exif\0\0", as PNG and WebP writers differ.
std::optional<TakenDate> ReadExifBlock(FileBytes& file, std::uint64_t at, std::uint64_t end) {
    const ByteCursor prefix(file.Get(at, 6), 6);
    if (end - at > 6 && prefix.Has(0, 6) && std::memcmp(prefix.At(0), "Exif\0\0", 6) == 0)
        at += 6;
    return ReadTiffDate(file, at, end);
}

// PNG chunks up to the image's end, for an eXIf one; failing that, the XMP
// packet of an uncompressed iTXt one.
std::optional<TakenDate> ReadPng(FileBytes& file) {
    constexpr std::string_view kXmpKey("XML:com.adobe.xmp\0", 18);
    Range xmp;
    std::uint64_t at = 8;
    for (int chunk = 0; chunk < kMostSegments; ++chunk) {
        const ByteCursor header(file.Get(at, 8), 8);
        std::uint32_t length = 0;
        if (!header.U32(0, length) || length > 0x7FFFFFFF || header.Is(4, "IEND"))
            break;
        if (header.Is(4, "eXIf"))
            return WholeInFile(file, at + 8, length) ? ReadExifBlock(file, at + 8, at + 8 + length)
                                                     : std::nullopt;
        if (header.Is(4, "iTXt") && !xmp && length > kXmpKey.size() + 4) {
            // Keyword, compression flag and method, language, translated
            // keyword, then the text.
            const std::size_t head = std::min<std::size_t>(length, 256);
            const ByteCursor text(file.Get(at + 8, head), head);
            if (text.Has(0, kXmpKey.size() + 2) &&
                std::memcmp(text.At(0), kXmpKey.data(), kXmpKey.size()) == 0 &&
                text.At(kXmpKey.size())[0] == 0) {
                std::size_t skip = kXmpKey.size() + 2;
                for (int zeros = 0; zeros < 2 && skip < head; ++skip)
                    zeros += text.At(skip)[0] == 0;
                if (skip < head && WholeInFile(file, at + 8, length))
                    xmp = {at + 8 + skip, at + 8 + length};
            }
        }
        at += 12 + std::uint64_t(length);
    }
    return ReadXmp(file, xmp);
}

// The chunks of a WebP file's RIFF form, for an EXIF one.
std::optional<TakenDate> ReadWebp(FileBytes& file) {
    const ByteCursor form(file.Get(0, 12), 12, false);
    std::uint32_t size = 0;
    if (!form.U32(4, size))
        return std::nullopt;
    const std::uint64_t end = 8 + std::uint64_t(size);
    Range xmp;
    for (std::uint64_t at = 12; at + 8 <= end;) {
        const ByteCursor header(file.Get(at, 8), 8, false);
        std::uint32_t length = 0;
        if (!header.U32(4, length) || length > end - at - 8)
            break;
        if (header.Is(0, "EXIF"))
            return WholeInFile(file, at + 8, length) ? ReadExifBlock(file, at + 8, at + 8 + length)
                                                     : std::nullopt;
        if (header.Is(0, "XMP ") && !xmp)
            xmp = {at + 8, at + 8 + length};
        at += 8 + std::uint64_t(length) + (length & 1);
    }
    return ReadXmp(file, xmp);
}

// A box of an ISO base media file (or a QuickTime atom): its type, where
// its content starts and where it ends. A size of 1 gives a 64-bit size
// after the type; a size of 0 runs to the parent's end.
struct Box {
    char type[5] = "";
    std::uint64_t content = 0, end = 0;
    bool toEnd = false; // a size of 0
    bool Is(const char (&code)[5]) const { return std::memcmp(type, code, 4) == 0; }
};

bool BoxAt(const ByteCursor& bytes, std::uint64_t at, std::uint64_t parentEnd, Box& box) {
    std::uint32_t size32 = 0;
    if (at >= parentEnd || !bytes.U32(0, size32) || !bytes.Has(4, 4))
        return false;
    std::memcpy(box.type, bytes.At(4), 4);
    std::uint64_t size = size32, header = 8;
    if (size32 == 1) {
        if (!bytes.U64(8, size))
            return false;
        header = 16;
    } else if (size32 == 0) {
        size = parentEnd - at;
    }
    box.toEnd = size32 == 0;
    if (size < header || size > parentEnd - at)
        return false;
    box.content = at + header;
    box.end = at + size;
    return true;
}

// The box at at in the file.
bool ReadBox(FileBytes& file, std::uint64_t at, std::uint64_t parentEnd, Box& box) {
    const std::uint8_t* bytes = file.Get(at, 16);
    const std::size_t size = bytes ? 16 : 8;
    if (!bytes)
        bytes = file.Get(at, 8);
    return BoxAt(ByteCursor(bytes, bytes ? size : 0), at, parentEnd, box);
}

// The box at at within a range already read (which starts at base).
bool ReadBox(const ByteCursor& range, std::uint64_t base, std::uint64_t at, std::uint64_t parentEnd,
             Box& box) {
    if (at < base || !range.Has(at - base, 8))
        return false;
    const std::size_t offset = std::size_t(at - base);
    return BoxAt(ByteCursor(range.At(offset), range.Size() - offset), at, parentEnd, box);
}

// Each child box of the parent, each read from the file, until visit
// answers false.
template <typename Visit>
void EachChild(FileBytes& file, std::uint64_t from, std::uint64_t end, Visit&& visit) {
    Box child;
    for (int i = 0; i < kMostBoxes && from < end && ReadBox(file, from, end, child); ++i) {
        if (!visit(child))
            return;
        from = child.end;
    }
}

// The whole content of a small box, or nothing.
ByteCursor Content(FileBytes& file, const Box& box) {
    const std::uint64_t length = box.end - box.content;
    if (length > FileBytes::kLargestRange)
        return {nullptr, 0};
    const std::uint8_t* bytes = file.Get(box.content, std::size_t(length));
    return {bytes, bytes ? std::size_t(length) : 0};
}

// HEIF: the item of type "Exif", found through the meta box's item info
// and located through its item locations; its data begins with the offset
// of the TIFF header within it.
std::optional<TakenDate> ReadHeif(FileBytes& file, const Box& meta) {
    Box infoBox, locationBox, dataBox;
    bool info = false, location = false, data = false;
    EachChild(file, meta.content + 4, meta.end, [&](const Box& child) {
        if (child.Is("iinf"))
            info = (infoBox = child, true);
        else if (child.Is("iloc"))
            location = (locationBox = child, true);
        else if (child.Is("idat"))
            data = (dataBox = child, true);
        return true;
    });
    if (!info || !location)
        return std::nullopt;

    // Item info: entries, each an "infe" box with the item's type.
    std::uint32_t exifItem = 0;
    {
        const ByteCursor infos = Content(file, infoBox);
        std::uint32_t version = 0;
        if (!infos.U8(0, version))
            return std::nullopt;
        std::uint64_t at = infoBox.content + (version == 0 ? 6 : 8);
        Box entry;
        for (int i = 0; i < kMostBoxes && exifItem == 0 &&
                        ReadBox(infos, infoBox.content, at, infoBox.end, entry);
             ++i, at = entry.end) {
            const std::uint64_t e = entry.content - infoBox.content;
            std::uint32_t entryVersion = 0, id = 0;
            if (!entry.Is("infe") || !infos.U8(e, entryVersion) || entryVersion < 2)
                continue;
            const std::uint64_t type = e + (entryVersion == 2 ? 8 : 10);
            if ((entryVersion == 2 ? infos.U16(e + 4, id) : infos.U32(e + 4, id)) &&
                infos.Is(type, "Exif"))
                exifItem = id;
        }
    }
    if (exifItem == 0)
        return std::nullopt;

    // Item locations: where the item's first extent lies.
    const ByteCursor locations = Content(file, locationBox);
    std::uint32_t version = 0, sizes = 0, baseSizes = 0, items = 0;
    if (!locations.U8(0, version) || version > 2 || !locations.U8(4, sizes) ||
        !locations.U8(5, baseSizes))
        return std::nullopt;
    const unsigned offsetSize = sizes >> 4, lengthSize = sizes & 15, baseSize = baseSizes >> 4;
    const unsigned indexSize = version == 0 ? 0 : baseSizes & 15;
    std::uint64_t at = 6;
    if (!(version < 2 ? locations.U16(at, items) : locations.U32(at, items)))
        return std::nullopt;
    at += version < 2 ? 2 : 4;
    for (std::uint32_t i = 0; i < items && i < std::uint32_t(kMostEntries); ++i) {
        std::uint32_t id = 0, method = 0, extents = 0;
        std::uint64_t base = 0;
        if (!(version < 2 ? locations.U16(at, id) : locations.U32(at, id)))
            return std::nullopt;
        at += version < 2 ? 2 : 4;
        if (version >= 1) {
            if (!locations.U16(at, method))
                return std::nullopt;
            method &= 15;
            at += 2;
        }
        if (!locations.Sized(at + 2, baseSize, base) || !locations.U16(at + 2 + baseSize, extents))
            return std::nullopt;
        at += 2 + baseSize + 2;
        std::uint64_t offset = 0, length = 0;
        for (std::uint32_t e = 0; e < extents && e < std::uint32_t(kMostEntries); ++e) {
            std::uint64_t thisOffset = 0, thisLength = 0;
            if (!locations.Sized(at + indexSize, offsetSize, thisOffset) ||
                !locations.Sized(at + indexSize + offsetSize, lengthSize, thisLength))
                return std::nullopt;
            if (e == 0)
                offset = thisOffset, length = thisLength;
            at += indexSize + offsetSize + lengthSize;
        }
        if (id != exifItem)
            continue;
        // Method 0: offsets in the file; 1: in the meta box's own data.
        const std::uint64_t origin = method == 1 && data ? dataBox.content : 0;
        if ((method != 0 && !(method == 1 && data)) || extents == 0 || base > ~origin ||
            offset > ~(origin + base))
            return std::nullopt;
        const std::uint64_t start = origin + base + offset;
        const std::uint64_t end = length == 0 ? (method == 1 ? dataBox.end : kUnknownEnd)
                                              : (length > ~start ? kUnknownEnd : start + length);
        std::uint32_t header = 0;
        if (length != 0 && (length > ~start || !WholeInFile(file, start, length)))
            return std::nullopt;
        if (end - start < 4 || !ByteCursor(file.Get(start, 4), 4).U32(0, header) ||
            header > end - start - 4)
            return std::nullopt;
        return ReadTiffDate(file, start + 4 + header, end);
    }
    return std::nullopt;
}

// Seconds since the first day of a year, UTC, up to the latest given:
// later dates would be no use.
std::optional<TakenDate> UtcSince(int year, std::uint64_t seconds, std::uint64_t latest) {
    if (seconds > latest)
        return std::nullopt;
    const CivilDate day = DateFromDays(DaysSinceEpoch(year, 1, 1) + long(seconds / 86400));
    const int time = int(seconds % 86400);
    return TakenDate{day.year, day.month, day.day, time / 3600, time / 60 % 60, time % 60, 0};
}

// Seconds since 1904-01-01 00:00 UTC, as a movie header keeps them.
std::optional<TakenDate> MovieTime(std::uint64_t seconds) {
    return seconds == 0 ? std::nullopt : UtcSince(1904, seconds, 253'370'764'800ULL);
}

// QuickTime metadata: the key "com.apple.quicktime.creationdate" in the
// keys box and its value in the item list, an ISO 8601 text with its offset.
std::optional<TakenDate> ReadQuickTimeMeta(FileBytes& file, const Box& meta) {
    // The box is a full one (version and flags first) where an ISO writer
    // made it, and a plain one in QuickTime's own files.
    const ByteCursor start(file.Get(meta.content, 12), 12);
    const std::uint64_t children = meta.content + (start.Is(8, "hdlr") ? 4 : 0);
    Box keysBox, itemsBox;
    bool keys = false, items = false;
    EachChild(file, children, meta.end, [&](const Box& child) {
        if (child.Is("keys"))
            keys = (keysBox = child, true);
        else if (child.Is("ilst"))
            items = (itemsBox = child, true);
        return true;
    });
    if (!keys || !items)
        return std::nullopt;
    constexpr std::string_view kCreationDate = "com.apple.quicktime.creationdate";
    std::uint32_t wantedIndex = 0;
    {
        const ByteCursor entries = Content(file, keysBox);
        std::uint32_t count = 0;
        std::uint64_t at = 8;
        if (!entries.U32(4, count))
            return std::nullopt;
        for (std::uint32_t i = 1; i <= count && i <= std::uint32_t(kMostEntries); ++i) {
            std::uint32_t size = 0;
            if (!entries.U32(at, size) || size < 8 || !entries.Has(at, size))
                return std::nullopt;
            if (std::string_view(reinterpret_cast<const char*>(entries.At(std::size_t(at + 8))),
                                 size - 8) == kCreationDate) {
                wantedIndex = i;
                break;
            }
            at += size;
        }
    }
    if (wantedIndex == 0)
        return std::nullopt;
    const ByteCursor list = Content(file, itemsBox);
    Box item, value;
    for (std::uint64_t at = itemsBox.content;
         ReadBox(list, itemsBox.content, at, itemsBox.end, item); at = item.end) {
        std::uint32_t index = 0;
        list.U32(at - itemsBox.content + 4, index);
        if (index != wantedIndex)
            continue;
        for (std::uint64_t in = item.content; ReadBox(list, itemsBox.content, in, item.end, value);
             in = value.end) {
            const std::uint64_t v = value.content - itemsBox.content;
            std::uint32_t type = 0;
            if (!value.Is("data") || !list.U32(v, type) || type != 1 ||
                value.end - value.content < 8)
                continue;
            const std::size_t length = std::size_t(value.end - value.content - 8);
            return ParseIsoDate(TextOf(list.At(std::size_t(v + 8)), length));
        }
    }
    return std::nullopt;
}

// A movie: the QuickTime creation date with its offset where it has one,
// else the movie header's creation time.
std::optional<TakenDate> ReadMovie(FileBytes& file, const Box& movie) {
    std::optional<TakenDate> header, metadata;
    auto meta = [&](const Box& box) {
        if (!metadata)
            metadata = ReadQuickTimeMeta(file, box);
    };
    EachChild(file, movie.content, movie.end, [&](const Box& child) {
        if (child.Is("mvhd")) {
            const ByteCursor fields(file.Get(child.content, 12), 12);
            std::uint32_t version = 0, short32 = 0;
            std::uint64_t long64 = 0;
            if (fields.U8(0, version) && version == 1 && fields.U64(4, long64))
                header = MovieTime(long64);
            else if (fields.U8(0, version) && version == 0 && fields.U32(4, short32))
                header = MovieTime(short32);
        } else if (child.Is("meta")) {
            meta(child);
        } else if (child.Is("udta")) {
            EachChild(file, child.content, child.end, [&](const Box& inner) {
                if (inner.Is("meta"))
                    meta(inner);
                return !metadata;
            });
        }
        return !metadata;
    });
    return metadata ? metadata : header;
}

bool IsHeifBrand(const ByteCursor& brands, std::uint64_t at) {
    static constexpr char kBrands[][5] = {"heic", "heix", "hevc", "hevx", "heim", "heis", "hevm",
                                          "hevs", "mif1", "mif2", "msf1", "avif", "avis"};
    for (const auto& brand : kBrands)
        if (brands.Is(at, brand))
            return true;
    return false;
}

// An ISO base media file or a QuickTime movie: a HEIF image by its brands,
// a movie otherwise; failing their dates, the XMP packet of a uuid box.
std::optional<TakenDate> ReadIsoFile(FileBytes& file) {
    static constexpr std::uint8_t kXmpUuid[16] = {0xBE, 0x7A, 0xCF, 0xCB, 0x97, 0xA9, 0x42, 0xE8,
                                                  0x9C, 0x71, 0x99, 0x94, 0x91, 0xE3, 0xAF, 0xAC};
    bool heif = false;
    std::optional<TakenDate> date;
    Range xmp;
    EachChild(file, 0, kUnknownEnd, [&](Box box) {
        if (box.Is("uuid") && !xmp && box.end - box.content > 16 && box.end != kUnknownEnd) {
            const ByteCursor id(file.Get(box.content, 16), 16);
            if (id.Has(0, 16) && std::memcmp(id.At(0), kXmpUuid, 16) == 0)
                xmp = {box.content + 16, box.end};
            return true;
        }
        // The box that holds the date is all in the file, or none of it
        // is read: its last byte is read first (in the window of its
        // start, where it is small). One that runs to the end of a file
        // whose end is not known yet is not read either.
        if (box.Is("meta") || box.Is("moov")) {
            if (box.toEnd && file.Get(box.content, 1))
                box.end = file.KnownEnd();
            if (box.end == kUnknownEnd || !file.Get(box.end - 1, 1))
                return false;
        }
        if (box.Is("ftyp")) {
            const ByteCursor brands = Content(file, box);
            for (std::uint64_t at = 0; at + 4 <= brands.Size() && !heif; at += at == 0 ? 8 : 4)
                heif = IsHeifBrand(brands, at);
        } else if (heif && box.Is("meta")) {
            date = ReadHeif(file, box);
            return !date;
        } else if (!heif && box.Is("moov")) {
            date = ReadMovie(file, box);
            return !date;
        }
        return true;
    });
    return date ? date : ReadXmp(file, xmp);
}

// An AVI file's IDIT chunk in its header list: "SUN JAN 13 08:11:14 2008",
// local time (or Exif's form, as some cameras write it).
std::optional<TakenDate> ReadAvi(FileBytes& file) {
    const ByteCursor list(file.Get(12, 12), 12, false);
    std::uint32_t size = 0;
    if (!list.Is(0, "LIST") || !list.U32(4, size) || !list.Is(8, "hdrl") || size < 4)
        return std::nullopt;
    const std::uint64_t end = 20 + std::uint64_t(size);
    for (std::uint64_t at = 24; at + 8 <= end;) {
        const ByteCursor header(file.Get(at, 8), 8, false);
        std::uint32_t length = 0;
        if (!header.U32(4, length) || length > end - at - 8)
            return std::nullopt;
        if (header.Is(0, "IDIT")) {
            const std::size_t read = std::min<std::size_t>(length, 64);
            const std::uint8_t* bytes = file.Get(at + 8, read);
            if (!bytes || !WholeInFile(file, at + 8, length))
                return std::nullopt;
            const std::string text = TextOf(bytes, read);
            if (auto date = ParseExifDate(text))
                return date;
            static constexpr char kMonths[] = "JANFEBMARAPRMAYJUNJULAUGSEPOCTNOVDEC";
            if (text.size() < 24)
                return std::nullopt;
            TakenDate d;
            std::string month = text.substr(4, 3);
            for (char& c : month)
                c = char(c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c);
            const std::size_t found =
                month.size() == 3 ? std::string_view(kMonths).find(month) : std::string_view::npos;
            if (found == std::string_view::npos || found % 3 != 0 || text[3] != ' ' ||
                text[7] != ' ' || text[13] != ':' || text[16] != ':' ||
                !Digits(text, text[8] == ' ' ? 9 : 8, text[8] == ' ' ? 1 : 2, d.day) ||
                !Digits(text, 11, 2, d.hour) || !Digits(text, 14, 2, d.minute) ||
                !Digits(text, 17, 2, d.second) || !Digits(text, 20, 4, d.year))
                return std::nullopt;
            d.month = int(found / 3) + 1;
            return Valid(d) ? std::optional<TakenDate>(d) : std::nullopt;
        }
        at += 8 + std::uint64_t(length) + (length & 1);
    }
    return std::nullopt;
}

constexpr std::uint8_t kAsfHeader[16] = {0x30, 0x26, 0xB2, 0x75, 0x8E, 0x66, 0xCF, 0x11,
                                         0xA6, 0xD9, 0x00, 0xAA, 0x00, 0x62, 0xCE, 0x6C};

// A WMV or WMA file: the creation date of the header's File Properties
// Object, in 100-ns units since 1601 (UTC). A GUID's first three fields are
// little-endian on disk: 8CABDCA1-A947-11CF-8EE4-00C00C205365.
std::optional<TakenDate> ReadAsf(FileBytes& file) {
    static constexpr std::uint8_t kFileProperties[16] = {0xA1, 0xDC, 0xAB, 0x8C, 0x47, 0xA9,
                                                         0xCF, 0x11, 0x8E, 0xE4, 0x00, 0xC0,
                                                         0x0C, 0x20, 0x53, 0x65};
    const ByteCursor header(file.Get(0, 30), 30, false);
    std::uint64_t size = 0;
    std::uint32_t objects = 0;
    if (!header.U64(16, size) || !header.U32(24, objects) || size < 30)
        return std::nullopt;
    std::uint64_t at = 30;
    for (std::uint32_t i = 0; i < objects && i < std::uint32_t(kMostBoxes) && at + 24 <= size;
         ++i) {
        const ByteCursor object(file.Get(at, 56), 56, false);
        std::uint64_t length = 0;
        if (!object.U64(16, length) || length < 24 || length > size - at)
            return std::nullopt;
        if (object.Has(0, 16) && std::memcmp(object.At(0), kFileProperties, 16) == 0) {
            std::uint64_t ticks = 0;
            if (length < 56 || !object.U64(48, ticks) || !WholeInFile(file, at, length))
                return std::nullopt;
            // From 1601 to the end of 9999.
            return ticks == 0 ? std::nullopt
                              : UtcSince(1601, ticks / 10'000'000, 265'046'774'399ULL);
        }
        at += length;
    }
    return std::nullopt;
}

bool IsIsoStart(const ByteCursor& start) {
    static constexpr char kTypes[][5] = {"ftyp", "moov", "mdat", "wide", "free", "skip", "pnot"};
    for (const auto& type : kTypes)
        if (start.Is(4, type))
            return true;
    return false;
}

} // namespace

std::optional<TakenDate> ParseExifDate(std::string_view text) {
    if (text.size() < 19)
        return std::nullopt;
    constexpr std::string_view dateMarks = ":-/", middle = " T";
    if (dateMarks.find(text[4]) == dateMarks.npos || text[7] != text[4] ||
        middle.find(text[10]) == middle.npos || text[13] != ':' || text[16] != ':')
        return std::nullopt;
    TakenDate d;
    if (!Digits(text, 0, 4, d.year) || !Digits(text, 5, 2, d.month) || !Digits(text, 8, 2, d.day) ||
        !Digits(text, 11, 2, d.hour) || !Digits(text, 14, 2, d.minute) ||
        !Digits(text, 17, 2, d.second) || !Valid(d))
        return std::nullopt;
    return d;
}

std::optional<TakenDate> ParseIsoDate(std::string_view text) {
    if (text.size() < 19 || text[4] != '-' || text[7] != '-' || text[10] != 'T' ||
        text[13] != ':' || text[16] != ':')
        return std::nullopt;
    std::optional<TakenDate> date = ParseExifDate(text);
    if (!date)
        return std::nullopt;
    std::size_t at = 19;
    if (at < text.size() && text[at] == '.')
        while (++at < text.size() && text[at] >= '0' && text[at] <= '9') {
        }
    int minutes = 0;
    if (at < text.size() && text[at] == 'Z')
        date->offsetMinutes = 0;
    else if (ParseOffset(text.substr(at), minutes))
        date->offsetMinutes = minutes;
    return date;
}

std::optional<TakenDate> ParseXmpDate(std::string_view text) {
    if (text.size() >= 19 && text[16] == ':')
        return ParseIsoDate(text);
    TakenDate d;
    if (text.size() < 10 || text[4] != '-' || text[7] != '-' || !Digits(text, 0, 4, d.year) ||
        !Digits(text, 5, 2, d.month) || !Digits(text, 8, 2, d.day))
        return std::nullopt;
    std::size_t at = 10;
    if (text.size() > 10) {
        if (text.size() < 16 || text[10] != 'T' || text[13] != ':' ||
            !Digits(text, 11, 2, d.hour) || !Digits(text, 14, 2, d.minute))
            return std::nullopt;
        at = 16;
    }
    int minutes = 0;
    if (at < text.size() && text[at] == 'Z' && at + 1 == text.size())
        d.offsetMinutes = 0;
    else if (at < text.size() && ParseOffset(text.substr(at), minutes))
        d.offsetMinutes = minutes;
    else if (at < text.size())
        return std::nullopt;
    if (!Valid(d))
        return std::nullopt;
    return d;
}

std::optional<TakenDate> ReadTiffDate(FileBytes& file, std::uint64_t base, std::uint64_t end) {
    if (end < base)
        return std::nullopt;
    const ByteCursor header(end - base < 8 ? nullptr : file.Get(base, 8), 8);
    const bool big = header.Is(0, "MM\0*");
    if (!big && !header.Is(0, "II*\0"))
        return std::nullopt;
    Tiff tiff(file, base, end, big);
    std::uint32_t first = 0;
    tiff.Range(4, 4).U32(0, first);
    DateTags tags;
    ReadDirectory(tiff, first, tags);
    // The Exif directory is read once, and not when it is the first one
    // again.
    if (const std::uint32_t exif = tags.exifDirectory; exif && exif != first)
        ReadDirectory(tiff, exif, tags);
    struct Choice {
        std::optional<TakenDate> date;
        std::optional<int> ownOffset;
    };
    for (const Choice& choice :
         {Choice{tags.original, tags.offsetOriginal}, Choice{tags.digitized, tags.offsetDigitized},
          Choice{tags.dateTime, tags.offset}}) {
        if (!choice.date)
            continue;
        // The date's own offset; failing that, one of the file's others: a
        // camera writes them all from one clock.
        TakenDate date = *choice.date;
        for (const std::optional<int>& offset :
             {choice.ownOffset, tags.offsetOriginal, tags.offsetDigitized, tags.offset})
            if (offset) {
                date.offsetMinutes = offset;
                break;
            }
        return date;
    }
    return std::nullopt;
}

std::optional<TakenDate> ReadMediaDate(FileBytes& file) {
    const ByteCursor start(file.Get(0, 12), 12);
    if (!start.Has(0, 12)) {
        // A file shorter than that can only be a short TIFF block.
        const ByteCursor small(file.Get(0, 8), 8);
        return small.Is(0, "II*\0") || small.Is(0, "MM\0*") ? ReadTiffDate(file, 0, kUnknownEnd)
                                                            : std::nullopt;
    }
    if (start.At(0)[0] == 0xFF && start.At(0)[1] == 0xD8)
        return ReadJpeg(file);
    if (start.Is(0, "II*\0") || start.Is(0, "MM\0*"))
        return ReadTiffDate(file, 0, kUnknownEnd);
    if (std::memcmp(start.At(0), "\x89PNG\r\n\x1A\n", 8) == 0)
        return ReadPng(file);
    if (start.Is(0, "RIFF") && start.Is(8, "WEBP"))
        return ReadWebp(file);
    if (start.Is(0, "RIFF") && start.Is(8, "AVI "))
        return ReadAvi(file);
    if (std::memcmp(start.At(0), kAsfHeader, 12) == 0)
        return ReadAsf(file);
    if (IsIsoStart(start))
        return ReadIsoFile(file);
    return std::nullopt;
}

} // namespace kalvera
