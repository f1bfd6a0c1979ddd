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

// The count round (scripts/bench sets KALVERA_BENCH_COUNT): each case runs
// once, over a few hundred files, each of its parts between two marks that
// the Wine server's trace of its requests shows, so that the script counts
// the requests a part makes per file (the end mark carries the number of
// files). Outside it, nothing is marked.
bool Counting();
void Mark(const char* name, const char* part, size_t items);

// Times the part of the case, marked in the count round with the files it
// went over (items, read once the work is done).
template <typename F>
double Part(const char* name, const char* part, const size_t& items, F&& work) {
    Mark(name, part, 0);
    const double seconds = Seconds(work);
    Mark("-", "-", items);
    return seconds;
}
// Rounds of a case: one in the count round.
inline int Rounds(int rounds) {
    return Counting() ? 1 : rounds;
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
