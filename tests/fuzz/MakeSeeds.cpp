// Writes the fuzz target's seeds into the folder given: one small file of
// each kind the readers know, and names in each form.

#include "tests/support/MediaFiles.h"
#include "core/readers/RunJournal.h"

#include <fstream>
#include <iostream>
#include <string>

using namespace kalvera;
using namespace kalvera::test;

int main(int argc, char** argv) {
    if (argc != 2) {
        std::cerr << "usage: make_seeds <folder>\n";
        return 2;
    }
    const std::string folder = argv[1];
    const std::string block = TiffBlock(false, {{0x0132, "2017:03:30 23:59:58"}},
                                        {{0x9003, "2019:07:04 13:05:09"}, {0x9011, "+09:00"}});
    const MovieShape movie{.mediaBytes = 2048,
                           .created = 3'700'000'000ULL,
                           .creationDate = "2019-07-04T13:05:09+0900"};
    auto name = [](const std::wstring& text) {
        std::string bytes;
        for (wchar_t c : text)
            bytes += {char(c), char(c >> 8)};
        return bytes;
    };
    const JournalFile entry{.path = L"C:\\photos\\a.jpg", .volume = 7, .fileIndex = 42};
    const JournalFile dated{.path = L"C:\\photos\\b.jpg", .dates = {11, 11, 11}};
    const JournalFile copied{.path = L"C:\\photos\\d.jpg", .dates = {11, 12, 13}};
    const JournalFile touched{.path = L"C:\\photos\\c.jpg", .touchOnly = true};
    const std::string journal =
        JournalRecords::Start({JournalKind::Photo, 4, 9, L"C:\\photos"}) +
        JournalRecords::Entry(0, L"C:\\photos", entry) + JournalRecords::Written(0, entry, true) +
        JournalRecords::Entry(1, L"C:\\photos", {.path = L"D:\\elsewhere.jpg"}) +
        JournalRecords::Entry(2, L"C:\\photos", dated) +
        JournalRecords::Entry(3, L"C:\\photos", copied) +
        JournalRecords::Entry(4, L"C:\\photos", touched) +
        JournalRecords::Written(4, touched, false) + JournalRecords::End() +
        JournalRecords::Undone(0) + JournalRecords::Undone(2, &entry) + JournalRecords::Reported();
    const std::pair<const char*, std::string> seeds[] = {
        {"run.journal", journal},
        {"photo.jpg", JpegFile(block)},
        {"photo.tif",
         TiffBlock(true, {{0x0132, "2017:03:30 23:59:58"}}, {{0x9003, "2019:07:04 13:05:09"}})},
        {"scan.tif", ScanTiff(false, {{0x0132, "2016:04:05 06:07:08"}}, {}, 8192)},
        {"photo.heic", HeifFile(block)},
        {"movie.mp4", MovieFile(movie).Whole()},
        {"wide.mov",
         MovieFile(
             {.mediaBytes = 64, .created = 3'700'000'000ULL, .headerVersion = 1, .wide = true})
             .Whole()},
        {"shot.png", PngFile(block)},
        {"web.webp", WebpFile(block)},
        {"name1", name(L"IMG_20190704_130509.jpg")},
        {"name2", name(L"Screenshot_2019-07-04-13-05-09.png")},
        {"name3", name(L"IMG-20190704-WA0007.jpg")},
        {"name4", name(L"IMG_3(1).HEIC")},
        {"name5", name(L"IMG_1234.JPG.supplemental-metad.json")},
        {"iptc.jpg", JpegOf({{0xED, IptcSegment("20190704", "130509+0900")},
                             {0xE1, XmpSegment(XmpPacket("xmp:CreateDate='2019-07-04T13:05'"))}})},
        {"clip.avi", AviFile("SUN JUL 04 13:05:09 2019\n")},
        {"clip.wmv", WmvFile(132067659090000000ULL)},
        {"edit.xmp", XmpPacket("<exif:DateTimeOriginal>2019-07-04T13:05:09.12+09:00"
                               "</exif:DateTimeOriginal>",
                               true)},
        {"takeout.json", R"({"title":"IMG_1.JPG","photoTakenTime":{"timestamp":"1562213109"},)"
                         R"("creationTime":{"timestamp":1500000000}})"},
    };
    for (const auto& [file, bytes] : seeds) {
        std::ofstream out(folder + "/" + file, std::ios::binary);
        out.write(bytes.data(), std::streamsize(bytes.size()));
        if (!out) {
            std::cerr << "can't write " << folder << "/" << file << "\n";
            return 1;
        }
    }
    return 0;
}
