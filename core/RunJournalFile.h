#pragma once
// A run's journal on disk, and the journals kept: each run that writes
// makes one file in the folder of journals, named by its start time, and
// sends its records out as it goes (to the system after each file, to the
// disk in batches), so that what it did outlives the program.

#include "core/FileTimes.h"
#include "core/readers/RunJournal.h"
#include "win/Handle.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kalvera {

inline constexpr std::uint64_t kJournalBytes = 200ull << 20;
inline constexpr size_t kJournalRuns = 100;

// %LOCALAPPDATA%\Kalvera\runs, or the folder KALVERA_JOURNALS names (a
// test's own); empty when the system names no such folder.
std::wstring JournalFolder();

class RunJournalFile {
public:
    // Makes the folder where it is missing, and a file of the journal's own
    // there, named by the start time (a number added where a run of the
    // same millisecond has one), holding start. Throws with the path where
    // it can't.
    RunJournalFile(const std::wstring& folder, FileTime started, std::string_view start);
    // A journal kept, opened to add records at its end. Throws with the
    // path where it can't: gone, or written by a run of another window.
    explicit RunJournalFile(const std::wstring& path);
    const std::wstring& Path() const { return path_; }
    // Records kept until the next Send.
    void Add(std::string_view records) { pending_ += records; }
    // The records kept, handed to the system: a killed program loses none.
    void Send();
    // And written through to the disk: a power cut loses none.
    void Sync();
    // Closes and deletes the file: a journal of nothing.
    void Remove();

private:
    std::wstring path_;
    UniqueFileHandle file_;
    std::string pending_;
};

// A journal found in the folder: its contents, or none when it is damaged
// or no journal.
struct StoredJournal {
    std::wstring path;
    std::uint64_t bytes = 0;
    std::optional<JournalContents> contents;
};

// The journals in the folder, the newest first, with their sizes.
struct JournalOnDisk {
    std::wstring path;
    std::uint64_t bytes = 0;
};
std::vector<JournalOnDisk> JournalsIn(const std::wstring& folder);
// True for a journal whose run wrote its end mark, told from its first and
// last bytes alone.
bool EndedJournal(const std::wstring& path);
// The journal at the path, read whole in one read.
StoredJournal ReadStoredJournal(const std::wstring& path);
// The journals of the folder, the newest first, at most the number given.
std::vector<StoredJournal> ReadStoredJournals(const std::wstring& folder, size_t most);

// Deletes the oldest journals of runs that ended until the rest come to at
// most the bytes and the number given. Journals of runs that did not end,
// and damaged ones, are kept.
void TrimJournals(const std::wstring& folder, std::uint64_t bytes = kJournalBytes,
                  size_t runs = kJournalRuns);

inline constexpr wchar_t kJournalExtension[] = L".run";
inline constexpr std::wstring_view kJournalErrorText = L"変更の記録 %s を書けませんでした";

} // namespace kalvera
