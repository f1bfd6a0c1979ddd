#pragma once
// Files as phones, editors and scanners write them, made small: HEIF and
// movie files of boxes, PNG and WebP files of chunks, and a TIFF scan with
// its directory at the end. A file is a head, a run of zero bytes and a
// tail, so that a movie of gigabytes costs its few boxes; WriteSparse puts
// one on disk. Plain C++: the fuzz target's seeds are made with it too.

#include "tests/support/ExifFiles.h"

#include <cstdint>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

namespace kalvera::test {

struct MediaFile {
    std::string head;
    std::uint64_t gap = 0; // zero bytes between head and tail
    std::string tail;
    std::uint64_t Size() const { return head.size() + gap + tail.size(); }
    std::string Whole() const { return head + std::string(std::size_t(gap), '\0') + tail; }
    // The bytes from at into to, as a file read answers.
    std::size_t Read(std::uint64_t at, std::uint8_t* to, std::size_t size) const {
        std::size_t done = 0;
        for (; done < size && at + done < Size(); ++done) {
            const std::uint64_t i = at + done;
            to[done] = i < head.size() ? std::uint8_t(head[std::size_t(i)])
                       : i < head.size() + gap
                           ? 0
                           : std::uint8_t(tail[std::size_t(i - head.size() - gap)]);
        }
        return done;
    }
};

inline std::string BigEndian(std::uint64_t value, int bytes) {
    std::string out(bytes, '\0');
    for (int i = 0; i < bytes; ++i)
        out[bytes - 1 - i] = char(value >> (8 * i));
    return out;
}

inline std::string IsoBox(const char* type, const std::string& body) {
    return BigEndian(8 + body.size(), 4) + std::string(type, 4) + body;
}

// A full box: version and flags first.
inline std::string FullBox(const char* type, int version, const std::string& body) {
    return IsoBox(type, std::string(1, char(version)) + std::string(3, '\0') + body);
}

// A HEIF image whose Exif item (the TIFF block behind its offset and
// "Exif\0\0") follows the meta box in the media data, located by file
// offset; an image item comes first in both lists.
inline std::string HeifFile(const std::string& tiff, const char* brand = "heic") {
    const std::string exif = BigEndian(6, 4) + std::string("Exif\0\0", 6) + tiff;
    const std::string ftyp =
        IsoBox("ftyp", std::string(brand, 4) + BigEndian(0, 4) + "mif1" + std::string(brand, 4));
    auto infe = [](int id, const char* type) {
        return FullBox("infe", 2, BigEndian(id, 2) + BigEndian(0, 2) + std::string(type, 4) + '\0');
    };
    const std::string iinf =
        FullBox("iinf", 0, BigEndian(2, 2) + infe(1, "hvc1") + infe(2, "Exif"));
    const std::string hdlr = FullBox("hdlr", 0, BigEndian(0, 4) + "pict" + std::string(13, '\0'));
    auto meta = [&](std::uint64_t exifAt) {
        auto item = [](int id, std::uint64_t at, std::uint64_t length) {
            return BigEndian(id, 2) + BigEndian(0, 2) + BigEndian(1, 2) + BigEndian(at, 4) +
                   BigEndian(length, 4);
        };
        const std::string iloc =
            FullBox("iloc", 0,
                    std::string("\x44\x00", 2) + BigEndian(2, 2) +
                        item(1, exifAt + exif.size(), 16) + item(2, exifAt, exif.size()));
        return FullBox("meta", 0, hdlr + iinf + iloc);
    };
    const std::uint64_t exifAt = ftyp.size() + meta(0).size() + 8;
    return ftyp + meta(exifAt) + IsoBox("mdat", exif + std::string(16, 'h'));
}

// A movie as a phone records it: ftyp, then media data of mediaBytes, then
// the movie box with its header's creation time (seconds since 1904) and,
// when given, QuickTime's creation date text in moov/meta. wide gives the
// media data and the movie box 64-bit sizes; open gives the media data a
// size of 0 (to the file's end), with the movie box first.
struct MovieShape {
    std::uint64_t mediaBytes = 1 << 20;
    std::uint64_t created = 0;
    int headerVersion = 0;
    std::string creationDate;
    bool wide = false, open = false;
};

inline MediaFile MovieFile(const MovieShape& shape) {
    const std::string ftyp = IsoBox("ftyp", std::string("qt  ") + BigEndian(0, 4) + "qt  ");
    const std::string times = shape.headerVersion == 1
                                  ? BigEndian(shape.created, 8) + BigEndian(shape.created, 8) +
                                        BigEndian(600, 4) + BigEndian(0, 8)
                                  : BigEndian(shape.created, 4) + BigEndian(shape.created, 4) +
                                        BigEndian(600, 4) + BigEndian(0, 4);
    std::string moovBody = FullBox("mvhd", shape.headerVersion, times + std::string(80, '\0'));
    if (!shape.creationDate.empty()) {
        const std::string key = "com.apple.quicktime.creationdate";
        const std::string keys = FullBox(
            "keys", 0,
            BigEndian(2, 4) + IsoBox("mdta", "com.apple.quicktime.make") + IsoBox("mdta", key));
        auto entry = [](int index, const std::string& text) {
            return BigEndian(8 + 16 + text.size(), 4) + BigEndian(index, 4) +
                   IsoBox("data", BigEndian(1, 4) + BigEndian(0, 4) + text);
        };
        const std::string hdlr =
            FullBox("hdlr", 0, BigEndian(0, 4) + "mdta" + std::string(13, '\0'));
        moovBody += IsoBox(
            "meta", hdlr + keys + IsoBox("ilst", entry(1, "Apple") + entry(2, shape.creationDate)));
    }
    // A wide file's movie box has a 64-bit size too.
    const std::string moov =
        shape.wide ? BigEndian(1, 4) + "moov" + BigEndian(16 + moovBody.size(), 8) + moovBody
                   : IsoBox("moov", moovBody);
    MediaFile file;
    if (shape.open) {
        file.head = ftyp + moov + BigEndian(0, 4) + "mdat";
        file.gap = shape.mediaBytes;
        return file;
    }
    file.head = ftyp + (shape.wide ? BigEndian(1, 4) + "mdat" + BigEndian(16 + shape.mediaBytes, 8)
                                   : BigEndian(8 + shape.mediaBytes, 4) + "mdat");
    file.gap = shape.mediaBytes;
    file.tail = moov;
    return file;
}

// A PNG image with an eXIf chunk (with or without "Exif\0\0" before the
// block, as writers differ) after its header chunk.
inline std::string PngFile(const std::string& tiff, bool exifPrefix = false) {
    auto chunk = [](const char* type, const std::string& body) {
        return BigEndian(body.size(), 4) + type + body + BigEndian(0, 4);
    };
    return "\x89PNG\r\n\x1A\n" + chunk("IHDR", std::string(13, '\1')) +
           chunk("eXIf", (exifPrefix ? std::string("Exif\0\0", 6) : "") + tiff) +
           chunk("IDAT", "data") + chunk("IEND", "");
}

// A WebP image of the extended form with an EXIF chunk after its image.
inline std::string WebpFile(const std::string& tiff) {
    auto little = [](std::uint32_t value) {
        return std::string{char(value), char(value >> 8), char(value >> 16), char(value >> 24)};
    };
    auto chunk = [&](const char* type, const std::string& body) {
        return type + little(std::uint32_t(body.size())) + body +
               std::string(body.size() & 1, '\0');
    };
    const std::string body = "WEBP" + chunk("VP8X", std::string(10, '\0')) +
                             chunk("VP8L", std::string(21, 'v')) + chunk("EXIF", tiff);
    return "RIFF" + little(std::uint32_t(body.size())) + body;
}

// A scan of size bytes whose directories and texts are at its end: the
// image data first, then the block's own content moved there.
inline std::string ScanTiff(bool big, const ExifTags& first, const ExifTags& exif,
                            std::size_t size) {
    const std::string block = TiffBlock(big, first, exif);
    const std::size_t moved = size - (block.size() - 8);
    // Every offset in the block grows by the image's bytes; the block made
    // its offsets from 8, so the directories are rewritten by rebuilding
    // them at the new place.
    std::string out = block.substr(0, 4);
    auto put = [&](std::string& to, std::uint32_t value, int bytes) {
        std::string field(bytes, '\0');
        for (int i = 0; i < bytes; ++i)
            field[big ? bytes - 1 - i : i] = char(value >> (8 * i));
        to += field;
    };
    put(out, std::uint32_t(moved), 4);
    out += std::string(moved - 8, 'i');
    const std::uint32_t shift = std::uint32_t(moved - 8);
    std::string rest = block.substr(8);
    // Entries whose value is elsewhere (more than four bytes, or the Exif
    // pointer) point into the block: each moves with it.
    auto read = [&](std::size_t at, int bytes) {
        std::uint32_t value = 0;
        for (int i = 0; i < bytes; ++i)
            value |= std::uint32_t(std::uint8_t(rest[at + (big ? i : bytes - 1 - i)]))
                     << (8 * (bytes - 1 - i));
        return value;
    };
    auto write = [&](std::size_t at, std::uint32_t value) {
        std::string field;
        put(field, value, 4);
        rest.replace(at, 4, field);
    };
    for (std::size_t directory = 0, left = 2; left > 0 && directory + 2 <= rest.size(); --left) {
        const std::uint32_t count = read(directory, 2);
        std::uint32_t next = 0;
        for (std::uint32_t i = 0; i < count; ++i) {
            const std::size_t entry = directory + 2 + 12 * i;
            const std::uint32_t tag = read(entry, 2), length = read(entry + 4, 4);
            if (tag == 0x8769 || length > 4) {
                if (tag == 0x8769)
                    next = read(entry + 8, 4) - 8;
                write(entry + 8, read(entry + 8, 4) + shift);
            }
        }
        directory = next ? next : rest.size();
    }
    return out + rest;
}

// Dates kept beside Exif's, or in its stead: an XMP packet with the
// properties given (attributes, or elements), IPTC's date and time in a
// Photoshop segment, a JPEG of such segments, an AVI file's IDIT text and a
// WMV file's File Properties Object.
inline std::string XmpPacket(const std::string& properties, bool elements = false) {
    return "<x:xmpmeta xmlns:x='adobe:ns:meta/'><rdf:RDF><rdf:Description " +
           (elements ? ">" + properties + "</rdf:Description>" : properties + "/>") +
           "</rdf:RDF></x:xmpmeta>";
}

inline std::string IptcSegment(const std::string& date, const std::string& time) {
    auto dataset = [](int number, const std::string& value) {
        return std::string{'\x1C', '\x02', char(number)} + BigEndian(value.size(), 2) + value;
    };
    const std::string iptc = dataset(55, date) + dataset(60, time);
    return std::string("Photoshop 3.0\0", 14) + "8BIM" + BigEndian(0x0404, 2) +
           std::string(2, '\0') + BigEndian(iptc.size(), 4) + iptc +
           std::string(iptc.size() & 1, '\0');
}

inline std::string JpegOf(const std::vector<std::pair<int, std::string>>& segments) {
    std::string out = "\xFF\xD8";
    for (const auto& [marker, body] : segments)
        out += std::string{'\xFF', char(marker)} + BigEndian(body.size() + 2, 2) + body;
    return out + "\xFF\xDA" + std::string(64, 'x') + "\xFF\xD9";
}

inline std::string XmpSegment(const std::string& packet) {
    return std::string("http://ns.adobe.com/xap/1.0/\0", 29) + packet;
}

inline std::string LittleEndian(std::uint64_t value, int bytes) {
    std::string out(bytes, '\0');
    for (int i = 0; i < bytes; ++i)
        out[i] = char(value >> (8 * i));
    return out;
}

// A RIFF form of the chunks given (a WebP or an AVI file), each padded.
inline std::string RiffFile(const char* form,
                            const std::vector<std::pair<const char*, std::string>>& chunks) {
    std::string body = form;
    for (const auto& [type, content] : chunks)
        body += type + LittleEndian(content.size(), 4) + content +
                std::string(content.size() & 1, '\0');
    return "RIFF" + LittleEndian(body.size(), 4) + body;
}

inline std::string AviFile(const std::string& idit) {
    const std::string hdrl = "hdrl" + std::string("avih") + LittleEndian(56, 4) +
                             std::string(56, '\0') + "IDIT" + LittleEndian(idit.size(), 4) + idit +
                             std::string(idit.size() & 1, '\0');
    return "RIFF" + LittleEndian(12 + hdrl.size() + 8, 4) + "AVI LIST" +
           LittleEndian(hdrl.size(), 4) + hdrl + "movi" + LittleEndian(0, 4);
}

inline std::string WmvFile(std::uint64_t created) {
    const std::string header("\x30\x26\xB2\x75\x8E\x66\xCF\x11\xA6\xD9\x00\xAA\x00\x62\xCE\x6C",
                             16);
    const std::string properties("\xA1\xDC\xAB\x8C\x47\xA9\xCF\x11\x8E\xE4\x00\xC0\x0C\x20\x53\x65",
                                 16);
    const std::string object = properties + LittleEndian(104, 8) + std::string(24, 'i') +
                               LittleEndian(created, 8) + std::string(104 - 56, '\0');
    return header + LittleEndian(30 + object.size(), 8) + LittleEndian(1, 4) + "\x01\x02" + object;
}

} // namespace kalvera::test
