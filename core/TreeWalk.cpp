#include "core/TreeWalk.h"
#include "datetime/SystemTime.h"
#include "win/Handle.h"
#include "win/Path.h"

#include <windows.h>

#include <set>
#include <utility>

namespace kalvera {
namespace {

bool IsDotEntry(const wchar_t* name) {
    return name[0] == L'.' && (name[1] == 0 || (name[1] == L'.' && name[2] == 0));
}

// The volume and file index of a folder; false when it can't be opened.
bool FolderIdentity(const std::wstring& path, std::pair<DWORD, ULONGLONG>& identity) {
    UniqueFileHandle folder(CreateFileW(ExtendedLengthPath(path).c_str(), FILE_READ_ATTRIBUTES,
                                        FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                        nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS,
                                        nullptr));
    BY_HANDLE_FILE_INFORMATION info{};
    if (!folder || !GetFileInformationByHandle(folder.get(), &info))
        return false;
    identity = {info.dwVolumeSerialNumber,
                (ULONGLONG(info.nFileIndexHigh) << 32) | info.nFileIndexLow};
    return true;
}

} // namespace

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

std::pair<std::uint32_t, std::wstring_view> FolderNumberAndName(std::vector<std::wstring>& folders,
                                                                std::wstring_view path) {
    const auto [folder, name] = SplitPath(path);
    if (folders.empty() || folders.back() != folder)
        folders.emplace_back(folder);
    return {static_cast<std::uint32_t>(folders.size() - 1), name};
}

void TargetList::Add(std::wstring_view path, bool isFolder, const FileTimes& listed) {
    const auto [number, name] = FolderNumberAndName(folders, path);
    entries.push_back({number, isFolder, std::wstring(name), listed});
}

std::wstring TargetList::PathOf(const TargetEntry& entry) const {
    return JoinPath(folders[entry.folder], entry.name);
}

TreeReadOutcome ReadTree(std::wstring_view root, bool withFolders, TargetList& out,
                         std::wstring& unreadable, const std::function<bool(size_t)>& found,
                         int* links, int* hidden) {
    out = {};
    std::wstring start(root);
    if (start.size() > 3 && start.back() == L'\\')
        start.pop_back();
    out.folders.push_back(std::move(start));
    std::set<std::pair<DWORD, ULONGLONG>> entered;
    // The folder list is also the queue of folders still to read.
    for (size_t next = 0; next < out.folders.size(); ++next) {
        const std::wstring folder = out.folders[next];
        std::pair<DWORD, ULONGLONG> identity;
        if (!FolderIdentity(folder, identity)) {
            unreadable = folder;
            return TreeReadOutcome::Unreadable;
        }
        if (!entered.insert(identity).second)
            continue;
        WIN32_FIND_DATAW data;
        HANDLE search =
            FindFirstFileExW(ExtendedLengthPath(JoinPath(folder, L"*")).c_str(), FindExInfoBasic,
                             &data, FindExSearchNameMatch, nullptr, FIND_FIRST_EX_LARGE_FETCH);
        if (search == INVALID_HANDLE_VALUE) {
            if (GetLastError() == ERROR_FILE_NOT_FOUND) // an empty drive root
                continue;
            unreadable = folder;
            return TreeReadOutcome::Unreadable;
        }
        UniqueFindHandle closer(search);
        const auto number = static_cast<std::uint32_t>(next);
        do {
            const FileTimes listed{FromFileTime(data.ftCreationTime),
                                   FromFileTime(data.ftLastAccessTime),
                                   FromFileTime(data.ftLastWriteTime)};
            if (IsDotEntry(data.cFileName))
                continue;
            if (data.dwFileAttributes & FILE_ATTRIBUTE_HIDDEN) {
                if (hidden)
                    ++*hidden;
                continue;
            }
            if (data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) {
                if (links)
                    ++*links;
                continue;
            }
            if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
                out.folders.push_back(JoinPath(folder, data.cFileName));
                if (withFolders)
                    out.entries.push_back({number, true, data.cFileName, listed});
            } else {
                out.entries.push_back({number, false, data.cFileName, listed});
            }
            if ((out.entries.size() & 1023) == 0 && !found(out.entries.size()))
                return TreeReadOutcome::Stopped;
        } while (FindNextFileW(search, &data));
        if (GetLastError() != ERROR_NO_MORE_FILES) {
            unreadable = folder;
            return TreeReadOutcome::Unreadable;
        }
        if (!found(out.entries.size()))
            return TreeReadOutcome::Stopped;
    }
    return TreeReadOutcome::Read;
}

int HiddenEntriesIn(std::wstring_view folder) {
    WIN32_FIND_DATAW data;
    UniqueFindHandle search(FindFirstFileExW(ExtendedLengthPath(JoinPath(folder, L"*")).c_str(),
                                             FindExInfoBasic, &data, FindExSearchNameMatch, nullptr,
                                             FIND_FIRST_EX_LARGE_FETCH));
    int hidden = 0;
    for (bool more = bool(search); more; more = FindNextFileW(search.get(), &data))
        hidden += !IsDotEntry(data.cFileName) && (data.dwFileAttributes & FILE_ATTRIBUTE_HIDDEN);
    return hidden;
}

} // namespace kalvera
