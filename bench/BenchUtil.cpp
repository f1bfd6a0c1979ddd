#include "bench/BenchUtil.h"
#include "ShellCtrls/ShellModule.h"
#include "win/Handle.h"

namespace kalvera::bench {

namespace {
void RemoveTree(const std::wstring& path) {
    WIN32_FIND_DATAW data;
    UniqueFindHandle find(FindFirstFileExW((path + L"\\*").c_str(), FindExInfoBasic, &data,
                                           FindExSearchNameMatch, nullptr,
                                           FIND_FIRST_EX_LARGE_FETCH));
    if (find) {
        do {
            const std::wstring name = data.cFileName, child = path + L"\\" + name;
            if (name == L"." || name == L"..")
                continue;
            if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                RemoveTree(child);
            else
                DeleteFileW(child.c_str());
        } while (FindNextFileW(find.get(), &data));
    }
    find.reset();
    RemoveDirectoryW(path.c_str());
}
} // namespace

bool Counting() {
    static const bool counting = GetEnvironmentVariableW(L"KALVERA_BENCH_COUNT", nullptr, 0) > 0;
    return counting;
}

// A request the server's trace shows with its name, and nothing else:
// the event is never there.
void Mark(const char* name, const char* part, size_t items) {
    if (!Counting())
        return;
    const std::string text =
        std::string("kalvera-count ") + name + " " + part + " " + std::to_string(items);
    UniqueHandle(OpenEventW(SYNCHRONIZE, FALSE, std::wstring(text.begin(), text.end()).c_str()));
}

IdList ParsePath(const std::wstring& path) {
    return IdListOfPath(path);
}

size_t BareEnumeration(const std::wstring& path, SHCONTF flags) {
    const IdList list = ParsePath(path);
    ComPtr<IShellFolder> folder;
    DesktopFolder()->BindToObject(list.rel(), nullptr, IID_IShellFolder, folder.put_void());
    ComPtr<IEnumIDList> entries;
    folder->EnumObjects(nullptr, flags, entries.put());
    size_t count = 0;
    IdList child;
    while (entries->Next(1, child.put_child(), nullptr) == S_OK)
        ++count;
    return count;
}

BenchFolder::BenchFolder(const std::wstring& name) {
    wchar_t base[MAX_PATH + 1];
    GetTempPathW(MAX_PATH + 1, base);
    path_ = std::wstring(base) + L"kalvera-bench-" + name + L"-" +
            std::to_wstring(GetCurrentProcessId());
    RemoveTree(path_);
    CreateDirectoryW(path_.c_str(), nullptr);
}

BenchFolder::~BenchFolder() {
    RemoveTree(path_);
}

std::wstring BenchFolder::MakeFile(const std::wstring& name) {
    std::wstring path = path_ + L"\\" + name;
    UniqueFileHandle(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                 FILE_ATTRIBUTE_NORMAL, nullptr));
    return path;
}

std::wstring BenchFolder::MakeDir(const std::wstring& name) {
    std::wstring path = path_ + L"\\" + name;
    CreateDirectoryW(path.c_str(), nullptr);
    return path;
}

} // namespace kalvera::bench
