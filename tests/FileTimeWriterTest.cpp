#include "core/FileTimeWriter.h"
#include "core/ErrorReasons.h"
#include "core/RunTimestampChange.h"
#include "tests/support/Leaks.h"
#include "tests/support/TestFiles.h"
#include "win/Error.h"
#include "win/Handle.h"
#include "win/Path.h"

#include <gtest/gtest.h>

#include <cstdio>

using namespace kalvera;
using namespace kalvera::test;

namespace {

const DateTime kWhen = 38078.0 + (9 * 3600 + 30 * 60) / 86400.0; // 2004/4/1 9:30:00

std::wstring OpenErrorOf(const std::wstring& path, TimestampKinds kinds) {
    try {
        WriteFileTimes(path, kWhen, kWhen, kWhen, kinds);
    } catch (const Error& e) {
        return e.Message();
    }
    return L"(no error)";
}

class FileTimeWriter : public ::testing::Test {
protected:
    TempDir dir;
};

} // namespace

TEST_F(FileTimeWriter, OnlyTheChosenKindChanges) {
    const std::wstring path = dir.MakeFile(L"a.txt", "hello");
    SetKnownTimes(path);
    const ReadTimes before = TimesOf(path);

    WriteFileTimes(path, kWhen, kWhen, kWhen, {.lastAccess = true});
    ReadTimes after = TimesOf(path);
    EXPECT_EQ(after.lastAccess, LocalDateTimeToFileTime(kWhen));
    EXPECT_EQ(after.lastWrite, before.lastWrite);
    EXPECT_EQ(after.creation, before.creation);

    WriteFileTimes(path, kWhen, kWhen, kWhen, {.lastWrite = true});
    after = TimesOf(path);
    EXPECT_EQ(after.lastWrite, LocalDateTimeToFileTime(kWhen));
    EXPECT_EQ(ReadContent(path), "hello");
}

TEST_F(FileTimeWriter, AllThreeKindsEndUpEqualInWholeSeconds) {
    const std::wstring path = dir.MakeFile(L"b.bin", std::string("\0\1\2\xff", 4));
    SetKnownTimes(path);
    WriteFileTimes(path, kWhen, kWhen, kWhen, {true, true, true});
    const ReadTimes t = TimesOf(path);
    EXPECT_EQ(t.lastWrite, LocalDateTimeToFileTime(kWhen));
    EXPECT_EQ(t.lastAccess, t.lastWrite);
    EXPECT_EQ(t.lastWrite % 10'000'000, 0u);
    // Wine cannot set a creation time: it reports the earlier of the
    // file's change and modification times instead.
    if (!RunningUnderWine()) {
        EXPECT_EQ(t.creation, t.lastWrite);
    }
    EXPECT_EQ(ReadContent(path), std::string("\0\1\2\xff", 4));
}

