#pragma once
// A table in a window of its own, modal over its owner and resizable: the
// preview of a run (its rows found while it is open, 実行 once all are
// there) and the whole list of a report (保存... writes it as CSV). Rows
// sort on a header click; Ctrl+C copies the selected ones as
// tab-separated text.

#include <windows.h>

#include <cstddef>
#include <string>
#include <vector>

namespace kalvera {

class ListSource {
public:
    virtual ~ListSource() = default;
    virtual std::vector<std::wstring> Columns() const = 0;
    // The rows there now.
    virtual size_t Rows() const = 0;
    virtual std::wstring Cell(size_t row, int column) const = 0;
    // A text that sorts as the column's values do; the cell's by default.
    virtual std::wstring SortKey(size_t row, int column) const { return Cell(row, column); }
    // Finds more rows for about the milliseconds given; false once every
    // row is there.
    virtual bool FindMore(unsigned /*milliseconds*/) { return false; }
    // The line above the table.
    virtual std::wstring Summary() const { return {}; }
    // A column's width, for a 12-pixel font.
    virtual int Width(int column) const { return column == 1 ? 200 : 150; }
    // Whether a history's 元に戻す has something to do on the row.
    virtual bool CanChoose(size_t /*row*/) const { return true; }
    // The name 保存... offers, in the user's documents.
    virtual std::wstring SaveName() const { return L"一覧.csv"; }
};

enum class ListWindowKind {
    Preview, // 実行 and キャンセル: true for 実行
    Report,  // 保存... and 閉じる
    History  // 元に戻す and 閉じる: true for 元に戻す, with the selected row chosen,
             // the button enabled on a row the source lets be chosen
};

// Shows the rows of source; textHeight is the owner's font height, by
// which lengths given for a 12-pixel font are scaled. chosen gets the
// source's row a history's 元に戻す was pressed on.
bool ShowListWindow(HWND owner, HFONT font, int textHeight, const std::wstring& caption,
                    ListSource& source, ListWindowKind kind, size_t* chosen = nullptr);

// The table as CSV: the columns' titles, then every row, each line ended
// by CRLF; in UTF-8 after a byte order mark, so that spreadsheet programs
// read the Japanese names.
std::string ListAsCsv(const ListSource& source);

inline constexpr wchar_t kPreviewCaption[] = L"変更の確認";
inline constexpr wchar_t kReportListCaption[] = L"一覧";
inline constexpr wchar_t kShowListText[] = L"一覧を表示";
inline constexpr wchar_t kHistoryCaption[] = L"履歴";

} // namespace kalvera
