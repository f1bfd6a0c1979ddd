#pragma once
// Paths handed to the program from outside (its command line, a drop, the
// address box), sorted into what the main window opens and selects.

#include <string>
#include <vector>

namespace kalvera {

struct HandedPaths {
    std::wstring folder;             // the folder to open; empty when none
    std::vector<std::wstring> names; // the entries in it to select
    std::vector<std::wstring> missing;
    int elsewhere = 0; // entries of other folders, not selected
};

// One folder alone opens that folder. Otherwise the first entry's folder
// opens with every handed entry of that folder selected, the first one in
// front. Relative paths are taken from base when one is given (a path typed
// where a folder is shown; none when that folder is outside the file
// system), else from the current directory; quotes and surrounding spaces
// are dropped; paths may be of any length.
HandedPaths SortHandedPaths(const std::vector<std::wstring>& texts,
                            const std::wstring* base = nullptr);

// One path's full form, relative ones taken from base as above; empty for
// a text that names no path.
std::wstring HandedPath(const std::wstring& text, const std::wstring& base);

inline constexpr std::wstring_view kNotFoundText = L"%s が見つかりません。";
inline constexpr std::wstring_view kElsewhereText = L"ほかのフォルダの%s個は選択していません。";

} // namespace kalvera
