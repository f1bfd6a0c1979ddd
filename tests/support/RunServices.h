#pragma once
// Small stand-ins for the services of a run: a file list of rows, and
// recorders of the message boxes and hints it shows.

#include "core/RunPlan.h"
#include "core/RunServices.h"

#include <windows.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

namespace kalvera::test {

class FileListFake : public FileListService {
public:
    std::vector<std::wstring> rows;
    std::vector<int> selected;
    std::vector<int> shellFolders; // rows the shell shows as folders
    std::wstring folder;
    // Runs after each answer to PathOf, with the row asked for.
    std::function<void(int)> onPathOf;

    int SelectedIndex() override { return selected.empty() ? -1 : selected[0]; }
    std::vector<int> SelectedIndices() override { return selected; }
    int Count() override { return static_cast<int>(rows.size()); }
    std::wstring PathOf(int index) override {
        std::wstring path = rows.at(static_cast<size_t>(index));
        if (onPathOf)
            onPathOf(index);
        return path;
    }
    std::wstring FolderPath() override { return folder; }
    bool loading = false;
    bool Loading() override { return loading; }
    bool IsFolderItem(int row) override {
        return std::find(shellFolders.begin(), shellFolders.end(), row) != shellFolders.end();
    }
};

struct ShownBox {
    std::wstring text, caption;
    unsigned flags;
    bool operator==(const ShownBox&) const = default;
};

class MessageBoxRecorder : public MessageBoxService {
public:
    std::vector<ShownBox> shown;
    bool answer = true; // to each question, recorded with the flags MB_YESNO
    void Show(std::wstring_view text, std::wstring_view caption, unsigned flags) override {
        shown.push_back({std::wstring(text), std::wstring(caption), flags});
    }
    bool Ask(std::wstring_view text, std::wstring_view caption) override {
        Show(text, caption, MB_YESNO);
        return answer;
    }
};

// Plans a target at a time, as a window does in steps between the user's
// input, and answers to write once every one is planned.
class PreviewFake : public PreviewService {
public:
    bool Confirm(RunPlan& plan) override {
        while (plan.Step(0)) {
        }
        return true;
    }
};

class HintRecorder : public HintService {
public:
    int shown = 0;
    void ShowHint() override { ++shown; }
};

} // namespace kalvera::test
