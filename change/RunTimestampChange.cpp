#include "change/DateTaken.h"
#include "change/FileTimeWriter.h"
#include "change/TimestampCore.h"
#include "change/TreeWalk.h"
#include "win/Error.h"

#include <optional>
#include <string>
#include <vector>

namespace kalvera {
namespace {

// What a change writes, and the words of its report.
struct Change {
    FileTimes fixed;                           // the Run command's one time for every target
    TimesRule* rule = nullptr;                 // otherwise each target's own, decided by it
    std::wstring_view done = kCountSuffixText; // after the count of files
    std::wstring_view doneWithFolders = kFilesAndFoldersText; // with folders among them
};

enum class Outcome { Written, Gone, Declined };

// Writes one target, keeping it in the record when one is asked for. The
// record holds the file from the moment its times were read, so a file that
// a refused set left partly changed stays undoable, and the error says so.
// With ifThere, a target that is no longer there is passed over (Gone); a
// target the change's rule declines is named in declined.
Outcome WriteTarget(const std::wstring& path, bool isFolder, const Change& change,
                    TimestampKinds kinds, RunRecord* record, bool ifThere,
                    std::vector<std::wstring>& declined) {
    WrittenFile* entry = record ? &record->Add(path, isFolder) : nullptr;
    TimesReadBack own;
    TimesReadBack* read = entry ? &entry->times : change.rule ? &own : nullptr;
    auto dropEntry = [&] {
        if (record)
            record->files.pop_back();
    };
    auto gone = [&] {
        dropEntry();
        if (!ifThere)
            throw Error(FormatMessageText(kOpenErrorText, path));
        return Outcome::Gone;
    };
    try {
        if (change.rule) {
            FileTimes times;
            std::wstring_view why;
            switch (WriteTimesByRule(path, isFolder, *change.rule, kinds, *read, times, why)) {
            case RuleOutcome::Missing:
                return gone();
            case RuleOutcome::Declined:
                dropEntry();
                declined.push_back(std::wstring(SplitPath(path).second) + L": " +
                                   std::wstring(why));
                return Outcome::Declined;
            case RuleOutcome::Written:
                if (entry)
                    entry->date = times.lastWrite;
                break;
            }
        } else if (ifThere || isFolder) {
            if (!WriteTimesIfThere(path, isFolder, change.fixed, kinds, read))
                return gone();
        } else {
            WriteFileTimesUtc(path, change.fixed, kinds, read);
        }
    } catch (const Error& e) {
        if (!entry || read->after == read->before) {
            dropEntry();
            throw;
        }
        throw Error(e.Message() + L"\n" + std::wstring(kPartlySetText));
    }
    return Outcome::Written;
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

void RunOnSelectedFile(const std::wstring& path, const Change& change, TimestampKinds kinds,
                       MessageBoxService& messages, const RunExtras& extras) {
    const EntryKind kind = KindOnDisk(path);
    if (kind == EntryKind::Neither || (kind == EntryKind::Folder && !extras.folders)) {
        messages.Show(kMissingFileText, kErrorCaption, 0);
        return;
    }
    const bool isFolder = kind == EntryKind::Folder;
    std::vector<std::wstring> declined;
    WriteTarget(path, isFolder, change, kinds, extras.record, false, declined);
    messages.Show(Report(std::wstring(isFolder ? kFolderChangedText : kChangedText), extras.record),
                  kReportCaption, 0);
}

// The rows to change, each a file, or a folder when folders are targets.
// A folder that is not a target is counted in passed; any other row, or a
// folder outside the file system when folders are targets, refuses the run.
bool CollectRows(FileListService& files, const std::vector<int>& rows, bool folders,
                 TargetList& targets, int& passed) {
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
                ++passed;
            break;
        case EntryKind::Neither:
            if (folders || !files.IsFolderItem(row))
                return false;
            ++passed;
            break;
        }
    }
    return true;
}

std::wstring CountText(const Change& change, int files, int folders) {
    if (folders == 0)
        return std::to_wstring(files) + std::wstring(change.done);
    return FormatMessageText(FormatMessageText(change.doneWithFolders, std::to_wstring(files)),
                             std::to_wstring(folders));
}

// Writes every target with the progress of a long run. A target gone since
// it was listed is passed over silently: the report counts only what was
// set.
void WriteTargets(const TargetList& targets, int passed, const Change& change, TimestampKinds kinds,
                  MessageBoxService& messages, const RunExtras& extras) {
    const int total = static_cast<int>(targets.entries.size());
    ProgressService* progress = total > kProgressFrom ? extras.progress : nullptr;
    int files = 0, folders = 0;
    bool stopped = false;
    std::vector<std::wstring> declined;
    try {
        for (int i = 0; i < total; ++i) {
            const TargetEntry& entry = targets.entries[static_cast<size_t>(i)];
            if (WriteTarget(targets.PathOf(entry), entry.isFolder, change, kinds, extras.record,
                            true, declined) == Outcome::Written)
                ++(entry.isFolder ? folders : files);
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
        const size_t changed = extras.record ? extras.record->files.size() : files + folders;
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
    std::wstring text = CountText(change, files, folders);
    if (passed > 0)
        text += L"\n" + FormatMessageText(kFoldersPassedText, std::to_wstring(passed));
    if (stopped)
        text += L"\n" + std::wstring(kStoppedText);
    messages.Show(Report(text, extras.record) + ListingReport(kNotWrittenText, declined),
                  kReportCaption, 0);
}

void RunOnRows(const std::vector<int>& rows, const Change& change, TimestampKinds kinds,
               FileListService& files, MessageBoxService& messages, const RunExtras& extras) {
    // Every row must be a target or a folder passed over before any of them
    // is changed.
    TargetList targets;
    int passed = 0;
    if (!CollectRows(files, rows, extras.folders, targets, passed)) {
        messages.Show(rows.size() == 1 ? kMissingFileText : kMissingAbortText, kErrorCaption, 0);
        return;
    }
    WriteTargets(targets, passed, change, kinds, messages, extras);
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
    const TreeReadOutcome read =
        ReadTree(root, extras.folders, targets, unreadable,
                 [progress](size_t found) { return !progress || progress->Reading(int(found)); });
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
    WriteTargets(targets, 0, change, kinds, messages, extras);
}

// The targets of the mode, each given the change.
void ChangeTargets(const Change& change, int mode, TimestampKinds kinds, FileListService& files,
                   MessageBoxService& messages, HintService& hint, const RunExtras& extras) {
    if (mode == cmWholeTree) {
        RunOnTree(change, kinds, files, messages, extras);
    } else if (mode == cmWholeFolder) {
        std::vector<int> rows(static_cast<size_t>(files.Count()));
        for (size_t i = 0; i < rows.size(); ++i)
            rows[i] = static_cast<int>(i);
        RunOnRows(rows, change, kinds, files, messages, extras);
    } else if (const std::vector<int> rows = files.SelectedIndices(); rows.empty()) {
        hint.ShowHint();
    } else if (rows.size() == 1 && !change.rule) {
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

    bool Decide(const FileTimes& now, const ContentReader&, FileTimes& times,
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

// The date each file's photo was taken; the read buffer serves every file.
class DateTakenRule : public TimesRule {
public:
    bool Decide(const FileTimes&, const ContentReader& content, FileTimes& times,
                std::wstring_view& why) override {
        const std::optional<FileTime> taken = ReadDateTaken(content, buffer_, local_);
        if (!taken) {
            why = kNoDateTakenText;
            return false;
        }
        times = {*taken, *taken, *taken};
        return true;
    }

private:
    std::vector<std::uint8_t> buffer_;
    LocalTimeConverter local_;
};

} // namespace

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
    Change change;
    change.fixed = {utc, utc, utc};
    if (RunRecord* record = FreshRecord(extras, kinds))
        record->chosen = change.fixed;
    ChangeTargets(change, mode, kinds, files, messages, hint, extras);
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
    ChangeTargets({{}, &rule, kShiftedText, kShiftedWithFoldersText}, mode, kinds, files, messages,
                  hint, extras);
}

void MatchDateTaken(int mode, TimestampKinds kinds, FileListService& files,
                    MessageBoxService& messages, HintService& hint, const RunExtras& extras) {
    if (!IsMode(mode))
        return;
    DateTakenRule rule;
    if (RunRecord* record = FreshRecord(extras, kinds))
        record->ownDates = true;
    RunExtras noFolders = extras;
    noFolders.folders = false;
    ChangeTargets({{}, &rule, kMatchedText, kFilesAndFoldersText}, mode, kinds, files, messages,
                  hint, noFolders);
}

} // namespace kalvera
