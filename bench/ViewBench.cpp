// Entering a folder of 20,000 files in the small-icon view against the
// details view, in the same run: the small-icon view lays out every row at
// once, where the details view asks only for the rows it shows.
// Usage: view_bench <folder>.

#include "ShellCtrls/ShellListView.h"
#include "ShellCtrls/ShellModule.h"
#include "bench/BenchUtil.h"

#include <cstdio>
#include <vector>

using namespace kalvera;

namespace {

double Enter(bench::Host& host, TViewStyle style, const std::wstring& folder) {
    TShellListView list;
    list.SetParentWindow(host.Handle());
    list.SetBounds(0, 0, 780, 560);
    list.SetViewStyle(style);
    list.Handle();
    const IdList target = bench::ParsePath(folder);
    const double seconds = bench::Seconds([&] {
        list.NavigateToIdList(target.get());
        UpdateWindow(list.Handle());
    });
    return seconds;
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: view_bench <folder>\n");
        return 2;
    }
    ShellModuleScope module;
    bench::Host host;
    ShowWindow(host.Handle(), SW_SHOWNOACTIVATE);
    std::vector<double> ratios;
    for (int round = 0; round < 3; ++round) {
        const double details = Enter(host, vsReport, argv[1]);
        const double small = Enter(host, vsSmallIcon, argv[1]);
        std::printf("round %d: small icons %.2f s, details %.2f s\n", round + 1, small, details);
        ratios.push_back(small / details);
    }
    std::printf("smallicon-vs-details ratio %.2f\n", bench::Median(ratios));
    return 0;
}
