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
// taken only where its times show the run's new time (the one time of a
// Run, the shift from its times before, or one date for every chosen kind
// where each file got its own); others are left out.
RunRecord RecordOfJournal(const std::wstring& path, const JournalContents& journal);

// The files of the record that a newer run also wrote and has not undone,
// by path (upper case), with the state that run left them in. newer holds
// the journals newer than the record's, the newest first.
std::map<std::wstring, TimesReadBack> WrittenLater(const RunRecord& record,
                                                   const std::vector<StoredJournal>& newer);

// WrittenLater over the journals in the folder newer than the record's;
// those in settled (found with nothing left to undo, by path, with their
// sizes then) are not read again while their size is the same.
std::map<std::wstring, TimesReadBack>
NewerWrites(const std::wstring& folder, const RunRecord& record,
            const std::map<std::wstring, std::uint64_t>& settled = {});
// The files of the record a newer run wrote are expected in the state that
// run left them in: the undo takes them back past it.
void TakeLaterStates(RunRecord& record, const std::map<std::wstring, TimesReadBack>& later);

inline constexpr std::wstring_view kTouchedLaterText =
    L"%s個のファイルはこの後の変更でも変更されています。元に戻すと後の変更も失われます。"
    L"元に戻しますか?";
inline constexpr std::wstring_view kUnfinishedRunText =
    L"前回の変更は途中で終わっています (%s個のファイルを変更済み)。元に戻しますか?";
inline constexpr std::wstring_view kDamagedJournalText = L"壊れた記録: %s";

} // namespace kalvera
