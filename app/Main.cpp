// Start-up and end: the shell module and COM for the user-interface thread,
// the application window with the title, the main window and the hidden
// About dialog, then the message loop until the main window is closed.

#include "About/AboutForm.h"
#include "ShellCtrls/ShellModule.h"
#include "app/Application.h"
#include "change/ChangeForm.h"
#include "ui/Failure.h"

#include <objbase.h>

#include <memory>

using namespace kalvera;

namespace {

// The show request the program was started with.
int StartShowCommand(int fallback) {
    STARTUPINFOW info{};
    info.cb = sizeof info;
    GetStartupInfoW(&info);
    return (info.dwFlags & STARTF_USESHOWWINDOW) ? info.wShowWindow : fallback;
}

void CentreOnScreen(HWND window) {
    RECT r;
    GetWindowRect(window, &r);
    const int left = std::max(0L, (GetSystemMetrics(SM_CXSCREEN) - (r.right - r.left)) / 2);
    const int top = std::max(0L, (GetSystemMetrics(SM_CYSCREEN) - (r.bottom - r.top)) / 2);
    SetWindowPos(window, nullptr, left, top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

} // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int showCommand) {
    ShellModuleScope shellModule;
    const bool comStarted = SUCCEEDED(CoInitialize(nullptr));
    Application& application = Application::Instance();
    application.SetTitle(L"Kalvera/カルヴェラ");
    SetFailureHandler([](std::exception_ptr failure) { ShowExceptionBox(failure); });

    std::unique_ptr<TChangeForm1> mainWindow;
    std::unique_ptr<TAboutForm1> about;
    try {
        mainWindow = std::make_unique<TChangeForm1>();
        about = std::make_unique<TAboutForm1>();
        mainWindow->SetAboutForm(about.get());
    } catch (...) {
        ShowExceptionBox(std::current_exception());
        return 1;
    }

    application.ShowTaskBarEntry();
    HWND main = mainWindow->Handle();
    switch (StartShowCommand(showCommand)) {
    case SW_SHOWMAXIMIZED:
        ShowWindow(main, SW_SHOWMAXIMIZED);
        break;
    case SW_SHOWMINNOACTIVE:
        application.Minimize();
        break;
    default:
        CentreOnScreen(main);
        ShowWindow(main, SW_SHOW);
        break;
    }
    SetFocus(mainWindow->ShellComboBox1.Handle());

    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        try {
            if (!IsWindow(main) || !IsDialogMessageW(main, &msg)) {
                TranslateMessage(&msg);
                DispatchMessageW(&msg);
            }
        } catch (...) {
            ReportFailure(std::current_exception());
        }
    }
    about.reset();
    mainWindow.reset();
    if (comStarted)
        CoUninitialize();
    return 0;
}
