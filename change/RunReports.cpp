// The reports of a run's read-back and of undoing a run.

#include "change/FileTimeWriter.h"
#include "change/TimestampCore.h"
#include "change/TreeWalk.h"
#include "win/Error.h"

#include <string>
#include <vector>

namespace kalvera {
namespace {

constexpr size_t kListedFiles = 10;

} // namespace

std::wstring ListingReport(std::wstring_view heading, const std::vector<std::wstring>& lines) {
    if (lines.empty())
        return {};
    std::wstring text = L"\n\n" + std::wstring(heading);
    for (size_t i = 0; i < lines.size() && i < kListedFiles; ++i)
        text += L"\n" + lines[i];
    if (lines.size() > kListedFiles)
        text += L"\nほか " + std::to_wstring(lines.size() - kListedFiles) + L" 個";
    return text;
}

std::wstring StoredTimesReport(const RunRecord& record) {
    std::vector<std::wstring> lines;
    for (const WrittenFile& file : record.files) {
        const FileTimes& stored = file.times.after;
        const FileTimes wanted = record.WantedOf(file);
        std::wstring line;
        auto note = [&](bool chosen, FileTime wanted, FileTime got, const wchar_t* kind) {
            if (!chosen || wanted == got)
                return;
            line += (line.empty() ? file.name + L": " : L"、") + kind + L" " +
                    DateTextOf(FileTimeToLocalDateTime(got));
        };
        note(record.kinds.creation, wanted.creation, stored.creation, L"作成");
        note(record.kinds.lastWrite, wanted.lastWrite, stored.lastWrite, L"更新");
        note(record.kinds.lastAccess, wanted.lastAccess, stored.lastAccess, L"アクセス");
        if (!line.empty())
            lines.push_back(std::move(line));
    }
    return ListingReport(kStoredOtherwiseText, lines);
}

FileTimes RunRecord::WantedOf(const WrittenFile& file) const {
    if (ownDates)
        return {file.date, file.date, file.date};
    if (shift == 0)
        return chosen;
    const FileTimes& before = file.times.before;
    auto moved = [this](FileTime time) { return static_cast<FileTime>(time + shift); };
    return {moved(before.creation), moved(before.lastAccess), moved(before.lastWrite)};
}

bool RunRecord::CanUndo() const {
    return PendingCount() > 0;
}

std::wstring RunRecord::PathOf(const WrittenFile& file) const {
    return JoinPath(folders[file.folder], file.name);
}

WrittenFile& RunRecord::Add(std::wstring_view path, bool isFolder) {
    const auto [number, name] = FolderNumberAndName(folders, path);
    WrittenFile& file = files.emplace_back();
    file.folder = number;
    file.isFolder = isFolder;
    file.name = name;
    return file;
}

int RunRecord::PendingCount() const {
    int pending = 0;
    for (const WrittenFile& file : files)
        pending += file.done ? 0 : 1;
    return pending;
}

void UndoTimestampChange(RunRecord& record, MessageBoxService& messages,
                         ProgressService* progress) {
    const int total = record.PendingCount();
    if (total == 0)
        return;
    if (total <= kProgressFrom)
        progress = nullptr;
    int restored = 0, visited = 0;
    bool stopped = false;
    std::vector<std::wstring> leftAlone;
    auto leave = [&](const WrittenFile& file, std::wstring_view why) {
        leftAlone.push_back(file.name + L": " + std::wstring(why));
    };
    // Backwards: a file reached twice gets the times it had before the
    // first write last.
    for (auto it = record.files.rbegin(); it != record.files.rend(); ++it) {
        WrittenFile& file = *it;
        if (file.done)
            continue;
        const FileIdentity key = file.times.identity;
        const bool known = key != FileIdentity{};
        TimesReadBack expected = file.times;
        if (auto left = known ? record.leftByUndo.find(key) : record.leftByUndo.end();
            left != record.leftByUndo.end()) {
            expected = left->second;
            expected.before = file.times.before;
        }
        TimesReadBack leftState;
        switch (RestoreFileTimes(record.PathOf(file), expected, record.kinds, &leftState,
                                 file.isFolder)) {
        case RestoreOutcome::Restored:
            ++restored;
            file.done = true;
            if (known)
                record.leftByUndo[key] = leftState;
            break;
        case RestoreOutcome::Changed:
            file.done = true;
            leave(file, kChangedSinceText);
            break;
        case RestoreOutcome::Missing:
            file.done = true;
            leave(file, kGoneText);
            break;
        case RestoreOutcome::CantOpen:
            leave(file, kCantOpenText);
            break;
        case RestoreOutcome::SetRefused:
            leave(file, kSetRefusedText);
            break;
        }
        ++visited;
        if (progress && !progress->Continue(visited, total) && visited < total) {
            stopped = true;
            break;
        }
    }
    if (progress)
        progress->Finished();
    std::wstring text = std::to_wstring(restored) + std::wstring(kUndoneSuffixText);
    if (stopped)
        text += L"\n" + std::wstring(kStoppedText);
    if (const int pending = record.PendingCount(); pending > 0)
        text += L"\n" + FormatMessageText(kUndoLeftText, std::to_wstring(pending));
    messages.Show(text + ListingReport(kNotUndoneText, leftAlone), kReportCaption, 0);
}

} // namespace kalvera
