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
        row.outcome =
            writer_.Plan(targets_.PathOf(entry), entry.isFolder, row.found, row.times, row.why);
        switch (row.outcome) {
        case WriteOutcome::Written:
            ++changing_;
            break;
        case WriteOutcome::Missing:
            row.why = kGoneText;
            break;
        case WriteOutcome::Link:
            row.why = kLinkText;
            break;
        case WriteOutcome::SameFile:
            row.why = kSameFileText;
            break;
        case WriteOutcome::Declined:
            break;
        }
    } while (GetTickCount64() - start < milliseconds);
    return !Done();
}

bool PlannedTimes::Decide(std::wstring_view, const TargetState& now, const ContentReader&,
                          FileTimes& times, std::wstring_view& why) {
    const TimesReadBack& found = row_->found;
    // The access time moves with any reading: it says nothing.
    if (now.times.creation != found.after.creation ||
        now.times.lastWrite != found.after.lastWrite || now.size != found.sizeAfter ||
        (now.change && found.changeAfter && now.change != found.changeAfter)) {
        why = kChangedSinceText;
        return false;
    }
    times = row_->times;
    return true;
}

} // namespace kalvera
