// What a run keeps of the files it wrote: the times read back, the report
// of times a file system stored otherwise, undoing the run, and its progress.

#include "core/FileTimeWriter.h"
#include "core/RunHistory.h"
#include "core/RunJournalFile.h"
#include "core/RunLoop.h"
#include "core/RunTimestampChange.h"
#include "core/readers/RunJournal.h"
#include "tests/support/ExifFiles.h"
#include "tests/support/RunServices.h"
#include "tests/support/TestFiles.h"
#include "win/Error.h"
#include "win/Handle.h"
#include "win/Path.h"

#include <gtest/gtest.h>

#include <algorithm>

#include <optional>
#include <sstream>

using namespace kalvera;
using namespace kalvera::test;

namespace {

constexpr FileTime kSecond = 10'000'000, kDay = 86400 * kSecond;
const SelectorTexts kApril{L"2004", L"4", L"1", L"9", L"30", L"01"};

FileTime Local(const wchar_t* text) {
    return LocalDateTimeToFileTime(ParseDateTimeText(text));
}

// A record of a run that chose 2004/4/1 9:30:01 for the given kinds.
RunRecord Chosen(TimestampKinds kinds) {
    RunRecord record;
    record.kinds = kinds;
    const FileTime t = Local(L"2004/4/1 9:30:01");
    record.chosen = {t, t, t};
    return record;
}

void Add(RunRecord& record, const wchar_t* path, FileTimes stored) {
    record.Add(path, false).times.after = stored;
}

void SetTimes(const std::wstring& path, const FileTimes& times) {
    test::SetTimes(path, times.creation, times.lastAccess, times.lastWrite);
}

class ProgressRecorder : public ProgressService {
public:
    std::vector<std::pair<int, int>> calls;
    int stopAfter = -1;
    int finished = 0;
    bool Continue(int done, int total) override {
        calls.emplace_back(done, total);
        return done != stopAfter;
    }
    void Finished() override { ++finished; }
};

} // namespace

TEST(StoredTimesReport, EveryTimeAsChosenAddsNothing) {
    RunRecord record = Chosen({true, true, true});
    Add(record, L"C:\\d\\a.txt", record.chosen);
    EXPECT_EQ(StoredTimesReport(record), L"");
    EXPECT_EQ(StoredTimesReport(Chosen({true, true, true})), L"");
}

// FAT: last write in 2-second steps, last access as a date; a share that
// ignores creation times keeps the old one. Kinds not chosen don't count.
TEST(StoredTimesReport, NamesEachFileTheTimeAndWhatWasStored) {
    RunRecord record = Chosen({.creation = true, .lastWrite = true, .lastAccess = true});
    const FileTime t = record.chosen.lastWrite;
    Add(record, L"C:\\fat\\even.txt", {t, Local(L"2004/4/1 0:00:00"), t + kSecond});
    Add(record, L"C:\\fat\\fine.txt", {t, t, t});
    Add(record, L"\\\\share\\x\\old.txt", {Local(L"1999/12/31 23:59:59"), t, t});
    EXPECT_EQ(StoredTimesReport(record),
              L"\n\n次のファイルは指定どおりの時刻を記録できませんでした:"
              L"\neven.txt: 更新 2004/4/1 9:30:02、アクセス 2004/4/1 0:00:00"
              L"\nold.txt: 作成 1999/12/31 23:59:59");

    record.kinds = {.lastAccess = true};
    EXPECT_EQ(StoredTimesReport(record),
              L"\n\n次のファイルは指定どおりの時刻を記録できませんでした:"
              L"\neven.txt: アクセス 2004/4/1 0:00:00");
    record.kinds = {.creation = false, .lastWrite = false, .lastAccess = false};
    EXPECT_EQ(StoredTimesReport(record), L"");
}

TEST(StoredTimesReport, TenFilesAreNamedAndTheRestCounted) {
    RunRecord record = Chosen({.lastWrite = true});
    const FileTime other = record.chosen.lastWrite + kSecond;
    for (int i = 0; i < 13; ++i) {
        const std::wstring path = L"C:\\f\\" + std::to_wstring(i) + L".txt";
        record.Add(path, false).times.after = {0, 0, other};
    }
    const std::wstring report = StoredTimesReport(record);
    EXPECT_NE(report.find(L"\n9.txt: 更新 2004/4/1 9:30:02\nほか3個"), std::wstring::npos);
    EXPECT_EQ(report.find(L"10.txt"), std::wstring::npos);
    EXPECT_TRUE(report.ends_with(L"\nほか3個"));
}

