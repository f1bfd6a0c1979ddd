// Fills the file list with a folder of 100,000 files and 1,000 subfolders,
// from setting its root to the rows being in the list, sorted, against a
// bare enumeration of the same folder; and the memory the rows take.
// With --rows 1000000 and a folder of a million files, in the details view
// with a tree and an address box: the fill, how long the window took at
// most to answer from entering the folder to the last row, the end of the
// list shown, its last file changed, and the peak working set.
// Usage: list_bench [--rows N] <folder> (scripts/bench makes the folders).

#include "ShellCtrls/ShellComboBox.h"
#include "ShellCtrls/ShellListView.h"
#include "ShellCtrls/ShellTreeView.h"
#include "ShellCtrls/ShellModule.h"
#include "bench/BenchUtil.h"
#include "core/RunTimestampChange.h"
#include "ui/Window.h"

#include <psapi.h>

#include <atomic>
#include <cstdio>
#include <thread>
#include <vector>

using namespace kalvera;

namespace {

PROCESS_MEMORY_COUNTERS_EX Memory() {
    PROCESS_MEMORY_COUNTERS_EX counters{};
    GetProcessMemoryInfo(GetCurrentProcess(), reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&counters),
                         sizeof counters);
    return counters;
}

// Asks the window every 50 ms whether it answers, and keeps the longest
// wait for an answer. The window's thread answers the last question while
// the watch ends: it would otherwise wait for itself.
class AnswerWatch {
public:
    explicit AnswerWatch(HWND window)
        : thread_([this, window] {
              while (!stop_) {
                  const ULONGLONG asked = GetTickCount64();
                  DWORD_PTR result = 0;
                  SendMessageTimeoutW(window, WM_NULL, 0, 0, SMTO_NORMAL, 60'000, &result);
                  longest_ = std::max<ULONGLONG>(longest_, GetTickCount64() - asked);
                  Sleep(50);
              }
              ended_ = true;
          }) {}
    ~AnswerWatch() {
        stop_ = true;
        MSG msg;
        while (!ended_) {
            PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE); // answers sent messages
            Sleep(1);
        }
        thread_.join();
    }
    ULONGLONG Longest() const { return longest_; }

private:
    std::atomic<bool> stop_{false}, ended_{false};
    std::atomic<ULONGLONG> longest_{0};
    std::thread thread_;
};

class Rows : public FileListService {
public:
    explicit Rows(TShellListView& list) : list_(list) {}
    int SelectedIndex() override { return list_.ItemIndex(); }
    int Count() override { return list_.Count(); }
    std::wstring PathOf(int i) override { return list_.ItemAt(i)->ParsingName(); }

private:
    TShellListView& list_;
};

// The fill ends when the list holds the rows, which come in steps.
void AwaitRows(TShellListView& list) {
    MSG msg;
    while (list.Filling() && GetMessageW(&msg, nullptr, 0, 0))
        DispatchMessageW(&msg);
}

void FillWith(TShellListView& list, const std::wstring& folder) {
    list.SetRoot(folder);
    AwaitRows(list);
}

