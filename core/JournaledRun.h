#pragma once
// The journal a run keeps as it writes. Entries for a batch of targets (the
// path and the times listed) go out to the disk before the first of them is
// written; each write is marked after it, the marks going out to the disk
// with the next batch and at least once a second. A killed program or a
// power cut loses at most the marks since the last flush, never a file's
// times before: a file whose write was not marked is undone where its times
// show the run's new time.

#include "core/FileTimes.h"
#include "core/RunJournalFile.h"
#include "core/readers/RunJournal.h"

#include <cstdint>
#include <optional>
#include <string>

namespace kalvera {

class JournaledRun {
public:
    // No file is made until the first flush.
    JournaledRun(std::wstring folder, JournalHeader header, TimestampKinds kinds)
        : folder_(std::move(folder)), header_(std::move(header)), kinds_(kinds) {}
    // The entry of a target about to be written, with its times found and,
    // in a run that gives each file its own, the times it will get; or of
    // one whose access time alone is put back (touchOnly). Its number.
    std::uint32_t Announce(const std::wstring& path, bool isFolder, const FileTimes& before,
                           const FileTimes& dates = {}, bool touchOnly = false);
    // Every entry so far out to the disk; the first makes the file.
    void Flush();
    // The entry's target written, or only its access time put back: the
    // state it left.
    void Written(std::uint32_t entry, const TimesReadBack& state);
    void Touched(std::uint32_t entry, const TimesReadBack& state);
    // The end mark, out to the disk. A journal in which no time moved is
    // deleted instead: there is nothing to undo, nor any access time put
    // back that an older run's undo must know of.
    void End();
    // The end mark where it can still be written; a failure is left to the
    // error that ended the run.
    void EndQuietly() noexcept;
    // The file's path; empty before the first flush.
    std::wstring Path() const { return file_ ? file_->Path() : std::wstring(); }

private:
    void Mark(std::uint32_t entry, const TimesReadBack& state);
    std::wstring folder_;
    JournalHeader header_;
    TimestampKinds kinds_;
    std::optional<RunJournalFile> file_;
    std::string pending_; // records not yet out
    std::uint32_t entries_ = 0;
    std::uint32_t marks_ = 0;
    bool moved_ = false;   // a write moved a chosen time
    bool touched_ = false; // an access time a reading moved was put back
    bool ended_ = false;
    std::uint64_t lastFlush_ = 0;
};

// The journal's header for a run of the kind over the folder, started now.
JournalHeader StartOfJournal(JournalKind kind, TimestampKinds kinds, std::wstring folder,
                             std::uint64_t fixed = 0, std::int64_t shift = 0);
// The chosen kinds as the journal keeps them, and back.
std::uint8_t KindBits(TimestampKinds kinds);
TimestampKinds KindsOfBits(std::uint8_t bits);

} // namespace kalvera