// The writer reads the times on its own handle before and after: on a file
// system that keeps what it is given, the times after are the chosen ones.
TEST(RunRecord, AWholeFolderRunKeepsEachFileWithItsTimesBeforeAndAfter) {
    TempDir dir;
    FileListFake list;
    MessageBoxRecorder boxes;
    HintRecorder hint;
    for (const wchar_t* name : {L"1.txt", L"2.txt"}) {
        list.rows.push_back(dir.MakeFile(name));
        SetKnownTimes(list.rows.back());
    }
    const ReadTimes known = TimesOf(list.rows[0]);
    RunRecord record;
    RunTimestampChange(kApril, cmWholeFolder, {.lastWrite = true}, list, boxes, hint, {&record});
    const FileTime t = Local(L"2004/4/1 9:30:01");
    ASSERT_EQ(record.files.size(), 2u);
    EXPECT_EQ(record.PathOf(record.files[1]), list.rows[1]);
    EXPECT_EQ(record.files[0].times.before.lastWrite, known.lastWrite);
    EXPECT_EQ(record.files[0].times.before.lastAccess, known.lastAccess);
    EXPECT_EQ(record.files[0].times.after.lastWrite, t);
    EXPECT_EQ(record.files[0].times.after.lastAccess, known.lastAccess);
    // What was read back is what the disk holds, the kinds not chosen too.
    for (size_t i = 0; i < 2; ++i) {
        const ReadTimes disk = TimesOf(list.rows[i]);
        EXPECT_EQ(record.files[i].times.after,
                  (FileTimes{disk.creation, disk.lastAccess, disk.lastWrite}));
    }
    EXPECT_TRUE(record.CanUndo());
    EXPECT_FALSE(record.stopped);
    EXPECT_EQ(boxes.shown, (std::vector<ShownBox>{{L"2個のファイルのタイムスタンプを変更しました。",
                                                   L"結果報告", 0}}));
}

