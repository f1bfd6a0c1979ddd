// The date a photo was taken or a movie recorded, from the bytes of every
// kind of file that keeps one, and from names; and the reader's behaviour
// on damaged copies of them.

#include "datetime/Calendar.h"
#include "core/DateText.h"
#include "core/FileDates.h"
#include "core/readers/NameDate.h"
#include "core/readers/SidecarNames.h"
#include "core/readers/TakeoutJson.h"
#include "core/readers/XmpDate.h"
#include "win/Error.h"
#include "tests/support/MediaFiles.h"
#include "tests/support/Leaks.h"
#include "tests/support/TestFiles.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <random>
#include <sstream>
#include <tuple>

using namespace kalvera;
using namespace kalvera::test;

namespace {

const std::string kJuly = "2019:07:04 13:05:09", kJanuary = "2018:01:02 03:04:05",
                  kMarch = "2017:03:30 23:59:58";

FileTime Local(const wchar_t* text) {
    return LocalDateTimeToFileTime(ParseDateTimeText(text));
}
// The date as a file time: at its offset from UTC, or local time.
std::optional<FileTime> TimeOf(const std::optional<TakenDate>& d) {
    if (!d)
        return std::nullopt;
    if (!d->offsetMinutes) {
        const std::wstring text = std::to_wstring(d->year) + L"/" + std::to_wstring(d->month) +
                                  L"/" + std::to_wstring(d->day) + L" " + std::to_wstring(d->hour) +
                                  L":" + std::to_wstring(d->minute) + L":" +
                                  std::to_wstring(d->second);
        return Local(text.c_str());
    }
    const long long days = DaysSinceEpoch(d->year, d->month, d->day) - DaysSinceEpoch(1601, 1, 1);
    return (days * 86400 + d->hour * 3600 + d->minute * 60 + d->second - *d->offsetMinutes * 60LL) *
           10'000'000;
}
// 2019-07-04 13:05:09 at the given offset from UTC, in minutes.
FileTime JulyAt(int offsetMinutes) {
    return *TimeOf(TakenDate{2019, 7, 4, 13, 5, 9, offsetMinutes});
}

// A file a real maker made (tests/media/make-files, copied beside the test
// programs), and the date ExifTool read from it there: "2019:07:04
// 13:05:09" in local time, or with "Z", "+09:00" or "-05:00".
struct MakerFile {
    std::string bytes;
    std::optional<TakenDate> date;
};
MakerFile FromMaker(const std::string& name) {
    wchar_t self[MAX_PATH] = L"";
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    const std::wstring folder = std::wstring(self, wcsrchr(self, L'\\') + 1) + L"media\\";
    auto bytesOf = [&](const std::string& file) {
        const std::string bytes = ReadContent(folder + std::wstring(file.begin(), file.end()));
        EXPECT_FALSE(bytes.empty()) << "no " << file << " beside the tests";
        return bytes;
    };
    MakerFile made{bytesOf(name), std::nullopt};
    std::istringstream expected(bytesOf("expected.txt"));
    for (std::string line; std::getline(expected, line);) {
        if (line.rfind(name + "\t", 0) != 0 || line.ends_with("\tnone"))
            continue;
        TakenDate d;
        char zone[8] = "";
        int hours = 0, minutes = 0;
        const int fields =
            std::sscanf(line.c_str() + name.size() + 1, "%d:%d:%d %d:%d:%d%7s", &d.year, &d.month,
                        &d.day, &d.hour, &d.minute, &d.second, zone);
        EXPECT_GE(fields, 6) << line;
        if (zone[0] == 'Z')
            d.offsetMinutes = 0;
        else if (std::sscanf(zone + 1, "%d:%d", &hours, &minutes) == 2)
            d.offsetMinutes = (zone[0] == '-' ? -1 : 1) * (hours * 60 + minutes);
        made.date = d;
    }
    return made;
}

// The date of a file and the reads it took.
std::optional<FileTime> DateOf(const MediaFile& file, int* reads = nullptr) {
    LocalTimeConverter local;
    return ReadDateTaken([&](std::uint64_t at, std::uint8_t* to,
                             std::size_t size) { return file.Read(at, to, size); },
                         local, reads);
}
std::optional<FileTime> DateOf(const std::string& file) {
    return DateOf(MediaFile{file});
}

// Seconds since 1904 for 2019-07-04 13:05:09 UTC, as a movie keeps them.
const std::uint64_t kJulyIn1904 =
    std::uint64_t(DaysSinceEpoch(2019, 7, 4) - DaysSinceEpoch(1904, 1, 1)) * 86400 + 47109;
const std::string kJulyBlock = TiffBlock(false, {}, {{0x9003, kJuly}, {0x9011, "+09:00"}});

} // namespace

