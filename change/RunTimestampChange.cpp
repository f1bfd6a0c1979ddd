#include "change/FileTimeWriter.h"
#include "change/TimestampCore.h"
#include "change/TreeWalk.h"
#include "win/Error.h"

#include <string>

namespace kalvera {
namespace {

// Writes one target, keeping it in the record when one is asked for. The
// record holds the file from the moment its times were read, so a file that
// a refused set left partly changed stays undoable, and the error says so.
// With ifThere, a target that is no longer there is passed over (false).
bool WriteTarget(const std::wstring& path, bool isFolder, const FileTimes& times,
                 TimestampKinds kinds, RunRecord* record, bool ifThere) {
    TimesReadBack* read = record ? &record->Add(path, isFolder).times : nullptr;
    auto dropEntry = [&] {
        if (record)
            record->files.pop_back();
    };
    try {
        if (ifThere || isFolder) {
            if (!WriteTimesIfThere(path, isFolder, times, kinds, read)) {
                dropEntry();
                if (!ifThere)
                    throw Error(FormatMessageText(kOpenErrorText, path));
                return false;
            }
        } else {
            WriteFileTimesUtc(path, times, kinds, read);
        }
    } catch (const Error& e) {
        if (!read || read->after == read->before) {
            dropEntry();
            throw;
        }
        throw Error(e.Message() + L"\n" + std::wstring(kPartlySetText));
    }
    return true;
}

// True when at least one written file read back every chosen time as chosen.
bool AnyStoredAsChosen(const RunRecord& record) {
    for (const WrittenFile& file : record.files)
        if (SameChosenTimes(record.kinds, file.times.after, record.chosen))
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

enum class EntryKind { File, Folder, Neither };

EntryKind KindOnDisk(const std::wstring& path) {
    if (IsExistingFile(path))
        return EntryKind::File;
    return IsExistingFolder(path) ? EntryKind::Folder : EntryKind::Neither;
}

void RunOnSelectedFile(const std::wstring& path, const FileTimes& times, TimestampKinds kinds,
                       MessageBoxService& messages, const RunExtras& extras) {
    const EntryKind kind = KindOnDisk(path);
    if (kind == EntryKind::Neither || (kind == EntryKind::Folder && !extras.folders)) {
        messages.Show(kMissingFileText, kErrorCaption, 0);
        return;
    }
    const bool isFolder = kind == EntryKind::Folder;
    WriteTarget(path, isFolder, times, kinds, extras.record, false);
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

std::wstring CountText(int files, int folders) {
    if (folders == 0)
        return std::to_wstring(files) + std::wstring(kCountSuffixText);
    return FormatMessageText(FormatMessageText(kFilesAndFoldersText, std::to_wstring(files)),
                             std::to_wstring(folders));
}

// Writes every target with the progress of a long run. A target gone since
// it was listed is passed over silently: the report counts only what was
// set.
void WriteTargets(const TargetList& targets, int passed, const FileTimes& times,
                  TimestampKinds kinds, MessageBoxService& messages, const RunExtras& extras) {
    const int total = static_cast<int>(targets.entries.size());
    ProgressService* progress = total > kProgressFrom ? extras.progress : nullptr;
    int files = 0, folders = 0;
    bool stopped = false;
    try {
        for (int i = 0; i < total; ++i) {
            const TargetEntry& entry = targets.entries[static_cast<size_t>(i)];
            if (WriteTarget(targets.PathOf(entry), entry.isFolder, times, kinds, extras.record,
                            true))
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
    std::wstring text = CountText(files, folders);
    if (passed > 0)
        text += L"\n" + FormatMessageText(kFoldersPassedText, std::to_wstring(passed));
    if (stopped)
        text += L"\n" + std::wstring(kStoppedText);
    messages.Show(Report(text, extras.record), kReportCaption, 0);
}

void RunOnRows(const std::vector<int>& rows, const FileTimes& times, TimestampKinds kinds,
               FileListService& files, MessageBoxService& messages, const RunExtras& extras) {
    // Every row must be a target or a folder passed over before any of them
    // is changed.
    TargetList targets;
    int passed = 0;
    if (!CollectRows(files, rows, extras.folders, targets, passed)) {
        messages.Show(kMissingAbortText, kErrorCaption, 0);
        return;
    }
    WriteTargets(targets, passed, times, kinds, messages, extras);
}

void RunOnTree(const FileTimes& times, TimestampKinds kinds, FileListService& files,
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
    WriteTargets(targets, 0, times, kinds, messages, extras);
}

} // namespace

void RunTimestampChange(const SelectorTexts& texts, int mode, TimestampKinds kinds,
                        FileListService& files, MessageBoxService& messages, HintService& hint,
                        const RunExtras& extras) {
    // The date is read first: an unreadable date stops even a run that has
    // no file to work on.
    const DateTime when = ParseDateTimeText(ComposeDateText(texts));
    if (mode != cmSelectedFile && mode != cmWholeFolder && mode != cmWholeTree)
        return;
    // The same instant goes to every chosen kind of every target.
    const FileTime utc = LocalDateTimeToFileTime(when);
    const FileTimes times{utc, utc, utc};
    if (extras.record) {
        *extras.record = RunRecord{};
        extras.record->kinds = kinds;
        extras.record->chosen = times;
    }
    if (mode == cmWholeTree) {
        RunOnTree(times, kinds, files, messages, extras);
    } else if (mode == cmWholeFolder) {
        std::vector<int> rows(static_cast<size_t>(files.Count()));
        for (size_t i = 0; i < rows.size(); ++i)
            rows[i] = static_cast<int>(i);
        RunOnRows(rows, times, kinds, files, messages, extras);
    } else if (const std::vector<int> rows = files.SelectedIndices(); rows.empty()) {
        hint.ShowHint();
    } else if (rows.size() == 1) {
        RunOnSelectedFile(files.PathOf(rows[0]), times, kinds, messages, extras);
    } else {
        RunOnRows(rows, times, kinds, files, messages, extras);
    }
}

} // namespace kalvera
