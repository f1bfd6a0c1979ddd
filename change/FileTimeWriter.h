#pragma once
// Writing the times of one file once they are file times: shared by
// WriteFileTimes, the run (which converts its date once for all targets) and
// undoing a run.

#include "change/TimestampCore.h"

namespace kalvera {

// Raises the open error when the file can't be opened exclusively. With
// readBack, the file's times are read on the same handle before the set
// call (into readBack at once, so that a failure after it still tells them)
// and after it: no other open, no other lookup. A file whose times can't be
// read raises the read error before anything is written; a refused set
// raises the set error with readBack->after read again, so that a file left
// partly set shows as one.
void WriteFileTimesUtc(std::wstring_view path, const FileTimes& times, TimestampKinds kinds,
                       TimesReadBack* readBack = nullptr);

// As WriteFileTimesUtc, for a file or a folder, but a path that turns out
// not to name an existing one is answered with false instead of the open
// error. Costs one open for a target that opens, where testing first would
// cost a lookup more. A folder is opened as one, and not exclusively.
bool WriteTimesIfThere(std::wstring_view path, bool isFolder, const FileTimes& times,
                       TimestampKinds kinds, TimesReadBack* readBack = nullptr);

// Decides a target's times from its own, read on the writer's handle just
// before the set: a shift, or a date found in the file.
class TimesRule {
public:
    virtual ~TimesRule() = default;
    // The times to set on a target that has the times now; content reads it
    // on the same handle (nothing for a folder). False leaves the target
    // unwritten, with the reason in why.
    virtual bool Decide(const FileTimes& now, const ContentReader& content, FileTimes& times,
                        std::wstring_view& why) = 0;
};

enum class RuleOutcome { Written, Missing, Declined };

// As WriteTimesIfThere, with the times the rule decides (into times):
// readBack is filled as there, and also for a declined target (before only).
RuleOutcome WriteTimesByRule(std::wstring_view path, bool isFolder, TimesRule& rule,
                             TimestampKinds kinds, TimesReadBack& readBack, FileTimes& times,
                             std::wstring_view& why);

// The times a volume keeps: FAT and exFAT keep local times from 1980 to
// 2107, others what a file time can say. Asked of the volume a path is on.
struct TimeRange {
    FileTime earliest, latest;
};
TimeRange VolumeTimeRange(std::wstring_view path);

// Moves each chosen time by the ticks; false, with the times partly moved,
// when one of them is unset or would leave the range.
bool ShiftChosenTimes(FileTimes& times, std::int64_t ticks, TimestampKinds kinds, TimeRange range);

// True when the path is fully qualified and names an existing folder.
bool IsExistingFolder(std::wstring_view path);

// What a fully qualified path names on disk, in one lookup.
enum class EntryKind { File, Folder, Neither };
EntryKind KindOnDisk(std::wstring_view path);

enum class RestoreOutcome { Restored, Changed, Missing, CantOpen, SetRefused };

// Sets the kinds back to the times read before a write, to the tick, when
// the file still reads back as expected (the times, and the change time and
// size where known); with the same exclusive open. A file changed since,
// gone, or that can't be opened is left alone. A restored file's state
// afterwards goes to left (its after, change time, size and identity).
RestoreOutcome RestoreFileTimes(std::wstring_view path, const TimesReadBack& expected,
                                TimestampKinds kinds, TimesReadBack* left = nullptr,
                                bool isFolder = false);

} // namespace kalvera
