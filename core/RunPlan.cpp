#include "core/RunPlan.h"
#include "core/RunTimestampChange.h"

#include <windows.h>

#include <algorithm>

namespace kalvera {

std::vector<PlanKind> PlanKinds(TimestampKinds kinds) {
    std::vector<PlanKind> chosen;
    if (kinds.creation)
        chosen.push_back({L"作成日時", &FileTimes::creation});
    if (kinds.lastWrite)
        chosen.push_back({L"更新日時", &FileTimes::lastWrite});
    if (kinds.lastAccess)
        chosen.push_back({L"アクセス日時", &FileTimes::lastAccess});
    return chosen;
}

namespace {
// Targets looked at ahead of the rows taken: enough to keep every thread
// busy between two steps of the window.
constexpr size_t kAhead = 512;
} // namespace

RunPlan::RunPlan(const TargetList& targets, TimesRule& rule, TimestampKinds kinds, bool byDepth,
                 unsigned threads)
    : targets_(targets), rule_(rule), writer_(rule, kinds), kinds_(kinds), ahead_(kAhead),
      byDepth_(byDepth),
      levelEnd_(byDepth && !targets.entries.empty() ? targets.LevelEnd(0) : targets.entries.size()),
      pool_(threads), jobs_(pool_, kAhead) {}

RunPlan::~RunPlan() {
    pool_.DropQueued();
}

void RunPlan::Look(size_t index, PlannedTarget& row, FileIdentity& identity, bool& held) {
    const TargetEntry& entry = targets_.entries[index];
    HeldTarget target;
    row.outcome = writer_.Take(targets_.PathOf(entry), entry.isFolder, target, index);
    row.found = target.found;
    row.times = target.times;
    row.why = target.why;
    row.accessMoved = target.accessMoved;
    identity = target.found.identity;
    held = target.held;
}

bool RunPlan::Step(unsigned milliseconds) {
    const ULONGLONG end = GetTickCount64() + std::max(1u, milliseconds);
    while (!Done()) {
        if (rows_.size() == levelEnd_)
            levelEnd_ = targets_.LevelEnd(levelEnd_);
        while (posted_ < levelEnd_ && posted_ < rows_.size() + kAhead) {
            const size_t index = posted_++;
            Ahead& ahead = ahead_[index % kAhead];
            jobs_.Post(index, [this, index, &ahead] {
                Look(index, ahead.row, ahead.identity, ahead.held);
            });
        }
        const size_t index = rows_.size();
        const ULONGLONG now = GetTickCount64();
        if (now >= end || !jobs_.WaitFor(index, unsigned(end - now)))
            return true;
        if (const std::exception_ptr failed = jobs_.Failure(index))
            std::rethrow_exception(failed);
        Ahead& ahead = ahead_[index % kAhead];
        // Refused as held: perhaps by another name of the file, looked at
        // the same moment. Once nothing else is looked at, it is again.
        if (ahead.held && !once_.Seen(ahead.identity)) {
            for (size_t other = index + 1; other < posted_; ++other)
                while (!jobs_.WaitFor(other, 1000)) {
                }
            Look(index, ahead.row, ahead.identity, ahead.held);
        }
        HeldTarget taken;
        taken.outcome = ahead.row.outcome;
        taken.found.identity = ahead.identity;
        if (!once_.First(taken)) {
            ahead.row.outcome = WriteOutcome::SameFile;
            ahead.row.why = kSameFileText;
        }
        PlannedTarget& row = rows_.emplace_back(std::move(ahead.row));
        changing_ += row.outcome == WriteOutcome::Written;
    }
    return false;
}

namespace {

// The access time moves with any reading: it says nothing.
bool AsFound(const TimesReadBack& found, const FileTimes& times, FileTime change,
             std::uint64_t size) {
    return times.creation == found.before.creation && times.lastWrite == found.before.lastWrite &&
           size == found.sizeAfter &&
           (!change || !found.changeAfter || change == found.changeAfter);
}

} // namespace

bool PlannedTimes::Decide(std::wstring_view, const TargetState& now, const ContentReader&,
                          FileTimes& times, std::wstring_view& why) {
    const PlannedTarget& row = plan_.At(now.index);
    if (!AsFound(row.found, now.times, now.change, now.size)) {
        why = kChangedSinceText;
        return false;
    }
    if (row.outcome != WriteOutcome::Written) {
        why = row.why;
        return false;
    }
    times = row.times;
    return true;
}

void PlannedTimes::Amend(HeldTarget& held, size_t index) const {
    const PlannedTarget& row = plan_.At(index);
    TimesReadBack& found = held.found;
    if ((held.outcome != WriteOutcome::Written && held.why != row.why) ||
        !AsFound(row.found, found.before, found.changeAfter, found.sizeAfter))
        return;
    held.accessMoved = row.accessMoved && found.before.lastAccess != row.found.before.lastAccess;
    found.before.lastAccess = row.found.before.lastAccess;
}

} // namespace kalvera
