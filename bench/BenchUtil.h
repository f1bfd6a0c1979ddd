#pragma once
// Timing and scratch folders for the benchmarks.

#include "ShellCtrls/IdList.h"
#include "core/RunTimestampChange.h"
#include "ui/Window.h"

#include <windows.h>

#include <algorithm>
#include <string>
#include <vector>

namespace kalvera::bench {

template <typename F> double Seconds(F&& work) {
    LARGE_INTEGER frequency, start, end;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&start);
    work();
    QueryPerformanceCounter(&end);
    return double(end.QuadPart - start.QuadPart) / double(frequency.QuadPart);
}

inline double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

// A run's services that show nothing.
class QuietBox : public MessageBoxService {
public:
    void Show(std::wstring_view, std::wstring_view, unsigned) override {}
    bool Ask(std::wstring_view, std::wstring_view) override { return true; }
};
class QuietHint : public HintService {
public:
    void ShowHint() override {}
};

// An invisible top-level window to hold the controls being measured.
class Host : public Window {
public:
    Host() { CreateHandle(L"bench", WS_OVERLAPPEDWINDOW, 0, 0, 0, 800, 600, nullptr); }
};

// The absolute identifier list of a path, as the shell parses it.
IdList ParsePath(const std::wstring& path);
// Enumerates a folder's children with nothing else, counting them.
size_t BareEnumeration(const std::wstring& path, SHCONTF flags);

// A scratch folder under the temporary folder, removed afterwards.
class BenchFolder {
public:
    explicit BenchFolder(const std::wstring& name);
    ~BenchFolder();
    BenchFolder(const BenchFolder&) = delete;
    BenchFolder& operator=(const BenchFolder&) = delete;
    const std::wstring& Path() const { return path_; }
    std::wstring MakeFile(const std::wstring& name);
    std::wstring MakeDir(const std::wstring& name);

private:
    std::wstring path_;
};

} // namespace kalvera::bench
