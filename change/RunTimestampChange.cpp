#include "change/FileTimeWriter.h"
#include "change/TimestampCore.h"
#include "win/Error.h"

#include <string>

namespace kalvera {
namespace {

// Writes one target, keeping it in the record when one is asked for. The
// record holds the file from the moment its times were read, so a file that
// a refused set left partly changed stays undoable, and the error says so.
bool WriteTarget(const std::wstring& path, const FileTimes& times, TimestampKinds kinds,
                 RunRecord* record, bool ifFile) {
    TimesReadBack* read = nullptr;
    if (record) {
        record->files.push_back({path, {}});
        read = &record->files.back().times;
    }
    auto dropEntry = [&] {
        if (record)
            record->files.pop_back();
    };
    try {
        if (ifFile) {
            if (!WriteFileTimesIfFile(path, times, kinds, read)) {
                dropEntry();
                return false;
            }
        } else {
            WriteFileTimesUtc(path, times, kinds, read);
        }
    } catch (const Error& e) {
        if (!read || read->after == read->before) {
            dropEntry();
            throw;
        }
        throw Error(e.Message() + L"\n" + std::wstring(kPartlySetText));
    }
    return true;
}

// True when at least one written file read back every chosen time as chosen.
bool AnyStoredAsChosen(const RunRecord& record) {
    for (const WrittenFile& file : record.files)
        if (SameChosenTimes(record.kinds, file.times.after, record.chosen))
            return true;
    return false;
}

// The report's headline, then the read-back list. Where files were written
// but not one of them kept the chosen times, the headline says so instead of
// claiming a change.
std::wstring Report(std::wstring headline, const RunRecord* record) {
    if (!record)
        return headline;
    if (!record->files.empty() && !AnyStoredAsChosen(*record))
        headline = std::wstring(kNothingStoredText);
    return headline + StoredTimesReport(*record);
}

void RunOnSelectedFile(const FileTimes& times, TimestampKinds kinds, FileListService& files,
                       MessageBoxService& messages, HintService& hint, RunRecord* record) {
    const int index = files.SelectedIndex();
    if (index < 0) {
        hint.ShowHint();
        return;
    }
    const std::wstring path = files.PathOf(index);
    if (!IsExistingFile(path)) {
        messages.Show(kMissingFileText, kErrorCaption, 0);
        return;
    }
    WriteTarget(path, times, kinds, record, false);
    messages.Show(Report(std::wstring(kChangedText), record), kReportCaption, 0);
}

void RunOnWholeFolder(const FileTimes& times, TimestampKinds kinds, FileListService& files,
                      MessageBoxService& messages, const RunExtras& extras) {
    // Every listed item must be a file before any of them is changed.
    for (int i = 0, n = files.Count(); i < n; ++i) {
        if (!IsExistingFile(files.PathOf(i))) {
            messages.Show(kMissingAbortText, kErrorCaption, 0);
            return;
        }
    }
    // An item that has vanished since the check is passed over silently, and
    // the report counts only the files whose times were set.
    const int total = files.Count();
    ProgressService* progress = total > kProgressFrom ? extras.progress : nullptr;
    int written = 0;
    bool stopped = false;
    try {
        for (int i = 0; i < total; ++i) {
            written += WriteTarget(files.PathOf(i), times, kinds, extras.record, true) ? 1 : 0;
            if (progress && !progress->Continue(i + 1, total) && i + 1 < total) {
                stopped = true;
                break;
            }
        }
    } catch (const Error& e) {
        if (progress)
            progress->Finished();
        // The files changed before the error stay changed: the error says
        // how many, and that the undo gives them back.
        const size_t changed = extras.record ? extras.record->files.size() : written;
        if (changed == 0)
            throw;
        throw Error(e.Message() + L"\n" +
                    FormatMessageText(kChangedBeforeErrorText, std::to_wstring(changed)) + L"\n" +
                    std::wstring(kUndoHintText));
    } catch (...) {
        if (progress)
            progress->Finished();
        throw;
    }
    if (progress)
        progress->Finished();
    if (extras.record)
        extras.record->stopped = stopped;
    std::wstring text = std::to_wstring(written) + std::wstring(kCountSuffixText);
    if (stopped)
        text += L"\n" + std::wstring(kStoppedText);
    messages.Show(Report(text, extras.record), kReportCaption, 0);
}

} // namespace

void RunTimestampChange(const SelectorTexts& texts, int mode, TimestampKinds kinds,
                        FileListService& files, MessageBoxService& messages, HintService& hint,
                        const RunExtras& extras) {
    // The date is read first: an unreadable date stops even a run that has
    // no file to work on.
    const DateTime when = ParseDateTimeText(ComposeDateText(texts));
    if (mode != cmSelectedFile && mode != cmWholeFolder)
        return;
    // The same instant goes to every chosen kind of every target.
    const FileTime utc = LocalDateTimeToFileTime(when);
    const FileTimes times{utc, utc, utc};
    if (extras.record) {
        *extras.record = RunRecord{};
        extras.record->kinds = kinds;
        extras.record->chosen = times;
    }
    if (mode == cmSelectedFile)
        RunOnSelectedFile(times, kinds, files, messages, hint, extras.record);
    else
        RunOnWholeFolder(times, kinds, files, messages, extras);
}

} // namespace kalvera
