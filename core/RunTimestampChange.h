#pragma once
// The Run command and the runs that give each target its own time (a shift,
// a photo's date taken), over the targets of a mode, with their messages. The
// main window only gathers the inputs and provides the services.

#include "core/DateText.h"
#include "core/FileTimes.h"
#include "core/RunRecord.h"
#include "core/RunServices.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace kalvera {

// Item index of the mode list.
enum ChangeMode : int { cmSelectedFile = 0, cmWholeFolder = 1, cmWholeTree = 2 };

// What a run may be given beyond the Run command's inputs.
struct RunExtras {
    RunRecord* record = nullptr; // the files written, each read back
    ProgressService* progress = nullptr;
    // Folders are targets too: selected or listed ones, and those below
    // the folder shown in a whole-tree run. Otherwise they are passed over.
    bool folders = false;
    // Shown what a run over more than one target will write, before it
    // writes.
    PreviewService* preview = nullptr;
    // The names a folder or tree run takes (NamePatterns); others are
    // passed over.
    std::wstring_view patterns;
    // The folder of journals: a run that writes keeps its journal there
    // (JournaledRun), and a journal that can't be written stops it with an
    // error. Empty for none.
    std::wstring_view journals;
    // The threads the run works on; 0: RunThreads().
    unsigned threads = 0;
    // Targets named by their paths (a command line's) in place of the
    // mode's rows: each file, and each folder's entries as the folder mode
    // takes them (every file below it with subfolders, as the tree mode
    // does). The patterns narrow them all.
    const std::vector<std::wstring>* paths = nullptr;
    bool subfolders = false;
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
// date its bytes give (a photo's Exif data, a movie's creation date). A
// file without one is left unwritten and named in the report; folders are
// passed over. Otherwise as the Run command.
void MatchDateTaken(int mode, TimestampKinds kinds, FileListService& files,
                    MessageBoxService& messages, HintService& hint, const RunExtras& extras = {});

// Sets the chosen times of folders to the newest last-write time of the
// entries each holds directly: the selected folders, the folders listed, or
// every folder below the one shown, deepest first. An empty folder is left
// alone and named. Otherwise as the Run command.
void MatchFolderContents(int mode, TimestampKinds kinds, FileListService& files,
                         MessageBoxService& messages, HintService& hint,
                         const RunExtras& extras = {});

// As MatchDateTaken, with the date and time each file's name gives.
void MatchNameDate(int mode, TimestampKinds kinds, FileListService& files,
                   MessageBoxService& messages, HintService& hint, const RunExtras& extras = {});

// As MatchDateTaken, with the date the file beside each target gives (its
// photo service's JSON file, its XMP sidecar: core/SidecarDates). Those
// files themselves are passed over and counted.
void MatchSidecarDates(int mode, TimestampKinds kinds, FileListService& files,
                       MessageBoxService& messages, HintService& hint,
                       const RunExtras& extras = {});

// Gives each target the chosen times of its counterpart below the folder
// source (core/OtherFolder): folders too where they are targets. A target
// without exactly one counterpart of its size is left alone and named.
// Otherwise as the Run command.
void MatchOtherFolder(std::wstring_view source, int mode, TimestampKinds kinds,
                      FileListService& files, MessageBoxService& messages, HintService& hint,
                      const RunExtras& extras = {});

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
inline constexpr std::wstring_view kNotAllowedText = L"書き込みが許可されていません";
inline constexpr std::wstring_view kNotReadableText = L"読み取りが許可されていません";
inline constexpr std::wstring_view kInUseText = L"ほかのプログラムが使用中です";
inline constexpr std::wstring_view kPathTooLongText = L"パスが長すぎます";
inline constexpr std::wstring_view kCantReadText = L"時刻を読めません";
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
inline constexpr std::wstring_view kNamedText =
    L"個のファイルのタイムスタンプをファイル名の日時に合わせました。";
inline constexpr std::wstring_view kNoNameDateText = L"ファイル名に日時がありません";
inline constexpr std::wstring_view kContentsText =
    L"個のフォルダのタイムスタンプを中身に合わせました。";
inline constexpr std::wstring_view kEmptyFolderText = L"空のフォルダです";
inline constexpr std::wstring_view kNamesPassedText = L"名前が対象外のファイル: %s個";
inline constexpr std::wstring_view kBadPatternText =
    L"「対象」の \"%s\" にはファイル名に使えない文字があります。";
inline constexpr std::wstring_view kLinkText = L"リンクです";
inline constexpr std::wstring_view kSameFileText = L"別の名前で変更します";
inline constexpr std::wstring_view kAlreadyText = L"すでにその日時です";
inline constexpr std::wstring_view kHiddenPassedText = L"隠しファイル%s個は対象外です。";
inline constexpr std::wstring_view kCantKeepShiftText = L"ずらした時刻は記録できません";
inline constexpr std::wstring_view kSidecarMatchedText =
    L"個のファイルのタイムスタンプをJSON/XMPの日時に合わせました。";
inline constexpr std::wstring_view kNoSidecarDateText = L"JSON/XMPに日時がありません";
inline constexpr std::wstring_view kCantReadSidecarText = L"JSON/XMPファイルを読めません";
inline constexpr std::wstring_view kDamagedSidecarText = L"JSON/XMPファイルが壊れています";
inline constexpr std::wstring_view kLargeSidecarText = L"JSON/XMPファイルが1 MiBを超えています";
inline constexpr std::wstring_view kSidecarsPassedText = L"JSON/XMPファイル%s個は対象外です。";
inline constexpr std::wstring_view kCopiedText =
    L"個のファイルのタイムスタンプを別のフォルダに合わせました。";
inline constexpr std::wstring_view kCopiedWithFoldersText =
    L"%s個のファイルと%s個のフォルダのタイムスタンプを別のフォルダに合わせました。";
inline constexpr std::wstring_view kOtherSizeText = L"大きさが違います";
inline constexpr std::wstring_view kNoCounterpartText = L"対応するファイルがありません";
inline constexpr std::wstring_view kManyCounterpartsText = L"候補が複数あります";
inline constexpr std::wstring_view kCounterpartColumnText = L"元のファイル";
inline constexpr std::wstring_view kOutOfRangeText = L"選択ファイルの日時は選べる範囲の外です。";

} // namespace kalvera