// Undo gives each file its old times back to the tick, last file first, and
// leaves alone (and names, in that order) a file changed since (its times,
// or its content copied over with the times kept), one that is gone and
// one it can't open. A file reached twice through a hard link is written
// once. A file read since (its access time moved) is restored with the
// others; one whose attributes alone changed since is restored when the
// user says yes to one question, and otherwise waits. What could not be
// opened waits for the next undo, which finishes it.
TEST(RunRecord, UndoRestoresExactTimesAndReportsWhatItLeftAlone) {
    TempDir dir;
    FileListFake list;
    MessageBoxRecorder boxes;
    HintRecorder hint;
    std::vector<FileTimes> before;
    for (const wchar_t* name : {L"a.txt", L"changed.txt", L"gone.txt", L"held.txt", L"e.txt",
                                L"copied.txt", L"attributes.txt", L"read.txt"}) {
        list.rows.push_back(dir.MakeFile(name));
        // Times with ticks below the second, as other programs leave them.
        const FileTime base = 126309519060000000ULL + before.size() * kDay + 1234567;
        before.push_back({base, base + 1111, base + 2222});
        SetTimes(list.rows.back(), before.back());
    }
    list.rows.push_back(dir.Child(L"z-link.txt"));
    ASSERT_TRUE(CreateHardLinkW(list.rows.back().c_str(), list.rows[0].c_str(), nullptr));
    RunRecord record;
    RunTimestampChange(kApril, cmWholeFolder, {.lastWrite = true, .lastAccess = true}, list, boxes,
                       hint, {&record});
    ASSERT_EQ(record.files.size(), 8u);
    EXPECT_EQ(boxes.shown.back().text, L"8個のファイルのタイムスタンプを変更しました。");
    SetTimes(list.rows[1], {0, record.chosen.lastAccess, record.chosen.lastWrite + kSecond});
    DeleteFileW(list.rows[2].c_str());
    {
        // As a copy that keeps the times does: new content, the times put back.
        UniqueFileHandle copy(CreateFileW(list.rows[5].c_str(), GENERIC_WRITE, 0, nullptr,
                                          OPEN_EXISTING, 0, nullptr));
        DWORD written = 0;
        WriteFile(copy.get(), "other content", 13, &written, nullptr);
    }
    SetTimes(list.rows[5], record.files[5].times.after);
    SetFileAttributesW(list.rows[6].c_str(), FILE_ATTRIBUTE_READONLY);
    SetFileAttributesW(list.rows[6].c_str(), FILE_ATTRIBUTE_NORMAL);
    ReadContent(list.rows[7]); // which moves its access time, the write time being as old
    ASSERT_NE(TimesOf(list.rows[7]).lastAccess, record.chosen.lastAccess);
    std::optional<WriteDenied> holder(std::in_place, list.rows[3]);
    const bool denied = holder->Denied();
    boxes.shown.clear();
    boxes.answer = false;
    UndoTimestampChange(record, boxes);
    holder.reset();
    for (size_t i : {0u, 4u, 7u}) {
        EXPECT_EQ(TimesOf(list.rows[i]).lastWrite, before[i].lastWrite) << i;
        EXPECT_EQ(TimesOf(list.rows[i]).lastAccess, before[i].lastAccess) << i;
    }
    EXPECT_EQ(TimesOf(list.rows[1]).lastWrite, record.chosen.lastWrite + kSecond);
    EXPECT_EQ(TimesOf(list.rows[5]).lastWrite, record.chosen.lastWrite);
    EXPECT_EQ(TimesOf(list.rows[6]).lastWrite, record.chosen.lastWrite);
    const ShownBox asked{L"1個のファイルは実行後に属性などが変更されています。"
                         L"それでも元に戻しますか?",
                         L"確認", MB_YESNO};
    const std::wstring leftAlone = L"\n\n次のファイルは元に戻しませんでした:"
                                   L"\ncopied.txt: 変更されています";
    const std::wstring rest = L"\ngone.txt: 見つかりません\nchanged.txt: 変更されています";
    EXPECT_EQ(boxes.shown,
              (std::vector<ShownBox>{
                  asked,
                  {denied ? L"3個のファイルのタイムスタンプを元に戻しました。"
                            L"\n残り2個のファイルは「元に戻す」(Ctrl+Z) で戻せます。" +
                                leftAlone + L"\nheld.txt: 書き込みが許可されていません" + rest
                          : L"4個のファイルのタイムスタンプを元に戻しました。"
                            L"\n残り1個のファイルは「元に戻す」(Ctrl+Z) で戻せます。" +
                                leftAlone + rest,
                   L"結果報告", 0}}));
    // Yes to the question; the held file, free again, is restored too.
    ASSERT_TRUE(record.CanUndo());
    boxes.answer = true;
    UndoTimestampChange(record, boxes);
    for (size_t i : {3u, 6u}) {
        EXPECT_EQ(TimesOf(list.rows[i]).lastWrite, before[i].lastWrite) << i;
        EXPECT_EQ(TimesOf(list.rows[i]).lastAccess, before[i].lastAccess) << i;
    }
    EXPECT_EQ(boxes.shown.back().text,
              std::to_wstring(denied ? 2 : 1) + L"個のファイルのタイムスタンプを元に戻しました。");
    EXPECT_FALSE(record.CanUndo());
    const size_t shown = boxes.shown.size();
    UndoTimestampChange(record, boxes);
    EXPECT_EQ(boxes.shown.size(), shown);

    // A time the file system refuses is named as such, and the file waits.
    RunRecord refused;
    FileListFake one;
    one.rows = {list.rows[4]};
    RunTimestampChange(kApril, cmWholeFolder, {.lastWrite = true}, one, boxes, hint, {&refused});
    refused.files[0].times.before.lastWrite = 0x8000000000000000ULL;
    UndoTimestampChange(refused, boxes);
    EXPECT_EQ(boxes.shown.back().text, L"0個のファイルのタイムスタンプを元に戻しました。"
                                       L"\n残り1個のファイルは「元に戻す」(Ctrl+Z) で戻せます。"
                                       L"\n\n次のファイルは元に戻しませんでした:"
                                       L"\ne.txt: 設定できません");
    EXPECT_TRUE(refused.CanUndo());
}

