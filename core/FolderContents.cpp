#include "core/FolderContents.h"
#include "core/ErrorReasons.h"
#include "core/RunTimestampChange.h"
#include "win/Handle.h"
#include "win/Path.h"

#include <windows.h>

#include <algorithm>
#include <functional>
#include <utility>
#include <vector>

namespace kalvera {
namespace {

// Paths compared as the file system compares names.
std::wstring Key(std::wstring_view path) {
    std::wstring key(path);
    CharUpperBuffW(key.data(), static_cast<DWORD>(key.size()));
    return key;
}

} // namespace

bool FolderContentsRule::Decide(std::wstring_view path, const TargetState&, const ContentReader&,
                                FileTimes& times, std::wstring_view& why) {
    WIN32_FIND_DATAW found{};
    const std::wstring pattern = ExtendedLengthPath(JoinPath(path, L"*"));
    UniqueFindHandle find(FindFirstFileExW(pattern.c_str(), FindExInfoBasic, &found,
                                           FindExSearchNameMatch, nullptr,
                                           FIND_FIRST_EX_LARGE_FETCH));
    if (!find && GetLastError() != ERROR_FILE_NOT_FOUND) {
        why = CantListReason(GetLastError());
        return false;
    }
    FileTime newest = 0;
    bool any = false;
    std::vector<std::pair<FileTime, std::wstring>> files;
    for (bool more = bool(find); more; more = FindNextFileW(find.get(), &found)) {
        const std::wstring_view name = found.cFileName;
        if (name == L"." || name == L".." ||
            (found.dwFileAttributes & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_REPARSE_POINT)))
            continue;
        FileTime time = (FileTime(found.ftLastWriteTime.dwHighDateTime) << 32) |
                        found.ftLastWriteTime.dwLowDateTime;
        if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
            files.emplace_back(time, name);
            continue;
        }
        std::lock_guard guard(decidedLock_);
        if (auto it = decided_.find(Key(JoinPath(path, name))); it != decided_.end())
            time = it->second;
        newest = std::max(newest, time);
        any = true;
    }
    // A link to a file the system does not mark holds another file's time:
    // the newest files are looked at until one is no link.
    std::sort(files.begin(), files.end(), std::greater<>());
    UnmarkedLinks links;
    for (const auto& [time, name] : files) {
        if (any && time <= newest)
            break;
        if (!links.Is(JoinPath(path, name))) {
            newest = std::max(newest, time);
            any = true;
            break;
        }
    }
    if (!any) {
        why = kEmptyFolderText;
        return false;
    }
    times = {newest, newest, newest};
    if (kinds_.lastWrite) {
        std::lock_guard guard(decidedLock_);
        decided_[Key(path)] = newest;
    }
    return true;
}

} // namespace kalvera
