// Entering a folder of 20,000 files in the small-icon view and in the
// details view, each against a bare owner-data list view in the same view
// with the same rows: the system image list, and texts and icons answered
// at once from memory. The small-icon view lays out every row at once,
// where the details view asks only for the rows it shows.
// Usage: view_bench <folder>.

#include "ShellCtrls/ShellListView.h"
#include "ShellCtrls/ShellModule.h"
#include "bench/BenchUtil.h"

#include <cstdio>
#include <string>
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

// The control alone: its window answers the control's questions from the
// names and the one icon it was given.
class BareHost : public Window {
public:
    BareHost(std::vector<std::wstring> names, int icon) : names_(std::move(names)), icon_(icon) {
        CreateHandle(L"bare", WS_OVERLAPPEDWINDOW, 0, 0, 0, 800, 600, nullptr);
        ShowWindow(Handle(), SW_SHOWNOACTIVATE);
    }

    double Enter(bool details) {
        SHFILEINFOW info{};
        const auto small = reinterpret_cast<HIMAGELIST>(
            SHGetFileInfoW(L"C:\\", 0, &info, sizeof info, SHGFI_SYSICONINDEX | SHGFI_SMALLICON));
        HWND list =
            CreateWindowExW(WS_EX_CLIENTEDGE, WC_LISTVIEWW, nullptr,
                            WS_CHILD | WS_VISIBLE | LVS_OWNERDATA | LVS_SHAREIMAGELISTS |
                                (details ? LVS_REPORT : LVS_SMALLICON),
                            0, 0, 780, 560, Handle(), nullptr, GetModuleHandleW(nullptr), nullptr);
        ListView_SetImageList(list, small, LVSIL_SMALL);
        if (details) {
            const wchar_t* captions[] = {L"名前", L"サイズ", L"種類", L"更新日時"};
            for (int i = 0; i < 4; ++i) {
                LVCOLUMNW column{LVCF_TEXT | LVCF_WIDTH, 0, 150, const_cast<wchar_t*>(captions[i])};
                ListView_InsertColumn(list, i, &column);
            }
        }
        const double seconds = bench::Seconds([&] {
            ListView_SetItemCountEx(list, int(names_.size()), LVSICF_NOINVALIDATEALL);
            SendMessageW(list, LVM_ARRANGE, LVA_DEFAULT, 0);
            UpdateWindow(list);
        });
        DestroyWindow(list);
        return seconds;
    }

protected:
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override {
        const auto* header = reinterpret_cast<NMHDR*>(lParam);
        if (message == WM_NOTIFY && header->code == LVN_GETDISPINFOW) {
            LVITEMW& row = reinterpret_cast<NMLVDISPINFOW*>(lParam)->item;
            if ((row.mask & LVIF_TEXT) && row.pszText)
                lstrcpynW(row.pszText, row.iSubItem ? L"1 KB" : names_[row.iItem].c_str(),
                          row.cchTextMax);
            if (row.mask & LVIF_IMAGE)
                row.iImage = icon_;
            return 0;
        }
        return Window::HandleMessage(message, wParam, lParam);
    }

private:
    std::vector<std::wstring> names_;
    int icon_;
};

} // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: view_bench <folder>\n");
        return 2;
    }
    ShellModuleScope module;
    bench::Host host;
    ShowWindow(host.Handle(), SW_SHOWNOACTIVATE);
    // The bare control gets the folder's own names and the icon of its
    // first file.
    std::vector<std::wstring> names;
    WIN32_FIND_DATAW data;
    HANDLE search = FindFirstFileW((std::wstring(argv[1]) + L"\\*").c_str(), &data);
    int icon = 0;
    if (search != INVALID_HANDLE_VALUE) {
        do {
            if (!(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
                names.push_back(data.cFileName);
        } while (FindNextFileW(search, &data));
        FindClose(search);
        SHFILEINFOW info{};
        SHGetFileInfoW((std::wstring(argv[1]) + L"\\" + names[0]).c_str(), 0, &info, sizeof info,
                       SHGFI_SYSICONINDEX | SHGFI_SMALLICON);
        icon = info.iIcon;
    }
    BareHost bare(names, icon);
    std::vector<double> smallRatios, detailsRatios, ratios;
    for (int round = 0; round < 3; ++round) {
        const double details = Enter(host, vsReport, argv[1]);
        const double small = Enter(host, vsSmallIcon, argv[1]);
        const double bareDetails = bare.Enter(true), bareSmall = bare.Enter(false);
        std::printf("round %d: small icons %.2f s (bare %.2f s), details %.2f s (bare %.2f s)\n",
                    round + 1, small, bareSmall, details, bareDetails);
        ratios.push_back(small / details);
        smallRatios.push_back(small / bareSmall);
        detailsRatios.push_back(details / bareDetails);
    }
    std::printf("smallicon-vs-details ratio %.2f\n", bench::Median(ratios));
    std::printf("smallicon-vs-bare ratio %.2f\n", bench::Median(smallRatios));
    std::printf("details-vs-bare ratio %.2f\n", bench::Median(detailsRatios));
    return 0;
}
