#pragma once
// The loop of a run over its targets, a batch at a time: each target of the
// batch is taken (opened, checked, its times decided) on the pool's threads,
// the batch's journal entries go out to the disk, and each target is then
// written on the pool, while the next batch is taken. The thread that runs
// the loop takes every result in the targets' order and alone keeps the
// journal, the record, the tally and the progress: a run leaves the same of
// them on any number of threads.

#include "core/FileTimeWriter.h"
#include "core/RunTimestampChange.h"
#include "core/TreeWalk.h"
#include "core/readers/RunJournal.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace kalvera {

class RunPlan;

// What a change writes, and the words of its report.
struct Change {
    TimesRule& rule;                                          // each target's times
    std::wstring_view done = kCountSuffixText;                // after the count of files
    std::wstring_view doneWithFolders = kFilesAndFoldersText; // with folders among them
    bool oneFileReport = false; // one selected file reported as the Run command does
    bool foldersOnly = false;   // folders are the targets, and files are not
    bool passSidecars = false;  // JSON and XMP files are passed over
    JournalKind kind = JournalKind::Run;
    std::uint64_t fixed = 0; // the one time every target gets, in a Run
    std::int64_t shift = 0;  // the ticks each time moves, in a shift
};

// What became of the targets of a run, for its report.
struct Tally {
    int files = 0, folders = 0;
    int foldersPassed = 0, links = 0, namesPassed = 0, hidden = 0, sidecars = 0;
    std::vector<ListedFile> notWritten;
    void NotWritten(std::wstring_view path, std::wstring_view why) {
        notWritten.push_back({std::wstring(path), std::wstring(why)});
    }
    // A target written, or left alone for the reason given.
    void Count(WriteOutcome outcome, std::wstring_view path, bool isFolder, std::wstring_view why);
};

// Writes the targets (as the plan found them, where there is one) and
// counts them in tally; true when the progress asked the run to stop, and
// then no target was started after it, and those under way were finished
// and counted. An error of the journal raises after the writes under way
// have ended, each kept in the record.
bool WriteInBatches(const TargetList& targets, std::wstring_view folder, Tally& tally,
                    const Change& change, TimestampKinds kinds, const RunExtras& extras,
                    const RunPlan* plan);

} // namespace kalvera
