#pragma once
// The runs kept in the journals: how many files each wrote and has left to
// undo, and a run's record made again from its journal, so that a run can
// be undone after the program ended, however it ended.

#include "core/RunJournalFile.h"
#include "core/RunRecord.h"

#include <map>
#include <string>
#include <vector>

namespace kalvera {

// Files the run marked written.
int WrittenIn(const JournalContents& journal);
// Files that may be left to undo: those written and not undone, and in a
// run that did not end, those not marked either way (RecordOfJournal tells
// which of them are).
int PendingIn(const JournalContents& journal);

// The run's record, for undoing it, with each file's entry in the journal
// at path. In a run that did not end, a file whose write was not marked is
// taken only where its times are the new ones its entry gives (the one
// time of a Run, the shift from its times before, or its own date where
// each file got one); others are left out, whatever moved them.
RunRecord RecordOfJournal(const std::wstring& path, const JournalContents& journal);

// The state a newer run left a file of the record in: written by it (own
// false: the undo asks before it takes the file back past that run), or
// only its change time moved by the program itself, reading the file or
// undoing that run (own true: taken without a question).
struct LaterState {
    TimesReadBack state;
    bool own = false;
};
using LaterStates = std::map<std::wstring, LaterState>; // by path, upper case

// The files of the record left to undo that a newer run wrote, read or
// undid, with the state the newest of them left. newer holds the journals
// newer than the record's, the newest first.
LaterStates WrittenLater(const RunRecord& record, const std::vector<StoredJournal>& newer);
// WrittenLater over the journals in the folder newer than the record's.
LaterStates NewerWrites(const std::wstring& folder, const RunRecord& record);
// The files another run wrote: the ones the undo asks about.
int WrittenByOthers(const LaterStates& later);
// The files of the record are expected in the state a newer run left them
// in: the undo takes them back past it. A state of the program's own is
// taken only where the record's times and size are still there.
void TakeLaterStates(RunRecord& record, const LaterStates& later);

// Undoes the run as Ctrl+Z does: where a newer run wrote some of its files
// too, their state is that run's, and they are taken back past it only
// when the user says yes to one question. False when the user said no and
// nothing was undone.
bool UndoPastLaterRuns(RunRecord& record, const std::wstring& journals, MessageBoxService& messages,
                       ProgressService* progress);

// One line of the history: a run (日時, 種類, フォルダ, ファイル数, 残り, 状態),
// or a file that is no readable journal.
struct HistoryLine {
    std::wstring path;
    std::vector<std::wstring> cells;
    bool damaged = false;
    bool undoable = false; // files left to undo
};
HistoryLine HistoryLineOf(const StoredJournal& journal);
std::vector<std::wstring> HistoryColumns();
inline constexpr size_t kHistoryRuns = 20; // the runs the history lists
// The run a Ctrl+Z after a start undoes: the newest kept with files left
// to undo. False for none.
bool NewestRunToUndo(const std::wstring& folder, RunRecord& record);

inline constexpr std::wstring_view kTouchedLaterText =
    L"%s個のファイルはこの後の変更でも変更されています。元に戻すと後の変更も失われます。"
    L"元に戻しますか?";
inline constexpr std::wstring_view kUnfinishedRunText =
    L"前回の変更は途中で終わっています (%s個のファイルを変更済み)。元に戻しますか?";
inline constexpr std::wstring_view kDamagedJournalText = L"壊れた記録: %s";

} // namespace kalvera
