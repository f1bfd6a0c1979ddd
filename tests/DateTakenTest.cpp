// The date a photo was taken, from the bytes of JPEG and TIFF files, and
// the reader's behaviour on damaged copies of them.

#include "datetime/Calendar.h"
#include "core/DateText.h"
#include "core/readers/DateTaken.h"
#include "tests/support/ExifFiles.h"
#include "tests/support/Leaks.h"

#include <gtest/gtest.h>

#include <cstring>
#include <random>

using namespace kalvera;
using namespace kalvera::test;

namespace {

const std::string kJuly = "2019:07:04 13:05:09", kJanuary = "2018:01:02 03:04:05",
                  kMarch = "2017:03:30 23:59:58";

FileTime Local(const wchar_t* text) {
    return LocalDateTimeToFileTime(ParseDateTimeText(text));
}
// 2019-07-04 13:05:09 at the given offset from UTC, in minutes.
FileTime JulyAt(int offsetMinutes) {
    const long long days = DaysSinceEpoch(2019, 7, 4) - DaysSinceEpoch(1601, 1, 1);
    return (days * 86400 + 13 * 3600 + 5 * 60 + 9 - offsetMinutes * 60LL) * 10'000'000;
}

std::optional<FileTime> DateOf(const std::string& file) {
    std::vector<std::uint8_t> buffer;
    LocalTimeConverter local;
    return ReadDateTaken(
        [&](std::uint64_t at, std::uint8_t* to, std::size_t size) -> std::size_t {
            const std::size_t n =
                at < file.size() ? std::min<std::size_t>(size, file.size() - std::size_t(at)) : 0;
            std::memcpy(to, file.data() + at, n);
            return n;
        },
        buffer, local);
}

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
        std::string copy = shapes[round % 3];
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
            TakenDate date;
            for (bool whole : {true, false})
                found += ScanDateTaken(at, copy.size(), whole, date) == DateTakenScan::Found;
        }
    }
    VirtualFree(region, 0, MEM_RELEASE);
    EXPECT_GT(found, 1000); // many copies still hold a date
    EXPECT_EQ(BusyHeapBytes(), heapBefore);
    EXPECT_TRUE(HeapValidate(GetProcessHeap(), 0, nullptr));
}
