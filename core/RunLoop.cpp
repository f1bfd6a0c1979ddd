#include "core/RunLoop.h"
#include "core/JournaledRun.h"
#include "core/RunPlan.h"
#include "core/WorkPool.h"

#include <windows.h>

#include <algorithm>
#include <optional>

namespace kalvera {
namespace {

// The targets a run takes before it writes any of them.
constexpr size_t kBatch = 256;

// One target of a batch: taken (opened, checked, its times decided), its
// journal entry announced, then written; each step's result is kept here by
// the thread that did it, and read by the loop once the step is done.
struct Taken {
    std::wstring path;
    bool isFolder = false;
    bool planned = true; // false: the plan leaves it alone
    HeldTarget held;
    std::uint32_t entry = 0; // in the run's journal
    // The write's outcome and the state it left.
    WriteOutcome outcome = WriteOutcome::Declined;
    TimesReadBack read;
    bool touched = false;
};

// The journal of a run where one is kept. The entries of a batch of
// targets, with the times each will get, go out to the disk before the
// first of them is written.
class TargetJournal {
public:
    TargetJournal(const RunExtras& extras, const Change& change, TimestampKinds kinds,
                  std::wstring_view folder)
        : record_(extras.record),
          dated_(change.kind != JournalKind::Run && change.kind != JournalKind::Shift) {
        if (!extras.journals.empty())
            run_.emplace(std::wstring(extras.journals),
                         StartOfJournal(change.kind, kinds, std::wstring(folder), change.fixed,
                                        change.shift),
                         kinds);
    }
    // A target that will be written, or one whose access time a reading
    // moved, which gets it back.
    void Announce(Taken& taken) {
        const HeldTarget& held = taken.held;
        const bool write = held.outcome == WriteOutcome::Written;
        if (run_ && taken.planned && (write || held.accessMoved))
            taken.entry = run_->Announce(taken.path, taken.isFolder, held.found.before,
                                         write && dated_ ? held.times : FileTimes{}, !write);
    }
    // The entries announced, out to the disk.
    void Flush() {
        if (!run_)
            return;
        run_->Flush();
        Keep();
    }
    JournaledRun* Run() { return run_ ? &*run_ : nullptr; }
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
    void Keep() {
        if (record_ && run_)
            record_->journal = run_->Path();
    }
    RunRecord* record_;
    bool dated_; // each file gets its own date, which its entry holds
    std::optional<JournaledRun> run_;
};

// A written target kept: in the record when one is asked for, and marked
// in the journal, so that Undo gives it back. A write done in part (a set
// the file system refused after it moved a time) is kept too.
void Keep(Taken& taken, RunRecord* record, JournaledRun* journal, Tally& tally) {
    const TimesReadBack& read = taken.read;
    if (taken.outcome == WriteOutcome::Written ||
        (taken.held.why == kSetRefusedText && read.after != read.before)) {
        if (record) {
            WrittenFile& file = record->Add(taken.path, taken.isFolder);
            file.times = read;
            file.entry = taken.entry;
            file.dates = taken.held.times;
        }
        if (journal)
            journal->Written(taken.entry, read);
    } else if (taken.touched && journal) {
        journal->Touched(taken.entry, read);
    }
    tally.Count(taken.outcome, taken.path, taken.isFolder, taken.held.why);
}

// Where the batch that begins at start ends: after kBatch targets, and for
// a run over folders where the depth changes, so that a folder is decided
// only once every folder below it has been.
size_t BatchEnd(const TargetList& targets, size_t start, bool byDepth) {
    const size_t end = std::min(start + kBatch, targets.entries.size());
    return byDepth ? std::min(end, targets.LevelEnd(start)) : end;
}

} // namespace

void Tally::Count(WriteOutcome outcome, std::wstring_view path, bool isFolder,
                  std::wstring_view why) {
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

bool WriteInBatches(const TargetList& targets, std::wstring_view folder, Tally& tally,
                    const Change& change, TimestampKinds kinds, const RunExtras& extras,
                    const RunPlan* plan) {
    const size_t total = targets.entries.size();
    std::optional<PlannedTimes> planned;
    if (plan)
        planned.emplace(*plan);
    TargetWriter writer(planned ? static_cast<TimesRule&>(*planned) : change.rule, kinds);
    // Two batches under way at most: one written while the next is taken.
    std::vector<Taken> ring(2 * kBatch);
    auto at = [&](size_t i) -> Taken& { return ring[i % ring.size()]; };
    TargetJournal journal(extras, change, kinds, folder);
    TakenOnce once;
    ProgressPace pace(total > size_t(kProgressFrom) ? extras.progress : nullptr, total);
    // Declared last, so that it ends first: no job outlives what it uses.
    WorkPool pool(extras.threads);
    OrderedJobs takes(pool, ring.size()), writes(pool, ring.size());

    size_t takenEnd = 0;
    auto postTakes = [&](size_t from, size_t to) {
        takenEnd = to;
        for (size_t i = from; i < to; ++i) {
            Taken& taken = at(i) = Taken{};
            const TargetEntry& entry = targets.entries[i];
            taken.path = targets.PathOf(entry);
            taken.isFolder = entry.isFolder;
            taken.planned = !plan || PlannedTimes::Taken(plan->At(i));
            if (taken.planned)
                takes.Post(i, [&, i] {
                    Taken& mine = at(i);
                    writer.Take(mine.path, mine.isFolder, mine.held, i);
                    if (planned)
                        planned->Amend(mine.held, i);
                });
        }
    };
    // Each name of a file told once, in the targets' order; a first name
    // refused as held by a later name is taken again once that has let go.
    auto settleTakes = [&](size_t from, size_t to) {
        std::vector<size_t> again;
        for (size_t i = from; i < to; ++i) {
            Taken& taken = at(i);
            if (!taken.planned)
                continue;
            pace.Await(takes, i);
            if (const std::exception_ptr failed = takes.Failure(i))
                std::rethrow_exception(failed);
            if (once.First(taken.held) && taken.held.held)
                again.push_back(i);
        }
        for (size_t i : again) {
            writer.Take(at(i).path, at(i).isFolder, at(i).held, i);
            if (planned)
                planned->Amend(at(i).held, i);
        }
    };
    // One thread writes each target as its turn comes, so that a stop
    // comes between two files, as it always has.
    const bool oneByOne = pool.Threads() <= 1;
    auto write = [&](size_t i) {
        Taken& mine = at(i);
        mine.outcome = writer.Finish(mine.held, mine.read, &mine.touched);
    };
    // The writes under way, each kept as it ends. A few are posted ahead of
    // the one waited for, before any target taken for the next batch: a
    // stop, or a write that failed, then leaves no more than those few to
    // finish. A failure is raised once they are kept.
    const size_t window = 2 * pool.Threads() + 2;
    size_t kept = 0, posted = 0, ready = 0;
    auto keepWrites = [&](size_t to, bool withJournal) {
        std::exception_ptr failed;
        while (kept < to) {
            for (; !oneByOne && !pace.Stopped() && !failed && posted < ready &&
                   posted < kept + window;
                 ++posted)
                if (at(posted).planned)
                    writes.Post(
                        posted, [&, i = posted] { write(i); }, true);
            const size_t i = kept++; // passed once, whatever it raises
            Taken& taken = at(i);
            const struct Let {
                HeldTarget& held;
                ~Let() { held.LetGo(); }
            } let{taken.held};
            if (!taken.planned) {
                tally.Count(plan->At(i).outcome, taken.path, taken.isFolder, plan->At(i).why);
            } else if (oneByOne) {
                if (!pace.Stopped()) {
                    write(i);
                    Keep(taken, extras.record, withJournal ? journal.Run() : nullptr, tally);
                }
            } else if (i < posted) {
                pace.Await(writes, i);
                if (writes.Ran(i))
                    Keep(taken, extras.record, withJournal ? journal.Run() : nullptr, tally);
                else if (!failed)
                    failed = writes.Failure(i);
            }
            pace.Tell(i + 1);
            if (pace.Stopped() || failed)
                pool.DropQueued();
        }
        if (failed && withJournal)
            std::rethrow_exception(failed);
    };
    // After a stop or an error, the targets taken and not written are let
    // go once their takes have ended.
    auto letGoTaken = [&] {
        pool.DropQueued();
        for (size_t i = kept; i < takenEnd; ++i)
            if (at(i).planned) {
                pace.Await(takes, i);
                at(i).held.LetGo();
            }
    };

    try {
        size_t start = 0, end = BatchEnd(targets, 0, change.foldersOnly);
        postTakes(start, end);
        while (start < total && !pace.Stopped()) {
            settleTakes(start, end);
            for (size_t i = start; i < end; ++i)
                journal.Announce(at(i));
            // The next batch is taken while this one's entries go to the
            // disk and its targets are written.
            const size_t next = end, nextEnd = next < total
                                                   ? BatchEnd(targets, next, change.foldersOnly)
                                                   : next;
            postTakes(next, nextEnd);
            journal.Flush();
            ready = end;
            keepWrites(end, true);
            start = next;
            end = nextEnd;
        }
        letGoTaken();
        journal.End();
    } catch (...) {
        // No write starts after the error; those under way are kept in the
        // record, which the error counts and Undo gives back.
        pool.DropQueued();
        ready = posted;
        try {
            keepWrites(posted, false);
            letGoTaken();
        } catch (...) {
        }
        throw;
    }
    return pace.Stopped();
}

} // namespace kalvera
