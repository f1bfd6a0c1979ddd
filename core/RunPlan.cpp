#include "core/RunPlan.h"
#include "core/RunTimestampChange.h"

#include <windows.h>

namespace kalvera {

bool RunPlan::Step(unsigned milliseconds) {
    const ULONGLONG start = GetTickCount64();
    do {
        if (Done())
            return false;
        const TargetEntry& entry = targets_.entries[rows_.size()];
        PlannedTarget& row = rows_.emplace_back();
        HeldTarget held;
        row.outcome = writer_.Take(targets_.PathOf(entry), entry.isFolder, held);
        row.found = held.found;
        row.times = held.times;
        row.why = held.why;
        row.accessMoved = held.accessMoved;
        changing_ += row.outcome == WriteOutcome::Written;
    } while (GetTickCount64() - start < milliseconds);
    return !Done();
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
    if (!AsFound(row_->found, now.times, now.change, now.size)) {
        why = kChangedSinceText;
        return false;
    }
    if (row_->outcome != WriteOutcome::Written) {
        why = row_->why;
        return false;
    }
    times = row_->times;
    return true;
}

void PlannedTimes::Amend(HeldTarget& held) const {
    TimesReadBack& found = held.found;
    if ((held.outcome != WriteOutcome::Written && held.why != row_->why) ||
        !AsFound(row_->found, found.before, found.changeAfter, found.sizeAfter))
        return;
    held.accessMoved =
        row_->accessMoved && found.before.lastAccess != row_->found.before.lastAccess;
    found.before.lastAccess = row_->found.before.lastAccess;
}

} // namespace kalvera
