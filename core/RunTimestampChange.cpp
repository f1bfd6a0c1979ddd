#include "core/FileDates.h"
#include "core/FileTimeWriter.h"
#include "core/FolderContents.h"
#include "core/JournaledRun.h"
#include "core/NamePatterns.h"
#include "core/RunPlan.h"
#include "core/RunTimestampChange.h"
#include "core/TreeWalk.h"
#include "win/Error.h"
#include "win/Path.h"

#include <algorithm>
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
    bool foldersOnly = false;   // folders are the targets, and files are not
    JournalKind kind = JournalKind::Run;
    std::uint64_t fixed = 0; // the one time every target gets, in a Run
    std::int64_t shift = 0;  // the ticks each time moves, in a shift
};

// Where a written target is marked in the run's journal.
struct JournalMark {
    JournaledRun* run = nullptr;
    std::uint32_t entry = 0;
    FileTimes listed; // the times its entry holds
};

// The journal of a run where one is kept. The entries of a batch of
// targets go out to the disk before the first of them is written.
class TargetJournal {
public:
    TargetJournal(const RunExtras& extras, const Change& change, TimestampKinds kinds,
                  std::wstring_view folder)
        : record_(extras.record) {
        if (!extras.journals.empty())
            run_.emplace(std::wstring(extras.journals),
                         StartOfJournal(change.kind, kinds, std::wstring(folder), change.fixed,
                                        change.shift),
                         kinds);
    }
    // Before target i of the targets is written; a plan's targets that
    // are left alone get no entry.
    void Before(size_t i, const TargetList& targets, const RunPlan* plan) {
        if (!run_ || i < batchEnd_)
            return;
        batchStart_ = i;
        batchEnd_ = std::min(i + kBatch, targets.entries.size());
        entries_.assign(batchEnd_ - i, 0);
        for (size_t j = i; j < batchEnd_; ++j)
            if (!plan || plan->At(j).outcome == WriteOutcome::Written)
                entries_[j - i] =
                    run_->Announce(targets.PathOf(targets.entries[j]), targets.entries[j].isFolder,
                                   targets.entries[j].listed);
        run_->Flush();
        Keep();
    }
    JournalMark MarkOf(size_t i, const TargetEntry& entry) {
        return run_ ? JournalMark{&*run_, entries_[i - batchStart_], entry.listed} : JournalMark{};
    }
    // The end mark, after the last target or a stop; an error that ends
    // the run leaves it to the destructor, which keeps quiet of its own.
    void End() {
        if (run_)
            run_->End();
        Keep();
    }
    ~TargetJournal() {
        if (run_)
            run_->EndQuietly();
        Keep();
    }
    TargetJournal(const TargetJournal&) = delete;
    TargetJournal& operator=(const TargetJournal&) = delete;

private:
    static constexpr size_t kBatch = 256;
    void Keep() {
        if (record_ && run_)
            record_->journal = run_->Path();
    }
    RunRecord* record_;
    std::optional<JournaledRun> run_;
    std::vector<std::uint32_t> entries_; // of the batch's targets
    size_t batchStart_ = 0, batchEnd_ = 0;
};

// What became of the targets of a run, for its report.
struct Tally {
    int files = 0, folders = 0;
    int foldersPassed = 0, links = 0, namesPassed = 0;
    std::vector<ListedFile> notWritten;
    void NotWritten(std::wstring_view path, std::wstring_view why) {
        notWritten.push_back({std::wstring(path), std::wstring(why)});
    }
    // A target written, or left alone for the reason given.
    void Count(WriteOutcome outcome, std::wstring_view path, bool isFolder, std::wstring_view why) {
        switch (outcome) {
        case WriteOutcome::Written:
            ++(isFolder ? folders : files);
            break;
        case WriteOutcome::Missing:
            NotWritten(path, kGoneText);
            break;
        case WriteOutcome::Declined:
            NotWritten(path, why);
            break;
        case WriteOutcome::Link:
            ++links;
            break;
        case WriteOutcome::SameFile: // counted once, under its first name
            break;
        }
    }
};

