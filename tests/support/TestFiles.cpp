#include "tests/support/TestFiles.h"
#include "win/Handle.h"
#include "win/Path.h"
#include <windows.h>
#include <winioctl.h>

#include <algorithm>
#include <cstring>
#include <stdexcept>

namespace kalvera::test {

bool RunningUnderWine() {
    HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
    return ntdll && GetProcAddress(ntdll, "wine_get_version");
}

bool ReadOnlyAttributeBlocksWrites() {
    static const bool blocks = [] {
        TempDir dir;
        const std::wstring path = dir.MakeFile(L"probe.txt");
        SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_READONLY);
        return !UniqueFileHandle(
            CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr));
    }();
    return blocks;
}

TempDir::TempDir() {
    wchar_t base[MAX_PATH + 1];
    GetTempPathW(MAX_PATH + 1, base);
    static unsigned counter = 0;
    for (;;) {
        path_ = std::wstring(base) + L"kalvera-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
                std::to_wstring(++counter);
        if (CreateDirectoryW(path_.c_str(), nullptr))
            break;
        if (GetLastError() != ERROR_ALREADY_EXISTS)
            throw std::runtime_error("can't create a temporary folder");
    }
    // The shell and the tests compare full paths: use the long form.
    wchar_t full[4096];
    if (DWORD n = GetLongPathNameW(path_.c_str(), full, 4096); n > 0 && n < 4096)
        path_ = full;
}

TempDir::~TempDir() {
    RemoveTree(path_);
}

std::wstring TempDir::MakeFile(const std::wstring& name, const std::string& content) {
    std::wstring path = Child(name);
    UniqueFileHandle file(CreateFileW(ExtendedLengthPath(path).c_str(), GENERIC_WRITE, 0, nullptr,
                                      CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file)
        throw std::runtime_error("can't create a test file");
    DWORD written = 0;
    WriteFile(file.get(), content.data(), static_cast<DWORD>(content.size()), &written, nullptr);
    return path;
}

std::wstring TempDir::MakeSparseFile(const std::wstring& name, const std::string& head,
                                     std::uint64_t gap, const std::string& tail) {
    const std::wstring path = MakeFile(name, head);
    UniqueFileHandle file(CreateFileW(ExtendedLengthPath(path).c_str(), GENERIC_WRITE, 0, nullptr,
                                      OPEN_EXISTING, 0, nullptr));
    DWORD done = 0;
    DeviceIoControl(file.get(), FSCTL_SET_SPARSE, nullptr, 0, nullptr, 0, &done, nullptr);
    LARGE_INTEGER end;
    end.QuadPart = LONGLONG(head.size() + gap);
    if (!SetFilePointerEx(file.get(), end, nullptr, FILE_BEGIN) || !SetEndOfFile(file.get()) ||
        !WriteFile(file.get(), tail.data(), DWORD(tail.size()), &done, nullptr))
        throw std::runtime_error("can't make a sparse test file");
    return path;
}

std::wstring TempDir::MakeDir(const std::wstring& name) {
    std::wstring path = Child(name);
    if (!CreateDirectoryW(ExtendedLengthPath(path).c_str(), nullptr))
        throw std::runtime_error("can't create a test folder");
    return path;
}

std::string ReadContent(const std::wstring& path) {
    UniqueFileHandle file(CreateFileW(ExtendedLengthPath(path).c_str(), GENERIC_READ,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0,
                                      nullptr));
    if (!file)
        throw std::runtime_error("can't read a test file");
    std::string content(1 << 16, '\0');
    DWORD read = 0;
    ReadFile(file.get(), content.data(), static_cast<DWORD>(content.size()), &read, nullptr);
    content.resize(read);
    return content;
}

static std::uint64_t Ticks(const FILETIME& ft) {
    return (static_cast<std::uint64_t>(ft.dwHighDateTime) << 32) | ft.dwLowDateTime;
}

ReadTimes TimesOf(const std::wstring& path) {
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!GetFileAttributesExW(ExtendedLengthPath(path).c_str(), GetFileExInfoStandard, &data))
        throw std::runtime_error("can't read a test file's times");
    return {Ticks(data.ftCreationTime), Ticks(data.ftLastAccessTime), Ticks(data.ftLastWriteTime)};
}

