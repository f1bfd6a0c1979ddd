#include "change/RunWindows.h"
#include "change/ListWindow.h"
#include "core/DateText.h"
#include "core/RunPlan.h"
#include "ui/Application.h"
#include "win/Error.h"
#include "win/Path.h"

#include <algorithm>
#include <cstdio>

namespace kalvera {
namespace {

std::wstring TimeText(FileTime time) {
    return time ? DateTextOf(FileTimeToLocalDateTime(time)) : std::wstring();
}

// Ticks as three groups of seven digits: each group small enough for the
// number comparison of the sort, the groups sorting as the times do.
std::wstring TimeKey(FileTime time) {
    std::wstring key;
    for (FileTime group :
         {time / 100'000'000'000'000, time / 10'000'000 % 10'000'000, time % 10'000'000}) {
        const std::wstring digits = std::to_wstring(group);
        key += std::wstring(7 - std::min<size_t>(7, digits.size()), L'0') + digits + L'.';
    }
    return key;
}

bool Inside(std::wstring_view path, std::wstring_view folder) {
    return path.starts_with(folder) && (folder.ends_with(L'\\') || (path.size() > folder.size() &&
                                                                    path[folder.size()] == L'\\'));
}

// The folder all the paths are in.
std::wstring_view CommonFolder(const std::vector<ListedFile>& files) {
    std::wstring_view common = files.empty() ? L"" : SplitPath(files[0].path).first;
    for (const ListedFile& file : files)
        while (!common.empty() && !Inside(file.path, common))
            common = SplitPath(common).first;
    return common;
}

// A row per file a report names: name, folder, reason.
class ReportList : public ListSource {
public:
    ReportList(const std::vector<ListedFile>& files, std::wstring_view folder)
        : files_(files), folder_(folder.empty() ? CommonFolder(files) : folder) {}
    // The run's folder and today's date.
    std::wstring SaveName() const override {
        SYSTEMTIME now{};
        GetLocalTime(&now);
        wchar_t date[16];
        swprintf(date, 16, L"%04u-%02u-%02u", now.wYear, now.wMonth, now.wDay);
        std::wstring name(SplitPath(folder_).second);
        return (name.empty() ? std::wstring(kReportListCaption) : name) + L" " + date + L".csv";
    }
    std::vector<std::wstring> Columns() const override { return {L"名前", L"フォルダ", L"理由"}; }
    size_t Rows() const override { return files_.size(); }
    std::wstring Summary() const override {
        return std::to_wstring(files_.size()) + L"個のファイル";
    }
    std::wstring Cell(size_t row, int column) const override {
        const ListedFile& file = files_[row];
        const auto [folder, name] = SplitPath(file.path);
        return std::wstring(column == 0 ? name : column == 1 ? folder : file.reason);
    }

private:
    const std::vector<ListedFile>& files_;
    std::wstring folder_;
};

// A row per target of the plan: name, folder, each chosen kind now and
// then, and why it is left alone.
class PlanList : public ListSource {
public:
    explicit PlanList(RunPlan& plan) : plan_(plan), kinds_(PlanKinds(plan.Kinds())) {}
    std::vector<std::wstring> Columns() const override {
        std::vector<std::wstring> columns{L"名前", L"フォルダ"};
        for (const PlanKind& kind : kinds_) {
            columns.push_back(L"現在の" + std::wstring(kind.title));
            columns.push_back(L"新しい" + std::wstring(kind.title));
        }
        columns.push_back(L"変更しない理由");
        if (!plan_.Rule().SourceTitle().empty())
            columns.emplace_back(plan_.Rule().SourceTitle());
        return columns;
    }
    size_t Rows() const override { return plan_.Planned(); }
    std::wstring Cell(size_t row, int column) const override {
        if (column == 0)
            return plan_.Entry(row).name;
        if (column == 1)
            return plan_.FolderOf(row);
        if (IsTime(column))
            return TimeText(TimeAt(row, column));
        if (size_t(column) > 2 + 2 * kinds_.size())
            return plan_.Rule().SourceOf(row);
        return std::wstring(plan_.At(row).why);
    }
    std::wstring SortKey(size_t row, int column) const override {
        return IsTime(column) ? TimeKey(TimeAt(row, column)) : Cell(row, column);
    }
    bool FindMore(unsigned milliseconds) override { return plan_.Step(milliseconds); }
    std::wstring Summary() const override {
        return FormatMessageText(
            FormatMessageText(kPreviewCountsText, std::to_wstring(plan_.Changing())),
            std::to_wstring(plan_.Unchanged()));
    }

private:
    // After the name and the folder, each kind's time now and then.
    bool IsTime(int column) const { return column >= 2 && size_t(column - 2) / 2 < kinds_.size(); }
    // The time a time column shows; none for a target left alone.
    FileTime TimeAt(size_t row, int column) const {
        const PlannedTarget& target = plan_.At(row);
        const FileTime FileTimes::*time = kinds_[size_t(column - 2) / 2].time;
        if (column % 2 == 0)
            return target.found.before.*time;
        return target.outcome == WriteOutcome::Written ? target.times.*time : 0;
    }
    RunPlan& plan_;
    std::vector<PlanKind> kinds_;
};

} // namespace

void RunBoxes::Show(std::wstring_view text, std::wstring_view caption, unsigned flags) {
    ApplicationMessageBox(text, caption, flags);
}

bool RunBoxes::Ask(std::wstring_view text, std::wstring_view caption) {
    return ApplicationMessageBox(text, caption, MB_YESNO | MB_ICONQUESTION) == IDYES;
}

void RunBoxes::ShowReport(std::wstring_view text, std::wstring_view caption,
                          const std::vector<ListedFile>& listed, std::wstring_view folder) {
    ReportList list(listed, folder);
    const BoxButton button{kShowListText, [&] {
                               ShowListWindow(GetActiveWindow(), font_, textHeight_,
                                              kReportListCaption, list, ListWindowKind::Report);
                           }};
    ApplicationMessageBox(text, caption, 0, &button);
}

bool WindowPreview::Confirm(RunPlan& plan) {
    PlanList list(plan);
    return ShowListWindow(owner_, font_, textHeight_, kPreviewCaption, list,
                          ListWindowKind::Preview);
}

} // namespace kalvera