// A long run tells its progress after each file, and stops when told to:
// one thread between two files, several once the files under way are
// written. The report counts the files written on the disk, says that it
// stopped, and the run stays undoable for what it wrote; so with an undo.
TEST(RunRecord, LongRunsReportProgressAndStopWhenTold) {
    TempDir dir;
    FileListFake list;
    MessageBoxRecorder boxes;
    HintRecorder hint;
    for (int i = 0; i < 1000; ++i) {
        list.rows.push_back(dir.MakeFile(L"f" + std::to_wstring(i)));
        SetKnownTimes(list.rows.back());
    }
    const ReadTimes known = TimesOf(list.rows[0]);
    const FileTime t = Local(L"2004/4/1 9:30:01");
    auto changed = [&] {
        int count = 0;
        for (const auto& path : list.rows)
            count += TimesOf(path).lastWrite == t ? 1 : 0;
        return count;
    };
    for (unsigned threads : {1u, 4u}) {
        for (const auto& path : list.rows)
            SetKnownTimes(path);
        ProgressRecorder progress;
        RunRecord record;
        RunTimestampChange(kApril, cmWholeFolder, {.lastWrite = true}, list, boxes, hint,
                           {.record = &record, .progress = &progress, .threads = threads});
        // Each count once, in order; told again while a thread works on.
        std::vector<std::pair<int, int>> told = progress.calls;
        told.erase(std::unique(told.begin(), told.end()), told.end());
        ASSERT_EQ(told.size(), 1000u);
        for (size_t i = 0; i < told.size(); ++i)
            ASSERT_EQ(told[i], (std::pair<int, int>(static_cast<int>(i) + 1, 1000)));
        EXPECT_EQ(progress.finished, 1);

        for (const auto& path : list.rows)
            SetKnownTimes(path);
        ProgressRecorder stopping;
        stopping.stopAfter = 400;
        boxes.shown.clear();
        RunTimestampChange(kApril, cmWholeFolder, {.lastWrite = true}, list, boxes, hint,
                           {.record = &record, .progress = &stopping, .threads = threads});
        const int written = changed();
        // Besides the one that stopped it, those under way: a few per thread.
        const int under = 2 * int(threads) + 2;
        EXPECT_EQ(written, threads == 1 ? 400 : std::clamp(written, 400, 400 + under));
        EXPECT_EQ(stopping.calls.back(), (std::pair<int, int>(400, 1000)));
        EXPECT_TRUE(record.stopped);
        EXPECT_EQ(record.files.size(), size_t(written));
        EXPECT_EQ(boxes.shown, (std::vector<ShownBox>{{std::to_wstring(written) +
                                                           L"個のファイルのタイムスタンプを変更し"
                                                           L"ました。\n中止しました。",
                                                       L"結果報告", 0}}));
        EXPECT_TRUE(record.CanUndo());

        // An undo stopped part way marks what it restored; the next one does
        // the rest, to the tick, and the report says how many wait.
        ProgressRecorder stopUndo;
        stopUndo.stopAfter = 100;
        UndoTimestampChange(record, boxes, &stopUndo, threads);
        const int undone = written - changed();
        EXPECT_EQ(undone, threads == 1 ? 100 : std::clamp(undone, 100, 100 + under));
        EXPECT_EQ(boxes.shown.back().text, std::to_wstring(undone) +
                                               L"個のファイルのタイムスタンプを元に戻しました。"
                                               L"\n中止しました。\n残り" +
                                               std::to_wstring(written - undone) +
                                               L"個のファイルは「元に戻す」(Ctrl+Z) で戻せます。");
        EXPECT_EQ(TimesOf(list.rows[written - 1]).lastWrite, known.lastWrite);
        EXPECT_EQ(TimesOf(list.rows[0]).lastWrite, t);
        EXPECT_EQ(record.PendingCount(), written - undone);
        UndoTimestampChange(record, boxes, &progress, threads);
        EXPECT_EQ(boxes.shown.back().text, std::to_wstring(written - undone) +
                                               L"個のファイルのタイムスタンプを元に戻しました。");
        for (int i : {0, 299, written - undone - 1, written - 1}) {
            EXPECT_EQ(TimesOf(list.rows[i]).lastWrite, known.lastWrite) << i;
            EXPECT_EQ(TimesOf(list.rows[i]).lastAccess, known.lastAccess) << i;
        }
        EXPECT_FALSE(record.CanUndo());

        // An error mid-run (at file 600) stops it once the batches before
        // are written, on any threads: the record holds exactly the files
        // changed on the disk, and the undo gives every one back. The rule
        // reads each file, which moves its access time where the system
        // ignores the handle's hold (Wine): the files of the next batch,
        // read and not written, get theirs back too.
        struct RaisesAt : FixedTimes {
            RaisesAt(FileTime time, std::wstring_view at)
                : FixedTimes({.lastWrite = time}), path(at) {}
            std::wstring_view path;
            bool ReadsContent() const override { return true; }
            bool Decide(std::wstring_view at, const TargetState& now, const ContentReader& content,
                        FileTimes& times, std::wstring_view& why) override {
                if (at == path)
                    throw Error(L"読めません");
                std::uint8_t byte = 0;
                content(0, &byte, 1);
                return FixedTimes::Decide(at, now, content, times, why);
            }
        } raises(t, list.rows[600]);
        TargetList targets;
        for (const auto& path : list.rows)
            targets.Add(path, false);
        RunRecord broken{.kinds = {.lastWrite = true}};
        Tally tally;
        EXPECT_THROW(WriteInBatches(targets, dir.Path(), tally, {raises}, {.lastWrite = true},
                                    {.record = &broken, .threads = threads}, nullptr),
                     Error);
        EXPECT_EQ(changed(), 512);
        EXPECT_EQ(broken.files.size(), 512u);
        for (size_t i = 0; i < list.rows.size(); ++i)
            ASSERT_EQ(TimesOf(list.rows[i]).lastAccess, known.lastAccess) << i;
        UndoTimestampChange(broken, boxes, nullptr, threads);
        EXPECT_EQ(changed(), 0);
    }

    // A short run tells nothing.
    list.rows.resize(kProgressFrom);
    RunRecord record;
    ProgressRecorder silent;
    RunTimestampChange(kApril, cmWholeFolder, {.lastWrite = true}, list, boxes, hint,
                       {&record, &silent});
    EXPECT_TRUE(silent.calls.empty());
}

