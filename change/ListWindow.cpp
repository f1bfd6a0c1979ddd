#include "change/ListWindow.h"
#include "core/CsvText.h"
#include "core/RunTimestampChange.h"
#include "ui/Application.h"
#include "ui/CodeDialog.h"
#include "win/Error.h"
#include "win/Handle.h"

#include <commctrl.h>
#include <commdlg.h>
#include <shlobj.h>
#include <shlwapi.h>

#include <algorithm>
#include <numeric>
#include <exception>
#include <optional>

namespace kalvera {
namespace {

enum : int { kList = 100, kSummary, kSave };
constexpr UINT_PTR kFindTimer = 1;

struct WindowState {
    HFONT font;
    int textHeight;
    const std::wstring& caption;
    ListSource& source;
    ListWindowKind kind;
    std::vector<size_t> order; // the source's row shown on each line
    int sortColumn = -1;
    bool descending = false;
    bool finding = false;
    std::wstring cell;   // the text the list was handed last
    bool fitted = false; // the columns fit rows found
    std::exception_ptr failure;
    size_t chosen = 0; // the row a history's 元に戻す was pressed on

    int Scale(int value) const { return MulDiv(value, textHeight, 12); }
};

HWND MakeChild(HWND dialog, const WindowState& state, const wchar_t* type, const wchar_t* text,
               DWORD style, int id, DWORD exStyle = 0) {
    return MakeDialogChild(dialog, state.font, type, text, style, id, {}, exStyle);
}

// The two buttons of the kind, the right one last.
std::pair<int, int> ButtonsOf(ListWindowKind kind) {
    return kind == ListWindowKind::Report ? std::pair{int(kSave), IDCANCEL}
                                          : std::pair{IDOK, IDCANCEL};
}

void Layout(HWND dialog, const WindowState& state) {
    RECT client{};
    GetClientRect(dialog, &client);
    const int margin = state.Scale(8), line = state.Scale(16);
    const int buttonWidth = state.Scale(88), buttonHeight = state.Scale(25);
    const int bottom = client.bottom - margin - buttonHeight;
    MoveWindow(GetDlgItem(dialog, kSummary), margin, margin, client.right - 2 * margin, line, TRUE);
    MoveWindow(GetDlgItem(dialog, kList), margin, 2 * margin + line, client.right - 2 * margin,
               std::max(0, bottom - margin - (2 * margin + line)), TRUE);
    const auto [left, right] = ButtonsOf(state.kind);
    MoveWindow(GetDlgItem(dialog, right), client.right - margin - buttonWidth, bottom, buttonWidth,
               buttonHeight, TRUE);
    MoveWindow(GetDlgItem(dialog, left), client.right - 2 * (margin + buttonWidth) + margin, bottom,
               buttonWidth, buttonHeight, TRUE);
}

// The rows found so far, and the summary.
void Refresh(HWND dialog, WindowState& state) {
    const size_t rows = state.source.Rows();
    while (state.order.size() < rows)
        state.order.push_back(state.order.size());
    HWND list = GetDlgItem(dialog, kList);
    ListView_SetItemCountEx(list, int(rows), LVSICF_NOINVALIDATEALL | LVSICF_NOSCROLL);
    InvalidateRect(list, nullptr, FALSE);
    SetDlgItemTextW(dialog, kSummary, state.source.Summary().c_str());
}

// The line of the history the user chose, if the source lets it be chosen.
std::optional<size_t> ChosenRow(HWND dialog, const WindowState& state) {
    const int line = ListView_GetNextItem(GetDlgItem(dialog, kList), -1, LVNI_SELECTED);
    if (line < 0 || !state.source.CanChoose(state.order[size_t(line)]))
        return std::nullopt;
    return state.order[size_t(line)];
}

void EnableChoice(HWND dialog, const WindowState& state) {
    if (state.kind == ListWindowKind::History)
        EnableWindow(GetDlgItem(dialog, IDOK), ChosenRow(dialog, state).has_value());
}

// Each column as wide as its title and its widest text (of a few thousand
// rows at most, spread over them), within the list's width: where they
// don't all fit in the window grown to its monitor, the widest give way
// first.
void FitColumns(HWND dialog, WindowState& state) {
    HWND list = GetDlgItem(dialog, kList);
    const std::vector<std::wstring> titles = state.source.Columns();
    const size_t rows = state.source.Rows(), step = std::max<size_t>(1, rows / 2000);
    // The cell's margins, and in a title the sort arrow too.
    const int margin = state.Scale(14), arrow = state.Scale(12);
    std::vector<int> widths(titles.size());
    {
        HDC dc = GetDC(list);
        const HGDIOBJ font = SelectObject(dc, state.font);
        auto width = [&](const std::wstring& text) {
            SIZE size{};
            GetTextExtentPoint32W(dc, text.c_str(), int(text.size()), &size);
            return int(size.cx) + margin;
        };
        for (size_t column = 0; column < titles.size(); ++column) {
            widths[column] = width(titles[column]) + arrow;
            for (size_t row = 0; row < rows; row += step)
                widths[column] =
                    std::max(widths[column], width(state.source.Cell(row, int(column))));
        }
        SelectObject(dc, font);
        ReleaseDC(list, dc);
    }
    RECT client{};
    GetClientRect(list, &client);
    int room = client.right - GetSystemMetrics(SM_CXVSCROLL);
    const int wanted = std::accumulate(widths.begin(), widths.end(), 0);
    // Once, the window grows for them, as far as its monitor's work area
    // lets it, staying centred where it was.
    if (wanted > room && !state.fitted) {
        MONITORINFO monitor{sizeof monitor};
        GetMonitorInfoW(MonitorFromWindow(dialog, MONITOR_DEFAULTTONEAREST), &monitor);
        const RECT area = monitor.rcWork;
        RECT frame{};
        GetWindowRect(dialog, &frame);
        const int width =
            std::min<int>(area.right - area.left, frame.right - frame.left + wanted - room);
        const int left =
            std::clamp<int>((frame.left + frame.right - width) / 2, area.left, area.right - width);
        SetWindowPos(dialog, nullptr, left, frame.top, width, frame.bottom - frame.top,
                     SWP_NOZORDER | SWP_NOACTIVATE);
        GetClientRect(list, &client);
        room = client.right - GetSystemMetrics(SM_CXVSCROLL);
    }
    auto total = [&](int cap) {
        int sum = 0;
        for (int width : widths)
            sum += std::min(width, cap);
        return sum;
    };
    // The largest cap at which every column fits; never below a title's
    // few characters.
    int low = state.Scale(48), high = *std::max_element(widths.begin(), widths.end());
    while (low < high) {
        const int cap = (low + high + 1) / 2;
        if (total(cap) <= room)
            low = cap;
        else
            high = cap - 1;
    }
    for (size_t column = 0; column < widths.size(); ++column)
        ListView_SetColumnWidth(list, int(column), std::min(widths[column], low));
    state.fitted = rows > 0;
}

void FindMore(HWND dialog, WindowState& state) {
    const bool more = state.source.FindMore(40);
    Refresh(dialog, state);
    if (!more || !state.fitted)
        FitColumns(dialog, state);
    if (more)
        return;
    KillTimer(dialog, kFindTimer);
    state.finding = false;
    EnableWindow(GetDlgItem(dialog, IDOK),
                 state.kind != ListWindowKind::History || ChosenRow(dialog, state));
}

void Build(HWND dialog, WindowState& state) {
    SetWindowTextW(dialog, state.caption.c_str());
    MakeChild(dialog, state, L"Static", L"", SS_LEFT | SS_NOPREFIX, kSummary);
    HWND list = MakeChild(dialog, state, WC_LISTVIEWW, L"",
                          LVS_REPORT | LVS_OWNERDATA | LVS_SHOWSELALWAYS | WS_TABSTOP, kList,
                          WS_EX_CLIENTEDGE);
    ListView_SetExtendedListViewStyle(list, LVS_EX_FULLROWSELECT | LVS_EX_HEADERDRAGDROP);
    const std::vector<std::wstring> columns = state.source.Columns();
    for (size_t i = 0; i < columns.size(); ++i) {
        LVCOLUMNW column{LVCF_TEXT | LVCF_WIDTH | LVCF_SUBITEM};
        column.pszText = const_cast<wchar_t*>(columns[i].c_str());
        column.cx = state.Scale(state.source.Width(int(i)));
        column.iSubItem = int(i);
        ListView_InsertColumn(list, int(i), &column);
    }
    const bool preview = state.kind == ListWindowKind::Preview;
    const bool history = state.kind == ListWindowKind::History;
    MakeChild(dialog, state, L"Button",
              preview   ? L"実行"
              : history ? L"元に戻す"
                        : L"保存...",
              BS_DEFPUSHBUTTON | WS_TABSTOP | (preview ? WS_DISABLED : 0),
              ButtonsOf(state.kind).first);
    MakeChild(dialog, state, L"Button", preview ? L"キャンセル" : L"閉じる",
              BS_PUSHBUTTON | WS_TABSTOP, IDCANCEL);

    CentreOnOwner(dialog, state.Scale(680), state.Scale(400));
    Layout(dialog, state);
    Refresh(dialog, state);
    if (state.source.Rows() > 0)
        FitColumns(dialog, state);
    SetFocus(list);
    if (history && state.source.Rows() > 0)
        ListView_SetItemState(list, 0, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
    // The rows are found between the user's input: a timer comes only when
    // nothing else waits.
    state.finding = true;
    SetTimer(dialog, kFindTimer, 1, nullptr);
}

void Sort(HWND dialog, WindowState& state, int column) {
    state.descending = column == state.sortColumn && !state.descending;
    state.sortColumn = column;
    std::vector<std::wstring> keys(state.order.size());
    for (size_t row = 0; row < keys.size(); ++row)
        keys[row] = state.source.SortKey(row, column);
    std::stable_sort(state.order.begin(), state.order.end(), [&](size_t a, size_t b) {
        const int order = StrCmpLogicalW(keys[a].c_str(), keys[b].c_str());
        return state.descending ? order > 0 : order < 0;
    });
    HWND header = ListView_GetHeader(GetDlgItem(dialog, kList));
    for (int i = 0; i < Header_GetItemCount(header); ++i) {
        HDITEMW item{HDI_FORMAT};
        Header_GetItem(header, i, &item);
        item.fmt &= ~(HDF_SORTUP | HDF_SORTDOWN);
        if (i == column)
            item.fmt |= state.descending ? HDF_SORTDOWN : HDF_SORTUP;
        Header_SetItem(header, i, &item);
    }
    InvalidateRect(GetDlgItem(dialog, kList), nullptr, FALSE);
    EnableChoice(dialog, state);
}

// The selected lines, in the order shown, as tab-separated text after the
// columns' titles, as spreadsheets take them.
void Copy(HWND dialog, const WindowState& state) {
    HWND list = GetDlgItem(dialog, kList);
    const std::vector<std::wstring> titles = state.source.Columns();
    const int columns = int(titles.size());
    std::wstring text;
    if (ListView_GetSelectedCount(list) == 0)
        return;
    for (int column = 0; column < columns; ++column)
        text += titles[size_t(column)] + (column + 1 < columns ? L"\t" : L"\r\n");
    for (int line = ListView_GetNextItem(list, -1, LVNI_SELECTED); line >= 0;
         line = ListView_GetNextItem(list, line, LVNI_SELECTED))
        for (int column = 0; column < columns; ++column)
            text += state.source.Cell(state.order[size_t(line)], column) +
                    (column + 1 < columns ? L"\t" : L"\r\n");
    if (!OpenClipboard(dialog))
        return;
    EmptyClipboard();
    if (HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, (text.size() + 1) * sizeof(wchar_t))) {
        std::copy_n(text.c_str(), text.size() + 1, static_cast<wchar_t*>(GlobalLock(memory)));
        GlobalUnlock(memory);
        if (!SetClipboardData(CF_UNICODETEXT, memory))
            GlobalFree(memory);
    }
    CloseClipboard();
}

void Save(HWND dialog, const WindowState& state) {
    std::wstring path(MAX_PATH, L'\0');
    const std::wstring name = state.source.SaveName().substr(0, MAX_PATH - 1);
    std::copy(name.begin(), name.end(), path.begin());
    // In the user's documents: the program's own folder may not be
    // writable.
    std::wstring documents;
    if (PWSTR found = nullptr;
        SUCCEEDED(SHGetKnownFolderPath(FOLDERID_Documents, 0, nullptr, &found))) {
        documents = found;
        CoTaskMemFree(found);
    }
    OPENFILENAMEW ask{sizeof ask};
    ask.hwndOwner = dialog;
    ask.lpstrInitialDir = documents.empty() ? nullptr : documents.c_str();
    ask.lpstrFilter = L"CSV (*.csv)\0*.csv\0すべてのファイル (*.*)\0*.*\0";
    ask.lpstrFile = path.data();
    ask.nMaxFile = DWORD(path.size());
    ask.lpstrDefExt = L"csv";
    ask.Flags = OFN_OVERWRITEPROMPT | OFN_PATHMUSTEXIST | OFN_NOCHANGEDIR | OFN_HIDEREADONLY;
    if (!GetSaveFileNameW(&ask))
        return;
    path.resize(path.find(L'\0'));
    if (!SaveCsv(path, ListAsCsv(state.source)))
        ApplicationMessageBox(FormatMessageText(kSaveErrorText, path), kErrorCaption, MB_ICONSTOP);
}

bool OnNotify(HWND dialog, WindowState& state, NMHDR& header) {
    if (header.idFrom != kList)
        return false;
    switch (header.code) {
    case LVN_GETDISPINFOW: {
        LVITEMW& item = reinterpret_cast<NMLVDISPINFOW&>(header).item;
        if ((item.mask & LVIF_TEXT) && size_t(item.iItem) < state.order.size()) {
            state.cell = state.source.Cell(state.order[size_t(item.iItem)], item.iSubItem);
            lstrcpynW(item.pszText, state.cell.c_str(), item.cchTextMax);
        }
        return true;
    }
    case LVN_ITEMCHANGED:
    case LVN_ODSTATECHANGED:
        EnableChoice(dialog, state);
        return true;
    case LVN_COLUMNCLICK:
        Sort(dialog, state, reinterpret_cast<NMLISTVIEW&>(header).iSubItem);
        return true;
    case LVN_KEYDOWN: {
        const WORD key = reinterpret_cast<NMLVKEYDOWN&>(header).wVKey;
        if (GetKeyState(VK_CONTROL) < 0 && key == 'C')
            Copy(dialog, state);
        else if (GetKeyState(VK_CONTROL) < 0 && key == 'A')
            ListView_SetItemState(header.hwndFrom, -1, LVIS_SELECTED, LVIS_SELECTED);
        return true;
    }
    }
    return false;
}

INT_PTR CALLBACK ListWindowProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* state = reinterpret_cast<WindowState*>(
        message == WM_INITDIALOG ? lParam : GetWindowLongPtrW(dialog, DWLP_USER));
    if (!state)
        return FALSE;
    try {
        switch (message) {
        case WM_INITDIALOG:
            SetWindowLongPtrW(dialog, DWLP_USER, lParam);
            Build(dialog, *state);
            return FALSE; // the focus is set
        case WM_SIZE:
            Layout(dialog, *state);
            return TRUE;
        case WM_GETMINMAXINFO:
            reinterpret_cast<MINMAXINFO*>(lParam)->ptMinTrackSize = {state->Scale(360),
                                                                     state->Scale(200)};
            return TRUE;
        case WM_TIMER:
            if (wParam == kFindTimer && state->finding)
                FindMore(dialog, *state);
            return TRUE;
        case WM_NOTIFY:
            if (OnNotify(dialog, *state, *reinterpret_cast<NMHDR*>(lParam))) {
                SetWindowLongPtrW(dialog, DWLP_MSGRESULT, 0);
                return TRUE;
            }
            break;
        case WM_COMMAND:
            switch (LOWORD(wParam)) {
            case IDOK:
                // Enter before every row is found writes nothing yet.
                if (state->kind == ListWindowKind::Preview && !state->finding)
                    EndDialog(dialog, IDOK);
                // Enter reaches here with the button disabled too.
                if (state->kind == ListWindowKind::History)
                    if (const std::optional<size_t> row = ChosenRow(dialog, *state)) {
                        state->chosen = *row;
                        EndDialog(dialog, IDOK);
                    }
                return TRUE;
            case IDCANCEL:
                KillTimer(dialog, kFindTimer);
                EndDialog(dialog, IDCANCEL);
                return TRUE;
            case kSave:
                Save(dialog, *state);
                return TRUE;
            }
            break;
        }
    } catch (...) {
        // Nothing crosses into the dialog manager: the failure is raised
        // again once the window is gone.
        state->failure = std::current_exception();
        KillTimer(dialog, kFindTimer);
        EndDialog(dialog, IDABORT);
        return TRUE;
    }
    return FALSE;
}

} // namespace

bool ShowListWindow(HWND owner, HFONT font, int textHeight, const std::wstring& caption,
                    ListSource& source, ListWindowKind kind, size_t* chosen) {
    INITCOMMONCONTROLSEX classes{sizeof classes, ICC_LISTVIEW_CLASSES};
    InitCommonControlsEx(&classes);
    WindowState state{font, textHeight, caption, source, kind};
    const INT_PTR result = RunCodeDialog(owner,
                                         WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_THICKFRAME |
                                             WS_MAXIMIZEBOX | WS_CLIPCHILDREN,
                                         ListWindowProc, &state);
    if (state.failure)
        std::rethrow_exception(state.failure);
    if (chosen)
        *chosen = state.chosen;
    return result == IDOK;
}

std::string ListAsCsv(const ListSource& source) {
    const std::vector<std::wstring> columns = source.Columns();
    std::string text = std::string(kCsvStart) + CsvLine(columns);
    for (size_t row = 0; row < source.Rows(); ++row) {
        std::vector<std::wstring> cells;
        for (size_t i = 0; i < columns.size(); ++i)
            cells.push_back(source.Cell(row, int(i)));
        text += CsvLine(cells);
    }
    return text;
}

} // namespace kalvera
