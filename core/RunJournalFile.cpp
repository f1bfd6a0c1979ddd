#include "core/RunJournalFile.h"
#include "win/Error.h"
#include "win/Path.h"

#include <windows.h>

#include <shlobj.h>

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace kalvera {
namespace {

[[noreturn]] void Fail(const std::wstring& path) {
    throw Error(FormatMessageText(kJournalErrorText, path));
}

// The start time as a name that sorts as the times do, in UTC.
std::wstring NameOf(FileTime started, int number) {
    const FILETIME time{static_cast<DWORD>(started), static_cast<DWORD>(started >> 32)};
    SYSTEMTIME utc{};
    FileTimeToSystemTime(&time, &utc);
    wchar_t name[64];
    std::swprintf(name, 64, L"%04u%02u%02u-%02u%02u%02u-%03u", utc.wYear, utc.wMonth, utc.wDay,
                  utc.wHour, utc.wMinute, utc.wSecond, utc.wMilliseconds);
    return name + (number ? L"-" + std::to_wstring(number) : std::wstring()) + kJournalExtension;
}

} // namespace

std::wstring JournalFolder() {
    wchar_t own[MAX_PATH] = L"";
    if (const DWORD length = GetEnvironmentVariableW(L"KALVERA_JOURNALS", own, MAX_PATH);
        length > 0 && length < MAX_PATH)
        return own;
    PWSTR local = nullptr;
    if (FAILED(SHGetKnownFolderPath(FOLDERID_LocalAppData, KF_FLAG_DEFAULT, nullptr, &local)))
        return {};
    const std::wstring folder = JoinPath(JoinPath(local, L"Kalvera"), L"runs");
    CoTaskMemFree(local);
    return folder;
}

RunJournalFile::RunJournalFile(const std::wstring& folder, FileTime started,
                               std::string_view start) {
    // Each missing level of the folder, from the top.
    for (size_t at = folder.find(L'\\', 3); at != std::wstring::npos;
         at = folder.find(L'\\', at + 1))
        CreateDirectoryW(ExtendedLengthPath(folder.substr(0, at)).c_str(), nullptr);
    if (!CreateDirectoryW(ExtendedLengthPath(folder).c_str(), nullptr) &&
        GetLastError() != ERROR_ALREADY_EXISTS)
        Fail(folder);
    for (int number = 0; !file_ && number < 100; ++number) {
        path_ = JoinPath(folder, NameOf(started, number));
        file_.reset(CreateFileW(ExtendedLengthPath(path_).c_str(), GENERIC_WRITE, FILE_SHARE_READ,
                                nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!file_ && GetLastError() != ERROR_FILE_EXISTS)
            Fail(path_);
    }
    if (!file_)
        Fail(path_);
    Add(start);
    Sync();
}

RunJournalFile::RunJournalFile(const std::wstring& path) : path_(path) {
    // Shared for reading alone: a run of another window still writing it
    // holds it for writing, and refuses this open.
    file_.reset(CreateFileW(ExtendedLengthPath(path_).c_str(), FILE_APPEND_DATA, FILE_SHARE_READ,
                            nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file_)
        Fail(path_);
}

void RunJournalFile::Remove() {
    file_.reset();
    pending_.clear();
    DeleteFileW(ExtendedLengthPath(path_).c_str());
}

void RunJournalFile::Send() {
    DWORD written = 0;
    if (!pending_.empty() &&
        (!WriteFile(file_.get(), pending_.data(), DWORD(pending_.size()), &written, nullptr) ||
         written != pending_.size()))
        Fail(path_);
    pending_.clear();
}

void RunJournalFile::Sync() {
    Send();
    if (!FlushFileBuffers(file_.get()))
        Fail(path_);
}

namespace {

struct FoundJournal {
    std::wstring name;
    std::uint64_t bytes;
};

// The journals' names and sizes, the newest first. Names without their
// extension sort as the start times do, a number added after the one
// without.
std::vector<FoundJournal> FindJournals(const std::wstring& folder) {
    std::vector<FoundJournal> found;
    WIN32_FIND_DATAW data{};
    const std::wstring pattern = ExtendedLengthPath(JoinPath(folder, L"*") + kJournalExtension);
    if (UniqueFindHandle find(FindFirstFileExW(pattern.c_str(), FindExInfoBasic, &data,
                                               FindExSearchNameMatch, nullptr, 0));
        find)
        do
            if (!(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
                found.push_back({data.cFileName,
                                 (std::uint64_t(data.nFileSizeHigh) << 32) | data.nFileSizeLow});
        while (FindNextFileW(find.get(), &data));
    auto stem = [](const FoundJournal& journal) {
        return std::wstring_view(journal.name)
            .substr(0, journal.name.size() - std::size(kJournalExtension) + 1);
    };
    std::sort(found.begin(), found.end(),
              [&](const FoundJournal& a, const FoundJournal& b) { return stem(a) > stem(b); });
    return found;
}

UniqueFileHandle OpenToRead(const std::wstring& path, DWORD flags) {
    return UniqueFileHandle(CreateFileW(ExtendedLengthPath(path).c_str(), GENERIC_READ,
                                        FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                        nullptr, OPEN_EXISTING, flags, nullptr));
}

} // namespace

bool EndedJournal(const std::wstring& path) {
    UniqueFileHandle file = OpenToRead(path, FILE_ATTRIBUTE_NORMAL);
    const std::string end = JournalRecords::End();
    char first[4], last[16];
    DWORD got = 0;
    LARGE_INTEGER size{}, from{};
    if (!file || !GetFileSizeEx(file.get(), &size) || size.QuadPart < LONGLONG(4 + end.size()) ||
        !ReadFile(file.get(), first, 4, &got, nullptr) || got != 4)
        return false;
    from.QuadPart = size.QuadPart - LONGLONG(end.size());
    return std::memcmp(first, kJournalMagic, 4) == 0 &&
           SetFilePointerEx(file.get(), from, nullptr, FILE_BEGIN) &&
           ReadFile(file.get(), last, DWORD(end.size()), &got, nullptr) && got == end.size() &&
           std::memcmp(last, end.data(), end.size()) == 0;
}

std::vector<JournalOnDisk> JournalsIn(const std::wstring& folder) {
    std::vector<JournalOnDisk> journals;
    for (const FoundJournal& journal : FindJournals(folder))
        journals.push_back({JoinPath(folder, journal.name), journal.bytes});
    return journals;
}

StoredJournal ReadStoredJournal(const std::wstring& path) {
    StoredJournal journal{path};
    UniqueFileHandle file = OpenToRead(path, FILE_FLAG_SEQUENTIAL_SCAN);
    LARGE_INTEGER size{};
    if (!file || !GetFileSizeEx(file.get(), &size) || size.QuadPart > (256 << 20))
        return journal;
    std::string bytes(size_t(size.QuadPart), '\0');
    DWORD got = 0;
    if (!ReadFile(file.get(), bytes.data(), DWORD(bytes.size()), &got, nullptr) ||
        got != bytes.size())
        return journal;
    journal.bytes = bytes.size();
    journal.contents =
        ReadJournal(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
    return journal;
}

std::vector<StoredJournal> ReadStoredJournals(const std::wstring& folder, size_t most) {
    std::vector<StoredJournal> journals;
    for (const JournalOnDisk& found : JournalsIn(folder)) {
        if (journals.size() == most)
            break;
        journals.push_back(ReadStoredJournal(found.path));
    }
    return journals;
}

void TrimJournals(const std::wstring& folder, std::uint64_t bytes, size_t runs) {
    const std::vector<FoundJournal> found = FindJournals(folder);
    std::uint64_t total = 0;
    for (const FoundJournal& journal : found)
        total += journal.bytes;
    size_t count = found.size();
    for (auto it = found.rbegin(); it != found.rend() && (total > bytes || count > runs); ++it) {
        const std::wstring path = JoinPath(folder, it->name);
        if (!EndedJournal(path) || !DeleteFileW(ExtendedLengthPath(path).c_str()))
            continue;
        total -= it->bytes;
        --count;
    }
}

} // namespace kalvera
