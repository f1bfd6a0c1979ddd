#include "win/Console.h"
#include "win/Error.h"

#include <windows.h>

#include <atomic>
#include <string>

namespace kalvera {
namespace {

std::atomic<bool> interrupted{false};

BOOL WINAPI TakeInterrupt(DWORD event) {
    if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT)
        return FALSE; // a closed console or a logoff ends the process as usual
    interrupted = true;
    return TRUE;
}

bool Redirected(HANDLE handle) {
    if (handle == nullptr || handle == INVALID_HANDLE_VALUE)
        return false;
    const DWORD type = GetFileType(handle);
    return type == FILE_TYPE_DISK || type == FILE_TYPE_PIPE;
}

} // namespace

Console::Console()
    : out_(GetStdHandle(STD_OUTPUT_HANDLE)), err_(GetStdHandle(STD_ERROR_HANDLE)),
      outRedirected_(Redirected(out_)), errRedirected_(Redirected(err_)) {
    // A program with windows gets no console of its own: it takes its
    // parent's, where there is one (already attached is as good), also
    // when its output is redirected, for the parent's Ctrl+C.
    const bool attached =
        AttachConsole(ATTACH_PARENT_PROCESS) || GetLastError() == ERROR_ACCESS_DENIED;
    if (attached) {
        SetConsoleCtrlHandler(TakeInterrupt, TRUE);
        if (!outRedirected_ || !errRedirected_)
            screen_ = CreateFileW(L"CONOUT$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_WRITE,
                                  nullptr, OPEN_EXISTING, 0, nullptr);
    }
    if (screen_ == INVALID_HANDLE_VALUE)
        screen_ = nullptr;
}

Console::~Console() {
    if (screen_)
        CloseHandle(screen_);
}

bool Console::Interrupted() {
    return interrupted;
}

void Console::Out(std::wstring_view line) {
    Write(out_, outRedirected_, line);
}

void Console::Err(std::wstring_view line) {
    Write(err_, errRedirected_, line);
}

void Console::Write(void* handle, bool redirected, std::wstring_view line) {
    std::wstring text;
    for (wchar_t c : line)
        text += c == L'\n' ? std::wstring(L"\r\n") : std::wstring(1, c);
    text += L"\r\n";
    DWORD written = 0;
    if (redirected) {
        const std::string bytes = ToUtf8(text);
        WriteFile(handle, bytes.data(), DWORD(bytes.size()), &written, nullptr);
    } else if (screen_) {
        // The console takes UTF-16 whatever its code page.
        WriteConsoleW(screen_, text.data(), DWORD(text.size()), &written, nullptr);
    }
}

} // namespace kalvera
