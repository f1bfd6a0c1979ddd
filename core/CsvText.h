#pragma once
// Tables saved as CSV for spreadsheet programs: UTF-8 after a byte order
// mark, so that they read the Japanese names, each line ended by CRLF.

#include <string>
#include <string_view>
#include <vector>

namespace kalvera {

inline constexpr std::string_view kCsvStart = "\xEF\xBB\xBF";

// The cells as one line: quoted where a comma, a quote, a line break or an
// outer blank would otherwise be lost.
std::string CsvLine(const std::vector<std::wstring>& cells);
// Writes the text as the whole file, replacing one there; false on failure.
bool SaveCsv(const std::wstring& path, std::string_view text);

inline constexpr wchar_t kSaveErrorText[] = L"ファイル %s に保存できませんでした";

} // namespace kalvera
