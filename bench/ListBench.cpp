// Fills the file list with a folder of 100,000 files and 1,000 subfolders,
// from setting its root to the row count being set and sorted, against a
// bare enumeration of the same folder; and the memory the rows take.
// Usage: list_bench <folder> (scripts/bench makes the folder).

#include "ShellCtrls/ShellListView.h"
#include "ShellCtrls/ShellModule.h"
#include "bench/BenchUtil.h"
#include "ui/Window.h"

#include <psapi.h>

#include <cstdio>
#include <vector>

using namespace kalvera;

namespace {

PROCESS_MEMORY_COUNTERS_EX Memory() {
    PROCESS_MEMORY_COUNTERS_EX counters{};
    GetProcessMemoryInfo(GetCurrentProcess(), reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&counters),
                         sizeof counters);
    return counters;
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: list_bench <folder>\n");
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
    for (int round = 0; round < 3; ++round) {
        size_t enumerated = 0;
        const double bare = bench::Seconds([&] {
            enumerated = bench::BareEnumeration(folder, SHCONTF_FOLDERS | SHCONTF_NONFOLDERS);
        });
        list.SetRoot(L"rfDesktop");
        // The rows come in steps: the fill ends when the list holds them.
        const double fill = bench::Seconds([&] {
            list.SetRoot(folder);
            MSG msg;
            while (list.Filling() && GetMessageW(&msg, nullptr, 0, 0))
                DispatchMessageW(&msg);
        });
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
