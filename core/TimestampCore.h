#pragma once
// The window-free core of the Run command: composing and reading the chosen
// date, converting it to a file time, writing the chosen times of files and
// the run over the file list with its messages. The main window only gathers
// the inputs and provides the three services below.

#include "datetime/LocalTime.h"

#include <compare>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace kalvera {

// The three times of one file.
struct FileTimes {
    FileTime creation = 0, lastAccess = 0, lastWrite = 0;
    bool operator==(const FileTimes&) const = default;
};

// Reads bytes of a file from the given offset into the buffer, at most the
// given count; answers how many it read (0 at the end).
using ContentReader = std::function<std::size_t(std::uint64_t, std::uint8_t*, std::size_t)>;

// Which file a path led to: two paths that are hard links of one file have
// the same identity.
struct FileIdentity {
    std::uint32_t volume = 0;
    std::uint64_t index = 0;
    auto operator<=>(const FileIdentity&) const = default;
};

// A file's times as a write found them and as it left them (read back on
// the writer's own handle), with what moves on any other change after it:
// the change time and the size. A change time of 0 was not known.
struct TimesReadBack {
    FileTimes before, after;
    FileTime changeAfter = 0;
    std::uint64_t sizeAfter = 0;
    FileIdentity identity;
};

struct TimestampKinds {
    bool creation = false;
    bool lastWrite = false;
    bool lastAccess = false;
};

// True when the two agree on every chosen kind.
inline bool SameChosenTimes(TimestampKinds kinds, const FileTimes& a, const FileTimes& b) {
    return (!kinds.creation || a.creation == b.creation) &&
           (!kinds.lastAccess || a.lastAccess == b.lastAccess) &&
           (!kinds.lastWrite || a.lastWrite == b.lastWrite);
}

// The texts of the six selectors, each exactly as its item is written.
struct SelectorTexts {
    std::wstring year, month, day, hour, minute, second;
};

// Item index of the mode list.
enum ChangeMode : int { cmSelectedFile = 0, cmWholeFolder = 1, cmWholeTree = 2 };

// "year/month/day hour:minute:second", each text unchanged.
std::wstring ComposeDateText(const SelectorTexts& texts);

// Reads a composed date text. The text is always written year first with "/"
// and ":", so it is read that way whatever the user's locale says. Raises
// the conversion error for anything else, an hour of 24 or a day that the
// month does not have.
DateTime ParseDateTimeText(std::wstring_view text);

// The six lists' texts for a date-time, written as their items are: no
// leading zero for month, day and hour, two digits for minute and second.
SelectorTexts SelectorTextsOf(DateTime local);
// The date text of a date-time, composed of those: "2019/7/4 13:05:09".
std::wstring DateTextOf(DateTime local);

// True when the path is fully qualified and names an existing entry that is
// not a directory (a link to a file among them).
bool IsExistingFile(std::wstring_view path);

// Opens the file for exclusive read and write, sets the chosen times in one
// call and closes it. Raises
// the open error, or the set error when the file system refuses a time.
void WriteFileTimes(std::wstring_view path, DateTime creation, DateTime lastAccess,
                    DateTime lastWrite, TimestampKinds kinds);

// The services a run needs from the window that hosts it.
class FileListService {
public:
    virtual ~FileListService() = default;
    virtual int SelectedIndex() = 0; // -1 when no row is selected
    virtual int Count() = 0;
    virtual std::wstring PathOf(int index) = 0;
    // Every selected row, in list order.
    virtual std::vector<int> SelectedIndices() {
        const int index = SelectedIndex();
        return index < 0 ? std::vector<int>{} : std::vector<int>{index};
    }
    // True for a row the shell shows as a folder; asked only of rows that
    // are neither a file nor a folder on disk (My Computer, the trash).
    virtual bool IsFolderItem(int) { return false; }
    // The folder shown, as a file-system path; empty outside the file
    // system.
    virtual std::wstring FolderPath() { return {}; }
    // True while the folder's rows are still being read: the list does not
    // hold them all yet.
    virtual bool Loading() { return false; }
};

class MessageBoxService {
public:
    virtual ~MessageBoxService() = default;
    virtual void Show(std::wstring_view text, std::wstring_view caption, unsigned flags) = 0;
    // A question with Yes and No; true for Yes.
    virtual bool Ask(std::wstring_view text, std::wstring_view caption) = 0;
};

class HintService {
public:
    virtual ~HintService() = default;
    virtual void ShowHint() = 0;
};

