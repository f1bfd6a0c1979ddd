// The reports of a run's read-back and of undoing a run.

#include "change/FileTimeWriter.h"
#include "change/TimestampCore.h"

#include <string>
#include <vector>

namespace kalvera {
namespace {

constexpr size_t kListedFiles = 10;

std::wstring FileNameOf(const std::wstring& path) {
    const size_t at = path.find_last_of(L"\\/");
    return at == std::wstring::npos ? path : path.substr(at + 1);
}

// A blank line, the heading, a line per file (at most ten, then how many
// more there are).
std::wstring Listing(std::wstring_view heading, const std::vector<std::wstring>& lines) {
    if (lines.empty())
        return {};
    std::wstring text = L"\n\n" + std::wstring(heading);
    for (size_t i = 0; i < lines.size() && i < kListedFiles; ++i)
        text += L"\n" + lines[i];
    if (lines.size() > kListedFiles)
        text += L"\nほか " + std::to_wstring(lines.size() - kListedFiles) + L" 個";
    return text;
}

} // namespace

std::wstring StoredTimesReport(const RunRecord& record) {
    std::vector<std::wstring> lines;
    for (const WrittenFile& file : record.files) {
        const FileTimes& stored = file.times.after;
        std::wstring line;
        auto note = [&](bool chosen, FileTime wanted, FileTime got, const wchar_t* kind) {
            if (!chosen || wanted == got)
                return;
            line += (line.empty() ? FileNameOf(file.path) + L": " : L"、") + kind + L" " +
                    DateTextOf(FileTimeToLocalDateTime(got));
        };
        note(record.kinds.creation, record.chosen.creation, stored.creation, L"作成");
        note(record.kinds.lastWrite, record.chosen.lastWrite, stored.lastWrite, L"更新");
        note(record.kinds.lastAccess, record.chosen.lastAccess, stored.lastAccess, L"アクセス");
        if (!line.empty())
            lines.push_back(std::move(line));
    }
    return Listing(kStoredOtherwiseText, lines);
}

void UndoTimestampChange(RunRecord& record, MessageBoxService& messages,
                         ProgressService* progress) {
    if (!record.CanUndo())
        return;
    record.undone = true;
    const int total = static_cast<int>(record.files.size());
    if (total <= kProgressFrom)
        progress = nullptr;
    int restored = 0;
    bool stopped = false;
    std::vector<std::wstring> leftAlone;
    for (int i = 0; i < total; ++i) {
        const WrittenFile& file = record.files[static_cast<size_t>(i)];
        switch (RestoreFileTimes(file.path, file.times, record.kinds)) {
        case RestoreOutcome::Restored:
            ++restored;
            break;
        case RestoreOutcome::Changed:
            leftAlone.push_back(FileNameOf(file.path) + L": " + std::wstring(kChangedSinceText));
            break;
        case RestoreOutcome::Missing:
            leftAlone.push_back(FileNameOf(file.path) + L": " + std::wstring(kGoneText));
            break;
        case RestoreOutcome::CantOpen:
            leftAlone.push_back(FileNameOf(file.path) + L": " + std::wstring(kCantOpenText));
            break;
        }
        if (progress && !progress->Continue(i + 1, total) && i + 1 < total) {
            stopped = true;
            break;
        }
    }
    if (progress)
        progress->Finished();
    std::wstring text = std::to_wstring(restored) + std::wstring(kUndoneSuffixText);
    if (stopped)
        text += L"\n" + std::wstring(kStoppedText);
    messages.Show(text + Listing(kNotUndoneText, leftAlone), kReportCaption, 0);
}

} // namespace kalvera