// A read-only file is written and keeps its attributes; the state read
// back is the last one, so an undo finds it as the write left it. A file
// the user may not write, a folder and a missing file raise the open error.
TEST_F(FileTimeWriter, ReadOnlyFilesAreWrittenAndOthersRaiseTheOpenError) {
    const std::wstring readOnly = dir.MakeFile(L"ro.txt");
    SetKnownTimes(readOnly);
    SetFileAttributesW(readOnly.c_str(), FILE_ATTRIBUTE_READONLY);
    const DWORD attributes = GetFileAttributesW(readOnly.c_str());
    TimesReadBack readBack;
    WriteFileTimesUtc(readOnly, {0, 0, LocalDateTimeToFileTime(kWhen)}, {.lastWrite = true},
                      &readBack);
    EXPECT_EQ(TimesOf(readOnly).lastWrite, LocalDateTimeToFileTime(kWhen));
    EXPECT_EQ(GetFileAttributesW(readOnly.c_str()), attributes);
    EXPECT_EQ(RestoreFileTimes(readOnly, readBack, {.lastWrite = true}), RestoreOutcome::Restored);
    EXPECT_EQ(GetFileAttributesW(readOnly.c_str()), attributes);
    if (!ReadOnlyAttributeBlocksWrites())
        std::puts("read-only files are written anyway here: their own path not checked");

    const std::wstring denied = dir.MakeFile(L"denied.txt");
    SetKnownTimes(denied);
    if (WriteDenied deny(denied); deny.Denied()) {
        EXPECT_EQ(OpenErrorOf(denied, {true, true, true}),
                  L"ファイル " + denied + L" は開けません");
        EXPECT_EQ(TimesOf(denied).lastWrite, 126309519060000000ULL + 2 * 864'000'000'000ULL);
    } else {
        std::puts("a file the user may not write not checked: the Wine server writes any file");
    }
    EXPECT_EQ(OpenErrorOf(dir.Path(), {.lastWrite = true}),
              L"ファイル " + dir.Path() + L" は開けません");
    EXPECT_EQ(OpenErrorOf(dir.Child(L"missing.txt"), {.lastWrite = true}),
              L"ファイル " + dir.Child(L"missing.txt") + L" は開けません");
}

TEST_F(FileTimeWriter, NamesOutsideTheAnsiCodePageAndLongPaths) {
    for (const wchar_t* name : {L"한국어.txt", L"emoji-\U0001F600.txt", L"日本語 ファイル.txt"}) {
        const std::wstring path = dir.MakeFile(name, "x");
        SetKnownTimes(path);
        ASSERT_TRUE(IsExistingFile(path));
        WriteFileTimes(path, kWhen, kWhen, kWhen, {.lastWrite = true});
        EXPECT_EQ(TimesOf(path).lastWrite, LocalDateTimeToFileTime(kWhen));
    }

    std::wstring nested = dir.Path();
    for (int i = 0; i < 6; ++i) {
        nested += L"\\" + std::wstring(50, static_cast<wchar_t>(L'a' + i));
        ASSERT_TRUE(CreateDirectoryW(ExtendedLengthPath(nested).c_str(), nullptr));
    }
    const std::wstring longPath = nested + L"\\long-name-file.txt";
    ASSERT_GT(longPath.size(), 300u);
    UniqueFileHandle(CreateFileW(ExtendedLengthPath(longPath).c_str(), GENERIC_WRITE, 0, nullptr,
                                 CREATE_NEW, 0, nullptr));
    ASSERT_TRUE(IsExistingFile(longPath));
    SetKnownTimes(longPath);
    WriteFileTimes(longPath, kWhen, kWhen, kWhen, {.lastWrite = true});
    EXPECT_EQ(TimesOf(longPath).lastWrite, LocalDateTimeToFileTime(kWhen));
}

TEST_F(FileTimeWriter, OnlyFullyQualifiedPathsOfFilesExist) {
    const std::wstring file = dir.MakeFile(L"here.txt");
    EXPECT_TRUE(IsExistingFile(file));
    EXPECT_FALSE(IsExistingFile(dir.Path()));
    EXPECT_FALSE(IsExistingFile(dir.Child(L"none.txt")));
    EXPECT_FALSE(IsExistingFile(dir.Child(L"*.txt")));
    EXPECT_FALSE(IsExistingFile(L"::{20D04FE0-3AEA-1069-A2D8-08002B30309D}"));
    EXPECT_FALSE(IsExistingFile(L""));

    // A relative text names a file only by accident of the current folder:
    // never taken as the user's file, never written.
    wchar_t saved[MAX_PATH];
    GetCurrentDirectoryW(MAX_PATH, saved);
    ASSERT_TRUE(SetCurrentDirectoryW(dir.Path().c_str()));
    SetKnownTimes(file);
    const ReadTimes before = TimesOf(file);
    EXPECT_FALSE(IsExistingFile(L"here.txt"));
    EXPECT_FALSE(IsExistingFile(L".\\here.txt"));
    EXPECT_EQ(OpenErrorOf(L"here.txt", {.lastWrite = true}), L"ファイル here.txt は開けません");
    SetCurrentDirectoryW(saved);
    EXPECT_EQ(TimesOf(file).lastWrite, before.lastWrite);

    EXPECT_TRUE(IsFullyQualifiedPath(LR"(\\server\share\f.txt)"));
    EXPECT_TRUE(IsFullyQualifiedPath(LR"(\\?\C:\f.txt)"));
    EXPECT_FALSE(IsFullyQualifiedPath(LR"(\\.\PhysicalDrive0)"));
    EXPECT_FALSE(IsFullyQualifiedPath(LR"(C:f.txt)"));
    EXPECT_FALSE(IsFullyQualifiedPath(LR"(\f.txt)"));
}

TEST(ExtendedLengthPath, OnlyLongFullyQualifiedPathsChange) {
    // Where the rule turns: 247 characters stay, 248 get the long form.
    const std::wstring at247 = L"C:\\" + std::wstring(244, L'y');
    EXPECT_EQ(ExtendedLengthPath(at247), at247);
    EXPECT_EQ(ExtendedLengthPath(at247 + L"y"), L"\\\\?\\" + at247 + L"y");
    EXPECT_EQ(ExtendedLengthPath(L"C:\\short.txt"), L"C:\\short.txt");
    const std::wstring tail(300, L'x');
    EXPECT_EQ(ExtendedLengthPath(L"C:/" + tail), L"\\\\?\\C:\\" + tail);
    EXPECT_EQ(ExtendedLengthPath(L"\\\\srv\\share\\" + tail), L"\\\\?\\UNC\\srv\\share\\" + tail);
    EXPECT_EQ(ExtendedLengthPath(L"\\\\?\\C:\\" + tail), L"\\\\?\\C:\\" + tail);
    EXPECT_EQ(ExtendedLengthPath(tail), tail);
}

// A run's writer leaves the target named; the Run command's one file
// raises the set error.
TEST_F(FileTimeWriter, RefusedTimeRaisesTheSetErrorAndClosesTheFile) {
    const std::wstring path = dir.MakeFile(L"refused.txt");
    SetKnownTimes(path);
    const ReadTimes before = TimesOf(path);
    // The file system refuses negative times other than the markers -1 and -2.
    const FileTimes refused{0, 0, 0x8000000000000000ULL};
    for (bool ifFile : {false, true}) {
        try {
            FixedTimes rule(refused);
            TimesReadBack readBack;
            FileTimes set;
            std::wstring_view why;
            if (ifFile)
                EXPECT_EQ(
                    TargetWriter(rule, {.lastWrite = true}).Write(path, false, readBack, set, why),
                    WriteOutcome::Declined);
            else
                WriteFileTimesUtc(path, refused, {.lastWrite = true});
            EXPECT_TRUE(ifFile && why == kSetRefusedText) << "a refused time taken as success";
        } catch (const Error& e) {
            EXPECT_EQ(e.Message(),
                      L"ファイル " + path + L" のタイムスタンプを変更できませんでした");
        }
        // The handle was closed on the way out: an exclusive open succeeds.
        EXPECT_TRUE(UniqueFileHandle(
            CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr)));
    }
    EXPECT_EQ(TimesOf(path).lastWrite, before.lastWrite);
}

