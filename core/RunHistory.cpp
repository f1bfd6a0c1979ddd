#include "core/RunHistory.h"
#include "core/FileTimeWriter.h"
#include "core/JournaledRun.h"
#include "core/TreeWalk.h"
#include "win/Path.h"

#include <windows.h>

namespace kalvera {
namespace {

FileTimes TimesOf(const std::uint64_t (&times)[3]) {
    return {times[0], times[1], times[2]};
}

// A file of a run that did not end, its write not marked: its times now,
// when they show the run's new time.
bool ShowsNewTime(const RunRecord& record, const WrittenFile& file, FileTimes& now) {
    if (KindOnDisk(record.PathOf(file), &now) == EntryKind::Neither)
        return false;
    TimestampKinds kinds = record.kinds;
    // Any reader moves the access time: it tells only when it is all
    // that was chosen.
    if (kinds.creation || kinds.lastWrite)
        kinds.lastAccess = false;
    if (SameChosenTimes(kinds, now, file.times.before))
        return false;
    if (!record.ownDates)
        return SameChosenTimes(kinds, now, record.WantedOf(file));
    // Each file's own date, the same for every chosen kind.
    const FileTime date = kinds.lastWrite  ? now.lastWrite
                          : kinds.creation ? now.creation
                                           : now.lastAccess;
    return SameChosenTimes(kinds, now, {date, date, date});
}

// The state a marked write left the file in, with its times before.
TimesReadBack StateLeft(const JournalFile& entry) {
    return {TimesOf(entry.before),
            TimesOf(entry.after),
            entry.changeAfter,
            entry.sizeAfter,
            {entry.volume, entry.fileIndex}};
}

std::wstring Upper(std::wstring text) {
    CharUpperBuffW(text.data(), DWORD(text.size()));
    return text;
}

} // namespace

int WrittenIn(const JournalContents& journal) {
    int written = 0;
    for (const JournalFile& file : journal.files)
        written += file.written ? 1 : 0;
    return written;
}

int PendingIn(const JournalContents& journal) {
    int pending = 0;
    for (const JournalFile& file : journal.files)
        pending += !file.undone && (file.written || !journal.ended) ? 1 : 0;
    return pending;
}

RunRecord RecordOfJournal(const std::wstring& path, const JournalContents& journal) {
    RunRecord record;
    record.kinds = KindsOfBits(journal.header.kinds);
    record.chosen = {journal.header.fixed, journal.header.fixed, journal.header.fixed};
    record.shift = journal.header.shift;
    record.ownDates =
        journal.header.kind != JournalKind::Run && journal.header.kind != JournalKind::Shift;
    record.journal = path;
    for (std::uint32_t i = 0; i < journal.files.size(); ++i) {
        const JournalFile& entry = journal.files[i];
        if (!entry.written && (journal.ended || entry.undone))
            continue;
        WrittenFile& file = record.Add(entry.path, entry.isFolder);
        file.entry = i;
        file.done = entry.undone;
        file.times.before = TimesOf(entry.before);
        if (entry.written) {
            file.times = StateLeft(entry);
        } else if (!ShowsNewTime(record, file, file.times.after)) {
            record.files.pop_back();
            continue;
        }
        // Not known for a write that was not marked: its times alone tell.
        file.date = file.times.after.lastWrite;
    }
    return record;
}

std::map<std::wstring, TimesReadBack> WrittenLater(const RunRecord& record,
                                                   const std::vector<StoredJournal>& newer) {
    std::map<std::wstring, TimesReadBack> later, found;
    for (const WrittenFile& file : record.files)
        if (!file.done)
            later.emplace(Upper(record.PathOf(file)), TimesReadBack{});
    // The newest run to leave a file written is the one whose state counts.
    for (auto journal = newer.rbegin(); journal != newer.rend(); ++journal) {
        if (!journal->contents)
            continue;
        for (const JournalFile& entry : journal->contents->files) {
            if (!entry.written || entry.undone)
                continue;
            auto it = later.find(Upper(entry.path));
            if (it == later.end())
                continue;
            found[it->first] = StateLeft(entry);
        }
    }
    return found;
}

std::map<std::wstring, TimesReadBack>
NewerWrites(const std::wstring& folder, const RunRecord& record,
            const std::map<std::wstring, std::uint64_t>& settled) {
    std::vector<StoredJournal> newer;
    if (folder.empty() || record.journal.empty())
        return {};
    for (const JournalOnDisk& found : JournalsIn(folder)) {
        if (found.path == record.journal)
            break;
        if (auto it = settled.find(found.path); it == settled.end() || it->second != found.bytes)
            newer.push_back(ReadStoredJournal(found.path));
    }
    return WrittenLater(record, newer);
}

void TakeLaterStates(RunRecord& record, const std::map<std::wstring, TimesReadBack>& later) {
    for (WrittenFile& file : record.files) {
        const auto state = file.done ? later.end() : later.find(Upper(record.PathOf(file)));
        if (state == later.end())
            continue;
        file.times.after = state->second.after;
        file.times.changeAfter = state->second.changeAfter;
        file.times.sizeAfter = state->second.sizeAfter;
    }
}

} // namespace kalvera
