#include "core/JournaledRun.h"

#include "datetime/SystemTime.h"

#include <windows.h>

namespace kalvera {
namespace {

std::uint64_t Now() {
    FILETIME now{};
    GetSystemTimeAsFileTime(&now);
    return FromFileTime(now);
}

constexpr std::uint64_t kFlushEvery = 10'000'000; // one second, in ticks

void CopyTimes(const FileTimes& times, std::uint64_t (&to)[3]) {
    to[0] = times.creation;
    to[1] = times.lastAccess;
    to[2] = times.lastWrite;
}

} // namespace

std::uint8_t KindBits(TimestampKinds kinds) {
    return std::uint8_t((kinds.creation ? 1 : 0) | (kinds.lastAccess ? 2 : 0) |
                        (kinds.lastWrite ? 4 : 0));
}

TimestampKinds KindsOfBits(std::uint8_t bits) {
    return {bool(bits & 1), bool(bits & 4), bool(bits & 2)};
}

JournalHeader StartOfJournal(JournalKind kind, TimestampKinds kinds, std::wstring folder,
                             std::uint64_t fixed, std::int64_t shift) {
    return {kind, KindBits(kinds), Now(), std::move(folder), fixed, shift};
}

std::uint32_t JournaledRun::Announce(const std::wstring& path, bool isFolder,
                                     const FileTimes& before, const FileTimes& dates,
                                     bool touchOnly) {
    JournalFile file{.path = path, .isFolder = isFolder, .touchOnly = touchOnly};
    CopyTimes(before, file.before);
    CopyTimes(dates, file.dates);
    pending_ += JournalRecords::Entry(entries_, header_.folder, file);
    return entries_++;
}

void JournaledRun::Flush() {
    if (!file_) {
        file_.emplace(folder_, header_.started, JournalRecords::Start(header_) + pending_);
    } else {
        file_->Add(pending_);
        file_->Sync();
    }
    pending_.clear();
    lastFlush_ = Now();
}

void JournaledRun::Written(std::uint32_t entry, const TimesReadBack& state) {
    moved_ = moved_ || !SameChosenTimes(kinds_, state.before, state.after);
    Mark(entry, state);
}

void JournaledRun::Touched(std::uint32_t entry, const TimesReadBack& state) {
    touched_ = true;
    Mark(entry, state);
}

void JournaledRun::Mark(std::uint32_t entry, const TimesReadBack& state) {
    JournalFile file;
    CopyTimes(state.before, file.before);
    CopyTimes(state.after, file.after);
    file.changeAfter = state.changeAfter;
    file.sizeAfter = state.sizeAfter;
    file.volume = state.identity.volume;
    file.fileIndex = state.identity.index;
    pending_ += JournalRecords::Written(entry, file, false);
    // The clock is asked once in a while: it costs more than a mark.
    if (++marks_ % 16 == 0 && Now() - lastFlush_ >= kFlushEvery)
        Flush();
}

void JournaledRun::End() {
    if (ended_ || !file_)
        return;
    ended_ = true;
    if (!moved_ && !touched_) {
        file_->Remove();
        file_.reset();
        return;
    }
    pending_ += JournalRecords::End();
    Flush();
    TrimJournals(folder_);
}

void JournaledRun::EndQuietly() noexcept {
    try {
        End();
    } catch (...) {
    }
}

} // namespace kalvera
