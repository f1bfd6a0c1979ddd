#include "change/FileTimeWriter.h"
#include "change/TimestampCore.h"

#include <string>

namespace kalvera {
namespace {

// Writes one target, keeping it in the record when one is asked for.
bool WriteTarget(const std::wstring& path, const FileTimes& times, TimestampKinds kinds,
                 RunRecord* record, bool ifFile) {
    TimesReadBack readBack;
    TimesReadBack* read = record ? &readBack : nullptr;
    if (ifFile) {
        if (!WriteFileTimesIfFile(path, times, kinds, read))
            return false;
    } else {
        WriteFileTimesUtc(path, times, kinds, read);
    }
    if (record)
        record->files.push_back({path, readBack});
    return true;
}

std::wstring WithReadBack(std::wstring text, const RunRecord* record) {
    return record ? text + StoredTimesReport(*record) : text;
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
    messages.Show(WithReadBack(std::wstring(kChangedText), record), kReportCaption, 0);
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
    messages.Show(WithReadBack(text, extras.record), kReportCaption, 0);
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
        extras.record->ran = true;
        extras.record->kinds = kinds;
        extras.record->chosen = times;
    }
    if (mode == cmSelectedFile)
        RunOnSelectedFile(times, kinds, files, messages, hint, extras.record);
    else
        RunOnWholeFolder(times, kinds, files, messages, extras);
}

} // namespace kalvera
