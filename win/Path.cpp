#include "win/Path.h"

#include <windows.h>

namespace kalvera {
namespace {

bool IsSeparator(wchar_t c) {
    return c == L'\\' || c == L'/';
}
bool IsDriveLetter(wchar_t c) {
    return (c >= L'A' && c <= L'Z') || (c >= L'a' && c <= L'z');
}
bool HasPrefix(std::wstring_view text, std::wstring_view prefix) {
    return text.substr(0, prefix.size()) == prefix;
}

} // namespace

bool IsFullyQualifiedPath(std::wstring_view path) {
    if (path.size() >= 3 && IsDriveLetter(path[0]) && path[1] == L':' && IsSeparator(path[2]))
        return true;
    if (HasPrefix(path, LR"(\\?\)"))
        return path.size() > 4;
    // The device namespace ("\\.\") names devices and pipes, never a user's file.
    if (HasPrefix(path, LR"(\\.\)"))
        return false;
    return path.size() > 2 && IsSeparator(path[0]) && IsSeparator(path[1]) && !IsSeparator(path[2]);
}

std::wstring ExtendedLengthPath(std::wstring_view path) {
    // CreateFileW's limit is MAX_PATH; directories allow 12 characters fewer.
    constexpr size_t kLongFrom = MAX_PATH - 12;
    if (path.size() < kLongFrom || !IsFullyQualifiedPath(path) || HasPrefix(path, LR"(\\?\)"))
        return std::wstring(path);
    std::wstring result;
    if (IsSeparator(path[0]))
        result = LR"(\\?\UNC\)" + std::wstring(path.substr(2));
    else
        result = LR"(\\?\)" + std::wstring(path);
    // The "\\?\" form is passed to the file system as it is: no "/" folding.
    for (auto& c : result)
        if (c == L'/')
            c = L'\\';
    return result;
}

std::wstring JoinPath(std::wstring_view folder, std::wstring_view name) {
    std::wstring path(folder);
    if (!path.empty() && path.back() != L'\\')
        path += L'\\';
    return path += name;
}

std::pair<std::wstring_view, std::wstring_view> SplitPath(std::wstring_view path) {
    const size_t at = path.find_last_of(L'\\');
    if (at == std::wstring_view::npos)
        return {{}, path};
    // "C:\name" keeps the root's separator; "\\server\share\name" does not
    // need to.
    const size_t folderEnd = at > 0 && path[at - 1] == L':' ? at + 1 : at;
    return {path.substr(0, folderEnd), path.substr(at + 1)};
}

} // namespace kalvera