void SetTimes(const std::wstring& path, std::uint64_t creation, std::uint64_t lastAccess,
              std::uint64_t lastWrite) {
    const std::wstring extended = ExtendedLengthPath(path);
    auto open = [&] {
        return UniqueFileHandle(CreateFileW(extended.c_str(), FILE_WRITE_ATTRIBUTES,
                                            FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                            OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    };
    UniqueFileHandle file = open();
    // A read-only file, where the system refuses even that open, is set
    // with the attribute cleared for the while.
    const DWORD attributes = GetFileAttributesW(extended.c_str());
    const bool cleared = !file && attributes != INVALID_FILE_ATTRIBUTES &&
                         (attributes & FILE_ATTRIBUTE_READONLY) &&
                         SetFileAttributesW(extended.c_str(), FILE_ATTRIBUTE_NORMAL);
    if (cleared)
        file = open();
    // A zero FILETIME is the platform's "leave unchanged".
    const FILETIME times[] = {{DWORD(creation), DWORD(creation >> 32)},
                              {DWORD(lastAccess), DWORD(lastAccess >> 32)},
                              {DWORD(lastWrite), DWORD(lastWrite >> 32)}};
    const bool set = file && SetFileTime(file.get(), &times[0], &times[1], &times[2]);
    file.reset();
    if (cleared)
        SetFileAttributesW(extended.c_str(), attributes);
    if (!set)
        throw std::runtime_error("can't set a test file's times");
}

void SetKnownTimes(const std::wstring& path) {
    // 2001-02-03 04:05:06 UTC, then a day and two days later.
    const std::uint64_t base = 126309519060000000ULL, day = 864'000'000'000ULL;
    SetTimes(path, base, base + day, base + 2 * day);
}

namespace {

// Wine makes no symbolic links of its own but runs Linux programs. The wait
// ends at once under Wine, whose handle of such a program can't be waited
// on: callers look for the program's result.
bool RunLinuxTool(std::wstring commandLine) {
    STARTUPINFOW startup{sizeof startup};
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &process))
        return false;
    UniqueHandle owner(process.hProcess), thread(process.hThread);
    WaitForSingleObject(process.hProcess, 10000);
    return true;
}

// The Linux path of a Windows path, as Wine maps it.
std::wstring UnixPath(const std::wstring& path) {
    using ToUnix = char*(CDECL*)(const wchar_t*);
    auto toUnix = reinterpret_cast<ToUnix>(reinterpret_cast<void*>(
        GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "wine_get_unix_file_name")));
    char* unix = toUnix ? toUnix(path.c_str()) : nullptr;
    if (!unix)
        throw std::runtime_error("no Linux path for a test folder");
    std::wstring wide(unix, unix + strlen(unix)); // the test folders' names are ASCII
    HeapFree(GetProcessHeap(), 0, unix);
    return wide;
}

} // namespace

std::vector<std::wstring> MakeNumberedFiles(const std::wstring& folder, int count,
                                            const std::function<ReadTimes(int)>& timesAt) {
    // Wine looks for each new name through the whole folder without regard
    // to case, which makes 20,000 files cost minutes; a name under its
    // Linux path is looked for as it is.
    std::wstring base = ExtendedLengthPath(folder);
    if (RunningUnderWine()) {
        base = L"\\\\?\\unix" + UnixPath(folder);
        std::replace(base.begin(), base.end(), L'/', L'\\');
    }
    std::vector<std::wstring> paths;
    for (int i = 0; i < count; ++i) {
        const std::wstring name = L"\\f" + std::to_wstring(100000 + i) + L".txt";
        if (!UniqueFileHandle(CreateFileW((base + name).c_str(), GENERIC_WRITE, 0, nullptr,
                                          CREATE_NEW, 0, nullptr)))
            throw std::runtime_error("can't make a test file");
        paths.push_back(folder + name);
        if (timesAt) { // the name is there now, and found at once
            const ReadTimes times = timesAt(i);
            SetTimes(paths.back(), times.creation, times.lastAccess, times.lastWrite);
        }
    }
    return paths;
}

