#pragma once
// The window-free core of the Run command: composing and reading the chosen
// date, converting it to a file time, writing the chosen times of files and
// the run over the file list with its messages. The main window only gathers
// the inputs and provides the three services below.

#include <cstdint>
#include <string>
#include <string_view>

namespace kalvera {

// Days since 1899-12-30; the fraction is the time of day. Local time here.
using DateTime = double;
// 100-ns ticks since 1601-01-01 00:00 UTC.
using FileTime = std::uint64_t;

struct TimestampKinds {
    bool creation = false;
    bool lastWrite = false;
    bool lastAccess = false;
};

// The texts of the six selectors, each exactly as its item is written.
struct SelectorTexts {
    std::wstring year, month, day, hour, minute, second;
};

// Item index of the mode list.
enum ChangeMode : int { cmSelectedFile = 0, cmWholeFolder = 1 };

// "year/month/day hour:minute:second", each text unchanged.
std::wstring ComposeDateText(const SelectorTexts& texts);

// Reads a composed date text. The text is always written year first with "/"
// and ":", so it is read that way whatever the user's locale says. Raises
// the conversion error for anything else, an hour of 24 or a day that the
// month does not have.
DateTime ParseDateTimeText(std::wstring_view text);

// Local date-time to UTC, with the offset in force at that local time (the
// zone's rules for that year, daylight saving included):
// - a local time skipped when the clocks go forward is read with the offset
//   in force before the change, so it lands as far after the gap as it was
//   into it (2:30 in a one-hour gap is stored as 3:30 daylight time);
// - a local time that occurs twice when the clocks go back is read as its
//   first occurrence (still daylight time).
FileTime LocalDateTimeToFileTime(DateTime local);

// True when the path is fully qualified and names an existing entry that is
// not a directory.
bool IsExistingFile(std::wstring_view path);

// Opens the file for exclusive read and write, sets each chosen time with a
// call of its own (creation, last write, last access) and closes it. Raises
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
};

class MessageBoxService {
public:
    virtual ~MessageBoxService() = default;
    virtual void Show(std::wstring_view text, std::wstring_view caption, unsigned flags) = 0;
};

class HintService {
public:
    virtual ~HintService() = default;
    virtual void ShowHint() = 0;
};

// The Run command. Raises the conversion, open and set errors; every outcome
// it anticipates is reported through the message box.
void RunTimestampChange(const SelectorTexts& texts, int mode, TimestampKinds kinds,
                        FileListService& files, MessageBoxService& messages, HintService& hint);

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

} // namespace kalvera
