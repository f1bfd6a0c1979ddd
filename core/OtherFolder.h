#pragma once
// Times taken from another copy of each target: the file at the same place
// below another folder (the originals on an old disk or a backup), else the
// one file of the same name and size anywhere below it. That folder is only
// read: nothing there is opened at all, its times come from its listing
// and its entries' attributes.

#include "core/FileTimeWriter.h"
#include "win/Sync.h"

#include <windows.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace kalvera {

// The files below a folder by name, each with its size: a name and a few
// numbers a file, its folder's path shared.
class SourceIndex {
public:
    explicit SourceIndex(const std::wstring& root);
    struct Found {
        std::vector<std::wstring> sameSize; // paths of the name and the size
        bool otherSize = false;             // one of the name has another size
    };
    Found Find(std::wstring_view name, std::uint64_t size) const;
    size_t Files() const { return entries_.size(); }
    // What the index holds in memory, about.
    size_t Bytes() const;

private:
    struct Entry {
        std::uint32_t folder, nameAt, nameLength;
        std::uint64_t size;
    };
    std::wstring_view NameOf(const Entry& entry) const {
        return std::wstring_view(names_).substr(entry.nameAt, entry.nameLength);
    }
    std::vector<std::wstring> folders_;
    std::wstring names_;
    std::vector<Entry> entries_; // by name, in any case
};

class CounterpartRule : public TimesRule {
public:
    // root: the folder shown; below it, in a tree run, a target's path
    // leads to its counterpart's (tree false: its name alone).
    CounterpartRule(std::wstring source, std::wstring root, bool tree, TimestampKinds kinds)
        : source_(std::move(source)), root_(std::move(root)), tree_(tree), kinds_(kinds) {}
    bool Decide(std::wstring_view path, const TargetState& now, const ContentReader& content,
                FileTimes& times, std::wstring_view& why) override;
    std::wstring SourceOf(size_t index) const override;
    std::wstring_view SourceTitle() const override;
    // The index of the source, made for the first target not found in its
    // place.
    const SourceIndex& Index();

private:
    bool Take(const std::wstring& counterpart,
              const std::optional<WIN32_FILE_ATTRIBUTE_DATA>& attributes, const TargetState& now,
              FileTimes& times, std::wstring_view& why);
    std::wstring source_, root_;
    bool tree_;
    TimestampKinds kinds_;
    Mutex indexLock_;
    std::unique_ptr<SourceIndex> index_;
    mutable Mutex sourcesLock_;
    std::unordered_map<size_t, std::wstring> sources_; // by the target's place
};

} // namespace kalvera
