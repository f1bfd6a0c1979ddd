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

    // The window whose closing ends the program.
    void SetMainWindow(HWND window) { mainWindow_ = window; }
    // Shows and activates the main window; centred on the screen the first
    // time, where it was left afterwards.
    void ShowMainWindow();
    // Minimises the whole program, as the main window's minimise button does:
    // the task-bar entry shows it minimised and the main window is hidden
    // until the entry is restored.
    void Minimize();
    // Undoes Minimize, whichever of the program's windows was told to
    // restore (a window switcher may tell the hidden main window): the
    // task-bar entry comes back and the main window with it. False when
    // the program is not minimised.
    bool Restore();

    // Every way out of the program comes here: the quit request ends any
    // modal loop that runs (the About dialog, a message box) and then the
    // main loop, which destroys the windows once and ends with code 0.
    void Terminate();

    // While a run writes files the end of the session is held, with the
    // reason given, and a close request is remembered instead of ending the
    // program: the run stops at its next look, shows its report, and the
    // outermost loop ends the program afterwards (CloseWhenIdle).
    void BeginWriting(std::wstring_view reason);
    void EndWriting();
    bool Writing() const { return writing_; }
    // Every close request (the windows' close, the task bar's, Exit) comes
    // here: the program ends, or, while a run writes, the run stops first.
    void RequestClose();
    bool CloseRequested() const { return closeRequested_; }
    // For the outermost loop between messages: a close that waited for a
    // run ends the program now.
    void CloseWhenIdle();
    // The answer to WM_QUERYENDSESSION: no while a run writes; yes
    // otherwise, and from then on no run starts until the end is called off.
    bool QueryEndSession();
    void EndSession(bool ending);
    // The session is ending: nothing may be written any more.
    bool SessionEnding() const { return sessionEnding_; }

private:
    Application() = default;
    friend LRESULT CALLBACK ApplicationWindowProc(HWND, UINT, WPARAM, LPARAM);
    void Restored();
    // The window that takes the activation when this one gets it.
    HWND ActivationTarget() const;

    HWND window_ = nullptr;
    std::wstring title_;
    HWND mainWindow_ = nullptr;
    bool mainShownBefore_ = false;
    bool mainHiddenByMinimize_ = false;
    bool terminated_ = false;
    bool writing_ = false;
    bool closeRequested_ = false;
    bool sessionEnding_ = false;
};

// Places a top-level window in the middle of the screen, not above or left
// of its top-left corner.
void CentreOnScreen(HWND window);

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
// The platform's own box, for tests that put it back for a while.
PlatformMessageBox SystemMessageBox();

// A button of the box's own beside its OK: it does its action and leaves
// the box open (the platform's help button, renamed).
struct BoxButton {
    std::wstring text;
    std::function<void()> action;
};
// The button of the box being shown, or null: a recorder in the platform
// box's place may press it.
const BoxButton* ShownBoxButton();

// A modal box owned by the program's window that is active (the main window
// or a dialog), else by the application window on the monitor of the active
// window, with the program's other windows disabled meanwhile; the
// window that was active before is active again afterwards.
int ApplicationMessageBox(std::wstring_view text, std::wstring_view caption, UINT flags,
                          const BoxButton* button = nullptr);

// The error box's text for a failure message: a last character above "."
// in ASCII (a letter, a digit) gets "." appended; Japanese text is left as
// it is.
std::wstring ExceptionBoxText(std::wstring message);
// Shows the error box for a failure, captioned with the title.
void ShowExceptionBox(std::exception_ptr failure);

} // namespace kalvera
