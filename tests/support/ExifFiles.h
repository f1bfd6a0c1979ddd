#pragma once
// Photo files as cameras write them, small: a TIFF block with the first
// directory and an Exif one holding text tags, alone or in a JPEG file's
// APP1 segment behind an APP0 one.

#include <algorithm>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace kalvera::test {

using ExifTags = std::vector<std::pair<std::uint16_t, std::string>>;

// Texts are stored with their closing zero, after both directories. An
// Exif directory that is the first one again makes a loop.
inline std::string TiffBlock(bool big, const ExifTags& first, const ExifTags& exif,
                             bool exifLoops = false) {
    std::string out = big ? std::string("MM\0*", 4) : std::string("II*\0", 4);
    auto put = [&](std::uint32_t value, int bytes) {
        std::string field(bytes, '\0');
        for (int i = 0; i < bytes; ++i)
            field[big ? bytes - 1 - i : i] = char(value >> (8 * i));
        out += field;
    };
    put(8, 4);
    const size_t exifAt = 8 + 2 + 12 * (first.size() + 1) + 4;
    size_t values = exifAt + 2 + 12 * exif.size() + 4;
    std::string data;
    auto directory = [&](const ExifTags& tags, bool pointer) {
        put(std::uint32_t(tags.size() + pointer), 2);
        for (const auto& [tag, text] : tags) {
            put(tag, 2), put(2, 2), put(std::uint32_t(text.size() + 1), 4);
            std::string value = text + '\0';
            if (value.size() <= 4) {
                out += value + std::string(4 - value.size(), '\0');
                continue;
            }
            put(std::uint32_t(values + data.size()), 4);
            data += value;
        }
        if (pointer)
            put(0x8769, 2), put(4, 2), put(1, 4), put(exifLoops ? 8 : std::uint32_t(exifAt), 4);
        put(0, 4);
    };
    directory(first, true);
    directory(exif, false);
    return out + data;
}

inline std::string JpegFile(const std::string& tiff, size_t padding = 0) {
    auto segment = [](int marker, const std::string& body) {
        const size_t length = body.size() + 2;
        return std::string{'\xFF', char(marker), char(length >> 8), char(length)} + body;
    };
    std::string out = "\xFF\xD8" + segment(0xE0, std::string("JFIF\0\1\1\0\0\1\0\1\0\0", 14));
    // Large segments before the Exif one put it past the first read.
    for (size_t left = padding; left > 0; left -= std::min<size_t>(left, 65000))
        out += segment(0xE2, std::string(std::min<size_t>(left, 65000), 'p'));
    return out + segment(0xE1, std::string("Exif\0\0", 6) + tiff) + "\xFF\xDA" +
           std::string(64, 'x') + "\xFF\xD9";
}

} // namespace kalvera::test
