#include "ui/Application.h"
#include "win/Error.h"

#include <commctrl.h>

#include <algorithm>
#include <utility>
#include <vector>

namespace kalvera {
namespace {

constexpr UINT kRestoreMainWindow = WM_APP + 30;
PlatformMessageBox& InstalledBox() {
    static PlatformMessageBox box = SystemMessageBox();
    return box;
}

thread_local const BoxButton* shownButton = nullptr;
thread_local HHOOK boxHook = nullptr;

// Marks a box whose help button is the button: it activates again after
// each window the button opens.
constexpr wchar_t kButtonMark[] = L"KalveraBoxButton";

// The help button does the button's action, and the box stays.
LRESULT CALLBACK BoxWithButton(HWND box, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR id,
                               DWORD_PTR) {
    if (message == WM_COMMAND && LOWORD(wParam) == IDHELP && shownButton) {
        try {
            shownButton->action();
        } catch (...) {
            ShowExceptionBox(std::current_exception());
        }
        return 0;
    }
    if (message == WM_NCDESTROY) {
        RemoveWindowSubclass(box, BoxWithButton, id);
        RemovePropW(box, kButtonMark);
    }
    return DefSubclassProc(box, message, wParam, lParam);
}

// The box, as it opens: its help button takes the button's text and
// action.
LRESULT CALLBACK RenameHelpButton(int code, WPARAM wParam, LPARAM lParam) {
    if (code == HCBT_ACTIVATE && shownButton) {
        HWND box = reinterpret_cast<HWND>(wParam);
        if (HWND help = GetDlgItem(box, IDHELP); help && !GetPropW(box, kButtonMark)) {
            SetWindowTextW(help, shownButton->text.c_str());
            SetPropW(box, kButtonMark, box);
            SetWindowSubclass(box, BoxWithButton, 1, 0);
        }
    }
    return CallNextHookEx(boxHook, code, wParam, lParam);
}

} // namespace

BOOL CALLBACK DisabledThreadWindows::Collect(HWND window, LPARAM data) {
    if (IsWindowVisible(window) && IsWindowEnabled(window)) {
        reinterpret_cast<DisabledThreadWindows*>(data)->windows_.push_back(window);
        EnableWindow(window, FALSE);
    }
    return TRUE;
}

DisabledThreadWindows::DisabledThreadWindows(HWND except) {
    EnumThreadWindows(GetCurrentThreadId(), Collect, reinterpret_cast<LPARAM>(this));
    if (except)
        for (HWND& window : windows_)
            if (window == except) {
                EnableWindow(window, TRUE);
                window = nullptr;
            }
}

DisabledThreadWindows::~DisabledThreadWindows() {
    for (HWND window : windows_)
        if (window && IsWindow(window))
            EnableWindow(window, TRUE);
}

LRESULT CALLBACK ApplicationWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    Application& application = Application::Instance();
    switch (message) {
    // This window has no controls: whenever it is activated (the task-bar
    // entry was clicked, or a window it owns was hidden) the activation goes
    // on to the program's window the user was working in, so the keyboard
    // reaches a control.
    case WM_ACTIVATE:
        if (LOWORD(wParam) != WA_INACTIVE)
            if (HWND target = application.ActivationTarget())
                SetActiveWindow(target);
        return 0;
    case WM_SIZE:
        // Restored, however that was asked for: the main window comes back
        // once the restore (which activates this window) has finished.
        if (wParam != SIZE_MINIMIZED && application.mainHiddenByMinimize_)
            PostMessageW(window, kRestoreMainWindow, 0, 0);
        return 0;
    case kRestoreMainWindow:
        application.Restored();
        return 0;
    case WM_SYSCOMMAND:
        // The task bar's close asks this window, disabled or not (a modal
        // dialog may be open): the program ends either way.
        if ((wParam & 0xFFF0) == SC_CLOSE) {
            application.RequestClose();
            return 0;
        }
        // Restored here rather than by the default handling, which ignores
        // the command while the window is disabled (a box is open).
        if ((wParam & 0xFFF0) == SC_RESTORE) {
            application.Restore();
            return 0;
        }
        break;
    // The task bar's "close window", End task, or a close sent to it.
    case WM_CLOSE:
        application.RequestClose();
        return 0;
    case WM_QUERYENDSESSION:
        return application.QueryEndSession();
    case WM_ENDSESSION:
        application.EndSession(wParam);
        return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

void CentreOnScreen(HWND window) {
    RECT r;
    GetWindowRect(window, &r);
    const int left = std::max(0L, (GetSystemMetrics(SM_CXSCREEN) - (r.right - r.left)) / 2);
    const int top = std::max(0L, (GetSystemMetrics(SM_CYSCREEN) - (r.bottom - r.top)) / 2);
    SetWindowPos(window, nullptr, left, top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

Application& Application::Instance() {
    static Application application;
    return application;
}

HWND Application::Window() {
    if (!window_) {
        WNDCLASSEXW wc{};
        wc.cbSize = sizeof wc;
        wc.lpfnWndProc = ApplicationWindowProc;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.hIcon = LoadIconW(wc.hInstance, MAKEINTRESOURCEW(1));
        wc.lpszClassName = L"KalveraApplication";
        RegisterClassExW(&wc);
        const int left = GetSystemMetrics(SM_CXSCREEN) / 2, top = GetSystemMetrics(SM_CYSCREEN) / 2;
        window_ =
            CreateWindowExW(0, wc.lpszClassName, title_.c_str(),
                            WS_POPUP | WS_CAPTION | WS_CLIPSIBLINGS | WS_SYSMENU | WS_MINIMIZEBOX,
                            left, top, 0, 0, nullptr, nullptr, wc.hInstance, nullptr);
    }
    return window_;
}

std::wstring Application::Title() {
    if (!window_)
        return title_;
    wchar_t text[256] = L"";
    GetWindowTextW(window_, text, 256);
    return text;
}

void Application::SetTitle(const std::wstring& title) {
    title_ = title;
    if (window_)
        SetWindowTextW(window_, title.c_str());
}

void Application::ShowTaskBarEntry() {
    ShowWindow(Window(), SW_SHOWNORMAL);
}

void Application::ShowMainWindow() {
    if (!mainWindow_)
        return;
    mainHiddenByMinimize_ = false;
    if (!mainShownBefore_) {
        CentreOnScreen(mainWindow_);
        mainShownBefore_ = true;
    }
    ShowWindow(mainWindow_, SW_SHOW);
    SetForegroundWindow(mainWindow_);
    SetActiveWindow(mainWindow_);
}

void Application::Minimize() {
    // On Windows the owned main window vanishes with its owner; Wine leaves
    // it on screen. Hidden here, the outcome is the same on both.
    if (mainWindow_ && (IsWindowVisible(mainWindow_) || !mainShownBefore_)) {
        mainHiddenByMinimize_ = true;
        ShowWindow(mainWindow_, SW_HIDE);
    }
    CloseWindow(Window());
}

bool Application::Restore() {
    if (!IsIconic(Window()) && !mainHiddenByMinimize_)
        return false;
    if (IsIconic(Window()))
        ShowWindow(Window(), SW_RESTORE);
    Restored();
    return true;
}

HWND Application::ActivationTarget() const {
    auto usable = [](HWND w) { return w && IsWindowVisible(w) && IsWindowEnabled(w); };
    if (HWND popup = GetLastActivePopup(window_); popup != window_ && usable(popup))
        return popup;
    return usable(mainWindow_) ? mainWindow_ : nullptr;
}

void Application::Restored() {
    if (mainHiddenByMinimize_ && !IsIconic(Window()))
        ShowMainWindow();
}

void Application::Terminate() {
    if (terminated_)
        return;
    terminated_ = true;
    // A tracked menu (the menu bar after Alt and Esc) takes the quit message
    // out of the queue under Wine and goes on: it is ended first, and the
    // quit is posted again by CloseWhenIdle if it was taken.
    EndMenu();
    PostQuitMessage(0);
}

void Application::BeginWriting(std::wstring_view reason) {
    writing_ = true;
    if (mainWindow_)
        ShutdownBlockReasonCreate(mainWindow_, std::wstring(reason).c_str());
}

void Application::EndWriting() {
    if (!writing_)
        return;
    writing_ = false;
    if (mainWindow_)
        ShutdownBlockReasonDestroy(mainWindow_);
}

void Application::RequestClose() {
    if (writing_)
        closeRequested_ = true;
    else
        Terminate();
}

void Application::CloseWhenIdle() {
    if (terminated_)
        PostQuitMessage(0);
    else if (closeRequested_ && !writing_)
        Terminate();
}

bool Application::QueryEndSession() {
    if (writing_)
        return false;
    sessionEnding_ = true;
    return true;
}

void Application::EndSession(bool ending) {
    sessionEnding_ = ending;
    if (ending)
        Terminate();
}

PlatformMessageBox SetPlatformMessageBox(PlatformMessageBox box) {
    return std::exchange(InstalledBox(), std::move(box));
}

PlatformMessageBox SystemMessageBox() {
    return [](HWND owner, const std::wstring& text, const std::wstring& caption, UINT flags) {
        return MessageBoxW(owner, text.c_str(), caption.c_str(), flags);
    };
}

const BoxButton* ShownBoxButton() {
    return shownButton;
}

int ApplicationMessageBox(std::wstring_view text, std::wstring_view caption, UINT flags,
                          const BoxButton* button) {
    // A box with a button of its own: the platform's help button, renamed
    // and given the action as the box opens.
    struct ShownButton {
        const BoxButton* previous = shownButton;
        HHOOK previousHook = boxHook;
        explicit ShownButton(const BoxButton* button) {
            shownButton = button;
            boxHook =
                button ? SetWindowsHookExW(WH_CBT, RenameHelpButton, nullptr, GetCurrentThreadId())
                       : nullptr;
        }
        ~ShownButton() {
            if (boxHook)
                UnhookWindowsHookEx(boxHook);
            shownButton = previous;
            boxHook = previousHook;
        }
    } shown(button);
    if (button)
        flags |= MB_HELP;
    HWND active = GetActiveWindow();
    // Owned by the window the user works in, the box stays above it however
    // that window is brought forward; the application window is hidden.
    const bool ownActive = active && IsWindowVisible(active) && IsWindowEnabled(active);
    HWND owner = ownActive ? active : Application::Instance().Window();
    // Open the box on the monitor the user works on.
    RECT ownerRect{};
    bool moved = false;
    HMONITOR activeMonitor = MonitorFromWindow(active, MONITOR_DEFAULTTONEAREST);
    if (!ownActive && active &&
        activeMonitor != MonitorFromWindow(owner, MONITOR_DEFAULTTONEAREST)) {
        MONITORINFO info{sizeof info};
        GetMonitorInfoW(activeMonitor, &info);
        GetWindowRect(owner, &ownerRect);
        const RECT& m = info.rcMonitor;
        SetWindowPos(owner, nullptr, m.left + (m.right - m.left) / 2,
                     m.top + (m.bottom - m.top) / 2, 0, 0,
                     SWP_NOSIZE | SWP_NOZORDER | SWP_NOREDRAW | SWP_NOACTIVATE);
        moved = true;
    }
    int result = 0;
    {
        DisabledThreadWindows disabled;
        result = InstalledBox()(owner, std::wstring(text), std::wstring(caption), flags);
        if (moved)
            SetWindowPos(owner, nullptr, ownerRect.left + (ownerRect.right - ownerRect.left) / 2,
                         ownerRect.top + (ownerRect.bottom - ownerRect.top) / 2, 0, 0,
                         SWP_NOSIZE | SWP_NOZORDER | SWP_NOREDRAW | SWP_NOACTIVATE);
    }
    if (active && IsWindow(active))
        SetActiveWindow(active);
    return result;
}

std::wstring ExceptionBoxText(std::wstring message) {
    // A sentence in Latin letters gets its full stop; a Japanese one is
    // complete as it stands.
    if (!message.empty() && message.back() > L'.' && message.back() < 0x80)
        message += L'.';
    return message;
}

void ShowExceptionBox(std::exception_ptr failure) {
    std::wstring message;
    try {
        std::rethrow_exception(failure);
    } catch (const Error& e) {
        message = e.Message();
    } catch (const std::exception& e) {
        const std::string narrow = e.what();
        const int size = MultiByteToWideChar(CP_UTF8, 0, narrow.c_str(), -1, nullptr, 0);
        message.resize(size > 0 ? size - 1 : 0);
        MultiByteToWideChar(CP_UTF8, 0, narrow.c_str(), -1, message.data(), size);
    } catch (...) {
    }
    ApplicationMessageBox(ExceptionBoxText(message), Application::Instance().Title(),
                          MB_OK | MB_ICONSTOP);
}

} // namespace kalvera
