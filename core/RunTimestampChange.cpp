#include "core/FileDates.h"
#include "core/FileTimeWriter.h"
#include "core/RunTimestampChange.h"
#include "core/TreeWalk.h"
#include "win/Error.h"
#include "win/Path.h"

#include <optional>
#include <string>
#include <vector>

namespace kalvera {
namespace {

// What a change writes, and the words of its report.
struct Change {
    TimesRule& rule;                                          // each target's times
    std::wstring_view done = kCountSuffixText;                // after the count of files
    std::wstring_view doneWithFolders = kFilesAndFoldersText; // with folders among them
    bool oneFileReport = false; // one selected file reported as the Run command does
};

// What became of the targets of a run, for its report.
struct Tally {
    int files = 0, folders = 0;
    int foldersPassed = 0, links = 0;
    std::vector<std::wstring> notWritten; // "name: why"
    void NotWritten(std::wstring_view path, std::wstring_view why) {
        notWritten.push_back(std::wstring(SplitPath(path).second) + L": " + std::wstring(why));
    }
};

// Writes one target, keeping it in the record when one is asked for, and
// counts it. The record holds the file from the moment its times were
// read, so a file that a refused set left partly changed stays undoable,
// and the error says so.
void WriteTarget(TargetWriter& writer, const std::wstring& path, bool isFolder, RunRecord* record,
                 Tally& tally) {
    WrittenFile* entry = record ? &record->Add(path, isFolder) : nullptr;
    TimesReadBack own;
    TimesReadBack& read = entry ? entry->times : own;
    auto dropEntry = [&] {
        if (record)
            record->files.pop_back();
    };
    FileTimes times;
    std::wstring_view why;
    WriteOutcome outcome;
    try {
        outcome = writer.Write(path, isFolder, read, times, why);
    } catch (const Error& e) {
        if (!entry || read.after == read.before) {
            dropEntry();
            throw;
        }
        throw Error(e.Message() + L"\n" + std::wstring(kPartlySetText));
    }
    if (outcome != WriteOutcome::Written)
        dropEntry();
    switch (outcome) {
    case WriteOutcome::Written:
        if (entry)
            entry->date = times.lastWrite;
        ++(isFolder ? tally.folders : tally.files);
        break;
    case WriteOutcome::Missing:
        tally.NotWritten(path, kGoneText);
        break;
    case WriteOutcome::Declined:
        tally.NotWritten(path, why);
        break;
    case WriteOutcome::Link:
        ++tally.links;
        break;
    case WriteOutcome::SameFile: // counted once, under its first name
        break;
    }
}

// True when at least one written file read back every chosen time as chosen.
bool AnyStoredAsChosen(const RunRecord& record) {
    for (const WrittenFile& file : record.files)
        if (SameChosenTimes(record.kinds, file.times.after, record.WantedOf(file)))
            return true;
    return false;
}

// The report's headline, then the read-back list. Where files were written
// but not one of them kept the chosen times, the headline says so instead of
// claiming a change.
std::wstring Report(std::wstring headline, const RunRecord* record) {
    if (!record)
        return headline;
    if (!record->files.empty() && !AnyStoredAsChosen(*record))
        headline = std::wstring(kNothingStoredText);
    return headline + StoredTimesReport(*record);
}

std::wstring CountText(const Change& change, const Tally& tally) {
    if (tally.folders == 0)
        return std::to_wstring(tally.files) + std::wstring(change.done);
    return FormatMessageText(
        FormatMessageText(change.doneWithFolders, std::to_wstring(tally.files)),
        std::to_wstring(tally.folders));
}

// The lines after the count: what was passed over and why.
std::wstring PassedText(const Tally& tally) {
    std::wstring text;
    if (tally.foldersPassed > 0)
        text += L"\n" + FormatMessageText(kFoldersPassedText, std::to_wstring(tally.foldersPassed));
    if (tally.links > 0)
        text += L"\n" + FormatMessageText(kLinksPassedText, std::to_wstring(tally.links));
    return text;
}

void RunOnSelectedFile(const std::wstring& path, const Change& change, TimestampKinds kinds,
                       MessageBoxService& messages, const RunExtras& extras) {
    const EntryKind kind = KindOnDisk(path);
    if (kind == EntryKind::Neither || (kind == EntryKind::Folder && !extras.folders)) {
        messages.Show(kMissingFileText, kErrorCaption, 0);
        return;
    }
    Tally tally;
    if (kind == EntryKind::Link) {
        tally.links = 1;
    } else {
        TargetWriter writer(change.rule, kinds);
        WriteTarget(writer, path, kind == EntryKind::Folder, extras.record, tally);
        if (!tally.notWritten.empty()) // gone since it was looked at
            throw Error(FormatMessageText(kOpenErrorText, path));
    }
    if (tally.links > 0) {
        messages.Show(PassedText(tally).substr(1), kReportCaption, 0);
        return;
    }
    messages.Show(
        Report(std::wstring(tally.folders ? kFolderChangedText : kChangedText), extras.record),
        kReportCaption, 0);
}

// The rows to change, each a file, or a folder when folders are targets.
// A folder that is not a target, and a link, are counted as passed over; a
// file gone since it was listed is named; any other row, or a folder
// outside the file system when folders are targets, refuses the run.
bool CollectRows(FileListService& files, const std::vector<int>& rows, bool folders,
                 TargetList& targets, Tally& tally) {
    for (int row : rows) {
        const std::wstring path = files.PathOf(row);
        switch (KindOnDisk(path)) {
        case EntryKind::File:
            targets.Add(path, false);
            break;
        case EntryKind::Folder:
            if (folders)
                targets.Add(path, true);
            else
                ++tally.foldersPassed;
            break;
        case EntryKind::Link:
            ++tally.links;
            break;
        case EntryKind::Neither:
            if (IsFullyQualifiedPath(path))
                tally.NotWritten(path, kGoneText);
            else if (folders || !files.IsFolderItem(row))
                return false;
            else
                ++tally.foldersPassed;
            break;
        }
    }
    return true;
}

// Writes every target with the progress of a long run.
void WriteTargets(const TargetList& targets, Tally tally, const Change& change,
                  TimestampKinds kinds, MessageBoxService& messages, const RunExtras& extras) {
    const int total = static_cast<int>(targets.entries.size());
    ProgressService* progress = total > kProgressFrom ? extras.progress : nullptr;
    bool stopped = false;
    TargetWriter writer(change.rule, kinds);
    try {
        for (int i = 0; i < total; ++i) {
            const TargetEntry& entry = targets.entries[static_cast<size_t>(i)];
            WriteTarget(writer, targets.PathOf(entry), entry.isFolder, extras.record, tally);
            if (progress && !progress->Continue(i + 1, total) && i + 1 < total) {
                stopped = true;
                break;
            }
        }
    } catch (const Error& e) {
        if (progress)
            progress->Finished();
        // The files changed before the error stay changed: the error says
        // how many, and that the undo gives them back.
        const size_t changed = extras.record ? extras.record->files.size()
                                             : static_cast<size_t>(tally.files + tally.folders);
        if (changed == 0)
            throw;
        throw Error(e.Message() + L"\n" +
                    FormatMessageText(kChangedBeforeErrorText, std::to_wstring(changed)) + L"\n" +
                    std::wstring(kUndoHintText));
    } catch (...) {
        if (progress)
            progress->Finished();
        throw;
    }
    if (progress)
        progress->Finished();
    if (extras.record)
        extras.record->stopped = stopped;
    std::wstring text = CountText(change, tally) + PassedText(tally);
    if (stopped)
        text += L"\n" + std::wstring(kStoppedText);
    messages.Show(Report(text, extras.record) + ListingReport(kNotWrittenText, tally.notWritten),
                  kReportCaption, 0);
}

void RunOnRows(const std::vector<int>& rows, const Change& change, TimestampKinds kinds,
               FileListService& files, MessageBoxService& messages, const RunExtras& extras) {
    // Every row must be a target or passed over before any of them is
    // changed.
    TargetList targets;
    Tally tally;
    if (!CollectRows(files, rows, extras.folders, targets, tally)) {
        messages.Show(rows.size() == 1 ? kMissingFileText : kMissingAbortText, kErrorCaption, 0);
        return;
    }
    WriteTargets(targets, std::move(tally), change, kinds, messages, extras);
}

void RunOnTree(const Change& change, TimestampKinds kinds, FileListService& files,
               MessageBoxService& messages, const RunExtras& extras) {
    const std::wstring root = files.FolderPath();
    if (root.empty()) {
        messages.Show(kNoTreeHereText, kErrorCaption, 0);
        return;
    }
    // The whole tree is read before the first write: a folder that can't
    // be read, or a stop, leaves every file as it was.
    TargetList targets;
    std::wstring unreadable;
    ProgressService* progress = extras.progress;
    Tally tally;
    const TreeReadOutcome read = ReadTree(
        root, extras.folders, targets, unreadable,
        [progress](size_t found) { return !progress || progress->Reading(int(found)); },
        &tally.links);
    if (progress)
        progress->Finished();
    if (read == TreeReadOutcome::Unreadable) {
        messages.Show(FormatMessageText(kUnreadableFolderText, unreadable), kErrorCaption, 0);
        return;
    }
    if (read == TreeReadOutcome::Stopped) {
        messages.Show(kStoppedText, kReportCaption, 0);
        return;
    }
    WriteTargets(targets, std::move(tally), change, kinds, messages, extras);
}

// The targets of the mode, each given the change.
void ChangeTargets(const Change& change, int mode, TimestampKinds kinds, FileListService& files,
                   MessageBoxService& messages, HintService& hint, const RunExtras& extras) {
    if (!TargetsAtHand(mode, files, messages, hint))
        return;
    if (mode == cmWholeTree) {
        RunOnTree(change, kinds, files, messages, extras);
    } else if (mode == cmWholeFolder) {
        std::vector<int> rows(static_cast<size_t>(files.Count()));
        for (size_t i = 0; i < rows.size(); ++i)
            rows[i] = static_cast<int>(i);
        RunOnRows(rows, change, kinds, files, messages, extras);
    } else if (const std::vector<int> rows = files.SelectedIndices();
               rows.size() == 1 && change.oneFileReport) {
        RunOnSelectedFile(files.PathOf(rows[0]), change, kinds, messages, extras);
    } else {
        RunOnRows(rows, change, kinds, files, messages, extras);
    }
}

bool IsMode(int mode) {
    return mode == cmSelectedFile || mode == cmWholeFolder || mode == cmWholeTree;
}

RunRecord* FreshRecord(const RunExtras& extras, TimestampKinds kinds) {
    if (extras.record) {
        *extras.record = RunRecord{};
        extras.record->kinds = kinds;
    }
    return extras.record;
}

class ShiftRule : public TimesRule {
public:
    ShiftRule(std::int64_t ticks, TimestampKinds kinds, TimeRange range)
        : ticks_(ticks), kinds_(kinds), range_(range) {}

