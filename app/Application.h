#pragma once
// The application object: the invisible window that carries the task-bar
// entry and owns the program's windows, the title, and the two message
// services every window uses.

#include <windows.h>

#include <exception>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace kalvera {

class Application {
public:
    static Application& Instance();

    // The owner of the main window and the dialogs; made on first use.
    HWND Window();
    std::wstring Title();
    void SetTitle(const std::wstring& title);
    // Shows the task-bar entry (the window itself has no size).
    void ShowTaskBarEntry();
    // Minimises the whole program, as the main window's minimise button does.
    void Minimize();

private:
    Application() = default;
    HWND window_ = nullptr;
    std::wstring title_;
};

// Disables the thread's visible, enabled top-level windows (all but one, if
// given) for its lifetime, then enables those of them that still exist.
class DisabledThreadWindows {
public:
    explicit DisabledThreadWindows(HWND except = nullptr);
    ~DisabledThreadWindows();
    DisabledThreadWindows(const DisabledThreadWindows&) = delete;
    DisabledThreadWindows& operator=(const DisabledThreadWindows&) = delete;

private:
    static BOOL CALLBACK Collect(HWND window, LPARAM data);
    std::vector<HWND> windows_;
};

// The platform's message box, as ApplicationMessageBox calls it; tests put a
// recorder in its place.
using PlatformMessageBox = std::function<int(HWND owner, const std::wstring& text,
                                             const std::wstring& caption, UINT flags)>;
PlatformMessageBox SetPlatformMessageBox(PlatformMessageBox box);

// A modal box owned by the application window, opened on the monitor of the
// active window, with the program's other windows disabled meanwhile; the
// window that was active before is active again afterwards.
int ApplicationMessageBox(std::wstring_view text, std::wstring_view caption, UINT flags);

// The error box's text for a failure message: a last character above "."
// gets "." appended.
std::wstring ExceptionBoxText(std::wstring message);
// Shows the error box for a failure, captioned with the title.
void ShowExceptionBox(std::exception_ptr failure);

} // namespace kalvera
