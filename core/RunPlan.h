#pragma once
// What a run will write, target by target, found before anything is
// written: the times each target has and will get, or why it will be left
// alone. Planned in steps, so that a window can show the first rows while
// the rest are found; then written exactly as planned.

#include "core/FileTimeWriter.h"
#include "core/TreeWalk.h"
#include "core/WorkPool.h"

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace kalvera {

struct PlannedTarget {
    // The times before; in after, changeAfter and sizeAfter the state the
    // write must find for the plan to still hold.
    TimesReadBack found;
    FileTimes times;       // the times it will get
    std::wstring_view why; // why it will be left alone
    WriteOutcome outcome = WriteOutcome::Declined;
    bool accessMoved = false; // the plan's reading moved the access time
};

// A kind of time a plan's rows show: its title and where it is kept.
struct PlanKind {
    std::wstring_view title;
    FileTime FileTimes::*time;
};
// The chosen kinds, creation first, then last write and last access.
std::vector<PlanKind> PlanKinds(TimestampKinds kinds);

// Targets are looked at on a pool of threads, a good many ahead of the
// rows the plan holds, which it takes in their order.
class RunPlan {
public:
    // threads 0: RunThreads(). byDepth: each target is decided once every
    // target deeper than it, listed before it, has been.
    RunPlan(const TargetList& targets, TimesRule& rule, TimestampKinds kinds, bool byDepth = false,
            unsigned threads = 0);
    ~RunPlan();

    // Plans targets for about the milliseconds given; false once every
    // target is planned.
    bool Step(unsigned milliseconds);
    bool Done() const { return rows_.size() == targets_.entries.size(); }
    size_t Targets() const { return targets_.entries.size(); }
    size_t Planned() const { return rows_.size(); }
    const PlannedTarget& At(size_t index) const { return rows_[index]; }
    const TargetEntry& Entry(size_t index) const { return targets_.entries[index]; }
    const std::wstring& FolderOf(size_t index) const {
        return targets_.folders[targets_.entries[index].folder];
    }
    TimestampKinds Kinds() const { return kinds_; }
    const TimesRule& Rule() const { return rule_; }
    // Targets planned so far that will be written, and left alone.
    size_t Changing() const { return changing_; }
    size_t Unchanged() const { return rows_.size() - changing_; }

private:
    void Look(size_t index, PlannedTarget& row, FileIdentity& identity, bool& held);
    const TargetList& targets_;
    TimesRule& rule_;
    TargetWriter writer_;
    TimestampKinds kinds_;
    std::vector<PlannedTarget> rows_;
    size_t changing_ = 0;
    // Looked at ahead of the rows: their results, by target, until taken.
    struct Ahead {
        PlannedTarget row;
        FileIdentity identity;
        bool held = false;
    };
    std::vector<Ahead> ahead_; // a ring of kAhead places
    size_t posted_ = 0;
    bool byDepth_;
    size_t levelEnd_; // no target posted from here on before the rows reach it
    TakenOnce once_;
    WorkPool pool_;
    OrderedJobs jobs_;
};

// Writes the planned times of each target (by its place in the run), when
// it is still as the plan found it; a target changed since (its times,
// size or change time) is left alone as changed.
class PlannedTimes : public TimesRule {
public:
    explicit PlannedTimes(const RunPlan& plan) : plan_(plan) {}
    bool Decide(std::wstring_view path, const TargetState& now, const ContentReader& content,
                FileTimes& times, std::wstring_view& why) override;
    // The target, taken for the write: still as planned, it keeps the
    // access time the plan found before its reading, and gets it back where
    // that reading moved it (whether it is written or not).
    void Amend(HeldTarget& held, size_t index) const;
    // True for a target the write takes: one to write, or one whose access
    // time the plan's reading moved.
    static bool Taken(const PlannedTarget& row) {
        return row.outcome == WriteOutcome::Written || row.accessMoved;
    }

private:
    const RunPlan& plan_;
};

} // namespace kalvera