    bool Decide(std::wstring_view, const FileTimes& now, const ContentReader&, FileTimes& times,
                std::wstring_view& why) override {
        times = now;
        if (ShiftChosenTimes(times, ticks_, kinds_, range_))
            return true;
        why = kCantKeepShiftText;
        return false;
    }

private:
    std::int64_t ticks_;
    TimestampKinds kinds_;
    TimeRange range_;
};

// The date each file's bytes give: a photo taken, a video recorded.
class DateTakenRule : public TimesRule {
public:
    bool ReadsContent() const override { return true; }
    bool Decide(std::wstring_view, const FileTimes&, const ContentReader& content, FileTimes& times,
                std::wstring_view& why) override {
        return Found(ReadDateTaken(content, local_), kNoDateTakenText, times, why);
    }

protected:
    static bool Found(std::optional<FileTime> date, std::wstring_view none, FileTimes& times,
                      std::wstring_view& why) {
        if (!date) {
            why = none;
            return false;
        }
        times = {*date, *date, *date};
        return true;
    }
    LocalTimeConverter local_;
};

// The date each file's name gives.
class NameDateRule : public DateTakenRule {
public:
    bool ReadsContent() const override { return false; }
    bool Decide(std::wstring_view path, const FileTimes&, const ContentReader&, FileTimes& times,
                std::wstring_view& why) override {
        return Found(DateOfName(path, local_), kNoNameDateText, times, why);
    }
};

// A run that sets each file's own date: folders are passed over.
void MatchOwnDates(TimesRule& rule, std::wstring_view done, int mode, TimestampKinds kinds,
                   FileListService& files, MessageBoxService& messages, HintService& hint,
                   const RunExtras& extras) {
    if (!IsMode(mode))
        return;
    if (RunRecord* record = FreshRecord(extras, kinds))
        record->ownDates = true;
    RunExtras noFolders = extras;
    noFolders.folders = false;
    ChangeTargets({rule, done, kFilesAndFoldersText}, mode, kinds, files, messages, hint,
                  noFolders);
}

} // namespace

bool TargetsAtHand(int mode, FileListService& files, MessageBoxService& messages,
                   HintService& hint) {
    // A tree is read from the disk; the other modes take the list's rows,
    // which are not all there while a large folder is read.
    if (mode != cmWholeTree && files.Loading()) {
        messages.Show(kStillLoadingText, kErrorCaption, 0);
        return false;
    }
    if (mode == cmSelectedFile && files.SelectedIndices().empty()) {
        hint.ShowHint();
        return false;
    }
    return true;
}

void RunTimestampChange(const SelectorTexts& texts, int mode, TimestampKinds kinds,
                        FileListService& files, MessageBoxService& messages, HintService& hint,
                        const RunExtras& extras) {
    // The date is read first: an unreadable date stops even a run that has
    // no file to work on.
    const DateTime when = ParseDateTimeText(ComposeDateText(texts));
    if (!IsMode(mode))
        return;
    // The same instant goes to every chosen kind of every target.
    const FileTime utc = LocalDateTimeToFileTime(when);
    FixedTimes rule({utc, utc, utc});
    if (RunRecord* record = FreshRecord(extras, kinds))
        record->chosen = {utc, utc, utc};
    ChangeTargets({rule, kCountSuffixText, kFilesAndFoldersText, true}, mode, kinds, files,
                  messages, hint, extras);
}

void ShiftTimestamps(std::int64_t seconds, int mode, TimestampKinds kinds, FileListService& files,
                     MessageBoxService& messages, HintService& hint, const RunExtras& extras) {
    if (!IsMode(mode))
        return;
    const std::int64_t ticks = seconds * 10'000'000;
    // The targets are all on the volume of the folder shown: a tree run
    // does not follow links to others.
    ShiftRule rule(ticks, kinds, VolumeTimeRange(files.FolderPath()));
    if (RunRecord* record = FreshRecord(extras, kinds))
        record->shift = ticks;
    ChangeTargets({rule, kShiftedText, kShiftedWithFoldersText}, mode, kinds, files, messages, hint,
                  extras);
}

void MatchDateTaken(int mode, TimestampKinds kinds, FileListService& files,
                    MessageBoxService& messages, HintService& hint, const RunExtras& extras) {
    DateTakenRule rule;
    MatchOwnDates(rule, kMatchedText, mode, kinds, files, messages, hint, extras);
}

void MatchNameDate(int mode, TimestampKinds kinds, FileListService& files,
                   MessageBoxService& messages, HintService& hint, const RunExtras& extras) {
    NameDateRule rule;
    MatchOwnDates(rule, kNamedText, mode, kinds, files, messages, hint, extras);
}

} // namespace kalvera
