#include "change/FileTimeWriter.h"
#include "change/TimestampCore.h"

#include <string>

namespace kalvera {
namespace {

void RunOnSelectedFile(const FileTimes& times, TimestampKinds kinds, FileListService& files,
                       MessageBoxService& messages, HintService& hint) {
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
    WriteFileTimesUtc(path, times, kinds);
    messages.Show(kChangedText, kReportCaption, 0);
}

void RunOnWholeFolder(const FileTimes& times, TimestampKinds kinds, FileListService& files,
                      MessageBoxService& messages) {
    // Every listed item must be a file before any of them is changed.
    for (int i = 0, n = files.Count(); i < n; ++i) {
        if (!IsExistingFile(files.PathOf(i))) {
            messages.Show(kMissingAbortText, kErrorCaption, 0);
            return;
        }
    }
    // An item that has vanished since the check is passed over silently, and
    // the report counts only the files whose times were set.
    int written = 0;
    for (int i = 0, n = files.Count(); i < n; ++i)
        written += WriteFileTimesIfFile(files.PathOf(i), times, kinds) ? 1 : 0;
    messages.Show(std::to_wstring(written) + std::wstring(kCountSuffixText), kReportCaption, 0);
}

} // namespace

void RunTimestampChange(const SelectorTexts& texts, int mode, TimestampKinds kinds,
                        FileListService& files, MessageBoxService& messages, HintService& hint) {
    // The date is read first: an unreadable date stops even a run that has
    // no file to work on.
    const DateTime when = ParseDateTimeText(ComposeDateText(texts));
    if (mode != cmSelectedFile && mode != cmWholeFolder)
        return;
    // The same instant goes to every chosen kind of every target.
    const FileTime utc = LocalDateTimeToFileTime(when);
    const FileTimes times{utc, utc, utc};
    if (mode == cmSelectedFile)
        RunOnSelectedFile(times, kinds, files, messages, hint);
    else
        RunOnWholeFolder(times, kinds, files, messages);
}

} // namespace kalvera
