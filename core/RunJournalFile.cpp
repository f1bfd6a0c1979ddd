#include "core/RunJournalFile.h"
#include "core/TreeWalk.h"
#include "win/Error.h"
#include "win/Path.h"

#include <windows.h>

#include <shlobj.h>

#include <algorithm>
#include <cstdio>

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

std::vector<StoredJournal> ReadStoredJournals(const std::wstring& folder, size_t most) {
    std::vector<std::wstring> names;
    WIN32_FIND_DATAW found{};
    const std::wstring pattern = ExtendedLengthPath(JoinPath(folder, L"*") + kJournalExtension);
    if (UniqueFindHandle find(FindFirstFileExW(pattern.c_str(), FindExInfoBasic, &found,
                                               FindExSearchNameMatch, nullptr, 0));
        find)
        do
            if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
                names.push_back(found.cFileName);
        while (FindNextFileW(find.get(), &found));
    // Names without their extension sort as the start times do, a number
    // added after the one without.
    auto stem = [](const std::wstring& name) {
        return std::wstring_view(name).substr(0, name.size() - std::size(kJournalExtension) + 1);
    };
    std::sort(names.begin(), names.end(),
              [&](const std::wstring& a, const std::wstring& b) { return stem(a) > stem(b); });
    names.resize(std::min(names.size(), most));
    std::vector<StoredJournal> journals;
    for (const std::wstring& name : names) {
        StoredJournal& journal = journals.emplace_back();
        journal.path = JoinPath(folder, name);
        UniqueFileHandle file(CreateFileW(ExtendedLengthPath(journal.path).c_str(), GENERIC_READ,
                                          FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                          nullptr, OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN,
                                          nullptr));
        LARGE_INTEGER size{};
        if (!file || !GetFileSizeEx(file.get(), &size) || size.QuadPart > (256 << 20))
            continue;
        std::string bytes(size_t(size.QuadPart), '\0');
        DWORD got = 0;
        if (!ReadFile(file.get(), bytes.data(), DWORD(bytes.size()), &got, nullptr) ||
            got != bytes.size())
            continue;
        journal.bytes = bytes.size();
        journal.contents =
            ReadJournal(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
    }
    return journals;
}

} // namespace kalvera
