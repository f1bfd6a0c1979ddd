// The runs kept in journals: finding the one Undo works on, the history
// window, and the offer to undo a run that did not end.

#include "change/ChangeForm.h"
#include "change/ListWindow.h"
#include "change/RunWindows.h"
#include "core/DateText.h"
#include "core/RunHistory.h"
#include "ui/Application.h"
#include "win/Error.h"
#include "win/Path.h"

#include <optional>

namespace kalvera {
namespace {

constexpr std::wstring_view kHistorySummaryText = L"最近の変更 (記録の保存先: %s)";

class HistorySource : public ListSource {
public:
    HistorySource(std::vector<HistoryLine> lines, std::wstring folder)
        : lines_(std::move(lines)), folder_(std::move(folder)) {}
    std::wstring Summary() const override {
        return FormatMessageText(kHistorySummaryText, folder_);
    }
    int Width(int column) const override {
        constexpr int widths[] = {150, 100, 220, 70, 50, 80};
        return widths[column];
    }
    std::vector<std::wstring> Columns() const override { return HistoryColumns(); }
    size_t Rows() const override { return lines_.size(); }
    std::wstring Cell(size_t row, int column) const override {
        const std::vector<std::wstring>& cells = lines_[row].cells;
        return size_t(column) < cells.size() ? cells[size_t(column)] : std::wstring();
    }
    std::wstring SortKey(size_t row, int column) const override {
        // The start time sorts as the journals' names do.
        return column == 0 ? std::wstring(SplitPath(lines_[row].path).second) : Cell(row, column);
    }
    bool CanChoose(size_t row) const override { return lines_[row].undoable; }
    const HistoryLine& Line(size_t row) const { return lines_[row]; }

private:
    std::vector<HistoryLine> lines_;
    std::wstring folder_;
};

} // namespace

bool TChangeForm1::FindRunToUndo() {
    if (journals_.empty())
        return lastRun_.CanUndo();
    for (const JournalOnDisk& found : JournalsIn(journals_)) {
        if (found.path == lastRun_.journal) {
            if (lastRun_.CanUndo())
                return true;
            continue;
        }
        if (auto settled = settled_.find(found.path);
            settled != settled_.end() && settled->second == found.bytes)
            continue;
        const StoredJournal journal = ReadStoredJournal(found.path);
        if (journal.contents && PendingIn(*journal.contents) > 0) {
            RunRecord record = RecordOfJournal(found.path, *journal.contents);
            if (record.CanUndo()) {
                lastRun_ = std::move(record);
                return true;
            }
        }
        settled_[found.path] = found.bytes;
    }
    return false;
}

void TChangeForm1::UndoJournal(const std::wstring& path) {
    if (path != lastRun_.journal) {
        const StoredJournal journal = ReadStoredJournal(path);
        if (!journal.contents)
            return;
        lastRun_ = RecordOfJournal(path, *journal.contents);
    }
    UndoLastRun();
}

void TChangeForm1::History1Click() {
    if (journals_.empty() || Application::Instance().SessionEnding())
        return;
    std::vector<HistoryLine> lines;
    for (const StoredJournal& journal : ReadStoredJournals(journals_, kHistoryRuns))
        lines.push_back(HistoryLineOf(journal));
    HistorySource source(std::move(lines), journals_);
    size_t chosen = 0;
    if (!ShowListWindow(Handle(), font_.get(), textHeight_, kHistoryCaption, source,
                        ListWindowKind::History, &chosen))
        return;
    UndoJournal(source.Line(chosen).path);
}

void TChangeForm1::OfferUnfinishedRuns() {
    if (journals_.empty())
        return;
    for (const JournalOnDisk& found : JournalsIn(journals_)) {
        if (EndedJournal(found.path))
            continue;
        const StoredJournal journal = ReadStoredJournal(found.path);
        if (!journal.contents || journal.contents->ended || journal.contents->reported)
            continue;
        RunRecord record = RecordOfJournal(found.path, *journal.contents);
        // Marked as offered before the question: it is asked once. A
        // journal that can't be opened for it is still being written, by
        // another window's run.
        try {
            RunJournalFile file(found.path);
            file.Add(JournalRecords::Reported());
            file.Sync();
        } catch (const Error&) {
            continue;
        }
        if (!record.CanUndo())
            continue;
        RunBoxes boxes(font_.get(), textHeight_);
        if (!boxes.Ask(
                FormatMessageText(kUnfinishedRunText, std::to_wstring(record.PendingCount())),
                kConfirmCaption))
            continue;
        lastRun_ = std::move(record);
        UndoLastRun();
    }
}

} // namespace kalvera