TEST(DateTextOf, WritesTheTimeAsTheListsWriteTheirItems) {
    EXPECT_EQ(DateTextOf(ParseDateTimeText(L"2019/7/4 13:05:09")), L"2019/7/4 13:05:09");
    EXPECT_EQ(DateTextOf(ParseDateTimeText(L"2003/12/31 0:00:00")), L"2003/12/31 0:00:00");
    for (const wchar_t* text : {L"2019/7/4 13:05:09", L"2010/1/15 23:59:59", L"1980/1/1 0:00:00"})
        EXPECT_EQ(DateTextOf(FileTimeToLocalDateTime(Local(text))), text);
}

// A journal read back as written, below its folder or elsewhere; cut at any
// byte, its complete records still count; damaged or foreign bytes are no
// journal, or end it where they begin.
TEST(RunJournal, ReadBackCutAndDamaged) {
    const std::wstring folder = L"C:\\photos";
    JournalFile inside{.path = L"C:\\photos\\a",
                       .isFolder = true,
                       .dates = {30, 30, 30},
                       .volume = 7,
                       .fileIndex = 42,
                       .before = {1, 2, 3},
                       .after = {4, 5, 6},
                       .changeAfter = 7,
                       .sizeAfter = 8};
    const JournalFile outside{
        .path = L"D:\\写真\\b.jpg", .dates = {21, 22, 23}, .before = {9, 10, 11}};
    std::string bytes = JournalRecords::Start({JournalKind::Copy, 5, 99, folder});
    // Where each record ends: header, entry, written, entry, end mark.
    std::vector<size_t> ends{bytes.size()};
    // The write found other times before than the entry holds.
    JournalFile found = inside;
    found.before[0] = 12;
    for (const std::string& record :
         {JournalRecords::Entry(0, folder, inside), JournalRecords::Written(0, found, true),
          JournalRecords::Entry(1, folder, outside), JournalRecords::End()}) {
        bytes += record;
        ends.push_back(bytes.size());
    }
    bytes += JournalRecords::Undone(1) + JournalRecords::Reported();
    const size_t header = ends[0], first = ends[2];
    auto read = [&](size_t size) {
        return ReadJournal(reinterpret_cast<const std::uint8_t*>(bytes.data()), size);
    };
    const std::optional<JournalContents> whole = read(bytes.size());
    ASSERT_TRUE(whole && whole->files.size() == 2u);
    EXPECT_TRUE(whole->header.kind == JournalKind::Copy && whole->ended && whole->reported &&
                !whole->cut);
    const JournalFile &a = whole->files[0], &b = whole->files[1];
    EXPECT_TRUE(a.path == inside.path && b.path == outside.path && a.isFolder && !b.isFolder);
    EXPECT_TRUE(a.written && !a.undone && !b.written && b.undone);
    EXPECT_TRUE(a.before[0] == 12u && a.fileIndex == 42u && a.after[2] == 6u && a.sizeAfter == 8u &&
                b.before[1] == 10u && b.fileIndex == 0u);
    // One date for all three kinds, or each its own.
    EXPECT_TRUE(a.dates[0] == 30u && a.dates[2] == 30u && b.dates[0] == 21u && b.dates[1] == 22u &&
                b.dates[2] == 23u);
    // A path below the folder is kept from there on.
    EXPECT_LT(ends[1] - header, JournalRecords::Entry(0, L"", inside).size());
    bytes.resize(bytes.size() - JournalRecords::Reported().size());
    for (size_t size = 0; size < bytes.size(); ++size) {
        const std::optional<JournalContents> cut = read(size);
        ASSERT_EQ(bool(cut), size >= header) << size;
        if (cut) {
            EXPECT_EQ(cut->ended, size >= ends[4]) << size;
            EXPECT_EQ(cut->cut, std::find(ends.begin(), ends.end(), size) == ends.end()) << size;
            EXPECT_EQ(cut->files.size(), size_t(size >= ends[1]) + (size >= ends[3])) << size;
        }
    }
    bytes[first + 6] ^= 1; // inside the second entry
    const std::optional<JournalContents> damaged = read(bytes.size());
    ASSERT_TRUE(damaged);
    EXPECT_TRUE(damaged->cut);
    EXPECT_EQ(damaged->files.size(), 1u);
    bytes[header - 6] ^= 1; // inside the header
    EXPECT_FALSE(read(bytes.size()));
}