TEST(DateTaken, TagsInTheirOrderWithTheirOffsets) {
    const std::string blank = "    :  :     :  :  ";
    struct Case {
        std::string file;
        std::optional<FileTime> date;
    } cases[] = {
        {JpegFile(TiffBlock(false, {{0x0132, kMarch}}, {{0x9004, kJanuary}, {0x9003, kJuly}})),
         Local(L"2019/7/4 13:05:09")},
        {JpegFile(TiffBlock(true, {}, {{0x9003, kJuly}, {0x9004, kJanuary}})),
         Local(L"2019/7/4 13:05:09")},
        {JpegFile(TiffBlock(true, {{0x0132, kMarch}}, {{0x9004, kJanuary}})),
         Local(L"2018/1/2 3:04:05")},
        {TiffBlock(true, {{0x0132, kMarch}}, {}), Local(L"2017/3/30 23:59:58")},
        {JpegFile(TiffBlock(false, {{0x0132, kMarch}}, {{0x9003, blank}, {0x9004, kJanuary}})),
         Local(L"2018/1/2 3:04:05")},
        {JpegFile(TiffBlock(false, {}, {{0x9003, kJuly}, {0x9011, "+09:00"}})), JulyAt(540)},
        {TiffBlock(false, {}, {{0x9003, kJuly}, {0x9012, "-05:30"}}), JulyAt(-330)},
        {JpegFile(TiffBlock(false, {{0x0132, kJuly}}, {{0x9010, "+01:00"}}), 140'000), JulyAt(60)},
        {JpegFile(TiffBlock(false, {{0x0132, kJuly}}, {{0x9003, kMarch}}, true)),
         Local(L"2019/7/4 13:05:09")},
        {JpegFile(TiffBlock(false, {{0x0110, "Camera"}}, {{0x9003, "2019:02:30 10:00:00"}})),
         std::nullopt},
        {"\x89PNG\r\n\x1A\n" + kJuly, std::nullopt},
        {"", std::nullopt},
    };
    for (const Case& c : cases)
        EXPECT_EQ(DateOf(c.file), c.date) << &c - cases;
}

// Every kind by its signature, whatever its name: each read through its
// boxes, chunks or directories in a few reads, however far apart they are.
TEST(DateTaken, EveryKindInAFewReads) {
    const MovieShape phone{.mediaBytes = 64 << 20,
                           .created = kJulyIn1904 + 3600,
                           .creationDate = "2019-07-04T13:05:09+0900"};
    const std::uint64_t fiveGigabytes = 5ULL << 30;
    const std::string xmp = XmpPacket("xmp:CreateDate='2019-07-04T13:05:09+09:00'");
    auto png = [](const std::string& type, const std::string& body) {
        return BigEndian(body.size(), 4) + type + body + BigEndian(0, 4);
    };
    const std::string xmpUuid("\xBE\x7A\xCF\xCB\x97\xA9\x42\xE8\x9C\x71\x99\x94\x91\xE3\xAF\xAC",
                              16);
    struct Case {
        MediaFile file;
        std::optional<FileTime> date;
        int mostReads;
    } cases[] = {
        {{HeifFile(kJulyBlock)}, JulyAt(540), 2},
        {{HeifFile(TiffBlock(true, {{0x0132, kMarch}}, {}), "avif")},
         Local(L"2017/3/30 23:59:58"),
         2},
        {{PngFile(kJulyBlock)}, JulyAt(540), 1},
        {{PngFile(kJulyBlock, true)}, JulyAt(540), 1},
        {{WebpFile(kJulyBlock)}, JulyAt(540), 1},
        {{ScanTiff(false, {{0x0132, kMarch}}, {{0x9003, kJuly}, {0x9010, "-05:00"}}, 1 << 20)},
         JulyAt(-300),
         2},
        {{ScanTiff(true, {{0x0132, kMarch}}, {}, 3 << 20)}, Local(L"2017/3/30 23:59:58"), 2},
        // The QuickTime date and its offset before the header's UTC time.
        {MovieFile(phone), JulyAt(540), 2},
        {MovieFile({.created = kJulyIn1904}), JulyAt(0), 2},
        {MovieFile({.mediaBytes = fiveGigabytes,
                    .created = kJulyIn1904,
                    .headerVersion = 1,
                    .wide = true}),
         JulyAt(0), 2},
        {MovieFile({.mediaBytes = fiveGigabytes, .created = kJulyIn1904, .open = true}), JulyAt(0),
         1},
        {MovieFile({.created = 0}), std::nullopt, 2},
        // A date text that is not one leaves the header's.
        {MovieFile({.created = kJulyIn1904, .creationDate = "2019-02-30T10:00:00Z"}), JulyAt(0), 2},
        // Without Exif's date: IPTC's, then XMP's; a movie's XMP after
        // its header's date.
        {{JpegOf({{0xED, IptcSegment("20190704", "130509+0900")},
                  {0xE1, XmpSegment(XmpPacket("exif:DateTimeOriginal='2018-01-02T03:04:05'"))}})},
         JulyAt(540),
         1},
        {{JpegOf({{0xED, IptcSegment("20180102", "030405")},
                  {0xE1, std::string("Exif\0\0", 6) + kJulyBlock}})},
         JulyAt(540),
         1},
        {{JpegOf({{0xE1, XmpSegment(xmp)}, {0xED, IptcSegment("2018", "")}})}, JulyAt(540), 1},
        {{"\x89PNG\r\n\x1A\n" + png("IHDR", std::string(13, '\1')) +
          png("iTXt", std::string("XML:com.adobe.xmp\0\0\0\0\0", 22) + xmp) + png("IEND", "")},
         JulyAt(540),
         1},
        {{RiffFile("WEBP", {{"VP8X", std::string(10, '\0')}, {"XMP ", xmp}})}, JulyAt(540), 1},
        {{MovieFile({}).Whole() + IsoBox("uuid", xmpUuid + xmp)}, JulyAt(540), 4},
        {{MovieFile({.created = kJulyIn1904}).Whole() + IsoBox("uuid", xmpUuid + XmpPacket(""))},
         JulyAt(0),
         2},
        {{AviFile("SUN JUL 04 13:05:09 2019\n")}, Local(L"2019/7/4 13:05:09"), 1},
        {{AviFile("2019:07:04 13:05:09")}, Local(L"2019/7/4 13:05:09"), 1},
        {{WmvFile(std::uint64_t(JulyAt(0)))}, JulyAt(0), 1},
    };
    for (const Case& c : cases) {
        int reads = 0;
        EXPECT_EQ(DateOf(c.file, &reads), c.date) << &c - cases;
        EXPECT_LE(reads, c.mostReads) << &c - cases;
    }
    // Real makers' files, each dated as ExifTool dates it.
    for (const char* name :
         {"created.wmv", "created.wma", "plain.avi", "idit.avi", "created.mp4", "faststart.mp4",
          "created.mov", "apple.mov", "exif.jpg", "exif.png", "exif.webp", "exif.heic", "exif.avif",
          "iptc.jpg", "xmp.jpg", "xmp.png", "xmp.webp"}) {
        const MakerFile made = FromMaker(name);
        int reads = 0;
        EXPECT_EQ(DateOf(MediaFile{made.bytes}, &reads), TimeOf(made.date)) << name;
        EXPECT_LE(reads, 4) << name;
    }
}

// Sizes and offsets that lead outside their parent, the file or back to
// themselves end the reading with no date, and quickly.
TEST(DateTaken, BoxesThatLeadNowhere) {
    auto replaced = [](std::string file, const std::string& from, const std::string& to) {
        return file.replace(file.find(from), from.size(), to);
    };
    const std::string heif = HeifFile(kJulyBlock);
    const std::string png = PngFile(kJulyBlock);
    const std::string avi = AviFile("SUN JUL 04 13:05:09 2019" + std::string(100, '\0'));
    const std::string exif = FromMaker("exif.jpg").bytes;
    const std::string movie = MovieFile({.mediaBytes = 100, .created = kJulyIn1904}).Whole();
    const std::string selfBox = BigEndian(8, 4) + "moov";
    // Movie boxes a thousand deep.
    std::string nested = MovieFile({}).head.substr(0, 20);
    for (int depth = 1000; depth > 0; --depth)
        nested += BigEndian(8 * depth + 8, 4) + "moov";
    nested += BigEndian(8, 4) + "mvhd";
    const std::size_t exifAt = heif.find(std::string("\0\0\0\x06"
                                                     "Exif",
                                                     8));
    const std::string exifItem = BigEndian(2, 2) + BigEndian(0, 2) + BigEndian(1, 2);
    std::string tiny = movie;
    tiny.replace(tiny.find("moov") - 4, 4, BigEndian(4, 4));
    const MediaFile cases[] = {
        // The media data runs past the file; the movie box past its parent.
        {replaced(movie, BigEndian(108, 4) + "mdat", BigEndian(500, 4) + "mdat")},
        {movie.substr(0, movie.size() - 1)},
        // The Exif item's offset outside the file, and at the meta box.
        {replaced(heif, exifItem + BigEndian(exifAt, 4), exifItem + BigEndian(0x7FFFFFF0, 4))},
        {replaced(heif, exifItem + BigEndian(exifAt, 4), exifItem + BigEndian(24, 4))},
        // A box of size 8 forever; one smaller than its header.
        {MovieFile({}).head.substr(0, 20) + selfBox + selfBox + selfBox},
        {tiny},
        {nested},
        {"\x89PNG\r\n\x1A\n" + BigEndian(0xFFFFFFF0, 4) + "eXIf"},
        // A chunk, an extent or a text whose length runs past the file's
        // end, though the date lies inside it.
        {replaced(png, BigEndian(kJulyBlock.size(), 4) + "eXIf",
                  BigEndian(kJulyBlock.size() + 100, 4) + "eXIf")
             .substr(0, png.find("IDAT") - 4)},
        {replaced(heif, exifItem + BigEndian(exifAt, 4) + BigEndian(kJulyBlock.size() + 10, 4),
                  exifItem + BigEndian(exifAt, 4) + BigEndian(kJulyBlock.size() + 500, 4))},
        {avi.substr(0, avi.find("IDIT") + 88)},
        // A real JPEG cut inside its Exif block, just after the date.
        {exif.substr(0, exif.find("2019:07:04 13:05:09") + 20)},
    };
    ASSERT_LE(exif.find("2019:07:04 13:05:09") + 20, exif.find("+09:00"));
    for (const MediaFile& file : cases) {
        int reads = 0;
        EXPECT_EQ(DateOf(file, &reads), std::nullopt) << &file - cases;
        EXPECT_LE(reads, FileBytes::kMostReads);
    }
}

// Each form a phone, a camera or a messenger writes, anywhere in a name;
// and names that only look like dates.
TEST(DateTaken, DatesInNames) {
    const TakenDate july{2019, 7, 4, 13, 5, 9};
    const std::optional<TakenDate> none;
    struct Case {
        const wchar_t* name;
        std::optional<TakenDate> date;
    } cases[] = {
        {L"IMG_20190704_130509.jpg", july},
        {L"PXL_20230102_030405123.jpg", TakenDate{2023, 1, 2, 3, 4, 5}},
        {L"VID_20190704_130509.mp4", july},
        {L"IMG-20190704-WA0007.jpg", TakenDate{2019, 7, 4}},
        {L"Screenshot_2019-07-04-13-05-09.png", july},
        {L"2019-07-04 13.05.09.jpg", july},
        {L"旅行 2019-07-04_13-05-09 (2).heic", july},
        {L"20190704-130509", july},
        {L"スクリーンショット 2019-07-04 130509.png", july},
        {L"スクリーンショット 2019-07-04 13.05.09.png", july},
        {L"Screenshot 2019-07-04 at 13.05.09.png", july},
        {L"signal-2019-07-04-130509.jpg", july},
        {L"LINE_ALBUM_旅行2020_190704_1.jpg", TakenDate{2019, 7, 4}},
        {L"LINE_ALBUM_190704_12.jpg", TakenDate{2019, 7, 4}},
        {L"ALBUM_190704_1.jpg", none},
        {L"LINE_ALBUM_旅行_190704.jpg", none},
        {L"2019-07-04 at 130509.jpg", none},
        {L"2019-07-04 1305.jpg", none},
        {L"IMG_1234.jpg", none},
        {L"1562245509123.jpg", none},
        {L"IMG_20190230_130509.jpg", none},
        {L"2019-02-30 10.00.00.jpg", none},
        {L"IMG_19790704_130509.jpg", none},
        {L"IMG_21080101_000000.jpg", none},
        {L"IMG_20190704_250509.jpg", none},
        {L"IMG_20190704.jpg", none},
        {L"2019-07-04 13.05.jpg", none},
        {L"2019-07-04 13.05-09.jpg", none},
        {L"IMG_120190704_130509.jpg", none},
        {L"", none},
    };
    for (const Case& c : cases)
        EXPECT_EQ(DateInName(c.name), c.date) << c.name;
}

// The file beside a photo that holds its date, under each name an export
// or an editor gives it; and the forms of the date inside.
TEST(DateTaken, SidecarsByTheirNamesAndTheirDates) {
    SidecarIndex folder;
    for (const wchar_t* name :
         {L"IMG_1.JPG.json", L"IMG_1.JPG.supplemental-metadata.json", L"IMG_2.jpg.s.json",
          L"IMG_1234.JPG.supplemental-metad.json", L"IMG_3.HEIC.json", L"IMG_3.HEIC(1).json",
          L"IMG_4.jpg.supplemental-metadata(2).json", L"PXL_20230102_030405123.MP.jpg.json",
          L"Screenshot_20190704-130509_A_very_long_name_of.json", L"scan.xmp", L"edit.tif.XMP",
          L"IMG-20190704-WA0007.jpg.json", L"Screenshot_20190704-130509.png.json", L"IMG_1234.xmp",
          L"DSC01234.ARW.xmp", L"IMG_1.JPG", L"notes.txt"})
        folder.Add(name);
    const std::pair<const wchar_t*, const wchar_t*> names[] = {
        {L"IMG_1.JPG", L"IMG_1.JPG.supplemental-metadata.json"},
        {L"img_2.JPG", L"IMG_2.jpg.s.json"},
        {L"IMG_1234.JPG", L"IMG_1234.JPG.supplemental-metad.json"},
        {L"IMG_3(1).HEIC", L"IMG_3.HEIC(1).json"},
        {L"IMG_3.HEIC", L"IMG_3.HEIC.json"},
        {L"IMG_4(2).jpg", L"IMG_4.jpg.supplemental-metadata(2).json"},
        {L"IMG_4(1).jpg", L""},
        {L"IMG_3-edited.HEIC", L"IMG_3.HEIC.json"},
        {L"IMG_3.MOV", L"IMG_3.HEIC.json"},
        {L"PXL_20230102_030405123.MP", L"PXL_20230102_030405123.MP.jpg.json"},
        {L"IMG_5.MOV", L""},
        {L"PXL_20230102_030405123.MP.jpg", L"PXL_20230102_030405123.MP.jpg.json"},
        {L"IMG_1.MP4", L"IMG_1.JPG.supplemental-metadata.json"},
        {L"Screenshot_20190704-130509_A_very_long_name_of_an_app.png",
         L"Screenshot_20190704-130509_A_very_long_name_of.json"},
        {L"scan.jpg", L"scan.xmp"},
        {L"edit.tif", L"edit.tif.XMP"},
        {L"IMG-20190704-WA0007-edited.jpg", L"IMG-20190704-WA0007.jpg.json"},
        {L"Screenshot_20190704-130509-edited.png", L"Screenshot_20190704-130509.png.json"},
        {L"IMG_1234.CR2", L"IMG_1234.xmp"},
        {L"DSC01234.ARW", L"DSC01234.ARW.xmp"},
        {L"notes.txt", L""},
    };
    for (const auto& [name, sidecar] : names)
        EXPECT_EQ(folder.Find(name), sidecar) << ToUtf8(name);
    EXPECT_TRUE(IsSidecarName(L"a.JSON") && IsSidecarName(L"b.jpg.xmp") &&
                !IsSidecarName(L"c.jpg"));

    const std::optional<TakenDate> none;
    const std::pair<std::string, std::optional<TakenDate>> xmp[] = {
        {XmpPacket("photoshop:DateCreated='2017-03-30' xmp:CreateDate=\"2018-01-02T03:04\" "
                   "exif:DateTimeOriginal='2019-07-04T13:05:09.120+09:00'"),
         TakenDate{2019, 7, 4, 13, 5, 9, 540}},
        {XmpPacket("<exif:DateTimeOriginal>bad</exif:DateTimeOriginal>"
                   "<xmp:CreateDate> 2018-01-02T03:04Z </xmp:CreateDate>",
                   true),
         TakenDate{2018, 1, 2, 3, 4, 0, 0}},
        {XmpPacket("photoshop:DateCreated='2017-03-30'"), TakenDate{2017, 3, 30}},
        {XmpPacket("myexif:DateTimeOriginal='2019-07-04' xmp:CreateDate='2019-02-30'"), none},
        {XmpPacket("<xmp:CreateDate/>", true), none},
        {FromMaker("IMG_1234.xmp").bytes, FromMaker("IMG_1234.xmp").date},
        {FromMaker("DSC01234.ARW.xmp").bytes, FromMaker("DSC01234.ARW.xmp").date},
    };
    for (const auto& [packet, date] : xmp)
        EXPECT_EQ(DateInXmp(packet), date) << packet;

    const std::tuple<std::string, JsonDate, std::int64_t> json[] = {
        {R"({"creationTime":{"timestamp":"1500000000"},"photoTakenTime":{"timestamp":"1562213109"}})",
         JsonDate::Found, 1562213109},
        {R"({"photoTakenTime":{"timestamp":"x"},"creationTime":{"timestamp":1500000000}})",
         JsonDate::Found, 1500000000},
        {R"({"title":"IMG_1.JPG"})", JsonDate::None, 0},
        {R"([1,2])", JsonDate::None, 0},
        {R"({"photoTakenTime":{"timestamp":"1562213109")", JsonDate::Damaged, 0},
    };
    for (const auto& [text, outcome, seconds] : json) {
        std::int64_t found = 0;
        EXPECT_EQ(TakeoutDate(text, found), outcome) << text;
        EXPECT_EQ(found, seconds) << text;
    }
}

// Damaged copies: cut anywhere, bytes changed anywhere, offsets and counts
// among them. Each copy ends at a page that can't be read, and starts right
// after one in a second placement: a read outside it stops the test. Every
// cut of each shape is tried, so that the end of a segment, of a directory's
// count and entries and of a text value each meet the page's edge; and APP1
// segments too short to hold their own header (lengths 6 and 7) end there.
TEST(DateTaken, DamagedFilesReadNothingOutsideTheirBytes) {
    const std::string shapes[] = {
        JpegFile(TiffBlock(false, {{0x0132, kMarch}}, {{0x9003, kJuly}, {0x9011, "+09:00"}})),
        JpegFile(TiffBlock(true, {{0x0132, kMarch}}, {{0x9004, kJanuary}}, true)),
        TiffBlock(true, {{0x0110, "Camera"}, {0x0132, kMarch}}, {{0x9003, kJuly}}),
        HeifFile(kJulyBlock),
        MovieFile(
            {.mediaBytes = 40, .created = kJulyIn1904, .creationDate = "2019-07-04T13:05:09Z"})
            .Whole(),
        PngFile(kJulyBlock),
        WebpFile(kJulyBlock),
        JpegOf({{0xED, IptcSegment("20190704", "130509+0900")},
                {0xE1, XmpSegment(XmpPacket("xmp:CreateDate='2019-07-04T13:05'"))}}),
        AviFile("SUN JUL 04 13:05:09 2019\n"),
        WmvFile(std::uint64_t(JulyAt(0))),
        FromMaker("exif.jpg").bytes,
        FromMaker("exif.heic").bytes,
        FromMaker("apple.mov").bytes,
        FromMaker("created.wmv").bytes,
        FromMaker("idit.avi").bytes,
    };
    std::vector<std::string> copies;
    for (const std::string& shape : shapes)
        for (size_t cut = 0; cut <= shape.size(); ++cut)
            copies.push_back(shape.substr(0, cut));
    // The segment's length counts its own two bytes: 6 leaves "Exif" alone.
    for (const std::string& body :
         {std::string("Exif", 4), std::string("Exif\0", 5), std::string("Exif\0\0", 6)})
        copies.push_back(std::string("\xFF\xD8\xFF\xE1\x00", 5) + char(2 + body.size()) + body);
    std::mt19937 random(20261208);
    for (int round = 0; round < 6000; ++round) {
        std::string copy = shapes[round % std::size(shapes)];
        copy.resize(random() % (copy.size() + 1));
        for (int flips = random() % 6; flips > 0 && !copy.empty(); --flips)
            copy[random() % copy.size()] = char(random() % 4 ? random() : 0xFF);
        copies.push_back(std::move(copy));
    }
    const size_t page = 4096, pages = 4;
    auto* region = static_cast<std::uint8_t*>(
        VirtualAlloc(nullptr, (pages + 2) * page, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE));
    ASSERT_TRUE(region);
    DWORD old = 0;
    VirtualProtect(region, page, PAGE_NOACCESS, &old);
    VirtualProtect(region + (pages + 1) * page, page, PAGE_NOACCESS, &old);
    const size_t heapBefore = BusyHeapBytes();
    int found = 0;
    for (const std::string& copy : copies) {
        for (std::uint8_t* at : {region + page, region + (pages + 1) * page - copy.size()}) {
            std::memcpy(at, copy.data(), copy.size());
            FileBytes file(at, copy.size());
            found += ReadMediaDate(file).has_value();
        }
    }
    VirtualFree(region, 0, MEM_RELEASE);
    EXPECT_GT(found, 1000); // many copies still hold a date
    EXPECT_EQ(BusyHeapBytes(), heapBefore);
    EXPECT_TRUE(HeapValidate(GetProcessHeap(), 0, nullptr));
}
