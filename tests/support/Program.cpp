#include "tests/support/Program.h"
#include "tests/support/TestFiles.h"

namespace kalvera::test {

std::wstring ProgramPath() {
    if (DWORD size = GetEnvironmentVariableW(L"KALVERA_PROGRAM", nullptr, 0)) {
        std::wstring path(size, L'\0');
        path.resize(GetEnvironmentVariableW(L"KALVERA_PROGRAM", path.data(), size));
        return path;
    }
    wchar_t self[MAX_PATH * 2] = L"";
    GetModuleFileNameW(nullptr, self, MAX_PATH * 2);
    std::wstring path = self;
    path.resize(path.find_last_of(L'\\'));
    path.resize(path.find_last_of(L'\\'));
    return path + L"\\app\\Kalvera.exe";
}

namespace {

struct Search {
    DWORD processId;
    const wchar_t* className;
    const wchar_t* title;
    HWND found = nullptr;
};

BOOL CALLBACK Match(HWND window, LPARAM data) {
    auto& search = *reinterpret_cast<Search*>(data);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    wchar_t name[64] = L"", text[64] = L"";
    GetClassNameW(window, name, 64);
    GetWindowTextW(window, text, 64);
    if (owner == search.processId && std::wstring(name) == search.className &&
        (!search.title || std::wstring(text) == search.title)) {
        search.found = window;
        return FALSE;
    }
    return TRUE;
}

} // namespace

Program::Program(int show, const std::wstring& arguments, const std::wstring& folder) {
    // The program keeps its run journals in a folder of the tests' own,
    // unless a test named one.
    static const TempDir journals;
    if (!GetEnvironmentVariableW(L"KALVERA_JOURNALS", nullptr, 0))
        SetEnvironmentVariableW(L"KALVERA_JOURNALS", journals.Path().c_str());
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    if (show >= 0) {
        startup.dwFlags = STARTF_USESHOWWINDOW;
        startup.wShowWindow = static_cast<WORD>(show);
    }
    std::wstring commandLine = L"\"" + ProgramPath() + L"\"";
    if (!arguments.empty())
        commandLine += L" " + arguments;
    PROCESS_INFORMATION info{};
    if (CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                       folder.empty() ? nullptr : folder.c_str(), &startup, &info)) {
        process_ = info.hProcess;
        processId_ = info.dwProcessId;
        CloseHandle(info.hThread);
    }
}

Program::~Program() {
    if (!process_)
        return;
    if (WaitForSingleObject(process_, 0) == WAIT_TIMEOUT) {
        TerminateProcess(process_, 99);
        WaitForSingleObject(process_, 5000);
    }
    CloseHandle(process_);
}

void Program::Kill() const {
    TerminateProcess(process_, 99);
    WaitForSingleObject(process_, 5000);
}

HWND Program::FindWindowOfClass(const wchar_t* className, const wchar_t* title) const {
    Search search{processId_, className, title};
    EnumWindows(Match, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

// By its class alone, as other programs find it.
HWND Program::MainWindow() const {
    return FindWindowOfClass(L"KalveraWindow", nullptr);
}

HWND Program::ApplicationWindow() const {
    return FindWindowOfClass(L"KalveraApplication", nullptr);
}

HWND Program::AboutDialog() const {
    return FindWindowOfClass(L"KalveraAbout", L"バージョン情報");
}

DWORD Program::UiThread() const {
    HWND main = MainWindow();
    return main ? GetWindowThreadProcessId(main, nullptr) : 0;
}

HWND Program::Focus() const {
    GUITHREADINFO info{sizeof info};
    return GetGUIThreadInfo(UiThread(), &info) ? info.hwndFocus : nullptr;
}

HWND Program::Active() const {
    GUITHREADINFO info{sizeof info};
    return GetGUIThreadInfo(UiThread(), &info) ? info.hwndActive : nullptr;
}

bool Program::WaitUntilShown(DWORD timeoutMs) const {
    return WaitUntil(
        [this] {
            HWND main = MainWindow();
            return main && IsWindowVisible(main);
        },
        timeoutMs);
}

DWORD Program::WaitForExit(DWORD timeoutMs) const {
    if (!process_ || WaitForSingleObject(process_, timeoutMs) != WAIT_OBJECT_0)
        return STILL_ACTIVE;
    DWORD code = STILL_ACTIVE;
    GetExitCodeProcess(process_, &code);
    return code;
}

bool Program::Answers(DWORD timeoutMs) const {
    DWORD_PTR result = 0;
    return SendMessageTimeoutW(MainWindow(), WM_NULL, 0, 0, SMTO_ABORTIFHUNG, timeoutMs, &result);
}

namespace {

// Ctrl+C in the test's console reaches the program it runs; the test
// takes it and goes on. (A null handler would not do: the programs it
// starts would inherit the flag that ignores Ctrl+C.)
BOOL WINAPI KeepRunning(DWORD event) {
    return event == CTRL_C_EVENT || event == CTRL_BREAK_EVENT;
}

std::wstring Wide(const std::string& text) {
    std::wstring wide(text.size(), L'\0');
    wide.resize(size_t(MultiByteToWideChar(CP_UTF8, 0, text.data(), int(text.size()), wide.data(),
                                           int(wide.size()))));
    return wide;
}

} // namespace

CommandResult RunCommand(const std::wstring& arguments, const std::wstring& folder,
                         const std::function<void()>& during, DWORD timeoutMs) {
    // A console of the test's own: a Ctrl+C sent to it reaches no one else.
    static const bool console = [] {
        FreeConsole();
        return AllocConsole() && SetConsoleCtrlHandler(KeepRunning, TRUE);
    }();
    (void)console;
    const TempDir caught;
    SECURITY_ATTRIBUTES inherited{sizeof inherited, nullptr, TRUE};
    auto open = [&](const wchar_t* name) {
        return CreateFileW(caught.Child(name).c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherited,
                           CREATE_ALWAYS, 0, nullptr);
    };
    HANDLE out = open(L"out.txt"), err = open(L"err.txt");
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = out;
    startup.hStdError = err;
    std::wstring commandLine = L"\"" + ProgramPath() + L"\" " + arguments;
    PROCESS_INFORMATION info{};
    CommandResult result;
    if (CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, TRUE, 0, nullptr,
                       folder.empty() ? nullptr : folder.c_str(), &startup, &info)) {
        CloseHandle(info.hThread);
        if (during)
            during();
        if (WaitForSingleObject(info.hProcess, timeoutMs) == WAIT_OBJECT_0)
            GetExitCodeProcess(info.hProcess, &result.code);
        else
            TerminateProcess(info.hProcess, 99);
        WaitForSingleObject(info.hProcess, 5000);
        CloseHandle(info.hProcess);
    }
    CloseHandle(out);
    CloseHandle(err);
    result.out = Wide(ReadContent(caught.Child(L"out.txt")));
    result.err = Wide(ReadContent(caught.Child(L"err.txt")));
    return result;
}

bool WaitUntil(const std::function<bool()>& done, DWORD timeoutMs) {
    const ULONGLONG end = GetTickCount64() + timeoutMs;
    while (!done()) {
        if (GetTickCount64() >= end)
            return false;
        Sleep(20);
    }
    return true;
}

} // namespace kalvera::test
