#include "datetime/Calendar.h"
#include "core/FileTimeWriter.h"
#include "core/NamePatterns.h"
#include "core/RunTimestampChange.h"
#include "tests/support/ExifFiles.h"
#include "tests/support/RunServices.h"
#include "tests/support/TestFiles.h"
#include "win/Error.h"
#include "win/Handle.h"
#include "win/Path.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <functional>

using namespace kalvera;
using namespace kalvera::test;

namespace {

const SelectorTexts kApril{L"2004", L"4", L"1", L"9", L"30", L"00"};
const TimestampKinds kLastWrite{.lastWrite = true};

class RunTimestampChangeTest : public ::testing::Test {
protected:
    TempDir dir;
    FileListFake list;
    MessageBoxRecorder boxes;
    HintRecorder hint;
    const FileTime april = LocalDateTimeToFileTime(ParseDateTimeText(L"2004/4/1 9:30:00"));

    std::wstring File(const std::wstring& name) {
        std::wstring path = dir.MakeFile(name, "payload of " + std::to_string(name.size()));
        SetKnownTimes(path);
        return path;
    }
    void Run(int mode, const SelectorTexts& texts = kApril, TimestampKinds kinds = kLastWrite) {
        RunTimestampChange(texts, mode, kinds, list, boxes, hint);
    }
    static std::wstring ErrorOf(const std::function<void()>& call) {
        try {
            call();
        } catch (const Error& e) {
            return e.Message();
        }
        return L"(no error)";
    }
    std::wstring RunError(int mode, const SelectorTexts& texts = kApril) {
        return ErrorOf([&] { Run(mode, texts); });
    }
    bool Changed(const std::wstring& path) { return TimesOf(path).lastWrite == april; }
};

const ShownBox kChanged{L"ファイルのタイムスタンプを変更しました。", L"結果報告", 0};
const ShownBox kMissing{L"指定のファイルが存在しません。", L"Error", 0};
const ShownBox kAborted{L"指定のファイルが存在しません。中止します。", L"Error", 0};
ShownBox Counted(int n) {
    return {std::to_wstring(n) + L"個のファイルのタイムスタンプを変更しました。", L"結果報告", 0};
}

} // namespace

TEST_F(RunTimestampChangeTest, SelectedFileIsChangedAndReported) {
    const std::wstring a = File(L"a.txt"), b = File(L"b.txt");
    list.rows = {a, b};
    list.selected = {1};
    Run(cmSelectedFile);
    EXPECT_TRUE(Changed(b));
    EXPECT_FALSE(Changed(a));
    EXPECT_EQ(boxes.shown, std::vector{kChanged});
    EXPECT_EQ(hint.shown, 0);
    EXPECT_EQ(ReadContent(b), "payload of 5");
}

TEST_F(RunTimestampChangeTest, NoSelectionShowsOnlyTheHintAndBadDatesShowNothing) {
    list.rows = {File(L"a.txt")};
    Run(cmSelectedFile);
    EXPECT_EQ(hint.shown, 1);
    EXPECT_TRUE(boxes.shown.empty());

    SelectorTexts hour24 = kApril;
    hour24.hour = L"24";
    EXPECT_EQ(RunError(cmSelectedFile, hour24),
              L"'2004/4/1 24:30:00' は日付または時刻ではありません");
    list.selected = {0};
    SelectorTexts april31 = kApril;
    april31.day = L"31";
    EXPECT_THROW(Run(cmWholeFolder, april31), Error);
    EXPECT_EQ(hint.shown, 1);
    EXPECT_TRUE(boxes.shown.empty());
    EXPECT_FALSE(Changed(list.rows[0]));
}

