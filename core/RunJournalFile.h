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

// %LOCALAPPDATA%\Kalvera\runs; empty when the system names no such folder.
std::wstring JournalFolder();

class RunJournalFile {
public:
    // Makes the folder where it is missing, and a file of the journal's own
    // there, named by the start time (a number added where a run of the
    // same millisecond has one), holding start. Throws with the path where
    // it can't.
    RunJournalFile(const std::wstring& folder, FileTime started, std::string_view start);
    const std::wstring& Path() const { return path_; }
    // Records kept until the next Send.
    void Add(std::string_view records) { pending_ += records; }
    // The records kept, handed to the system: a killed program loses none.
    void Send();
    // And written through to the disk: a power cut loses none.
    void Sync();

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

// The journals of the folder, the newest first, at most the number given;
// each file read whole, in one read.
std::vector<StoredJournal> ReadStoredJournals(const std::wstring& folder, size_t most);

inline constexpr wchar_t kJournalExtension[] = L".run";
inline constexpr std::wstring_view kJournalErrorText = L"変更の記録 %s を書けませんでした";

} // namespace kalvera
