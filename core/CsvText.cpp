#include "core/CsvText.h"
#include "win/Error.h"
#include "win/Handle.h"

#include <windows.h>

namespace kalvera {
namespace {

std::string CsvField(const std::wstring& text) {
    std::string field = ToUtf8(text);
    if (field.find_first_of(",\"\r\n") == std::string::npos && !field.starts_with(' ') &&
        !field.ends_with(' '))
        return field;
    std::string quoted = "\"";
    for (char c : field)
        quoted += c == '"' ? std::string("\"\"") : std::string(1, c);
    return quoted + "\"";
}

} // namespace

std::string CsvLine(const std::vector<std::wstring>& cells) {
    std::string line;
    for (size_t i = 0; i < cells.size(); ++i)
        line += CsvField(cells[i]) + (i + 1 < cells.size() ? "," : "");
    return line + "\r\n";
}

bool SaveCsv(const std::wstring& path, std::string_view text) {
    UniqueFileHandle file(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                      FILE_ATTRIBUTE_NORMAL, nullptr));
    DWORD written = 0;
    return file && WriteFile(file.get(), text.data(), DWORD(text.size()), &written, nullptr) &&
           written == text.size();
}

} // namespace kalvera
