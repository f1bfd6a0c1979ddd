#pragma once
// Real temporary files for tests, and reading their times back.

#include <windows.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace kalvera::test {

// True under Wine, where a file's creation time can't be set and is reported
// as the earlier of its change and modification times.
bool RunningUnderWine();

// False under Wine run as root: the read-only attribute is only the Unix
// write bit there, which root ignores, so such a file opens for writing.
// scripts/test runs the Wine server without those rights of root.
bool ReadOnlyAttributeBlocksWrites();

struct ReadTimes {
    std::uint64_t creation = 0, lastAccess = 0, lastWrite = 0;
    bool operator==(const ReadTimes&) const = default;
};

// A fresh folder under the temporary folder, removed with all it holds.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::wstring& Path() const { return path_; }
    std::wstring Child(const std::wstring& name) const { return path_ + L"\\" + name; }
    std::wstring MakeFile(const std::wstring& name, const std::string& content = "content");
    std::wstring MakeDir(const std::wstring& name);
    // A file of head, gap zero bytes (a hole where the volume keeps one)
    // and tail: a movie of gigabytes in a few blocks.
    std::wstring MakeSparseFile(const std::wstring& name, const std::string& head,
                                std::uint64_t gap, const std::string& tail);

private:
    std::wstring path_;
};

std::string ReadContent(const std::wstring& path);
ReadTimes TimesOf(const std::wstring& path);
// Sets a file's or folder's times; a zero one is left as it is.
void SetTimes(const std::wstring& path, std::uint64_t creation, std::uint64_t lastAccess,
              std::uint64_t lastWrite);
// Gives the file one known set of times, all different, so that a test sees
// which of them a call changed.
void SetKnownTimes(const std::wstring& path);
// Makes count new empty files in the folder, f100000.txt, f100001.txt and
// on, file i with timesAt(i) where given (a zero time as the system set
// it); their paths.
std::vector<std::wstring> MakeNumberedFiles(const std::wstring& folder, int count,
                                            const std::function<ReadTimes(int)>& timesAt = {});
// Under Wine, the last-write and change times of each file to the
// nanosecond, as Linux keeps them, one line per file; empty elsewhere.
std::string NanosecondTimesOf(const std::vector<std::wstring>& paths);
// Removes the tree; links in it are removed, not followed.
void RemoveTree(const std::wstring& path);
// A symbolic link to a folder or a file (under Wine, a Linux one), and its
// removal.
bool MakeLink(const std::wstring& link, const std::wstring& target, bool folder = true);
void RemoveLink(const std::wstring& link);

// While it lives, the file belongs to another user, as a file the user may
// read but not write: not even its times can be set (under Wine, a Linux
// owner; where the Wine server keeps root's rights to write anything, it
// can't, and Denied() says so).
class WriteDenied {
public:
    explicit WriteDenied(const std::wstring& path);
    ~WriteDenied();
    WriteDenied(const WriteDenied&) = delete;
    WriteDenied& operator=(const WriteDenied&) = delete;
    bool Denied() const { return denied_; }

private:
    std::wstring path_;
    bool denied_ = false;
};

} // namespace kalvera::test
