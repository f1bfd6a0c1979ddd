#include "core/RunHistory.h"
#include "core/FileTimeWriter.h"
#include "core/DateText.h"
#include "core/JournaledRun.h"
#include "core/RunTimestampChange.h"
#include "win/Error.h"
#include "win/Path.h"

#include <windows.h>

namespace kalvera {
namespace {

FileTimes TimesOf(const std::uint64_t (&times)[3]) {
    return {times[0], times[1], times[2]};
}

// A file of a run that did not end, its write not marked: its times now,
// when they are the new ones its entry gives. Where the entry can't tell
// (a run of each file's own date whose entry holds none), it is not taken.
bool ShowsNewTime(const RunRecord& record, const WrittenFile& file, FileTimes& now) {
    if ((record.ownDates && file.dates.lastWrite == 0) ||
        KindOnDisk(record.PathOf(file), &now) == EntryKind::Neither)
        return false;
    TimestampKinds kinds = record.kinds;
    // Any reader moves the access time: it tells only when it is all
    // that was chosen.
    if (kinds.creation || kinds.lastWrite)
        kinds.lastAccess = false;
    return SameChosenTimes(kinds, now, record.WantedOf(file));
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
        written += file.written && !file.touchOnly ? 1 : 0;
    return written;
}

int PendingIn(const JournalContents& journal) {
    int pending = 0;
    for (const JournalFile& file : journal.files)
        pending += !file.touchOnly && !file.undone && (file.written || !journal.ended) ? 1 : 0;
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
        // A file not marked written in a run that ended was not written; in
        // one that did not end, an undo marked it undone once it found it
        // written.
        if (entry.touchOnly || (!entry.written && journal.ended))
            continue;
        WrittenFile& file = record.Add(entry.path, entry.isFolder);
        file.entry = i;
        file.done = entry.undone;
        file.dates = TimesOf(entry.dates);
        file.times.before = TimesOf(entry.before);
        if (entry.written)
            file.times = StateLeft(entry);
        else if (!entry.undone && !ShowsNewTime(record, file, file.times.after))
            record.files.pop_back();
    }
    return record;
}

LaterStates WrittenLater(const RunRecord& record, const std::vector<StoredJournal>& newer) {
    std::map<std::wstring, bool> wanted; // the record's files left to undo
    for (const WrittenFile& file : record.files)
        if (!file.done)
            wanted.emplace(Upper(record.PathOf(file)), false);
    LaterStates found;
    // The newest run to leave a file in a state of its own is the one whose
    // state counts.
    for (auto journal = newer.rbegin(); journal != newer.rend(); ++journal) {
        if (!journal->contents)
            continue;
        for (const JournalFile& entry : journal->contents->files) {
            if (!entry.written || (entry.undone && !entry.undoneKnown))
                continue;
            auto it = wanted.find(Upper(entry.path));
            if (it == wanted.end())
                continue;
            LaterState& later = found[it->first];
            later.state = StateLeft(entry);
            // Left as the record's run left it but for the change time: a
            // reading's access time put back, or a newer run undone.
            later.own = entry.touchOnly || entry.undone;
            if (entry.undone) {
                later.state.after = TimesOf(entry.undoneTimes);
                later.state.changeAfter = entry.undoneChange;
                later.state.sizeAfter = entry.undoneSize;
            }
        }
    }
    return found;
}

LaterStates NewerWrites(const std::wstring& folder, const RunRecord& record) {
    std::vector<StoredJournal> newer;
    if (folder.empty() || record.journal.empty())
        return {};
    for (const JournalOnDisk& found : JournalsIn(folder)) {
        if (found.path == record.journal)
            break;
        newer.push_back(ReadStoredJournal(found.path));
    }
    return WrittenLater(record, newer);
}

int WrittenByOthers(const LaterStates& later) {
    int count = 0;
    for (const auto& [path, state] : later)
        count += state.own ? 0 : 1;
    return count;
}

void TakeLaterStates(RunRecord& record, const LaterStates& later) {
    for (WrittenFile& file : record.files) {
        const auto found = file.done ? later.end() : later.find(Upper(record.PathOf(file)));
        if (found == later.end())
            continue;
        const TimesReadBack& state = found->second.state;
        // The program's own reading or undo moved the change time alone: a
        // state whose times or size differ is another program's doing,
        // which the undo must still find changed.
        TimestampKinds compared = record.kinds;
        compared.lastAccess = false;
        if (found->second.own && (!SameChosenTimes(compared, state.after, file.times.after) ||
                                  state.sizeAfter != file.times.sizeAfter))
            continue;
        file.times.after = state.after;
        file.times.changeAfter = state.changeAfter;
        file.times.sizeAfter = state.sizeAfter;
    }
}

namespace {

std::wstring KindText(JournalKind kind) {
    switch (kind) {
    case JournalKind::Run:
        return L"実行";
    case JournalKind::Shift:
        return L"時刻をずらす";
    case JournalKind::Photo:
        return L"撮影日時";
    case JournalKind::Name:
        return L"ファイル名の日時";
    case JournalKind::Contents:
        return L"フォルダの中身";
    case JournalKind::Sidecar:
        return L"JSON/XMPの日時";
    case JournalKind::Copy:
        return L"別のフォルダ";
    }
    return {};
}

} // namespace

HistoryLine HistoryLineOf(const StoredJournal& journal) {
    HistoryLine line{journal.path};
    if (!journal.contents) {
        line.damaged = true;
        line.cells = {FormatMessageText(kDamagedJournalText, SplitPath(journal.path).second)};
        return line;
    }
    const JournalContents& run = *journal.contents;
    int written = WrittenIn(run), left = PendingIn(run);
    // A run that did not end counts the files its times show it wrote too.
    if (!run.ended) {
        const RunRecord record = RecordOfJournal(journal.path, run);
        written = int(record.files.size());
        left = record.PendingCount();
    }
    line.undoable = left > 0;
    line.cells = {DateTextOf(FileTimeToLocalDateTime(run.header.started)),
                  KindText(run.header.kind),
                  run.header.folder,
                  std::to_wstring(written),
                  std::to_wstring(left),
                  run.ended ? L"" : L"途中で終了"};
    return line;
}

std::vector<std::wstring> HistoryColumns() {
    return {L"日時", L"種類", L"フォルダ", L"ファイル数", L"残り", L"状態"};
}

bool UndoPastLaterRuns(RunRecord& record, const std::wstring& journals, MessageBoxService& messages,
                       ProgressService* progress) {
    if (const LaterStates later = NewerWrites(journals, record); !later.empty()) {
        if (const int others = WrittenByOthers(later);
            others > 0 &&
            !messages.Ask(FormatMessageText(kTouchedLaterText, std::to_wstring(others)),
                          kConfirmCaption))
            return false;
        TakeLaterStates(record, later);
    }
    UndoTimestampChange(record, messages, progress);
    return true;
}

bool NewestRunToUndo(const std::wstring& folder, RunRecord& record) {
    for (const JournalOnDisk& found : JournalsIn(folder)) {
        const StoredJournal journal = ReadStoredJournal(found.path);
        if (!journal.contents || PendingIn(*journal.contents) == 0)
            continue;
        RunRecord run = RecordOfJournal(found.path, *journal.contents);
        if (run.CanUndo()) {
            record = std::move(run);
            return true;
        }
    }
    return false;
}

} // namespace kalvera