// Told of a long run's progress after each file; answers false to stop it
// there. Used for runs over more than kProgressFrom files.
class ProgressService {
public:
    virtual ~ProgressService() = default;
    virtual bool Continue(int done, int total) = 0;
    // Reading a tree before its run: found entries so far. False stops it.
    virtual bool Reading(int) { return true; }
    // The run has ended, stopped or not.
    virtual void Finished() = 0;
};
inline constexpr int kProgressFrom = 300;

// What a run did: the times it chose, and every file it wrote with the times
// found and left there. Undoing the run works from it, file by file: a file
// is done once restored, or once it proved changed since or gone; a file
// that could not be opened or set, or that a stopped undo did not reach,
// waits for the next undo.
// A large run keeps each path as its folder's number and its name, so the
// record of a tree costs little more than its names.
struct WrittenFile {
    std::uint32_t folder = 0; // in RunRecord::folders
    bool isFolder = false;
    bool done = false;
    std::wstring name;
    TimesReadBack times;
    FileTime date = 0; // the file's own time, in a run that gave each its own
};
struct RunRecord {
    TimestampKinds kinds;
    FileTimes chosen;
    std::int64_t shift = 0; // ticks each time moved, in a shift
    bool ownDates = false;  // each file got its own date (WrittenFile::date)
    std::vector<std::wstring> folders;
    std::vector<WrittenFile> files;
    bool stopped = false;
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

// What a run may be given beyond the Run command's inputs.
struct RunExtras {
    RunRecord* record = nullptr; // the files written, each read back
    ProgressService* progress = nullptr;
    // Folders are targets too: selected or listed ones, and those below
    // the folder shown in a whole-tree run. Otherwise they are passed over.
    bool folders = false;
};

// True when the mode has targets to look at; otherwise tells why (the hint
// for no selected row, a box while the folder's rows are still being read)
// and answers false. Each change asks it first; the window asks it too
// before it asks for a change's details.
bool TargetsAtHand(int mode, FileListService& files, MessageBoxService& messages,
                   HintService& hint);

// The Run command. Raises the conversion, open and set errors; every outcome
// it anticipates is reported through the message box. The record holds what
// was written even when an error ends the run.
void RunTimestampChange(const SelectorTexts& texts, int mode, TimestampKinds kinds,
                        FileListService& files, MessageBoxService& messages, HintService& hint,
                        const RunExtras& extras = {});

// Moves each chosen time of every target of the mode by the same elapsed
// time (seconds; negative is earlier), keeping its fraction of a second. A
// target whose shifted time its volume can't keep is left unwritten and
// named in the report. Otherwise as the Run command.
void ShiftTimestamps(std::int64_t seconds, int mode, TimestampKinds kinds, FileListService& files,
                     MessageBoxService& messages, HintService& hint, const RunExtras& extras = {});

// Sets the chosen times of every file among the targets of the mode to the
// date its photo was taken (its Exif data). A file without one is left
// unwritten and named in the report; folders are passed over. Otherwise as
// the Run command.
void MatchDateTaken(int mode, TimestampKinds kinds, FileListService& files,
                    MessageBoxService& messages, HintService& hint, const RunExtras& extras = {});

// A blank line, the heading, one line per entry (at most 10, then "ほかn
// 個"); empty for no lines.
std::wstring ListingReport(std::wstring_view heading, const std::vector<std::wstring>& lines);

// The lines added to a run's report when a file system stored other times
// than the ones chosen (FAT keeps last-write times in 2-second steps and
// last-access times as dates; some shares ignore creation times): a blank
// line, the heading, one line per file (at most 10, then "ほかn個").
// Empty when every chosen time of every file read back as chosen.
std::wstring StoredTimesReport(const RunRecord& record);

// Sets the times the last run changed back to those read before it, in the
// reverse order of the run, on the files that still read back as it left
// them (the chosen times but the access time, and the size), and reports in
// a box. Files whose change time alone moved since (an attribute or a
// permission changed) are restored only when the user says yes to one
// question for all of them. Each file is marked done as it is restored: a
// stopped undo, files that could not be opened or set, and those the user
// kept, wait for the next call.
void UndoTimestampChange(RunRecord& record, MessageBoxService& messages,
                         ProgressService* progress = nullptr);

// Messages of the Run command.
inline constexpr std::wstring_view kConversionErrorText = L"'%s' は日付または時刻ではありません";
inline constexpr std::wstring_view kOpenErrorText = L"ファイル %s は開けません";
inline constexpr std::wstring_view kSetErrorText =
    L"ファイル %s のタイムスタンプを変更できませんでした";
inline constexpr std::wstring_view kChangedText = L"ファイルのタイムスタンプを変更しました。";
inline constexpr std::wstring_view kCountSuffixText =
    L"個のファイルのタイムスタンプを変更しました。";
inline constexpr std::wstring_view kMissingFileText = L"指定のファイルが存在しません。";
inline constexpr std::wstring_view kMissingAbortText =
    L"指定のファイルが存在しません。中止します。";
inline constexpr std::wstring_view kReportCaption = L"結果報告";
inline constexpr std::wstring_view kErrorCaption = L"Error";
inline constexpr std::wstring_view kConfirmCaption = L"確認";
inline constexpr std::wstring_view kStoppedText = L"中止しました。";
inline constexpr std::wstring_view kStoredOtherwiseText =
    L"次のファイルは指定どおりの時刻を記録できませんでした:";
inline constexpr std::wstring_view kUndoneSuffixText =
    L"個のファイルのタイムスタンプを元に戻しました。";
inline constexpr std::wstring_view kUndoLeftText =
    L"残り%s個のファイルは「元に戻す」(Ctrl+Z) で戻せます。";
inline constexpr std::wstring_view kChangedBeforeErrorText =
    L"それまでに%s個のファイルのタイムスタンプを変更しました。";
inline constexpr std::wstring_view kUndoHintText = L"「元に戻す」(Ctrl+Z) で元に戻せます";
inline constexpr std::wstring_view kPartlySetText =
    L"このファイルの時刻は一部だけ変更されています。";
inline constexpr std::wstring_view kReadErrorText = L"ファイル %s のタイムスタンプを読めません";
inline constexpr std::wstring_view kNothingStoredText =
    L"ファイルシステムは指定の時刻を記録しませんでした。";
inline constexpr std::wstring_view kSetRefusedText = L"設定できません";
inline constexpr std::wstring_view kNotUndoneText = L"次のファイルは元に戻しませんでした:";
inline constexpr std::wstring_view kChangedSinceText = L"変更されています";
inline constexpr std::wstring_view kGoneText = L"見つかりません";
inline constexpr std::wstring_view kCantOpenText = L"開けません";
inline constexpr std::wstring_view kFolderChangedText = L"フォルダのタイムスタンプを変更しました。";
inline constexpr std::wstring_view kFilesAndFoldersText =
    L"%s個のファイルと%s個のフォルダのタイムスタンプを変更しました。";
inline constexpr std::wstring_view kFoldersPassedText = L"フォルダ%s個は対象外です。";
inline constexpr std::wstring_view kLinksPassedText = L"リンク%s個は対象外です。";
inline constexpr std::wstring_view kStillLoadingText =
    L"フォルダを読み込んでいます。読み込みが終わってから実行してください。";
inline constexpr std::wstring_view kAttributesChangedText =
    L"%s個のファイルは実行後に属性などが変更されています。それでも元に戻しますか?";
inline constexpr std::wstring_view kUndoneWithFoldersText =
    L"%s個のファイルと%s個のフォルダのタイムスタンプを元に戻しました。";
inline constexpr std::wstring_view kUnreadableFolderText =
    L"フォルダ %s を読めません。中止します。";
inline constexpr std::wstring_view kNoTreeHereText =
    L"このフォルダではサブフォルダを含めて変更できません。";
inline constexpr std::wstring_view kReadingTreeText = L"調べています: ";
inline constexpr std::wstring_view kLoadingRowsText = L"読み込んでいます: ";
inline constexpr std::wstring_view kShiftedText = L"個のファイルのタイムスタンプをずらしました。";
inline constexpr std::wstring_view kShiftedWithFoldersText =
    L"%s個のファイルと%s個のフォルダのタイムスタンプをずらしました。";
inline constexpr std::wstring_view kMatchedText =
    L"個のファイルのタイムスタンプを撮影日時に合わせました。";
inline constexpr std::wstring_view kNotWrittenText = L"次のファイルは変更しませんでした:";
inline constexpr std::wstring_view kNoDateTakenText = L"撮影日時がありません";
inline constexpr std::wstring_view kCantKeepShiftText = L"ずらした時刻は記録できません";
inline constexpr std::wstring_view kOutOfRangeText = L"選択ファイルの日時は選べる範囲の外です。";

} // namespace kalvera