// Journals made in a folder of their own (its missing levels made too),
// two of the same millisecond apart, read back newest first: one cut off
// as a killed run leaves it, and files that are no journal named as
// damaged.
TEST(RunJournal, FilesInTheFolderOfJournals) {
    TempDir dir;
    const std::wstring folder = dir.Child(L"Kalvera\\runs");
    const FileTime started = 134'000'000'000'000'000;
    const JournalFile file{.path = dir.Child(L"a.jpg"), .before = {1, 2, 3}};
    std::wstring older, newer;
    {
        RunJournalFile first(folder, started, JournalRecords::Start({JournalKind::Run, 4, 1}));
        first.Add(JournalRecords::Entry(0, L"", file));
        first.Send(); // and no end mark
        older = first.Path();
        RunJournalFile second(folder, started, JournalRecords::Start({JournalKind::Shift, 4, 2}));
        second.Add(JournalRecords::Entry(0, L"", file) + JournalRecords::End());
        second.Sync();
        newer = second.Path();
        EXPECT_EQ(SplitPath(older).second, L"20250818-141320-000.run");
        EXPECT_EQ(SplitPath(newer).second, L"20250818-141320-000-1.run");
    }
    dir.MakeFile(L"Kalvera\\runs\\20990101-000000-000.run", "KVJ1 random bytes");
    dir.MakeFile(L"Kalvera\\runs\\notes.txt", "not a journal's name");
    const std::vector<StoredJournal> found = ReadStoredJournals(folder, 10);
    ASSERT_EQ(found.size(), 3u);
    EXPECT_FALSE(found[0].contents);
    ASSERT_TRUE(found[1].contents && found[2].contents);
    EXPECT_EQ(found[1].path, newer);
    EXPECT_TRUE(found[1].contents->ended && !found[2].contents->ended);
    EXPECT_EQ(found[2].contents->files.size(), 1u);
    EXPECT_TRUE(JournalFolder().ends_with(L"\\Kalvera\\runs"));
}

