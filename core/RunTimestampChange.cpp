#include "core/FileDates.h"
#include "core/FileTimeWriter.h"
#include "core/FolderContents.h"
#include "core/NamePatterns.h"
#include "core/OtherFolder.h"
#include "core/SidecarDates.h"
#include "core/RunLoop.h"
#include "core/RunPlan.h"
#include "core/RunTimestampChange.h"
#include "core/TreeWalk.h"
#include "win/Error.h"
#include "win/FolderEntries.h"
#include "win/Path.h"

#include <algorithm>
#include <unordered_set>
#include <optional>
#include <string>
#include <vector>

namespace kalvera {
namespace {

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
std::wstring Report(std::wstring headline, const RunRecord* record, ReportLists& lists) {
    if (!record)
        return headline;
    if (!record->files.empty() && !AnyStoredAsChosen(*record))
        headline = std::wstring(kNothingStoredText);
    return headline + StoredTimesReport(*record, lists);
}

std::wstring CountText(const Change& change, const Tally& tally) {
    if (change.foldersOnly)
        return std::to_wstring(tally.folders) + std::wstring(change.done);
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
    if (tally.hidden > 0)
        text += L"\n" + FormatMessageText(kHiddenPassedText, std::to_wstring(tally.hidden));
    if (tally.sidecars > 0)
        text += L"\n" + FormatMessageText(kSidecarsPassedText, std::to_wstring(tally.sidecars));
    if (tally.namesPassed > 0)
        text += L"\n" + FormatMessageText(kNamesPassedText, std::to_wstring(tally.namesPassed));
    return text;
}

void RunOnSelectedFile(const std::wstring& path, const Change& change, TimestampKinds kinds,
                       MessageBoxService& messages, const RunExtras& extras) {
    FileTimes listed;
    const EntryKind kind = KindOnDisk(path, &listed);
    if (kind == EntryKind::Neither || (kind == EntryKind::Folder && !extras.folders)) {
        messages.Show(kMissingFileText, kErrorCaption, 0);
        return;
    }
    Tally tally;
    if (kind == EntryKind::Link) {
        tally.links = 1;
    } else {
        TargetList target;
        target.Add(path, kind == EntryKind::Folder, listed);
        WriteInBatches(target, SplitPath(path).first, tally, change, kinds, extras, nullptr);
    }
    if (tally.links > 0) {
        messages.Show(PassedText(tally).substr(1), kReportCaption, 0);
        return;
    }
    // The Run command's one file: what keeps it from being written is
    // its error.
    if (!tally.notWritten.empty() && tally.notWritten[0].reason != kAlreadyText) {
        const std::wstring& why = tally.notWritten[0].reason;
        if (why == kCantReadText)
            throw Error(FormatMessageText(kReadErrorText, path));
        if (why != kSetRefusedText)
            throw Error(FormatMessageText(kOpenErrorText, path));
        const bool partly = extras.record && !extras.record->files.empty();
        throw Error(FormatMessageText(kSetErrorText, path) +
                    (partly ? L"\n" + std::wstring(kPartlySetText) : std::wstring()));
    }
    ReportLists lists;
    messages.Show(
        Report(std::wstring(kind == EntryKind::Folder ? kFolderChangedText : kChangedText),
               extras.record, lists),
        kReportCaption, 0);
}

// The rows to change, each a file whose name the patterns take, or a
// folder when folders are targets (only folders for a run over folders).
// A folder that is not a target, and a link, are counted as passed over; a
// file gone since it was listed is named; any other row, or a folder
// outside the file system when folders are targets, refuses the run.
bool CollectRows(FileListService& files, const std::vector<int>& rows, bool folders,
                 const Change& change, const NamePatterns& names, TargetList& targets,
                 Tally& tally) {
    for (int row : rows) {
        const std::wstring path = files.PathOf(row);
        FileTimes listed;
        switch (KindOnDisk(path, &listed)) {
        case EntryKind::File: {
            if (change.foldersOnly)
                break;
            const std::wstring_view name = SplitPath(path).second;
            if (change.passSidecars && IsSidecarName(name))
                ++tally.sidecars;
            else if (names.Matches(name))
                targets.Add(path, false, listed);
            else
                ++tally.namesPassed;
            break;
        }
        case EntryKind::Folder:
            if (folders)
                targets.Add(path, true, listed);
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

// Writes every target with the progress of a long run. Over more than one
// target, with a preview asked for, what the run will write is shown
// first; then it writes exactly that, or nothing.
void WriteTargets(const TargetList& targets, std::wstring_view folder, Tally tally,
                  const Change& change, TimestampKinds kinds, MessageBoxService& messages,
                  const RunExtras& extras) {
    const size_t total = targets.entries.size();
    std::optional<RunPlan> plan;
    // A command line's preview is its whole answer, one target or many.
    if (extras.preview && (total > 1 || extras.paths)) {
        plan.emplace(targets, change.rule, kinds, change.foldersOnly, extras.threads);
        if (!extras.preview->Confirm(*plan) || !plan->Done())
            return;
    }
    ProgressService* progress = total > size_t(kProgressFrom) ? extras.progress : nullptr;
    bool stopped = false;
    try {
        stopped =
            WriteInBatches(targets, folder, tally, change, kinds, extras, plan ? &*plan : nullptr);
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
    ReportLists lists;
    lists.folder = folder;
    text = Report(text, extras.record, lists);
    text += lists.Listing(kNotWrittenText, tally.notWritten);
    lists.Show(messages, text, kReportCaption);
}

// wholeFolder: the rows are every one the list shows, which leaves the
// folder's hidden entries out; the report counts them.
void RunOnRows(const std::vector<int>& rows, bool wholeFolder, const Change& change,
               const NamePatterns& names, TimestampKinds kinds, FileListService& files,
               MessageBoxService& messages, const RunExtras& extras) {
    // Every row must be a target or passed over before any of them is
    // changed.
    TargetList targets;
    Tally tally;
    if (wholeFolder && !files.FolderPath().empty())
        tally.hidden = HiddenEntriesIn(files.FolderPath());
    if (!CollectRows(files, rows, extras.folders || change.foldersOnly, change, names, targets,
                     tally)) {
        messages.Show(rows.size() == 1 ? kMissingFileText : kMissingAbortText, kErrorCaption, 0);
        return;
    }
    WriteTargets(targets, files.FolderPath(), std::move(tally), change, kinds, messages, extras);
}

// The entries of a tree that are targets: files whose names the patterns
// take, and folders when they are targets; for a run over folders, its
// folders alone, the deepest first.
void KeepTargets(TargetList& targets, const Change& change, const NamePatterns& names,
                 Tally& tally) {
    std::erase_if(targets.entries, [&](const TargetEntry& entry) {
        if (entry.isFolder)
            return false;
        if (change.foldersOnly)
            return true;
        if (change.passSidecars && IsSidecarName(entry.name))
            return ++tally.sidecars, true;
        const bool passed = !names.Matches(entry.name);
        tally.namesPassed += passed;
        return passed;
    });
    if (!change.foldersOnly)
        return;
    std::vector<size_t> depth(targets.folders.size());
    for (size_t i = 0; i < depth.size(); ++i)
        depth[i] = size_t(std::count(targets.folders[i].begin(), targets.folders[i].end(), L'\\'));
    std::stable_sort(targets.entries.begin(), targets.entries.end(),
                     [&](const TargetEntry& a, const TargetEntry& b) {
                         return depth[a.folder] > depth[b.folder];
                     });
}

void RunOnTree(const Change& change, const NamePatterns& names, TimestampKinds kinds,
               FileListService& files, MessageBoxService& messages, const RunExtras& extras) {
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
        root, extras.folders || change.foldersOnly, targets, unreadable,
        [progress](size_t found) { return !progress || progress->Reading(int(found)); },
        &tally.links, &tally.hidden, extras.threads);
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
    KeepTargets(targets, change, names, tally);
    WriteTargets(targets, root, std::move(tally), change, kinds, messages, extras);
}

// The targets a command line names: each file, each folder's entries as
// the folder mode takes them (hidden ones and links counted, folders where
// they are targets), or every file below it as the tree mode reads it. One
// run over them all: one journal, one report. A folder that can't be read
// refuses the run before anything is written.
void RunOnPaths(const Change& change, const NamePatterns& names, TimestampKinds kinds,
                std::wstring_view shown, MessageBoxService& messages, const RunExtras& extras) {
    const bool folders = extras.folders || change.foldersOnly;
    TargetList targets;
    Tally tally;
    // A file named twice (itself and in its folder, or in two trees) is
    // one target.
    std::unordered_set<std::wstring> taken;
    auto add = [&](const std::wstring& path, bool folder, const FileTimes& listed) {
        std::wstring key = path;
        CharLowerBuffW(key.data(), DWORD(key.size()));
        if (taken.insert(std::move(key)).second)
            targets.Add(path, folder, listed);
    };
    auto refuse = [&](std::wstring_view folder) {
        messages.Show(FormatMessageText(kUnreadableFolderText, folder), kErrorCaption, 0);
    };
    for (const std::wstring& path : *extras.paths) {
        FileTimes listed;
        switch (KindOnDisk(path, &listed)) {
        case EntryKind::File:
            add(path, false, listed);
            break;
        case EntryKind::Link:
            ++tally.links;
            break;
        case EntryKind::Neither:
            tally.NotWritten(path, kGoneText);
            break;
        case EntryKind::Folder:
            if (extras.subfolders) {
                TargetList tree;
                std::wstring unreadable;
                ProgressService* progress = extras.progress;
                const TreeReadOutcome read = ReadTree(
                    path, folders, tree, unreadable,
                    [progress](size_t found) { return !progress || progress->Reading(int(found)); },
                    &tally.links, &tally.hidden, extras.threads);
                if (read == TreeReadOutcome::Unreadable)
                    return refuse(unreadable);
                if (read == TreeReadOutcome::Stopped)
                    return messages.Show(kStoppedText, kReportCaption, 0);
                for (const TargetEntry& entry : tree.entries)
                    add(tree.PathOf(entry), entry.isFolder, entry.listed);
                break;
            }
            if (!EachFolderEntry(path, [&](const WIN32_FIND_DATAW& data) {
                    const DWORD attributes = data.dwFileAttributes;
                    const bool folder = attributes & FILE_ATTRIBUTE_DIRECTORY;
                    if (attributes & FILE_ATTRIBUTE_HIDDEN)
                        ++tally.hidden;
                    else if (attributes & FILE_ATTRIBUTE_REPARSE_POINT)
                        ++tally.links;
                    else if (!folder || folders)
                        add(JoinPath(path, data.cFileName), folder,
                            {FromFileTime(data.ftCreationTime), FromFileTime(data.ftLastAccessTime),
                             FromFileTime(data.ftLastWriteTime)});
                    else
                        ++tally.foldersPassed;
                }))
                return refuse(path);
            break;
        }
    }
    KeepTargets(targets, change, names, tally);
    WriteTargets(targets, shown, std::move(tally), change, kinds, messages, extras);
}

// The targets of the mode, each given the change. Patterns that no file
// name could match refuse the run before anything is read.
void ChangeTargets(const Change& change, int mode, TimestampKinds kinds, FileListService& files,
                   MessageBoxService& messages, HintService& hint, const RunExtras& extras) {
    const NamePatterns names(mode == cmSelectedFile && !extras.paths ? std::wstring_view()
                                                                     : extras.patterns);
    if (!names.Invalid().empty()) {
        messages.Show(FormatMessageText(kBadPatternText, names.Invalid()), kErrorCaption, 0);
        return;
    }
    if (extras.paths)
        return RunOnPaths(change, names, kinds, files.FolderPath(), messages, extras);
    if (!TargetsAtHand(mode, files, messages, hint))
        return;
    if (mode == cmWholeTree) {
        RunOnTree(change, names, kinds, files, messages, extras);
    } else if (mode == cmWholeFolder) {
        std::vector<int> rows(static_cast<size_t>(files.Count()));
        for (size_t i = 0; i < rows.size(); ++i)
            rows[i] = static_cast<int>(i);
        RunOnRows(rows, true, change, names, kinds, files, messages, extras);
    } else if (const std::vector<int> rows = files.SelectedIndices();
               rows.size() == 1 && change.oneFileReport) {
        RunOnSelectedFile(files.PathOf(rows[0]), change, kinds, messages, extras);
    } else {
        RunOnRows(rows, false, change, names, kinds, files, messages, extras);
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

    bool Decide(std::wstring_view, const TargetState& now, const ContentReader&, FileTimes& times,
                std::wstring_view& why) override {
        times = now.times;
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
    bool Decide(std::wstring_view, const TargetState&, const ContentReader& content,
                FileTimes& times, std::wstring_view& why) override {
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
    bool Decide(std::wstring_view path, const TargetState&, const ContentReader&, FileTimes& times,
                std::wstring_view& why) override {
        return Found(DateOfName(path, local_), kNoNameDateText, times, why);
    }
};

// A run that sets each file's own date: folders are passed over.
void MatchOwnDates(TimesRule& rule, std::wstring_view done, JournalKind kind, int mode,
                   TimestampKinds kinds, FileListService& files, MessageBoxService& messages,
                   HintService& hint, const RunExtras& extras) {
    if (!IsMode(mode))
        return;
    if (RunRecord* record = FreshRecord(extras, kinds))
        record->ownDates = true;
    RunExtras noFolders = extras;
    noFolders.folders = false;
    Change change{rule, done, kFilesAndFoldersText};
    change.kind = kind;
    change.passSidecars = kind == JournalKind::Sidecar;
    ChangeTargets(change, mode, kinds, files, messages, hint, noFolders);
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
    Change change{rule, kCountSuffixText, kFilesAndFoldersText, true};
    change.fixed = utc;
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
    Change change{rule, kShiftedText, kShiftedWithFoldersText};
    change.kind = JournalKind::Shift;
    change.shift = ticks;
    ChangeTargets(change, mode, kinds, files, messages, hint, extras);
}

void MatchDateTaken(int mode, TimestampKinds kinds, FileListService& files,
                    MessageBoxService& messages, HintService& hint, const RunExtras& extras) {
    DateTakenRule rule;
    MatchOwnDates(rule, kMatchedText, JournalKind::Photo, mode, kinds, files, messages, hint,
                  extras);
}

void MatchFolderContents(int mode, TimestampKinds kinds, FileListService& files,
                         MessageBoxService& messages, HintService& hint, const RunExtras& extras) {
    if (!IsMode(mode))
        return;
    FolderContentsRule rule(kinds);
    if (RunRecord* record = FreshRecord(extras, kinds))
        record->ownDates = true;
    Change change{rule, kContentsText, kContentsText};
    change.foldersOnly = true;
    change.kind = JournalKind::Contents;
    ChangeTargets(change, mode, kinds, files, messages, hint, extras);
}

void MatchNameDate(int mode, TimestampKinds kinds, FileListService& files,
                   MessageBoxService& messages, HintService& hint, const RunExtras& extras) {
    NameDateRule rule;
    MatchOwnDates(rule, kNamedText, JournalKind::Name, mode, kinds, files, messages, hint, extras);
}

void MatchSidecarDates(int mode, TimestampKinds kinds, FileListService& files,
                       MessageBoxService& messages, HintService& hint, const RunExtras& extras) {
    SidecarRule rule;
    MatchOwnDates(rule, kSidecarMatchedText, JournalKind::Sidecar, mode, kinds, files, messages,
                  hint, extras);
}

void MatchOtherFolder(std::wstring_view source, int mode, TimestampKinds kinds,
                      FileListService& files, MessageBoxService& messages, HintService& hint,
                      const RunExtras& extras) {
    if (!IsMode(mode))
        return;
    CounterpartRule rule(std::wstring(source), files.FolderPath(), mode == cmWholeTree, kinds);
    if (RunRecord* record = FreshRecord(extras, kinds))
        record->ownDates = true;
    Change change{rule, kCopiedText, kCopiedWithFoldersText};
    change.kind = JournalKind::Copy;
    ChangeTargets(change, mode, kinds, files, messages, hint, extras);
}

} // namespace kalvera
