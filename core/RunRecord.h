#pragma once
// What a run did, file by file, for its report of the times stored and for
// undoing it.

#include "core/FileTimes.h"
#include "core/RunServices.h"

#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace kalvera {

// What a run did: the times it chose, and every file it wrote with the times
// found and left there. Undoing the run works from it, file by file: a file
// is done once restored, or once it proved changed since or gone; a file
// that could not be opened or set, or that a stopped undo did not reach,
// waits for the next undo.
// A large run keeps each path as its folder's number and its name, so the
// record of a tree costs little more than its names.
struct WrittenFile {
    std::uint32_t folder = 0; // in RunRecord::folders
    std::uint32_t entry = 0;  // in the run's journal
    bool isFolder = false;
    bool done = false;
    std::wstring name;
    TimesReadBack times;
    FileTimes dates; // the file's own times, in a run that gave each its own
};
struct RunRecord {
    TimestampKinds kinds;
    FileTimes chosen;
    std::int64_t shift = 0; // ticks each time moved, in a shift
    bool ownDates = false;  // each file got its own times (WrittenFile::dates)
    std::vector<std::wstring> folders;
    std::vector<WrittenFile> files;
    bool stopped = false;
    std::wstring journal; // the run's journal on disk; empty for none
    // What undoing left on each file it restored, by identity: a file the
    // run reached twice (hard links) is expected in that state when its
    // earlier entry comes up.
    std::map<FileIdentity, TimesReadBack> leftByUndo;
    // True when a file is left to undo.
    bool CanUndo() const;
    // The times the run meant the file to have.
    FileTimes WantedOf(const WrittenFile& file) const;
    int PendingCount() const;
    std::wstring PathOf(const WrittenFile& file) const;
    // A new entry for the path, which is fully qualified.
    WrittenFile& Add(std::wstring_view path, bool isFolder);
};

// The files a report names: each list's text names its first ones, and a
// list longer than that makes the report carry them all.
inline constexpr size_t kListedFiles = 10;
struct ReportLists {
    std::vector<ListedFile> all;
    bool cut = false;    // a list had more files than its text names
    std::wstring folder; // the run's, where known
    // A blank line, the heading, one line per file ("name: reason"; at most
    // kListedFiles, then "ほかn個"); empty for no files. The files join all.
    std::wstring Listing(std::wstring_view heading, const std::vector<ListedFile>& files);
    // Shows the report, with every file named when a list was cut.
    void Show(MessageBoxService& messages, std::wstring_view text, std::wstring_view caption) const;
};

// The files whose file system stored other times than the ones chosen (FAT
// keeps last-write times in 2-second steps and last-access times as dates;
// some shares ignore creation times), each with what was stored.
std::vector<ListedFile> StoredOtherwise(const RunRecord& record);
// Their lines for a run's report: a blank line, the heading, one line per
// file (at most 10, then "ほかn個"). Empty when every chosen time of every
// file read back as chosen.
std::wstring StoredTimesReport(const RunRecord& record, ReportLists& lists);
inline std::wstring StoredTimesReport(const RunRecord& record) {
    ReportLists lists;
    return StoredTimesReport(record, lists);
}

// Sets the times the last run changed back to those read before it, in the
// reverse order of the run, on the files that still read back as it left
// them (the chosen times but the access time, and the size), and reports in
// a box. Files whose change time alone moved since (an attribute or a
// permission changed) are restored only when the user says yes to one
// question for all of them. Each file is marked done as it is restored: a
// stopped undo, files that could not be opened or set, and those the user
// kept, wait for the next call. A record with a journal gets each file done
// marked there as it goes; a journal that can't be opened for that raises
// its error before any file is touched. Files are set back on threads
// (0: RunThreads()); the names of one file one after another.
void UndoTimestampChange(RunRecord& record, MessageBoxService& messages,
                         ProgressService* progress = nullptr, unsigned threads = 0);

} // namespace kalvera