// Runs keep their journals: a shift over a folder undone from its journal
// read back, to the tick, and marked undone there. Of a run that did not
// end, a file whose write was not marked is undone only where its times
// show the run's new time. A journal that can't be made stops a run before
// it writes; the oldest finished journals are deleted beyond the limits,
// never one that did not end or can't be read; a newer run's writes to the
// same files are found, and their state expected by the undo.
TEST(RunJournal, RunsUndoneFromTheirJournals) {
    TempDir dir;
    const std::wstring journals = dir.Child(L"runs");
    FileListFake list;
    list.folder = dir.MakeDir(L"photos");
    for (const wchar_t* name : {L"a.jpg", L"b.jpg", L"c.jpg"}) {
        list.rows.push_back(dir.MakeFile(std::wstring(L"photos\\") + name));
        SetKnownTimes(list.rows.back());
    }
    const ReadTimes known = TimesOf(list.rows[0]);
    MessageBoxRecorder boxes;
    HintRecorder hint;
    RunRecord record;
    ShiftTimestamps(3600, cmWholeFolder, {.lastWrite = true}, list, boxes, hint,
                    {.record = &record, .journals = journals});
    std::vector<StoredJournal> stored = ReadStoredJournals(journals, 10);
    ASSERT_TRUE(stored.size() == 1 && stored[0].contents);
    EXPECT_EQ(stored[0].contents->header.shift, 3600 * std::int64_t(kSecond));
    RunRecord again = RecordOfJournal(stored[0].path, *stored[0].contents);
    ASSERT_EQ(again.PendingCount(), 3);
    UndoTimestampChange(again, boxes);
    for (const std::wstring& row : list.rows)
        EXPECT_EQ(TimesOf(row).lastWrite, known.lastWrite);
    EXPECT_EQ(PendingIn(*ReadStoredJournal(stored[0].path).contents), 0);

    // Written marks lost: a's write marked, b's times moved by the shift,
    // c's as before.
    JournalHeader header = stored[0].contents->header;
    std::string bytes = JournalRecords::Start(header);
    for (std::uint32_t i = 0; i < 3; ++i) {
        JournalFile file{.path = list.rows[i],
                         .before = {known.creation, known.lastAccess, known.lastWrite}};
        bytes += JournalRecords::Entry(i, header.folder, file);
        file.after[2] = known.lastWrite + 3600 * kSecond;
        if (i == 0)
            bytes += JournalRecords::Written(i, file, false);
        if (i < 2)
            SetTimes(list.rows[i], 0, 0, file.after[2]);
    }
    const JournalContents cut =
        *ReadJournal(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
    RunRecord unfinished = RecordOfJournal(L"", cut);
    ASSERT_EQ(unfinished.files.size(), 2u);
    EXPECT_EQ(unfinished.PathOf(unfinished.files[1]), list.rows[1]);
    UndoTimestampChange(unfinished, boxes);
    EXPECT_EQ(TimesOf(list.rows[1]).lastWrite, known.lastWrite);
    // Where each file got its own date, the one its entry holds: c shows
    // it, b was moved by another program since, and an entry that holds no
    // date tells nothing.
    header.kind = JournalKind::Photo;
    header.kinds = RunningUnderWine() ? 4 : 5;
    SetTimes(list.rows[2], known.lastWrite + kDay, 0, known.lastWrite + kDay);
    SetTimes(list.rows[1], known.lastWrite + kDay, 0, known.lastWrite + 2 * kDay);
    JournalContents photo = cut;
    photo.header = header;
    photo.files[0].written = false;
    for (JournalFile& file : photo.files)
        std::fill(std::begin(file.dates), std::end(file.dates), known.lastWrite + kDay);
    RunRecord own = RecordOfJournal(L"", photo);
    ASSERT_EQ(own.files.size(), 1u);
    EXPECT_EQ(own.files.back().name, L"c.jpg");
    std::fill(std::begin(photo.files[2].dates), std::end(photo.files[2].dates), 0);
    EXPECT_TRUE(RecordOfJournal(L"", photo).files.empty());
    // The undo asks no question; the last undone the file its set reached
    // before it was cut short, which counts as undone, not as changed.
    auto undoneAlone = [&](RunRecord& run, int files) {
        boxes.shown.clear();
        UndoTimestampChange(run, boxes);
        ASSERT_EQ(boxes.shown.size(), 1u);
        EXPECT_EQ(boxes.shown[0].text,
                  std::to_wstring(files) + L"個のファイルのタイムスタンプを元に戻しました。");
    };
    SetTimes(list.rows[2], 0, 0, known.lastWrite);
    undoneAlone(own, 1);
    // A file where the folder of journals should be: nothing is written.
    const std::wstring blocked = dir.MakeFile(L"blocked") + L"\\runs";
    RunRecord none;
    const ReadTimes before = TimesOf(list.rows[0]);
    try {
        RunTimestampChange(kApril, cmWholeFolder, {.lastWrite = true}, list, boxes, hint,
                           {.record = &none, .journals = blocked});
        ADD_FAILURE() << "no error";
    } catch (const Error& e) {
        EXPECT_EQ(e.Message(), FormatMessageText(kJournalErrorText, blocked));
    }
    EXPECT_EQ(TimesOf(list.rows[0]).lastWrite, before.lastWrite);
    EXPECT_TRUE(none.files.empty());

    // A newer run over a: the undo of the older asks first, then expects a
    // as the newer left it; once the newer is undone, a is as the older left
    // it but for the change time that undo moved, taken without a question.
    // A photo run that finds no date reads the files all the same, and puts
    // back access times the system moved on that reading: that change time
    // too is the program's own.
    std::wstring newest; // journal
    for (int newer = 0; newer < 3; ++newer) {
        RunTimestampChange(kApril, cmWholeFolder, {.lastWrite = true}, list, boxes, hint,
                           {.record = &record, .journals = journals});
        list.selected = {0};
        RunRecord later;
        if (newer < 2)
            ShiftTimestamps(60, cmSelectedFile, {.lastWrite = true}, list, boxes, hint,
                            {.record = &later, .journals = journals});
        else
            MatchDateTaken(cmWholeFolder, {.lastWrite = true}, list, boxes, hint,
                           {.record = &later, .journals = journals});
        if (newer == 1)
            UndoTimestampChange(later, boxes);
        const LaterStates states = NewerWrites(journals, record);
        EXPECT_EQ(WrittenByOthers(states), newer == 0 ? 1 : 0);
        TakeLaterStates(record, states);
        undoneAlone(record, 3);
        // Undone from the record, as Ctrl+Z right after the run: its
        // journal counts every file undone.
        EXPECT_EQ(PendingIn(*ReadStoredJournal(record.journal).contents), 0);
        EXPECT_EQ(TimesOf(list.rows[0]).lastWrite, before.lastWrite);
        newest = later.journal.empty() ? record.journal : later.journal;
    }
    // A run whose last file kept its times (the creation time, where the
    // system keeps none, and an access time that was the run's already)
    // keeps its journal: the files before it moved.
    SetTimes(list.rows[2], 0, Local(L"2004/4/1 9:30:01"), 0);
    RunTimestampChange(kApril, cmWholeFolder, {.creation = true, .lastAccess = true}, list, boxes,
                       hint, {.record = &record, .journals = journals});
    EXPECT_EQ(JournalsIn(journals)[0].path, record.journal);
    newest = record.journal;

    // Limits: the oldest finished journals go, the unfinished and the
    // damaged stay whatever their age.
    const size_t runs = JournalsIn(journals).size();
    dir.MakeFile(L"runs\\19990101-000000-000.run", "KVJ1 damaged");
    dir.MakeFile(L"runs\\19990101-000000-001.run", bytes);
    ASSERT_EQ(JournalsIn(journals).size(), runs + 2);
    TrimJournals(journals, 1ull << 30, 3);
    const std::vector<JournalOnDisk> kept = JournalsIn(journals);
    ASSERT_EQ(kept.size(), 3u);
    EXPECT_EQ(kept[0].path, newest);
    EXPECT_TRUE(kept[2].path.ends_with(L"19990101-000000-000.run"));
    TrimJournals(journals, 0, 100);
    EXPECT_EQ(JournalsIn(journals).size(), 2u);
}

// A run on four threads leaves the same journal (but for the start and the
// files' change times, which the clock gives), the same record and the
// same report as on one, every time: a photo run over 700 files in three
// batches, two names of one file among them (in one batch, and in another),
// and a file gone since it was listed.
TEST(RunJournal, FourThreadsLeaveWhatOneLeaves) {
    TempDir dir;
    const std::wstring journals = dir.Child(L"runs");
    FileListFake list;
    list.folder = dir.MakeDir(L"photos");
    const std::string jpeg = JpegFile(TiffBlock(false, {}, {{0x9003, "2019:07:04 13:05:09"}}));
    for (int i = 0; i < 700; ++i)
        list.rows.push_back(dir.MakeFile(L"photos\\p" + std::to_wstring(1000 + i) + L".jpg",
                                         i % 7 ? jpeg : "no date"));
    for (size_t at : {2, 600}) {
        const std::wstring again = list.folder + L"\\again" + std::to_wstring(at) + L".jpg";
        ASSERT_TRUE(CreateHardLinkW(again.c_str(), list.rows[0].c_str(), nullptr));
        list.rows.insert(list.rows.begin() + std::ptrdiff_t(at), again);
    }
    list.rows.insert(list.rows.begin() + 300, list.folder + L"\\gone.jpg");
    MessageBoxRecorder boxes;
    HintRecorder hint;
    auto run = [&](unsigned threads) {
        for (const std::wstring& row : list.rows)
            if (GetFileAttributesW(row.c_str()) != INVALID_FILE_ATTRIBUTES)
                SetKnownTimes(row);
        boxes.shown.clear();
        RunRecord record;
        MatchDateTaken(cmWholeFolder, {.lastWrite = true}, list, boxes, hint,
                       {.record = &record, .journals = journals, .threads = threads});
        std::wostringstream seen;
        for (const ShownBox& box : boxes.shown)
            seen << box.text << L"\n";
        for (const WrittenFile& file : record.files)
            seen << record.PathOf(file) << L" " << file.entry << L" " << file.times.before.lastWrite
                 << L" " << file.times.after.lastWrite << L" " << file.dates.lastWrite << L"\n";
        const StoredJournal journal = ReadStoredJournal(record.journal);
        EXPECT_TRUE(journal.contents && journal.contents->ended);
        if (journal.contents)
            for (const JournalFile& file : journal.contents->files)
                seen << file.path << L" " << file.touchOnly << file.written << L" "
                     << file.before[1] << L" " << file.before[2] << L" " << file.dates[2] << L" "
                     << file.after[1] << L" " << file.after[2] << L" " << file.sizeAfter << L"\n";
        return seen.str();
    };
    const std::wstring one = run(1);
    EXPECT_NE(one.find(L"gone.jpg: 見つかりません"), std::wstring::npos);
    for (int i = 0; i < 20; ++i)
        ASSERT_EQ(run(4), one) << i;
}