TEST_F(RunTimestampChangeTest, SelectedItemThatIsNoFileChangesNothing) {
    const std::wstring sub = dir.MakeDir(L"sub");
    const std::wstring here = File(L"here.txt");
    list.rows = {sub, dir.Child(L"gone.txt"), L"here.txt",
                 L"::{20D04FE0-3AEA-1069-A2D8-08002B30309D}"};
    wchar_t saved[MAX_PATH];
    GetCurrentDirectoryW(MAX_PATH, saved);
    SetCurrentDirectoryW(dir.Path().c_str());
    for (int i = 0; i < 4; ++i) {
        list.selected = {i};
        Run(cmSelectedFile);
    }
    SetCurrentDirectoryW(saved);
    EXPECT_EQ(boxes.shown, std::vector(4, kMissing));
    EXPECT_FALSE(Changed(here));
}

// Times need a file's attributes alone: a file another program holds open,
// and a read-only one, are written (the attribute stays as it was). One the
// user may not write raises the open error; a held photo, whose bytes a
// photo run reads, is named in its report.
TEST_F(RunTimestampChangeTest, SelectedFileThatCantBeOpenedShowsNoSuccess) {
    const std::wstring held = File(L"held.txt"), ro = File(L"ro.txt");
    const std::wstring denied = File(L"denied.txt");
    UniqueFileHandle holder(
        CreateFileW(held.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
    SetFileAttributesW(ro.c_str(), FILE_ATTRIBUTE_READONLY);
    const DWORD roAttributes = GetFileAttributesW(ro.c_str());
    list.selected = {0};
    for (const auto& path : {held, ro}) {
        list.rows = {path};
        Run(cmSelectedFile);
        EXPECT_TRUE(Changed(path)) << ToUtf8(path);
    }
    EXPECT_EQ(GetFileAttributesW(ro.c_str()), roAttributes);
    EXPECT_EQ(boxes.shown, std::vector(2, kChanged));
    list.rows = {held};
    SetKnownTimes(held);
    MatchDateTaken(cmSelectedFile, kLastWrite, list, boxes, hint);
    EXPECT_EQ(boxes.shown.back().text,
              L"0個のファイルのタイムスタンプを撮影日時に合わせました。"
              L"\n\n次のファイルは変更しませんでした:\nheld.txt: ほかのプログラムが使用中です");
    holder.reset();
    EXPECT_FALSE(Changed(held));
    WriteDenied deny(denied);
    if (deny.Denied()) {
        list.rows = {denied};
        EXPECT_EQ(RunError(cmSelectedFile), L"ファイル " + denied + L" は開けません");
        EXPECT_FALSE(Changed(denied));
    } else {
        std::puts("a file the user may not write not checked: the Wine server writes any file");
    }
    EXPECT_EQ(boxes.shown.size(), 3u);
}

TEST_F(RunTimestampChangeTest, WholeFolderChangesEveryListedFile) {
    list.rows = {File(L"1.txt"), File(L"2.txt"), File(L"3.txt")};
    list.selected = {1}; // plays no part
    Run(cmWholeFolder, kApril, {true, true, true});
    for (const auto& path : list.rows) {
        EXPECT_TRUE(Changed(path));
        EXPECT_EQ(TimesOf(path).lastAccess, april);
    }
    EXPECT_EQ(boxes.shown, std::vector{Counted(3)});

    list.rows.clear();
    list.selected = {};
    boxes.shown.clear();
    Run(cmWholeFolder);
    EXPECT_EQ(boxes.shown, std::vector{Counted(0)});
    EXPECT_EQ(hint.shown, 0);
}

// Every file of a whole-folder run is free again afterwards.
TEST_F(RunTimestampChangeTest, WholeFolderRunReleasesEveryFile) {
    list.rows = {File(L"1.txt"), File(L"2.txt"), File(L"3.txt")};
    Run(cmWholeFolder, kApril, {true, true, true});
    for (const auto& path : list.rows)
        EXPECT_TRUE(UniqueFileHandle(CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0,
                                                 nullptr, OPEN_EXISTING, 0, nullptr)))
            << ToUtf8(path);
}

// Folders are passed over, or changed when they are targets; a file gone
// since it was listed is named, and no link is followed: a link to a file
// outside, to the folder itself or to one outside counts as passed over.
// Two names of one file are one target, a read-only file is written with
// its attribute kept (previewed, too), and nothing is written while the
// rows still come in.
// Anything else that is not a file refuses the run before anything changes.
TEST_F(RunTimestampChangeTest, SelectionsAndFoldersOfAFolder) {
    TempDir outside;
    const std::wstring a = File(L"a.txt"), b = File(L"b.txt"), sub = dir.MakeDir(L"sub");
    const std::wstring ro = File(L"ro.txt"), distant = outside.MakeFile(L"distant.txt");
    const std::wstring ghost = dir.Child(L"gone.txt"),
                       shell = L"::{20D04FE0-3AEA-1069-A2D8-08002B30309D}";
    const std::wstring hard = dir.Child(L"a-again.txt"), fileLink = dir.Child(L"to-distant.txt");
    const std::wstring toHere = dir.Child(L"to-here"), toOutside = dir.Child(L"to-outside");
    ASSERT_TRUE(CreateHardLinkW(hard.c_str(), a.c_str(), nullptr));
    ASSERT_TRUE(MakeLink(fileLink, distant, false));
    ASSERT_TRUE(MakeLink(toHere, dir.Path()));
    ASSERT_TRUE(MakeLink(toOutside, outside.Path()));
    SetFileAttributesW(ro.c_str(), FILE_ATTRIBUTE_READONLY);
    const DWORD roAttributes = GetFileAttributesW(ro.c_str());
    const std::wstring passed =
        L"2個のファイルのタイムスタンプを変更しました。\nフォルダ1個は対象外です。";
    const std::wstring goneNamed =
        L"\n\n次のファイルは変更しませんでした:\ngone.txt: 見つかりません";
    struct Case {
        int mode;
        std::vector<std::wstring> rows;
        std::vector<int> selected;
        bool folders;
        std::wstring text;
        std::vector<std::wstring> changed;
        int shiftHours = 0;
        bool loading = false;
        bool preview = false;
    } cases[] = {
        {cmWholeFolder, {sub, a, b}, {}, false, passed, {a, b}},
        {cmWholeFolder,
         {a, sub, b},
         {},
         true,
         L"2個のファイルと1個のフォルダのタイムスタンプを変更しました。",
         {a, b, sub}},
        {cmWholeFolder, {a, b, ghost}, {}, false, Counted(2).text + goneNamed, {a, b}},
        {cmWholeFolder, {a, shell, b}, {}, false, passed, {a, b}},
        {cmWholeFolder, {a, shell, b}, {}, true, kAborted.text, {}},
        {cmSelectedFile, {a, sub}, {1}, false, kMissing.text, {}},
        {cmSelectedFile, {a, sub}, {1}, true, L"フォルダのタイムスタンプを変更しました。", {sub}},
        {cmSelectedFile, {a, sub, b}, {0, 2}, false, Counted(2).text, {a, b}},
        {cmSelectedFile, {a, sub, b}, {0, 1, 2}, false, passed, {a, b}},
        {cmSelectedFile, {a, ghost, b}, {0, 1}, true, Counted(1).text + goneNamed, {a}},
        {cmWholeFolder,
         {a, toHere, fileLink, toOutside, b},
         {},
         true,
         Counted(2).text + L"\nリンク3個は対象外です。",
         {a, b}},
        {cmSelectedFile, {fileLink}, {0}, false, L"リンク1個は対象外です。", {}},
        {cmWholeFolder,
         {a, hard, b},
         {},
         false,
         L"2個のファイルのタイムスタンプをずらしました。",
         {a, b},
         1},
        {cmWholeFolder, {a, ro}, {}, false, Counted(2).text, {a, ro}},
        {cmWholeFolder, {a, ro}, {}, false, Counted(2).text, {a, ro}, 0, false, true},
        {cmWholeFolder, {a, b}, {}, false, kStillLoadingText.data(), {}, 0, true},
        {cmSelectedFile, {a, b}, {0}, false, kStillLoadingText.data(), {}, 0, true},
    };
    const std::vector<std::wstring> watched{a, b, sub, ro, distant, dir.Path(), outside.Path()};
    for (const Case& c : cases) {
        for (const auto& path : watched)
            SetKnownTimes(path);
        const FileTime known = TimesOf(a).lastWrite;
        list.rows = c.rows;
        list.selected = c.selected;
        list.shellFolders = {1};
        list.loading = c.loading;
        boxes.shown.clear();
        PreviewFake preview;
        const RunExtras extras{.folders = c.folders, .preview = c.preview ? &preview : nullptr};
        if (c.shiftHours)
            ShiftTimestamps(c.shiftHours * 3600, c.mode, kLastWrite, list, boxes, hint, extras);
        else
            RunTimestampChange(kApril, c.mode, kLastWrite, list, boxes, hint, extras);
        ASSERT_EQ(boxes.shown.size(), 1u);
        EXPECT_EQ(boxes.shown[0].text, c.text) << &c - cases;
        const bool refused =
            c.text == kAborted.text || c.text == kMissing.text || c.text == kStillLoadingText;
        EXPECT_EQ(boxes.shown[0].caption, refused ? L"Error" : L"結果報告") << &c - cases;
        const FileTime wanted = c.shiftHours ? known + c.shiftHours * 36'000'000'000LL : april;
        for (const auto& path : watched)
            EXPECT_EQ(TimesOf(path).lastWrite == wanted,
                      std::count(c.changed.begin(), c.changed.end(), path) == 1)
                << &c - cases << ToUtf8(path);
    }
    EXPECT_EQ(GetFileAttributesW(ro.c_str()), roAttributes);
    EXPECT_EQ(hint.shown, 0);
}

// A whole tree is read first, through no link, and written after; the
// folder shown is not a target itself. Hidden files and folders are left
// out as the list leaves them out; they and links are counted as passed
// over, and a link to a file outside (which Wine does not mark) leaves that
// file alone.
TEST_F(RunTimestampChangeTest, WholeTree) {
    const std::wstring top = File(L"top.txt"), d1 = dir.MakeDir(L"d1");
    const std::wstring d2 = dir.MakeDir(L"d1\\d2"), inner = File(L"d1\\inner.txt");
    std::vector<std::wstring> folders{d1, d2};
    while (folders.back().size() < 300)
        folders.push_back(
            dir.MakeDir(folders.back().substr(dir.Path().size() + 1) + L"\\long folder name"));
    const std::wstring deep = folders.back();
    const std::wstring deepFile = File(deep.substr(dir.Path().size() + 1) + L"\\deep.txt");
    ASSERT_TRUE(MakeLink(dir.Child(L"d1\\up"), dir.Path()));
    TempDir outside;
    const std::wstring distant = outside.MakeFile(L"distant.txt");
    ASSERT_TRUE(MakeLink(dir.Child(L"d1\\to-distant.txt"), distant, false));
    dir.MakeDir(L".thumbs");
    const std::wstring hidden = File(L".DS_Store"), hiddenInside = File(L".thumbs\\t.jpg");
    const std::wstring flagged = File(L"d1\\flagged.txt");
    SetFileAttributesW(flagged.c_str(), FILE_ATTRIBUTE_HIDDEN);
    // Under Wine a link to a folder shows as a reparse point; the walk also
    // compares folder identities, which a link Wine did not mark would hit.
    const std::vector<std::wstring> files{top, inner, deepFile};
    list.folder = dir.Path();
    SetKnownTimes(dir.Path());
    enum Step { None, Lock, Stop, Delete }; // d2 held, reading stopped, inner deleted after it
    const std::wstring links = L"\nリンク2個は対象外です。\n隠しファイル3個は対象外です。";
    const std::pair<Step, std::wstring> cases[] = {
        {None, L"3個のファイルのタイムスタンプを変更しました。" + links},
        {None, L"3個のファイルと" + std::to_wstring(folders.size()) +
                   L"個のフォルダのタイムスタンプを変更しました。" + links},
        {Lock, L"フォルダ " + d2 + L" を読めません。中止します。"},
        {Stop, L"中止しました。"},
        {Delete, L"2個のファイルのタイムスタンプを変更しました。" + links},
    };
    struct ReadingProgress : ProgressService {
        std::function<bool()> answer;
        bool Continue(int, int) override { return true; }
        bool Reading(int) override { return answer(); }
        void Finished() override {}
    } progress;
    for (const auto& [step, text] : cases) {
        const bool withFolders = &text == &cases[1].second;
        for (const auto& path : files)
            if (path != inner || step != Delete)
                SetKnownTimes(path);
        for (const auto& path : folders)
            SetKnownTimes(path);
        UniqueFileHandle holder(step != Lock ? INVALID_HANDLE_VALUE
                                             : CreateFileW(d2.c_str(), GENERIC_READ, 0, nullptr,
                                                           OPEN_EXISTING,
                                                           FILE_FLAG_BACKUP_SEMANTICS, nullptr));
        progress.answer = [&] {
            if (step == Delete)
                DeleteFileW(inner.c_str());
            return step != Stop;
        };
        boxes.shown.clear();
        RunTimestampChange(kApril, cmWholeTree, kLastWrite, list, boxes, hint,
                           {.progress = &progress, .folders = withFolders});
        ASSERT_EQ(boxes.shown.size(), 1u);
        EXPECT_EQ(boxes.shown[0].text, text);
        const bool written = step == None || step == Delete;
        for (const auto& path : files)
            EXPECT_EQ((path == inner && step == Delete) || Changed(path), written) << ToUtf8(path);
        for (const auto& path : folders)
            EXPECT_EQ(Changed(path), written && withFolders) << ToUtf8(path);
        for (const auto& path :
             {dir.Path(), distant, hidden, hiddenInside, flagged, dir.Child(L".thumbs")})
            EXPECT_FALSE(Changed(path)) << ToUtf8(path);
    }
    list.folder.clear();
    Run(cmWholeTree);
    EXPECT_EQ(boxes.shown.back().text, L"このフォルダではサブフォルダを含めて変更できません。");
}

// A photo run reads each file's bytes, which a program holding the file
// keeps to itself: that file is named, the others are written.
TEST_F(RunTimestampChangeTest, WholeFolderGoesOnPastAFileThatCantBeOpened) {
    const std::string jpeg = JpegFile(TiffBlock(false, {}, {{0x9003, "2019:07:04 13:05:09"}}));
    for (const wchar_t* name : {L"1.jpg", L"2.jpg", L"3.jpg"})
        list.rows.push_back(dir.MakeFile(name, jpeg));
    for (const auto& path : list.rows)
        SetKnownTimes(path);
    const FileTime known = TimesOf(list.rows[0]).lastWrite;
    UniqueFileHandle holder(
        CreateFileW(list.rows[1].c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(holder);
    MatchDateTaken(cmWholeFolder, kLastWrite, list, boxes, hint);
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_EQ(boxes.shown[0].text, L"2個のファイルのタイムスタンプを撮影日時に合わせました。"
                                   L"\n\n次のファイルは変更しませんでした:\n2.jpg: ほかのプログラムが使用中です");
    holder.reset();
    for (size_t i = 0; i < 3; ++i)
        EXPECT_EQ(TimesOf(list.rows[i]).lastWrite == known, i == 1) << i;
}

TEST_F(RunTimestampChangeTest, FileVanishingBetweenThePassesIsNamedAndNotCounted) {
    const std::wstring a = File(L"a.txt"), b = File(L"b.txt"), c = File(L"c.txt");
    list.rows = {a, b, c};
    list.onPathOf = [&](int row) {
        if (row == 2) // the last row checked: b was, and goes before the writes
            DeleteFileW(b.c_str());
    };
    Run(cmWholeFolder);
    EXPECT_TRUE(Changed(a));
    EXPECT_TRUE(Changed(c));
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_EQ(boxes.shown[0].text, Counted(2).text + L"\n\n次のファイルは変更しませんでした:"
                                                     L"\nb.txt: 見つかりません");
}

TEST_F(RunTimestampChangeTest, UnknownModeAndNoChosenKind) {
    const std::wstring a = File(L"a.txt");
    list.rows = {a};
    list.selected = {0};
    Run(3);
    Run(-1);
    EXPECT_TRUE(boxes.shown.empty());
    EXPECT_EQ(hint.shown, 0);

    const ReadTimes before = TimesOf(a);
    Run(cmSelectedFile, kApril, {});
    EXPECT_EQ(boxes.shown, std::vector{kChanged});
    EXPECT_EQ(TimesOf(a).lastWrite, before.lastWrite);
    EXPECT_EQ(TimesOf(a).lastAccess, before.lastAccess);
}

// A shift moves each chosen time from its own value by elapsed time, to
// the tick (across New York's change to daylight time in the en_us run);
// a date taken comes from each photo. A target whose new time can't be
// kept, or that has no date, is named and left alone; Undo gives the times
// back to the tick.
TEST_F(RunTimestampChangeTest, ShiftsAndDatesTaken) {
    const std::wstring a = File(L"a.txt"), old = File(L"old.txt");
    const std::wstring photo = dir.MakeFile(
        L"p.jpg",
        JpegFile(TiffBlock(false, {}, {{0x9003, "2019:07:04 13:05:09"}, {0x9011, "+09:00"}})));
    SetKnownTimes(photo);
    const FileTime write =
        LocalDateTimeToFileTime(ParseDateTimeText(L"2026/3/7 12:00:00")) + 1234567;
    const FileTime day = 864'000'000'000, access = write - 40 * day + 7654321;
    SetTimes(a, 0, access, write);
    SetTimes(old, 0, day, 2 * day); // 1601-01-02 and 03
    // Wine keeps no time before 1901 (a 32-bit Unix time): there the shift
    // that would leave the volume's range is checked on its rule alone.
    const bool oldKept = TimesOf(old).lastWrite == 2 * day;
    const TimeRange range{1, ~0ULL >> 1};
    FileTimes shifted{5, day, 3};
    EXPECT_TRUE(ShiftChosenTimes(shifted, -day + 1, {.lastAccess = true}, range));
    EXPECT_EQ(shifted, (FileTimes{5, 1, 3}));
    EXPECT_FALSE(ShiftChosenTimes(shifted, -1, {.lastAccess = true}, range));
    EXPECT_FALSE(ShiftChosenTimes(shifted, 1, {.creation = true}, {1, 5}));
    EXPECT_FALSE(ShiftChosenTimes(shifted, 1, {.lastWrite = true}, {1, 2}));
    const TimestampKinds both{.lastWrite = true, .lastAccess = true};
    RunRecord record;
    list.rows = {a, old, photo};
    list.selected = {0, 1};
    ShiftTimestamps(86400 + 3661, cmSelectedFile, both, list, boxes, hint, {.record = &record});
    const FileTime later = (86400 + 3661) * 10'000'000LL;
    EXPECT_EQ(TimesOf(a).lastWrite, write + later);
    EXPECT_EQ(TimesOf(a).lastAccess, access + later);
    const FileTime oldWrite = oldKept ? 2 * day : TimesOf(old).lastWrite - later;
    UndoTimestampChange(record, boxes);
    EXPECT_EQ(TimesOf(a).lastWrite, write);
    EXPECT_EQ(TimesOf(a).lastAccess, access);
    EXPECT_EQ(TimesOf(old).lastWrite, oldWrite);

    ShiftTimestamps(-2 * 86400, cmSelectedFile, both, list, boxes, hint);
    EXPECT_EQ(TimesOf(a).lastWrite, write - 2 * day);
    EXPECT_TRUE(!oldKept || TimesOf(old).lastWrite == oldWrite);
    MatchDateTaken(cmWholeFolder, both, list, boxes, hint, {.record = &record});
    const FileTime taken = (DaysSinceEpoch(2019, 7, 4) - DaysSinceEpoch(1601, 1, 1)) * day +
                           (4 * 3600 + 5 * 60 + 9) * 10'000'000LL;
    EXPECT_EQ(TimesOf(photo).lastWrite, taken);
    EXPECT_EQ(TimesOf(photo).lastAccess, taken);
    EXPECT_EQ(TimesOf(a).lastWrite, write - 2 * day);
    const std::wstring notWritten = L"\n\n次のファイルは変更しませんでした:\n";
    const std::vector<std::wstring> texts{
        L"2個のファイルのタイムスタンプをずらしました。",
        L"2個のファイルのタイムスタンプを元に戻しました。",
        oldKept ? L"1個のファイルのタイムスタンプをずらしました。" + notWritten +
                      L"old.txt: ずらした時刻は記録できません"
                : L"2個のファイルのタイムスタンプをずらしました。",
        L"1個のファイルのタイムスタンプを撮影日時に合わせました。" + notWritten +
            L"a.txt: 撮影日時がありません\nold.txt: 撮影日時がありません"};
    ASSERT_EQ(boxes.shown.size(), texts.size());
    for (size_t i = 0; i < texts.size(); ++i)
        EXPECT_EQ(boxes.shown[i].text, texts[i]);
    UndoTimestampChange(record, boxes);
    EXPECT_EQ(TimesOf(photo).lastWrite,
              126309519060000000ULL + 2 * day); // as SetKnownTimes left it

    // With the last-write time alone chosen, the reading leaves every access
    // time as it was (older than the write time, which a read would move),
    // and folders are passed over, not named as files without a date.
    const std::wstring sub = dir.MakeDir(L"sub");
    list.rows = {a, sub, photo};
    const FileTime photoAccess = TimesOf(photo).lastAccess, aAccess = TimesOf(a).lastAccess;
    boxes.shown.clear();
    MatchDateTaken(cmWholeFolder, kLastWrite, list, boxes, hint, {.folders = true});
    EXPECT_EQ(TimesOf(photo).lastWrite, taken);
    EXPECT_EQ(TimesOf(photo).lastAccess, photoAccess);
    EXPECT_EQ(TimesOf(a).lastAccess, aAccess);
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_EQ(boxes.shown[0].text, L"1個のファイルのタイムスタンプを撮影日時に合わせました。"
                                   L"\nフォルダ1個は対象外です。" +
                                       notWritten + L"a.txt: 撮影日時がありません");
}

// Names as Explorer matches them, case-insensitively; blanks around a
// pattern and empty ones left out; the first pattern no name could match
// is the one refused.
TEST(NamePatterns, MatchesAndRefusals) {
    const struct {
        const wchar_t* patterns;
        const wchar_t* name;
        bool matches;
        const wchar_t* invalid;
    } cases[] = {
        {L"*.jpg; *.HEIC", L"IMG.heic", true, L""},
        {L"*.jpg; *.HEIC", L"a.JPG", true, L""},
        {L"*.jpg; *.HEIC", L"a.jpeg", false, L""},
        {L"*.jpg ;*.heic", L"a.JPG", true, L""},
        {L"*.jpg ", L"a.jpg", true, L""},
        {L"*.jpg; *.HEIC", L"a.jpg.txt", false, L""},
        {L" ; ;", L"anything", true, L""},
        {L"IMG_????.jpg", L"IMG_0001.jpg", true, L""},
        {L"IMG_????.jpg", L"IMG_01.jpg", false, L""},
        {L"*.jpg;a|b;c<d", L"a.jpg", true, L"a|b"},
        {L"photos\\*.jpg", L"a.jpg", false, L"photos\\*.jpg"},
        {L"x\ty", L"x", false, L"x\ty"},
    };
    for (const auto& c : cases) {
        const NamePatterns names(c.patterns);
        EXPECT_EQ(names.Matches(c.name), c.matches) << ToUtf8(c.patterns) << " " << ToUtf8(c.name);
        EXPECT_EQ(names.Invalid(), c.invalid) << ToUtf8(c.patterns);
    }
}
