#pragma once
// Folders' times from what they hold: the newest last-write time of the
// entries a folder holds directly (hidden entries and links left out, as
// the tree walk leaves them, links the file system does not mark too),
// taken after those entries got theirs.

#include "core/FileTimeWriter.h"

#include <string>
#include <unordered_map>

namespace kalvera {

class FolderContentsRule : public TimesRule {
public:
    explicit FolderContentsRule(TimestampKinds kinds) : kinds_(kinds) {}
    // A folder below the one decided has been decided already (the deepest
    // come first): its new last-write time counts, written or only planned.
    bool Decide(std::wstring_view path, const TargetState& now, const ContentReader& content,
                FileTimes& times, std::wstring_view& why) override;

private:
    TimestampKinds kinds_;
    // Folders of one depth are decided on several threads at once.
    Mutex decidedLock_;
    std::unordered_map<std::wstring, FileTime> decided_;
};

} // namespace kalvera
