// The reports of a run's read-back and of undoing a run.

#include "core/FileTimeWriter.h"
#include "core/RunJournalFile.h"
#include "core/RunRecord.h"
#include "core/RunTimestampChange.h"
#include "core/TreeWalk.h"
#include "core/WorkPool.h"
#include "win/Error.h"
#include "win/Path.h"

#include <map>
#include <optional>
#include <string>
#include <vector>

namespace kalvera {

std::wstring ReportLists::Listing(std::wstring_view heading, const std::vector<ListedFile>& files) {
    if (files.empty())
        return {};
    std::wstring text = L"\n\n" + std::wstring(heading);
    for (size_t i = 0; i < files.size() && i < kListedFiles; ++i)
        text += L"\n" + std::wstring(SplitPath(files[i].path).second) + L": " + files[i].reason;
    if (files.size() > kListedFiles) {
        text += L"\nほか" + std::to_wstring(files.size() - kListedFiles) + L"個";
        cut = true;
    }
    all.insert(all.end(), files.begin(), files.end());
    return text;
}

void ReportLists::Show(MessageBoxService& messages, std::wstring_view text,
                       std::wstring_view caption) const {
    if (cut || messages.WantsEveryList())
        messages.ShowReport(text, caption, all, folder);
    else
        messages.Show(text, caption, 0);
}

std::vector<ListedFile> StoredOtherwise(const RunRecord& record) {
    std::vector<ListedFile> files;
    for (const WrittenFile& file : record.files) {
        const FileTimes& stored = file.times.after;
        const FileTimes wanted = record.WantedOf(file);
        std::wstring reason;
        auto note = [&](bool chosen, FileTime wanted, FileTime got, const wchar_t* kind) {
            if (!chosen || wanted == got)
                return;
            reason += (reason.empty() ? L"" : L"、") + std::wstring(kind) + L" " +
                      DateTextOf(FileTimeToLocalDateTime(got));
        };
        note(record.kinds.creation, wanted.creation, stored.creation, L"作成");
        note(record.kinds.lastWrite, wanted.lastWrite, stored.lastWrite, L"更新");
        note(record.kinds.lastAccess, wanted.lastAccess, stored.lastAccess, L"アクセス");
        if (!reason.empty())
            files.push_back({record.PathOf(file), std::move(reason)});
    }
    return files;
}

std::wstring StoredTimesReport(const RunRecord& record, ReportLists& lists) {
    return lists.Listing(kStoredOtherwiseText, StoredOtherwise(record));
}

FileTimes RunRecord::WantedOf(const WrittenFile& file) const {
    if (ownDates)
        return file.dates;
    if (shift == 0)
        return chosen;
    const FileTimes& before = file.times.before;
    auto moved = [this](FileTime time) { return static_cast<FileTime>(time + shift); };
    return {moved(before.creation), moved(before.lastAccess), moved(before.lastWrite)};
}

bool RunRecord::CanUndo() const {
    return PendingCount() > 0;
}

std::wstring RunRecord::PathOf(const WrittenFile& file) const {
    return JoinPath(folders[file.folder], file.name);
}

WrittenFile& RunRecord::Add(std::wstring_view path, bool isFolder) {
    const auto [number, name] = FolderNumberAndName(folders, path);
    WrittenFile& file = files.emplace_back();
    file.folder = number;
    file.isFolder = isFolder;
    file.name = name;
    return file;
}

int RunRecord::PendingCount() const {
    int pending = 0;
    for (const WrittenFile& file : files)
        pending += file.done ? 0 : 1;
    return pending;
}

void UndoTimestampChange(RunRecord& record, MessageBoxService& messages, ProgressService* progress,
                         unsigned threads) {
    const int total = record.PendingCount();
    if (total == 0)
        return;
    if (total <= kProgressFrom)
        progress = nullptr;
    std::optional<RunJournalFile> journal;
    const bool ended = !record.journal.empty() && EndedJournal(record.journal);
    if (!record.journal.empty())
        journal.emplace(record.journal);
    // A file set back is marked with the state it was left in, so that
    // an older run's undo knows the change time this moved for its own.
    auto markDone = [&](WrittenFile& file, const TimesReadBack* left = nullptr) {
        file.done = true;
        if (!journal)
            return;
        JournalFile state;
        if (left) {
            state.after[0] = left->after.creation;
            state.after[1] = left->after.lastAccess;
            state.after[2] = left->after.lastWrite;
            state.changeAfter = left->changeAfter;
            state.sizeAfter = left->sizeAfter;
        }
        journal->Add(JournalRecords::Undone(file.entry, left ? &state : nullptr));
        journal->Send();
    };
    int files = 0, folders = 0, visited = 0;
    bool stopped = false;
    std::vector<ListedFile> leftAlone;
    std::vector<WrittenFile*> attributesChanged;
    auto leave = [&](const WrittenFile& file, std::wstring_view why) {
        leftAlone.push_back({record.PathOf(file), std::wstring(why)});
    };
    // A file reached twice through hard links is expected in the state the
    // undo of its later entry left.
    auto expectedOf = [&](const WrittenFile& file) {
        TimesReadBack expected = file.times;
        if (auto left = record.leftByUndo.find(file.times.identity);
            file.times.identity != FileIdentity{} && left != record.leftByUndo.end()) {
            expected = left->second;
            expected.before = file.times.before;
        }
        return expected;
    };
    auto apply = [&](WrittenFile& file, RestoreOutcome outcome, const TimesReadBack& leftState,
                     std::wstring_view cause) {
        const FileIdentity key = file.times.identity;
        const bool known = key != FileIdentity{};
        if (outcome == RestoreOutcome::Restored) {
            ++(file.isFolder ? folders : files);
            markDone(file, &leftState);
            if (known)
                record.leftByUndo[key] = leftState;
        } else if (outcome == RestoreOutcome::Changed || outcome == RestoreOutcome::Missing) {
            markDone(file);
            leave(file, outcome == RestoreOutcome::Changed ? kChangedSinceText : kGoneText);
        } else if (outcome == RestoreOutcome::AttributesChanged) {
            attributesChanged.push_back(&file);
        } else {
            leave(file, outcome == RestoreOutcome::CantOpen ? cause : kSetRefusedText);
        }
    };
    auto restore = [&](WrittenFile& file, bool despiteChangeTime) {
        TimesReadBack leftState;
        std::wstring_view cause;
        const RestoreOutcome outcome =
            RestoreFileTimes(record.PathOf(file), expectedOf(file), record.kinds, &leftState,
                             file.isFolder, despiteChangeTime, &cause);
        apply(file, outcome, leftState, cause);
    };
    // Backwards: a file reached twice gets the times it had before the
    // first write last. Files are set back on the pool's threads and taken
    // in that order; the names of a file with other names one after
    // another, each as its turn comes, as each expects what the other's
    // undo left.
    std::vector<WrittenFile*> pending;
    std::map<FileIdentity, int> names;
    for (auto it = record.files.rbegin(); it != record.files.rend(); ++it)
        if (!it->done) {
            pending.push_back(&*it);
            names[it->times.identity] += it->times.identity != FileIdentity{};
        }
    struct Restoring {
        bool alone = false; // restored on this thread, in its turn
        RestoreOutcome outcome = RestoreOutcome::CantOpen;
        TimesReadBack left;
        std::wstring_view cause;
    };
    ProgressPace pace(progress, size_t(total));
    WorkPool pool(threads);
    // A few files ahead of the one taken: a stop leaves no more to finish.
    const size_t kAhead = 2 * pool.Threads() + 2;
    std::vector<Restoring> ahead(kAhead);
    OrderedJobs jobs(pool, kAhead);
    const bool oneByOne = pool.Threads() <= 1;
    size_t posted = 0;
    for (size_t next = 0; next < pending.size(); ++next) {
        for (; !oneByOne && !pace.Stopped() && posted < pending.size() && posted < next + kAhead;
             ++posted) {
            WrittenFile* file = pending[posted];
            Restoring* restoring = &ahead[posted % kAhead];
            *restoring = Restoring{names[file->times.identity] > 1};
            if (!restoring->alone)
                jobs.Post(posted, [&record, file, restoring] {
                    restoring->outcome = RestoreFileTimes(record.PathOf(*file), file->times,
                                                          record.kinds, &restoring->left,
                                                          file->isFolder, false, &restoring->cause);
                });
        }
        WrittenFile& file = *pending[next];
        Restoring& restoring = ahead[next % kAhead];
        // After a stop, only the files under way are taken.
        if (pace.Stopped() && (oneByOne || restoring.alone || next >= posted))
            break;
        if (oneByOne || restoring.alone) {
            restore(file, false);
        } else {
            pace.Await(jobs, next);
            if (const std::exception_ptr failed = jobs.Failure(next))
                std::rethrow_exception(failed);
            if (!jobs.Ran(next))
                continue;
            apply(file, restoring.outcome, restoring.left, restoring.cause);
        }
        ++visited;
        if (!pace.Tell(size_t(visited)))
            pool.DropQueued();
    }
    // The jobs under way when a stop came were kept as they ended; those
    // not started wait for the next undo.
    stopped = pace.Stopped();
    if (progress)
        progress->Finished();
    // One question for every file whose attributes alone changed since;
    // those kept wait for the next undo.
    if (!attributesChanged.empty() &&
        messages.Ask(
            FormatMessageText(kAttributesChangedText, std::to_wstring(attributesChanged.size())),
            kConfirmCaption))
        for (WrittenFile* file : attributesChanged)
            restore(*file, true);
    if (journal) {
        if (ended)
            journal->Add(JournalRecords::End());
        journal->Sync();
    }
    std::wstring text =
        folders == 0
            ? std::to_wstring(files) + std::wstring(kUndoneSuffixText)
            : FormatMessageText(FormatMessageText(kUndoneWithFoldersText, std::to_wstring(files)),
                                std::to_wstring(folders));
    if (stopped)
        text += L"\n" + std::wstring(kStoppedText);
    if (const int pending = record.PendingCount(); pending > 0)
        text += L"\n" + FormatMessageText(kUndoLeftText, std::to_wstring(pending));
    ReportLists lists;
    text += lists.Listing(kNotUndoneText, leftAlone);
    lists.Show(messages, text, kReportCaption);
}

} // namespace kalvera
