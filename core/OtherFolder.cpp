#include "core/OtherFolder.h"
#include "core/RunTimestampChange.h"
#include "datetime/SystemTime.h"
#include "win/FolderEntries.h"
#include "win/Path.h"

#include <windows.h>

#include <algorithm>
#include <optional>

namespace kalvera {
namespace {

std::optional<WIN32_FILE_ATTRIBUTE_DATA> AttributesOf(const std::wstring& path) {
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExW(ExtendedLengthPath(path).c_str(), GetFileExInfoStandard, &data))
        return std::nullopt;
    return data;
}

int CompareNames(std::wstring_view a, std::wstring_view b) {
    return CompareStringOrdinal(a.data(), int(a.size()), b.data(), int(b.size()), TRUE);
}

} // namespace

SourceIndex::SourceIndex(const std::wstring& root) {
    // Links are not followed: a link to a folder above would loop.
    std::vector<std::wstring> pending{root};
    while (!pending.empty()) {
        const std::wstring folder = std::move(pending.back());
        pending.pop_back();
        bool listed = false;
        EachFolderEntry(folder, [&](const WIN32_FIND_DATAW& data) {
            if (data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT)
                return;
            if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
                pending.push_back(JoinPath(folder, data.cFileName));
                return;
            }
            if (!listed) {
                folders_.push_back(folder);
                listed = true;
            }
            const std::wstring_view name(data.cFileName);
            entries_.push_back({std::uint32_t(folders_.size() - 1), std::uint32_t(names_.size()),
                                std::uint32_t(name.size()),
                                (std::uint64_t(data.nFileSizeHigh) << 32) | data.nFileSizeLow});
            names_ += name;
        });
    }
    std::sort(entries_.begin(), entries_.end(), [this](const Entry& a, const Entry& b) {
        return CompareNames(NameOf(a), NameOf(b)) == CSTR_LESS_THAN;
    });
    entries_.shrink_to_fit();
    names_.shrink_to_fit();
}

SourceIndex::Found SourceIndex::Find(std::wstring_view name, std::uint64_t size) const {
    Found found;
    auto first = std::lower_bound(entries_.begin(), entries_.end(), name,
                                  [this](const Entry& entry, std::wstring_view wanted) {
                                      return CompareNames(NameOf(entry), wanted) == CSTR_LESS_THAN;
                                  });
    for (; first != entries_.end() && CompareNames(NameOf(*first), name) == CSTR_EQUAL; ++first) {
        if (first->size == size)
            found.sameSize.push_back(JoinPath(folders_[first->folder], NameOf(*first)));
        else
            found.otherSize = true;
    }
    return found;
}

size_t SourceIndex::Bytes() const {
    size_t bytes = entries_.capacity() * sizeof(Entry) + names_.capacity() * sizeof(wchar_t);
    for (const std::wstring& folder : folders_)
        bytes += sizeof(folder) + folder.capacity() * sizeof(wchar_t);
    return bytes;
}

const SourceIndex& CounterpartRule::Index() {
    // Made once; the targets asking meanwhile wait for it.
    std::lock_guard guard(indexLock_);
    if (!index_)
        index_ = std::make_unique<SourceIndex>(source_);
    return *index_;
}

std::wstring_view CounterpartRule::SourceTitle() const {
    return kCounterpartColumnText;
}

std::wstring CounterpartRule::SourceOf(size_t index) const {
    std::lock_guard guard(sourcesLock_);
    const auto found = sources_.find(index);
    return found == sources_.end() ? std::wstring() : found->second;
}

// The counterpart's times for the chosen kinds, the target's own for the
// others (which are not written); attributes are its own, or nothing
// where they can't be read.
bool CounterpartRule::Take(const std::wstring& counterpart,
                           const std::optional<WIN32_FILE_ATTRIBUTE_DATA>& attributes,
                           const TargetState& now, FileTimes& times, std::wstring_view& why) {
    if (!attributes || (attributes->dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) ||
        bool(attributes->dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != now.isFolder) {
        why = kNoCounterpartText;
        return false;
    }
    {
        std::lock_guard guard(sourcesLock_);
        sources_[now.index] = counterpart;
    }
    const WIN32_FILE_ATTRIBUTE_DATA& data = *attributes;
    const std::uint64_t size = (std::uint64_t(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
    if (!now.isFolder && size != now.size) {
        why = kOtherSizeText;
        return false;
    }
    const FileTimes found{FromFileTime(data.ftCreationTime), FromFileTime(data.ftLastAccessTime),
                          FromFileTime(data.ftLastWriteTime)};
    times = now.times;
    for (const auto& [chosen, time] : {std::pair{kinds_.creation, &FileTimes::creation},
                                       std::pair{kinds_.lastAccess, &FileTimes::lastAccess},
                                       std::pair{kinds_.lastWrite, &FileTimes::lastWrite}}) {
        if (!chosen)
            continue;
        if (found.*time == 0) {
            why = kCantReadText;
            return false;
        }
        times.*time = found.*time;
    }
    return true;
}

bool CounterpartRule::Decide(std::wstring_view path, const TargetState& now, const ContentReader&,
                             FileTimes& times, std::wstring_view& why) {
    const std::wstring_view name = SplitPath(path).second;
    std::wstring_view relative = name;
    if (tree_ && path.size() > root_.size() + 1 && path.compare(0, root_.size(), root_) == 0 &&
        (path[root_.size()] == L'\\' || root_.back() == L'\\'))
        relative = path.substr(root_.size() + (root_.back() == L'\\' ? 0 : 1));
    const std::wstring inPlace = JoinPath(source_, relative);
    if (const auto attributes = AttributesOf(inPlace);
        attributes && !(attributes->dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT))
        return Take(inPlace, attributes, now, times, why);
    if (now.isFolder) {
        why = kNoCounterpartText;
        return false;
    }
    const SourceIndex::Found found = Index().Find(name, now.size);
    if (found.sameSize.size() == 1)
        return Take(found.sameSize[0], AttributesOf(found.sameSize[0]), now, times, why);
    why = found.sameSize.size() > 1 ? kManyCounterpartsText
          : found.otherSize         ? kOtherSizeText
                                    : kNoCounterpartText;
    return false;
}

} // namespace kalvera
