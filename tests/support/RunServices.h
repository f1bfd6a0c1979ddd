#pragma once
// Small stand-ins for the services of a run: a file list of rows, and
// recorders of the message boxes and hints it shows.

#include "change/TimestampCore.h"

#include <functional>
#include <string>
#include <vector>

namespace kalvera::test {

class FileListFake : public FileListService {
public:
    std::vector<std::wstring> rows;
    int selected = -1;
    // Runs before each answer to Count, with the number of earlier calls.
    std::function<void(int)> onCount;

    int SelectedIndex() override { return selected; }
    int Count() override {
        if (onCount)
            onCount(countCalls);
        ++countCalls;
        return static_cast<int>(rows.size());
    }
    std::wstring PathOf(int index) override { return rows.at(static_cast<size_t>(index)); }

private:
    int countCalls = 0;
};

struct ShownBox {
    std::wstring text, caption;
    unsigned flags;
    bool operator==(const ShownBox&) const = default;
};

class MessageBoxRecorder : public MessageBoxService {
public:
    std::vector<ShownBox> shown;
    void Show(std::wstring_view text, std::wstring_view caption, unsigned flags) override {
        shown.push_back({std::wstring(text), std::wstring(caption), flags});
    }
};

class HintRecorder : public HintService {
public:
    int shown = 0;
    void ShowHint() override { ++shown; }
};

} // namespace kalvera::test
