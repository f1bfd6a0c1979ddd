#pragma once
// Writing the times of files once they are file times: shared by
// WriteFileTimes, the runs (which decide each target's times on its own
// handle) and undoing a run.

#include "core/FileTimes.h"
#include "core/readers/ContentReader.h"

#include <cstdint>
#include <set>
#include <string>
#include <string_view>

namespace kalvera {

// What a target is found with just before its times are decided: its
// times, its change time (0 when not known) and its size.
struct TargetState {
    FileTimes times;
    FileTime change = 0;
    std::uint64_t size = 0;
};

// Decides a target's times from its own, read on the writer's handle just
// before the set: the Run command's one time, a shift, or a date found in
// the file, its name or what a folder holds.
class TimesRule {
public:
    virtual ~TimesRule() = default;
    // True when Decide reads the target's bytes: the target is then opened
    // for reading too, and its access time is kept unless it is chosen.
    virtual bool ReadsContent() const { return false; }
    // The times to set on the target at path found as now; content reads
    // it on the same handle (nothing for a folder). False leaves the target
    // unwritten, with the reason in why.
    virtual bool Decide(std::wstring_view path, const TargetState& now,
                        const ContentReader& content, FileTimes& times, std::wstring_view& why) = 0;
};

// The same times for every target.
class FixedTimes : public TimesRule {
public:
    explicit FixedTimes(const FileTimes& times) : times_(times) {}
    bool Decide(std::wstring_view, const TargetState&, const ContentReader&, FileTimes& times,
                std::wstring_view&) override {
        times = times_;
        return true;
    }

private:
    FileTimes times_;
};

enum class WriteOutcome {
    Written,
    Missing,  // not there (any more)
    Declined, // the rule left it alone
    Link,     // reached through a link: never written through
    SameFile  // another name of a file this writer has written already
};

// The targets of one run, written one after another. Each is opened for
// what its step needs (its attributes, and its bytes for a rule that reads
// them) and shared with nobody else that asks for its bytes. A read-only
// file that refuses even that is written with the attribute cleared for the
// while, and left with its attributes as they were. A target whose handle
// leads elsewhere than its path (a link the file system does not mark) is
// left alone, and so is a second name of a file already written.
class TargetWriter {
public:
    TargetWriter(TimesRule& rule, TimestampKinds kinds) : rule_(rule), kinds_(kinds) {}

    // readBack gets the times before (also for a declined target) and the
    // state after the write; times the times set. Raises the open error for
    // a target that is there and can't be opened, the read error for one
    // whose times can't be read (nothing is written then), and the set
    // error with readBack->after read again when the set is refused, so
    // that a file left partly set shows as one.
    WriteOutcome Write(std::wstring_view path, bool isFolder, TimesReadBack& readBack,
                       FileTimes& times, std::wstring_view& why);
    // What Write would do, writing nothing: Written for a target that
    // would be written with times. The target is opened for reading (a rule
    // that reads its bytes puts its access time back, as a write does), and
    // one that can't be opened or read is Declined with its reason. found
    // gets its times before, and in after, changeAfter and sizeAfter the
    // state a write must find for the times to still hold.
    WriteOutcome Plan(std::wstring_view path, bool isFolder, TimesReadBack& found, FileTimes& times,
                      std::wstring_view& why);

private:
    WriteOutcome Visit(std::wstring_view path, bool isFolder, bool plan, TimesReadBack& readBack,
                       FileTimes& times, std::wstring_view& why);
    TimesRule& rule_;
    TimestampKinds kinds_;
    std::set<FileIdentity> written_;
    // The folder of the last target and the path its handle gives, asked
    // once for all the targets in it.
    std::wstring folder_, folderFinal_;
};

// One target with the same times, as a run writes it; a target that is not
// there, or only reached through a link, raises the open error.
void WriteFileTimesUtc(std::wstring_view path, const FileTimes& times, TimestampKinds kinds,
                       TimesReadBack* readBack = nullptr);

// The times a volume keeps: FAT and exFAT keep local times from 1980 to
// 2107, others what a file time can say. Asked of the volume a path is on.
struct TimeRange {
    FileTime earliest, latest;
};
TimeRange VolumeTimeRange(std::wstring_view path);

// Moves each chosen time by the ticks; false, with the times partly moved,
// when one of them is unset or would leave the range.
bool ShiftChosenTimes(FileTimes& times, std::int64_t ticks, TimestampKinds kinds, TimeRange range);

// True when the path is fully qualified and names an existing entry that is
// not a directory (a link to a file among them).
bool IsExistingFile(std::wstring_view path);

// Opens the file as a run's write does (for its attributes; a read-only one
// with the attribute cleared for the while), sets the chosen times in one
// call and closes it. Raises the open error, or the set error when the file
// system refuses a time.
void WriteFileTimes(std::wstring_view path, DateTime creation, DateTime lastAccess,
                    DateTime lastWrite, TimestampKinds kinds);

// True when the path is fully qualified and names an existing folder.
bool IsExistingFolder(std::wstring_view path);

// What a fully qualified path names on disk, in one lookup. A link (an
// entry the file system marks as a reparse point) is a link whatever it
// leads to.
// With listed, its times too, from the same lookup.
enum class EntryKind { File, Folder, Link, Neither };
EntryKind KindOnDisk(std::wstring_view path, FileTimes* listed = nullptr);

enum class RestoreOutcome {
    Restored,
    Changed,           // its times or its size moved since
    AttributesChanged, // only its change time moved (attributes, permissions)
    Missing,
    CantOpen,
    SetRefused
};

// Sets the kinds back to the times read before a write, to the tick, when
// the file still reads back as expected: the chosen times other than the
// access time (which any reader moves) and the size, and the change time
// where known unless despiteChangeTime. Opened as a run's write opens it. A
// file changed since, gone, or that can't be opened is left alone. A
// restored file's state afterwards goes to left (its after, change time,
// size and identity).
RestoreOutcome RestoreFileTimes(std::wstring_view path, const TimesReadBack& expected,
                                TimestampKinds kinds, TimesReadBack* left = nullptr,
                                bool isFolder = false, bool despiteChangeTime = false);

} // namespace kalvera
