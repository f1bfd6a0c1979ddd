#include "core/TreeWalk.h"
#include "core/WorkPool.h"
#include "datetime/SystemTime.h"
#include "win/FolderEntries.h"
#include "win/Handle.h"
#include "win/Path.h"

#include <windows.h>

#include <set>
#include <utility>

namespace kalvera {
namespace {

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

size_t TargetList::LevelEnd(size_t start) const {
    auto depth = [&](size_t i) {
        const std::wstring& folder = folders[entries[i].folder];
        return std::count(folder.begin(), folder.end(), L'\\');
    };
    size_t end = start + 1;
    while (end < entries.size() && depth(end) == depth(start))
        ++end;
    return std::min(end, entries.size());
}

std::wstring TargetList::PathOf(const TargetEntry& entry) const {
    return JoinPath(folders[entry.folder], entry.name);
}

namespace {

// One folder's listing, made on a thread of the pool.
struct Listing {
    bool opened = false; // its identity read
    std::pair<DWORD, ULONGLONG> identity;
    DWORD error = ERROR_SUCCESS; // of the search, where it failed
    struct Entry {
        std::wstring name;
        DWORD attributes;
        FileTimes listed;
    };
    std::vector<Entry> entries;
};

void List(const std::wstring& folder, Listing& listing) {
    listing = Listing{};
    listing.opened = FolderIdentity(folder, listing.identity);
    if (!listing.opened)
        return;
    if (!EachFolderEntry(folder, [&](const WIN32_FIND_DATAW& data) {
            listing.entries.push_back(
                {data.cFileName,
                 data.dwFileAttributes,
                 {FromFileTime(data.ftCreationTime), FromFileTime(data.ftLastAccessTime),
                  FromFileTime(data.ftLastWriteTime)}});
        }))
        listing.error = GetLastError();
}

} // namespace

TreeReadOutcome ReadTree(std::wstring_view root, bool withFolders, TargetList& out,
                         std::wstring& unreadable, const std::function<bool(size_t)>& found,
                         int* links, int* hidden, unsigned threads) {
    out = {};
    std::wstring start(root);
    if (start.size() > 3 && start.back() == L'\\')
        start.pop_back();
    out.folders.push_back(std::move(start));
    std::set<std::pair<DWORD, ULONGLONG>> entered;
    // Folders are listed on the pool's threads, ahead of the one taken;
    // they are taken in the order a walk of one thread takes them, so the
    // targets and the loop guard are the same on any number of threads.
    constexpr size_t kAhead = 64;
    std::vector<Listing> ahead(kAhead);
    WorkPool pool(threads);
    OrderedJobs jobs(pool, kAhead);
    size_t posted = 0;
    // The folder list is also the queue of folders still to read.
    for (size_t next = 0; next < out.folders.size(); ++next) {
        for (; posted < out.folders.size() && posted < next + kAhead; ++posted)
            jobs.Post(posted, [folder = out.folders[posted], listing = &ahead[posted % kAhead]] {
                List(folder, *listing);
            });
        while (!jobs.WaitFor(next, 50))
            if (!found(out.entries.size()))
                return TreeReadOutcome::Stopped;
        if (const std::exception_ptr failed = jobs.Failure(next))
            std::rethrow_exception(failed);
        const Listing& listing = ahead[next % kAhead];
        // A copy: the list grows below.
        const std::wstring folder = out.folders[next];
        if (!listing.opened) {
            unreadable = folder;
            return TreeReadOutcome::Unreadable;
        }
        if (!entered.insert(listing.identity).second)
            continue;
        if (listing.error == ERROR_FILE_NOT_FOUND) // an empty drive root
            continue;
        if (listing.error != ERROR_SUCCESS) {
            unreadable = folder;
            return TreeReadOutcome::Unreadable;
        }
        const auto number = static_cast<std::uint32_t>(next);
        for (const Listing::Entry& data : listing.entries) {
            if (data.attributes & FILE_ATTRIBUTE_HIDDEN) {
                if (hidden)
                    ++*hidden;
                continue;
            }
            if (data.attributes & FILE_ATTRIBUTE_REPARSE_POINT) {
                if (links)
                    ++*links;
                continue;
            }
            if (data.attributes & FILE_ATTRIBUTE_DIRECTORY) {
                out.folders.push_back(JoinPath(folder, data.name));
                if (withFolders)
                    out.entries.push_back({number, true, data.name, data.listed});
            } else {
                out.entries.push_back({number, false, data.name, data.listed});
            }
            if ((out.entries.size() & 1023) == 0 && !found(out.entries.size()))
                return TreeReadOutcome::Stopped;
        }
        if (!found(out.entries.size()))
            return TreeReadOutcome::Stopped;
    }
    return TreeReadOutcome::Read;
}

int HiddenEntriesIn(std::wstring_view folder) {
    int hidden = 0;
    EachFolderEntry(folder, [&](const WIN32_FIND_DATAW& data) {
        hidden += (data.dwFileAttributes & FILE_ATTRIBUTE_HIDDEN) != 0;
    });
    return hidden;
}

} // namespace kalvera
