#pragma once
// Writing the times of files once they are file times: shared by
// WriteFileTimes, the runs (which decide each target's times on its own
// handle) and undoing a run.

#include "core/FileTimes.h"
#include "win/Sync.h"
#include "core/readers/ContentReader.h"

#include <cstdint>
#include <map>
#include <memory>
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
    size_t index = 0; // the target's place among the run's targets
    bool isFolder = false;
};

// Decides a target's times from its own, read on the writer's handle just
// before the set: the Run command's one time, a shift, or a date found in
// the file, its name or what a folder holds. A run asks it on several
// threads at once, each about a target of its own.
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
    // The file each target's times come from, for a rule that takes them
    // from another (by the target's place in the run), and the title of
    // the preview's column that shows it; empty for none.
    virtual std::wstring SourceOf(size_t) const { return {}; }
    virtual std::wstring_view SourceTitle() const { return {}; }
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
    Declined, // left alone: the rule found no times, it can't be opened, or its set was refused
    Link,     // reached through a link: never written through
    SameFile  // another name of a file this writer has written already
};

// One target opened for its write and looked at, its times decided, and
// nothing written: what a plan shows, and what a run's journal announces
// before the write. The handle is kept until the target is finished or let
// go, so that the write needs no second open.
class HeldTarget {
public:
    HeldTarget();
    ~HeldTarget();
    HeldTarget(HeldTarget&&) noexcept;
    HeldTarget& operator=(HeldTarget&&) noexcept;

    WriteOutcome outcome = WriteOutcome::Declined;
    // Its times as found (before), with its change time (changeAfter), its
    // size and identity.
    TimesReadBack found;
    FileTimes times;       // the times it will get
    std::wstring_view why; // why it will be left alone
    // Reading its bytes moved its access time (a system that keeps access
    // times on reads whatever the handle asks): a write puts it back.
    bool accessMoved = false;
    // Refused to it as held by another handle: one of another name of the
    // same file, taken at the same moment, perhaps (found.identity tells).
    bool held = false;
    // Closes the handle; a target let go is not written.
    void Release();
    // The same, once an access time its reading moved is put back: for a
    // target a run took and will not write (a second name of a file, a
    // stop).
    void LetGo();

private:
    friend class TargetWriter;
    struct Open;
    std::unique_ptr<Open> open_;
};

// Tells an entry that leads elsewhere than its folder under its name: a
// link the file system does not mark (Wine's links to files). The path of
// the entries' folder is asked once for all the entries in it, and whether
// its volume marks links once per volume.
class UnmarkedLinks {
public:
    bool Is(std::wstring_view path);
    // The same of a handle opened through path.
    bool Leads(void* handle, std::wstring_view path);

private:
    std::wstring folder_, folderFinal_, volume_;
    bool marksLinks_ = false;
};

// The targets of one run, taken and finished on any threads, each target
// on one. Each is opened for what its step needs (its attributes, and its
// bytes for a rule that reads them, with the access time's update suspended
// on the handle) and shared with nobody else that asks for its bytes. A
// read-only file that refuses an open for its attributes is written with
// the attribute cleared for the while, and left with its attributes as
// they were. A target whose handle leads elsewhere than its path (a link
// the file system does not mark) is left alone before anything is read. A
// target that already has the times is left alone too. Second names of one
// file are told by the identity the writer finds (TakenOnce).
class TargetWriter {
public:
    TargetWriter(TimesRule& rule, TimestampKinds kinds) : rule_(rule), kinds_(kinds) {}

    // Opens the target, checks it and decides its times, writing nothing:
    // Written for a target a write would change. One that can't be opened
    // or read is Declined with its reason. index is the target's place in
    // the run, for the rule.
    WriteOutcome Take(std::wstring_view path, bool isFolder, HeldTarget& held, size_t index = 0);
    // Writes a taken target: its times where it is Written, and the access
    // time its reading moved, put back (told by touched, for one that is
    // not written). readBack gets the times before and the state after; a
    // set the file system refuses leaves it Declined with the reason, and
    // readBack->after shows a file left partly set.
    WriteOutcome Finish(HeldTarget& held, TimesReadBack& readBack, bool* touched = nullptr);
    // Take, then Finish.
    WriteOutcome Write(std::wstring_view path, bool isFolder, TimesReadBack& readBack,
                       FileTimes& times, std::wstring_view& why);

private:
    UnmarkedLinks& LinksOfThisThread();
    bool ClaimedEarlier(FileIdentity identity, size_t index);
    TimesRule& rule_;
    TimestampKinds kinds_;
    // Each thread's last folder and the path its handle gives.
    Mutex linksLock_;
    std::map<unsigned long, UnmarkedLinks> links_;
    // The first target of each file taken so far: a later name of it is
    // not read.
    Mutex claimsLock_;
    std::map<FileIdentity, size_t> claims_;
};

// Taken targets, each told once per file: a second name of a file taken
// already is SameFile. Asked in the targets' order, so that the first name
// is the one written whatever thread took which.
class TakenOnce {
public:
    // False for a second name (then left alone as SameFile, let go).
    bool First(HeldTarget& held);
    bool Seen(FileIdentity identity) const { return taken_.count(identity) != 0; }

private:
    std::set<FileIdentity> taken_;
};

// One target with the same times, as a run writes it. A target that is not
// there, is only reached through a link or can't be opened raises the open
// error; one whose times can't be read, the read error; a refused set, the
// set error.
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
// where known unless despiteChangeTime. A file that already reads back the
// times before (an undo cut short after its set) counts as restored. Opened
// as a run's write opens it. A file changed since, gone, or that can't be
// opened is left alone; cause gets why one can't be opened. A restored
// file's state afterwards goes to left (its after, change time, size and
// identity).
RestoreOutcome RestoreFileTimes(std::wstring_view path, const TimesReadBack& expected,
                                TimestampKinds kinds, TimesReadBack* left = nullptr,
                                bool isFolder = false, bool despiteChangeTime = false,
                                std::wstring_view* cause = nullptr);

} // namespace kalvera