std::string NanosecondTimesOf(const std::vector<std::wstring>& paths) {
    if (!RunningUnderWine())
        return {};
    wchar_t temp[MAX_PATH] = L"";
    GetTempPathW(MAX_PATH, temp);
    const std::wstring out =
        std::wstring(temp) + L"kalvera-stat-" + std::to_wstring(GetCurrentProcessId()) + L".txt";
    std::wstring files;
    for (const std::wstring& path : paths)
        files += L" '" + UnixPath(path) + L"'";
    // Written aside and then renamed: the file is whole once it is there.
    const std::wstring unixOut = UnixPath(out);
    DeleteFileW(out.c_str());
    RunLinuxTool(L"Z:\\bin\\sh -c \"stat -c '%n %y %z'" + files + L" > '" + unixOut +
                 L".part' && mv '" + unixOut + L".part' '" + unixOut + L"'\"");
    for (ULONGLONG start = GetTickCount64(); GetTickCount64() - start < 10000; Sleep(10))
        if (GetFileAttributesW(out.c_str()) != INVALID_FILE_ATTRIBUTES) {
            const std::string text = ReadContent(out);
            DeleteFileW(out.c_str());
            return text;
        }
    throw std::runtime_error("no times from stat");
}

bool MakeLink(const std::wstring& link, const std::wstring& target, bool folder) {
    if (!RunningUnderWine())
        return CreateSymbolicLinkW(link.c_str(), target.c_str(),
                                   folder ? SYMBOLIC_LINK_FLAG_DIRECTORY : 0);
    if (!RunLinuxTool(L"Z:\\bin\\ln -s \"" + UnixPath(target) + L"\" \"" + UnixPath(link) + L"\""))
        return false;
    for (ULONGLONG start = GetTickCount64(); GetTickCount64() - start < 10000; Sleep(10))
        if (GetFileAttributesW(link.c_str()) != INVALID_FILE_ATTRIBUTES)
            return true;
    return false;
}

namespace {
bool TimesCanBeSet(const std::wstring& path) {
    return UniqueFileHandle(CreateFileW(path.c_str(), FILE_WRITE_ATTRIBUTES, 0, nullptr,
                                        OPEN_EXISTING, 0, nullptr))
        .
        operator bool();
}

// Runs the Linux tool and waits until the file's state is as wanted.
bool ChangeOwner(const std::wstring& path, const wchar_t* owner, bool settable) {
    if (!RunLinuxTool(L"Z:\\bin\\chown " + std::wstring(owner) + L" \"" + UnixPath(path) + L"\""))
        return false;
    for (ULONGLONG start = GetTickCount64(); GetTickCount64() - start < 10000; Sleep(10))
        if (TimesCanBeSet(path) == settable)
            return true;
    return false;
}
} // namespace

WriteDenied::WriteDenied(const std::wstring& path) : path_(path) {
    // A server that keeps root's rights opens it all the same (it writes
    // read-only files too): the caller is told.
    if (!RunningUnderWine() || !ReadOnlyAttributeBlocksWrites())
        return;
    if (ChangeOwner(path_, L"nobody", false))
        denied_ = true;
    else
        ChangeOwner(path_, L"root", true);
}

WriteDenied::~WriteDenied() {
    if (denied_)
        ChangeOwner(path_, L"root", true);
}

void RemoveLink(const std::wstring& link) {
    if (RemoveDirectoryW(link.c_str()) || DeleteFileW(link.c_str()))
        return;
    if (RunningUnderWine())
        RunLinuxTool(L"Z:\\bin\\rm -f \"" + UnixPath(link) + L"\"");
}

void RemoveTree(const std::wstring& path) {
    std::wstring pattern = ExtendedLengthPath(path + L"\\*");
    WIN32_FIND_DATAW data;
    UniqueFindHandle find(FindFirstFileW(pattern.c_str(), &data));
    if (find) {
        do {
            std::wstring name = data.cFileName;
            if (name == L"." || name == L"..")
                continue;
            std::wstring child = path + L"\\" + name;
            if (data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) {
                RemoveLink(child);
            } else if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
                RemoveTree(child);
            } else {
                SetFileAttributesW(ExtendedLengthPath(child).c_str(), FILE_ATTRIBUTE_NORMAL);
                DeleteFileW(ExtendedLengthPath(child).c_str());
            }
        } while (FindNextFileW(find.get(), &data));
    }
    find.reset();
    RemoveDirectoryW(ExtendedLengthPath(path).c_str());
}

} // namespace kalvera::test
