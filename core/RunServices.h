#pragma once
// The services a run asks of the window that hosts it: its rows, its boxes,
// its hint and the progress of a long run.

#include <string>
#include <string_view>
#include <vector>

namespace kalvera {

// The services a run needs from the window that hosts it.
class FileListService {
public:
    virtual ~FileListService() = default;
    virtual int SelectedIndex() = 0; // -1 when no row is selected
    virtual int Count() = 0;
    virtual std::wstring PathOf(int index) = 0;
    // Every selected row, in list order.
    virtual std::vector<int> SelectedIndices() {
        const int index = SelectedIndex();
        return index < 0 ? std::vector<int>{} : std::vector<int>{index};
    }
    // True for a row the shell shows as a folder; asked only of rows that
    // are neither a file nor a folder on disk (My Computer, the trash).
    virtual bool IsFolderItem(int) { return false; }
    // The folder shown, as a file-system path; empty outside the file
    // system.
    virtual std::wstring FolderPath() { return {}; }
    // True while the folder's rows are still being read: the list does not
    // hold them all yet.
    virtual bool Loading() { return false; }
};

// No rows, only the folder shown: for runs whose targets come from the disk
// (a tree) or from a command line's paths.
class FolderShown : public FileListService {
public:
    explicit FolderShown(std::wstring folder) : folder_(std::move(folder)) {}
    int SelectedIndex() override { return -1; }
    int Count() override { return 0; }
    std::wstring PathOf(int) override { return {}; }
    std::wstring FolderPath() override { return folder_; }

private:
    std::wstring folder_;
};

// A file a report names, and why.
struct ListedFile {
    std::wstring path;
    std::wstring reason;
};

class MessageBoxService {
public:
    virtual ~MessageBoxService() = default;
    virtual void Show(std::wstring_view text, std::wstring_view caption, unsigned flags) = 0;
    // A report whose text names only the first files of a long list:
    // listed holds every file it would name, for a window that shows them
    // all; folder is the run's (empty where it is not known).
    virtual void ShowReport(std::wstring_view text, std::wstring_view caption,
                            const std::vector<ListedFile>& listed, std::wstring_view folder) {
        (void)listed;
        (void)folder;
        Show(text, caption, 0);
    }
    // A question with Yes and No; true for Yes.
    virtual bool Ask(std::wstring_view text, std::wstring_view caption) = 0;
    // True for a service that takes every file a report names, through
    // ShowReport, even where its text names them all (a command line's
    // report, saved as CSV).
    virtual bool WantsEveryList() const { return false; }
};

class RunPlan;

// Shows what a run will write before it writes: answers true to write it.
// It plans every target (RunPlan::Step) before it can answer true.
class PreviewService {
public:
    virtual ~PreviewService() = default;
    virtual bool Confirm(RunPlan& plan) = 0;
};

class HintService {
public:
    virtual ~HintService() = default;
    virtual void ShowHint() = 0;
};

// Told of a long run's progress after each file; answers false to stop it
// there. Used for runs over more than kProgressFrom files.
class ProgressService {
public:
    virtual ~ProgressService() = default;
    virtual bool Continue(int done, int total) = 0;
    // Reading a tree before its run: found entries so far. False stops it.
    virtual bool Reading(int) { return true; }
    // The run has ended, stopped or not.
    virtual void Finished() = 0;
};
inline constexpr int kProgressFrom = 300;

} // namespace kalvera
