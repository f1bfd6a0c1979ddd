#include "core/CommandRun.h"
#include "core/CsvText.h"
#include "core/DateText.h"
#include "core/RunHistory.h"
#include "core/RunJournalFile.h"
#include "core/RunPlan.h"
#include "core/RunTimestampChange.h"
#include "win/Console.h"
#include "win/Error.h"
#include "win/Path.h"

#include <algorithm>
#include <cstring>

namespace kalvera {
namespace {

std::wstring Joined(const std::vector<std::wstring>& cells) {
    std::wstring line;
    for (size_t i = 0; i < cells.size(); ++i)
        line += (i ? L"\t" : L"") + cells[i];
    return line;
}

// Named in a report but written, or with the times asked for already.
bool LeftAlone(std::wstring_view reason) {
    return reason != kAlreadyText && reason != kSameFileText;
}

// The boxes a run would show, as lines: errors to the error output, the
// rest unless quiet. Every file a report names is kept for the CSV.
class ConsoleBoxes : public MessageBoxService {
public:
    ConsoleBoxes(Console& console, bool quiet) : console_(console), quiet_(quiet) {}
    void Show(std::wstring_view text, std::wstring_view caption, unsigned) override {
        if (caption == kErrorCaption) {
            failed = true;
            console_.Err(text);
        } else if (!quiet_) {
            console_.Out(text);
        }
    }
    bool Ask(std::wstring_view text, std::wstring_view) override {
        declined = true;
        console_.Err(text);
        console_.Err(kAnsweredNoText);
        return false;
    }
    void ShowReport(std::wstring_view text, std::wstring_view caption,
                    const std::vector<ListedFile>& listed, std::wstring_view) override {
        files.insert(files.end(), listed.begin(), listed.end());
        if (quiet_) {
            for (const ListedFile& file : listed)
                if (LeftAlone(file.reason))
                    console_.Err(file.path + L": " + file.reason);
            return;
        }
        Show(text, caption, 0);
        // Where the text's lists were cut, every file with its whole path.
        if (text.find(L"\nほか") == std::wstring_view::npos)
            return;
        console_.Out(L"");
        console_.Out(kEveryFileText);
        for (const ListedFile& file : listed)
            console_.Out(file.path + L": " + file.reason);
    }
    bool WantsEveryList() const override { return true; }
    // The report's files as the list window saves them.
    std::string Csv() const {
        std::string text = std::string(kCsvStart) + CsvLine({L"名前", L"フォルダ", L"理由"});
        for (const ListedFile& file : files) {
            const auto [folder, name] = SplitPath(file.path);
            text += CsvLine({std::wstring(name), std::wstring(folder), file.reason});
        }
        return text;
    }
    std::vector<ListedFile> files;
    bool failed = false, declined = false;

private:
    Console& console_;
    bool quiet_;
};

// Ctrl+C stops a run where Esc would in the window.
class ConsoleProgress : public ProgressService {
public:
    bool Continue(int, int) override { return Going(); }
    bool Reading(int) override { return Going(); }
    void Finished() override {}
    bool Going() {
        stopped = stopped || Console::Interrupted();
        return !stopped;
    }
    bool stopped = false;
};

// The plan printed, a line a target, and nothing written.
class ConsolePreview : public PreviewService {
public:
    ConsolePreview(Console& console, bool quiet, ConsoleProgress& progress)
        : console_(console), quiet_(quiet), progress_(progress) {}
    bool Confirm(RunPlan& plan) override {
        const std::vector<PlanKind> kinds = PlanKinds(plan.Kinds());
        const bool sources = !plan.Rule().SourceTitle().empty();
        std::vector<std::wstring> columns{L"パス"};
        for (const PlanKind& kind : kinds)
            columns.insert(columns.end(), {L"現在の" + std::wstring(kind.title),
                                           L"新しい" + std::wstring(kind.title)});
        columns.push_back(L"変更しない理由");
        if (sources)
            columns.emplace_back(plan.Rule().SourceTitle());
        Line(columns, false, {});
        for (bool more = true; more;) {
            more = plan.Step(100);
            for (size_t row = printed_; row < plan.Planned(); ++row) {
                const PlannedTarget& target = plan.At(row);
                const bool written = target.outcome == WriteOutcome::Written;
                std::vector<std::wstring> cells{JoinPath(plan.FolderOf(row), plan.Entry(row).name)};
                for (const PlanKind& kind : kinds)
                    cells.insert(cells.end(),
                                 {TimeText(target.found.before.*kind.time),
                                  written ? TimeText(target.times.*kind.time) : std::wstring()});
                const std::wstring_view why = written ? std::wstring_view() : target.why;
                cells.emplace_back(why);
                if (sources)
                    cells.push_back(plan.Rule().SourceOf(row));
                Line(cells, !written && LeftAlone(target.why), why);
            }
            printed_ = plan.Planned();
            if (more && !progress_.Going())
                break;
        }
        return false;
    }
    std::string csv = std::string(kCsvStart);
    bool leftAlone = false;

private:
    static std::wstring TimeText(FileTime time) {
        return time ? DateTextOf(FileTimeToLocalDateTime(time)) : std::wstring();
    }
    // alone: a target left alone, for the reason why.
    void Line(const std::vector<std::wstring>& cells, bool alone, std::wstring_view why) {
        csv += CsvLine(cells);
        leftAlone = leftAlone || alone;
        if (!quiet_)
            console_.Out(Joined(cells));
        else if (alone)
            console_.Err(cells.front() + L": " + std::wstring(why));
    }
    Console& console_;
    bool quiet_;
    ConsoleProgress& progress_;
    size_t printed_ = 0;
};

class NoHint : public HintService {
public:
    void ShowHint() override {}
};

int Outcome(const ConsoleBoxes& boxes, const ConsoleProgress& progress) {
    if (progress.stopped || boxes.failed)
        return kExitStopped;
    const bool alone = std::any_of(boxes.files.begin(), boxes.files.end(),
                                   [](const ListedFile& file) { return LeftAlone(file.reason); });
    return alone || boxes.declined ? kExitLeftAlone : kExitDone;
}

int SavedCsv(const std::wstring& path, const std::string& text, int code, Console& console) {
    if (path.empty() || SaveCsv(path, text))
        return code;
    console.Err(FormatMessageText(kSaveErrorText, path));
    return kExitStopped;
}

int Run(const CommandLine& command, Console& console, const std::wstring& journals) {
    ConsoleBoxes boxes(console, command.quiet);
    ConsoleProgress progress;
    ConsolePreview preview(console, command.quiet, progress);
    // The folder shown is the first path's.
    const std::wstring& first = command.paths.front();
    FolderShown files(
        KindOnDisk(first) == EntryKind::Folder ? first : std::wstring(SplitPath(first).first));
    NoHint hint;
    RunRecord record;
    const RunExtras extras{&record,
                           &progress,
                           command.folders,
                           command.preview ? &preview : nullptr,
                           command.filter,
                           journals,
                           0,
                           &command.paths,
                           command.subfolders};
    const int mode = command.subfolders ? cmWholeTree : cmWholeFolder;
    const TimestampKinds kinds = command.kinds;
    if (!progress.Going())
        return kExitStopped;
    switch (command.source) {
    case TimeSource::Set:
        RunTimestampChange(SelectorTextsOf(FileTimeToLocalDateTime(command.time)), mode, kinds,
                           files, boxes, hint, extras);
        break;
    case TimeSource::Shift:
        ShiftTimestamps(command.shiftSeconds, mode, kinds, files, boxes, hint, extras);
        break;
    case TimeSource::Photo:
        MatchDateTaken(mode, kinds, files, boxes, hint, extras);
        break;
    case TimeSource::Name:
        MatchNameDate(mode, kinds, files, boxes, hint, extras);
        break;
    case TimeSource::Sidecar:
        MatchSidecarDates(mode, kinds, files, boxes, hint, extras);
        break;
    case TimeSource::Contents:
        MatchFolderContents(mode, kinds, files, boxes, hint, extras);
        break;
    case TimeSource::From:
        MatchOtherFolder(command.from, mode, kinds, files, boxes, hint, extras);
        break;
    case TimeSource::None:
        break;
    }
    if (command.preview) {
        const int code = progress.stopped    ? kExitStopped
                         : boxes.failed      ? kExitStopped
                         : preview.leftAlone ? kExitLeftAlone
                                             : kExitDone;
        return SavedCsv(command.csv, preview.csv, code, console);
    }
    return SavedCsv(command.csv, boxes.Csv(), Outcome(boxes, progress), console);
}

// The newest run with files left to undo, taken back as Ctrl+Z takes it.
int Undo(const CommandLine& command, Console& console, const std::wstring& journals) {
    RunRecord record;
    if (journals.empty() || !NewestRunToUndo(journals, record)) {
        if (!command.quiet)
            console.Out(kNothingToUndoText);
        return kExitNothingToUndo;
    }
    ConsoleBoxes boxes(console, command.quiet);
    ConsoleProgress progress;
    if (!UndoPastLaterRuns(record, journals, boxes, &progress))
        return kExitLeftAlone;
    return Outcome(boxes, progress);
}

int History(Console& console, const std::wstring& journals) {
    console.Out(Joined(HistoryColumns()));
    if (!journals.empty())
        for (const StoredJournal& journal : ReadStoredJournals(journals, kHistoryRuns))
            console.Out(Joined(HistoryLineOf(journal).cells));
    return kExitDone;
}

} // namespace

int RunCommandLine(const ParsedCommand& parsed, Console& console, const std::wstring& journals) {
    if (!parsed.error.empty()) {
        console.Err(parsed.error);
        console.Err(kUsageHintText);
        return kExitBadArguments;
    }
    const CommandLine& command = parsed.command;
    try {
        switch (command.action) {
        case CommandAction::Run:
            return Run(command, console, journals);
        case CommandAction::Undo:
            return Undo(command, console, journals);
        case CommandAction::History:
            return History(console, journals);
        default:
            console.Out(kCommandUsageText);
            return kExitDone;
        }
    } catch (const Error& e) {
        // A journal that can't be written, a file the run can't go on
        // past: the files written before it stay undoable.
        console.Err(e.Message());
    } catch (const std::exception& e) {
        console.Err(L"エラー: " + std::wstring(e.what(), e.what() + std::strlen(e.what())));
    }
    return kExitStopped;
}

} // namespace kalvera