// Three different times, one per slot: each chosen kind gets its own value,
// and the kinds not chosen keep theirs.
TEST_F(FileTimeWriter, EachKindGetsItsOwnTime) {
    const std::wstring path = dir.MakeFile(L"slots.txt");
    SetKnownTimes(path);
    const ReadTimes before = TimesOf(path);
    const DateTime creation = kWhen - 3, access = kWhen - 2, write = kWhen - 1;
    WriteFileTimes(path, creation, access, write, {.lastWrite = true});
    EXPECT_EQ(TimesOf(path).lastWrite, LocalDateTimeToFileTime(write));
    EXPECT_EQ(TimesOf(path).lastAccess, before.lastAccess);
    WriteFileTimes(path, creation, access, write, {.lastAccess = true});
    EXPECT_EQ(TimesOf(path).lastAccess, LocalDateTimeToFileTime(access));
    EXPECT_EQ(TimesOf(path).lastWrite, LocalDateTimeToFileTime(write));
    if (!RunningUnderWine()) {
        WriteFileTimes(path, creation, access, write, {.creation = true});
        EXPECT_EQ(TimesOf(path).creation, LocalDateTimeToFileTime(creation));
    }

    const FileTimes utc{126000000000000000ULL, 127000000000000000ULL, 128000000000000000ULL};
    WriteFileTimesUtc(path, utc, {.lastWrite = true, .lastAccess = true});
    EXPECT_EQ(TimesOf(path).lastAccess, utc.lastAccess);
    EXPECT_EQ(TimesOf(path).lastWrite, utc.lastWrite);
}

