#pragma once
// The program's own executable run as a child process, and its windows found
// from outside, as the task bar and the session manager see them.

#include <windows.h>

#include <functional>
#include <string>

namespace kalvera::test {

// The program run: KALVERA_PROGRAM when set (an unpacked release, say),
// otherwise the one built beside the test executables,
// <build>\app\Kalvera.exe.
std::wstring ProgramPath();

class Program {
public:
    // show: the show command passed in the start-up information, or -1 for
    // none; arguments after the program's path; the working folder (empty:
    // the test's own).
    explicit Program(int show = -1, const std::wstring& arguments = L"",
                     const std::wstring& folder = L"");
    // Ends the process if it still runs.
    ~Program();
    // Ends the process at once, as the task manager does.
    void Kill() const;
    Program(const Program&) = delete;
    Program& operator=(const Program&) = delete;

    bool Started() const { return process_ != nullptr; }
    DWORD ProcessId() const { return processId_; }
    // The windows, found afresh each time (null while there is none).
    HWND MainWindow() const;
    HWND ApplicationWindow() const;
    HWND AboutDialog() const;
    DWORD UiThread() const;
    // The window holding the keyboard focus and the active window in the
    // program's thread.
    HWND Focus() const;
    HWND Active() const;

    // Waits, at most the given time, until the main window is visible.
    bool WaitUntilShown(DWORD timeoutMs = 10000) const;
    // Waits, at most the given time, for the process to end; its exit code,
    // or STILL_ACTIVE when it did not end.
    DWORD WaitForExit(DWORD timeoutMs = 5000) const;
    // Whether the main window answers a message within the time.
    bool Answers(DWORD timeoutMs = 1000) const;

private:
    HWND FindWindowOfClass(const wchar_t* className, const wchar_t* title) const;
    HANDLE process_ = nullptr;
    DWORD processId_ = 0;
};

// The program run as a command from a console of the test's own (made at
// the first call), its output and errors caught in files, as a script
// would run it: its exit code (STILL_ACTIVE when it did not end in time)
// and what it printed. during(), where given, is called while it runs.
struct CommandResult {
    DWORD code = STILL_ACTIVE;
    std::wstring out, err;
};
CommandResult RunCommand(const std::wstring& arguments, const std::wstring& folder = L"",
                         const std::function<void()>& during = {}, DWORD timeoutMs = 120000);

// Polls, without pumping, until done() holds or the time runs out.
bool WaitUntil(const std::function<bool()>& done, DWORD timeoutMs = 5000);

} // namespace kalvera::test
