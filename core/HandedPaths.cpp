#include "core/HandedPaths.h"
#include "core/FileTimeWriter.h"
#include "win/Path.h"

#include <windows.h>

namespace kalvera {
namespace {

std::wstring Trimmed(std::wstring text) {
    const auto unwanted = [](wchar_t c) { return c == L' ' || c == L'"' || c == L'\t'; };
    while (!text.empty() && unwanted(text.back()))
        text.pop_back();
    size_t start = 0;
    while (start < text.size() && unwanted(text[start]))
        ++start;
    return text.substr(start);
}

bool IsDriveLetter(wchar_t c) {
    return (c >= L'A' && c <= L'Z') || (c >= L'a' && c <= L'z');
}

// The text taken from the folder given, never from the current directory:
// "name" and "..\name" below it, "\name" on its drive, "D:" a drive's root.
std::wstring AgainstBase(const std::wstring& text, const std::wstring& base) {
    if (IsFullyQualifiedPath(text))
        return text;
    if (text.size() >= 2 && IsDriveLetter(text[0]) && text[1] == L':')
        return text.substr(0, 2) + L"\\" + text.substr(2);
    if (base.empty())
        return {};
    if (text[0] == L'\\' || text[0] == L'/')
        return base.size() >= 2 && base[1] == L':' ? base.substr(0, 2) + text : std::wstring();
    return JoinPath(base, text);
}

std::wstring FullPath(const std::wstring& text) {
    if (text.empty())
        return {};
    std::wstring full(32768, L'\0');
    const DWORD length =
        GetFullPathNameW(text.c_str(), static_cast<DWORD>(full.size()), full.data(), nullptr);
    if (length == 0 || length >= full.size())
        return {};
    full.resize(length);
    // "C:\dir\" names the folder "C:\dir"; a drive's root keeps its separator.
    if (full.size() > 3 && full.back() == L'\\')
        full.pop_back();
    return full;
}

bool SameText(std::wstring_view a, std::wstring_view b) {
    return CompareStringOrdinal(a.data(), static_cast<int>(a.size()), b.data(),
                                static_cast<int>(b.size()), TRUE) == CSTR_EQUAL;
}

} // namespace

std::wstring HandedPath(const std::wstring& text, const std::wstring& base) {
    return FullPath(AgainstBase(text, base));
}

HandedPaths SortHandedPaths(const std::vector<std::wstring>& texts, const std::wstring* base) {
    HandedPaths handed;
    std::vector<std::pair<std::wstring, bool>> found; // path, is a folder
    for (const std::wstring& raw : texts) {
        const std::wstring text = Trimmed(raw);
        if (text.empty())
            continue;
        const std::wstring path = FullPath(base ? AgainstBase(text, *base) : text);
        // A link opens as what it leads to: opening writes nothing.
        if (IsExistingFolder(path))
            found.emplace_back(path, true);
        else if (IsExistingFile(path))
            found.emplace_back(path, false);
        else
            handed.missing.push_back(text);
    }
    if (found.empty())
        return handed;
    if (found.size() == 1 && found[0].second) {
        handed.folder = found[0].first;
        return handed;
    }
    handed.folder = std::wstring(SplitPath(found[0].first).first);
    for (const auto& [path, isFolder] : found) {
        const auto [folder, name] = SplitPath(path);
        if (SameText(folder, handed.folder))
            handed.names.emplace_back(name);
        else
            ++handed.elsewhere;
    }
    return handed;
}

} // namespace kalvera