// Times need no share of a file's bytes: a program that holds them, even
// sharing nothing, doesn't stop a write of its times. A rule that reads the
// bytes can't open it, and nothing is written.
TEST_F(FileTimeWriter, AHolderOfTheBytesStopsOnlyARuleThatReadsThem) {
    const std::wstring path = dir.MakeFile(L"shared.txt");
    SetKnownTimes(path);
    const ReadTimes before = TimesOf(path);
    UniqueFileHandle holder(
        CreateFileW(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(holder);
    struct Reading : FixedTimes {
        using FixedTimes::FixedTimes;
        bool ReadsContent() const override { return true; }
    } reading({0, 0, 1});
    TimesReadBack readBack;
    FileTimes set;
    std::wstring_view why;
    EXPECT_EQ(TargetWriter(reading, {.lastWrite = true}).Write(path, false, readBack, set, why),
              WriteOutcome::Declined);
    EXPECT_EQ(why, L"ほかのプログラムが使用中です");
    // Each cause in the same words wherever it is met; any other in the
    // system's own (here Wine's Japanese message), without its full stop.
    EXPECT_EQ(CantOpenReason(ERROR_LOCK_VIOLATION), why);
    EXPECT_EQ(CantOpenReason(ERROR_ACCESS_DENIED), L"書き込みが許可されていません");
    EXPECT_EQ(CantListReason(ERROR_ACCESS_DENIED), L"読み取りが許可されていません");
    EXPECT_EQ(CantOpenReason(ERROR_PATH_NOT_FOUND), L"見つかりません");
    EXPECT_EQ(CantOpenReason(ERROR_FILENAME_EXCED_RANGE), L"パスが長すぎます");
    if (RunningUnderWine()) {
        EXPECT_EQ(CantOpenReason(ERROR_DISK_FULL), L"ディスクがいっぱいです");
    }
    EXPECT_EQ(TimesOf(path).lastWrite, before.lastWrite);
    EXPECT_EQ(OpenErrorOf(path, {.lastWrite = true}), L"(no error)");
    EXPECT_EQ(TimesOf(path).lastWrite, LocalDateTimeToFileTime(kWhen));
}

// After a write the file is free again, and hundreds of writes leave no
// handle and no memory behind. The measure itself is shown to see a leak.
TEST_F(FileTimeWriter, WritesReleaseTheFileAndLeakNothing) {
    const std::wstring path = dir.MakeFile(L"often.txt");
    WriteFileTimes(path, kWhen, kWhen, kWhen, {true, true, true});
    EXPECT_TRUE(UniqueFileHandle(CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                             OPEN_EXISTING, 0, nullptr)));
    const Growth writes = GrowthOver(300, [&] {
        WriteFileTimes(path, kWhen, kWhen, kWhen, {true, true, true});
    });
    EXPECT_LE(writes.handles, 1);
    EXPECT_LT(writes.heapBytes, 16'000);

    std::vector<HANDLE> leaked;
    const Growth leaking = GrowthOver(300, [&] {
        leaked.push_back(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                     OPEN_EXISTING, 0, nullptr));
        leaked.push_back(reinterpret_cast<HANDLE>(new char[200]));
    });
    EXPECT_GT(leaking.handles, 100);
    EXPECT_GT(leaking.heapBytes, 16'000);
    for (size_t i = 0; i < leaked.size(); i += 2) {
        CloseHandle(leaked[i]);
        delete[] reinterpret_cast<char*>(leaked[i + 1]);
    }
}