// Writes one target, keeping it in the record when one is asked for, and
// counts it. The record holds the file from the moment its times were
// read, so a file that a refused set left partly changed stays undoable,
// and the error says so.
void WriteTarget(TargetWriter& writer, const std::wstring& path, bool isFolder, RunRecord* record,
                 Tally& tally, const JournalMark& mark) {
    WrittenFile* entry = record ? &record->Add(path, isFolder) : nullptr;
    TimesReadBack own;
    TimesReadBack& read = entry ? entry->times : own;
    auto dropEntry = [&] {
        if (record)
            record->files.pop_back();
    };
    // A write done, even in part: its entry in the journal is marked.
    auto markWritten = [&] {
        if (entry)
            entry->entry = mark.entry;
        if (mark.run)
            mark.run->Written(mark.entry, mark.listed, read);
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
        try {
            markWritten();
        } catch (const Error&) { // the set's error is the one to tell
        }
        throw Error(e.Message() + L"\n" + std::wstring(kPartlySetText));
    }
    if (outcome != WriteOutcome::Written) {
        dropEntry();
    } else {
        markWritten();
        if (entry)
            entry->date = times.lastWrite;
    }
    tally.Count(outcome, path, isFolder, why);
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
        TargetJournal journal(extras, change, kinds, SplitPath(path).first);
        journal.Before(0, target, nullptr);
        TargetWriter writer(change.rule, kinds);
        WriteTarget(writer, path, kind == EntryKind::Folder, extras.record, tally,
                    journal.MarkOf(0, target.entries[0]));
        journal.End();
        if (!tally.notWritten.empty()) // gone since it was looked at
            throw Error(FormatMessageText(kOpenErrorText, path));
    }
    if (tally.links > 0) {
        messages.Show(PassedText(tally).substr(1), kReportCaption, 0);
        return;
    }
    ReportLists lists;
    messages.Show(Report(std::wstring(tally.folders ? kFolderChangedText : kChangedText),
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
        case EntryKind::File:
            if (change.foldersOnly)
                break;
            if (names.Matches(SplitPath(path).second))
                targets.Add(path, false, listed);
            else
                ++tally.namesPassed;
            break;
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

// Writes every target with the progress of a long run.
// Over more than one target, with a preview asked for, what the run will
// write is shown first; then it writes exactly that, or nothing.
void WriteTargets(const TargetList& targets, std::wstring_view folder, Tally tally,
                  const Change& change, TimestampKinds kinds, MessageBoxService& messages,
                  const RunExtras& extras) {
    const int total = static_cast<int>(targets.entries.size());
    std::optional<RunPlan> plan;
    if (extras.preview && total > 1) {
        plan.emplace(targets, change.rule, kinds);
        if (!extras.preview->Confirm(*plan) || !plan->Done())
            return;
    }
    std::optional<PlannedTimes> planned;
    if (plan)
        planned.emplace(*plan);
    ProgressService* progress = total > kProgressFrom ? extras.progress : nullptr;
    bool stopped = false;
    TargetWriter writer(planned ? static_cast<TimesRule&>(*planned) : change.rule, kinds);
    TargetJournal journal(extras, change, kinds, folder);
    try {
        for (int i = 0; i < total; ++i) {
            journal.Before(size_t(i), targets, plan ? &*plan : nullptr);
            const TargetEntry& entry = targets.entries[static_cast<size_t>(i)];
            const std::wstring path = targets.PathOf(entry);
            if (const PlannedTarget* row = plan ? &plan->At(size_t(i)) : nullptr;
                row && row->outcome != WriteOutcome::Written) {
                tally.Count(row->outcome, path, entry.isFolder, row->why);
            } else {
                if (planned)
                    planned->Select(size_t(i));
                WriteTarget(writer, path, entry.isFolder, extras.record, tally,
                            journal.MarkOf(size_t(i), entry));
            }
            if (progress && !progress->Continue(i + 1, total) && i + 1 < total) {
                stopped = true;
                break;
            }
        }
        journal.End();
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
    text = Report(text, extras.record, lists);
    text += lists.Listing(kNotWrittenText, tally.notWritten);
    lists.Show(messages, text, kReportCaption);
}

void RunOnRows(const std::vector<int>& rows, const Change& change, const NamePatterns& names,
               TimestampKinds kinds, FileListService& files, MessageBoxService& messages,
               const RunExtras& extras) {
    // Every row must be a target or passed over before any of them is
    // changed.
    TargetList targets;
    Tally tally;
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
    KeepTargets(targets, change, names, tally);
    WriteTargets(targets, root, std::move(tally), change, kinds, messages, extras);
}

// The targets of the mode, each given the change. Patterns that no file
// name could match refuse the run before anything is read.
void ChangeTargets(const Change& change, int mode, TimestampKinds kinds, FileListService& files,
                   MessageBoxService& messages, HintService& hint, const RunExtras& extras) {
    const NamePatterns names(mode == cmSelectedFile ? std::wstring_view() : extras.patterns);
    if (!names.Invalid().empty()) {
        messages.Show(FormatMessageText(kBadPatternText, names.Invalid()), kErrorCaption, 0);
        return;
    }
    if (!TargetsAtHand(mode, files, messages, hint))
        return;
    if (mode == cmWholeTree) {
        RunOnTree(change, names, kinds, files, messages, extras);
    } else if (mode == cmWholeFolder) {
        std::vector<int> rows(static_cast<size_t>(files.Count()));
        for (size_t i = 0; i < rows.size(); ++i)
            rows[i] = static_cast<int>(i);
        RunOnRows(rows, change, names, kinds, files, messages, extras);
    } else if (const std::vector<int> rows = files.SelectedIndices();
               rows.size() == 1 && change.oneFileReport) {
        RunOnSelectedFile(files.PathOf(rows[0]), change, kinds, messages, extras);
    } else {
        RunOnRows(rows, change, names, kinds, files, messages, extras);
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

} // namespace kalvera