int MillionRows(const std::wstring& folder) {
    ShellModuleScope module;
    bench::Host host;
    ShowWindow(host.Handle(), SW_SHOWNOACTIVATE);
    TShellListView list;
    TShellTreeView tree;
    TShellComboBox combo;
    for (Control* c : std::initializer_list<Control*>{&combo, &tree, &list}) {
        c->BeginLoading();
        c->SetParentWindow(host.Handle());
    }
    combo.SetBounds(0, 0, 780, 21);
    tree.SetBounds(0, 30, 200, 500);
    list.SetBounds(210, 30, 570, 530);
    combo.SetShellTreeView(&tree);
    combo.SetShellListView(&list);
    tree.SetShellComboBox(&combo);
    tree.SetShellListView(&list);
    list.SetShellTreeView(&tree);
    list.SetShellComboBox(&combo);
    list.SetViewStyle(vsReport);
    combo.Loaded();
    tree.Loaded();
    list.Loaded();
    const auto before = Memory();
    const double bare = bench::Seconds(
        [&] { bench::BareEnumeration(folder, SHCONTF_FOLDERS | SHCONTF_NONFOLDERS); });
    // Entered from the folder above it, as a user enters it from the tree
    // or the list, with the tree and the address box following; then its
    // rows come in while the window answers. The window is asked all the
    // while whether it answers.
    const IdList target = IdListOfPath(folder);
    IdList parent = IdListCopy(target.get());
    IdListStripLast(parent.get());
    list.NavigateToIdList(parent.get());
    double entering = 0;
    ULONGLONG longest = 0;
    const double fill = bench::Seconds([&] {
        AnswerWatch watch(host.Handle());
        entering = bench::Seconds([&] { list.NavigateToIdList(target.get()); });
        AwaitRows(list);
        longest = watch.Longest();
    });
    const auto after = Memory();
    const int count = list.Count();
    list.SetItemIndex(count - 1);
    ListView_EnsureVisible(list.Handle(), count - 1, FALSE);
    UpdateWindow(list.Handle());
    Rows rows(list);
    bench::QuietBox boxes;
    bench::QuietHint hint;
    RunTimestampChange({L"2004", L"4", L"1", L"9", L"30", L"00"}, cmSelectedFile,
                       {.lastWrite = true}, rows, boxes, hint);
    std::printf("1m: %d rows, first %ls, last %ls, fill %.1f s, bare enumeration %.1f s\n", count,
                count ? list.ItemAt(0)->InFolderName().c_str() : L"-",
                count ? list.ItemAt(count - 1)->InFolderName().c_str() : L"-", fill, bare);
    std::printf("1m: entering the folder took %.0f ms on the window's thread\n", entering * 1000);
    std::printf("list-1m-longest-answer-ms %llu (while the folder was entered and its rows came "
                "in; at most 100)\n",
                longest);
    WIN32_FILE_ATTRIBUTE_DATA data{};
    GetFileAttributesExW(list.ItemAt(count - 1)->ParsingName().c_str(), GetFileExInfoStandard,
                         &data);
    const FileTime written =
        FileTime(data.ftLastWriteTime.dwHighDateTime) << 32 | data.ftLastWriteTime.dwLowDateTime;
    std::printf("1m: the last file %s\n",
                written == LocalDateTimeToFileTime(ParseDateTimeText(L"2004/4/1 9:30:00"))
                    ? "was changed"
                    : "was NOT changed");
    std::printf("1m: peak working set %.0f MB\n", double(Memory().PeakWorkingSetSize) / 1e6);
    std::printf("list-1m bytes per row %.0f\n",
                double(after.PeakPagefileUsage - before.PagefileUsage) / count);
    std::printf("list-1m-fill-vs-enum ratio %.2f\n", fill / bare);
    return 0;
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc == 4 && std::wstring(argv[1]) == L"--rows")
        return MillionRows(argv[3]);
    if (argc < 2) {
        std::fprintf(stderr, "usage: list_bench [--rows N] <folder>\n");
        return 2;
    }
    const std::wstring folder = argv[1];
    ShellModuleScope module;
    bench::Host host;
    TShellListView list;
    list.SetParentWindow(host.Handle());
    list.SetViewStyle(vsSmallIcon);
    list.Handle();

    const auto before = Memory();
    std::vector<double> ratios;
    for (int round = 0; round < bench::Rounds(3); ++round) {
        size_t enumerated = 0;
        const double bare = bench::Part("list-fill-vs-enum", "bare", enumerated, [&] {
            enumerated = bench::BareEnumeration(folder, SHCONTF_FOLDERS | SHCONTF_NONFOLDERS);
        });
        list.SetRoot(L"rfDesktop");
        const double fill =
            bench::Part("list-fill-vs-enum", "run", enumerated, [&] { FillWith(list, folder); });
        std::printf("round %d: fill %.2f s, bare enumeration %.2f s, %d rows of %zu\n", round + 1,
                    fill, bare, list.Count(), enumerated);
        ratios.push_back(fill / bare);
        if (round == 0) {
            const auto after = Memory();
            std::printf("memory per row: %.0f bytes (peak %.0f)\n",
                        double(after.PagefileUsage - before.PagefileUsage) / list.Count(),
                        double(after.PeakPagefileUsage - before.PagefileUsage) / list.Count());
        }
    }
    std::printf("list-fill-vs-enum ratio %.2f\n", bench::Median(ratios));
    return 0;
}
