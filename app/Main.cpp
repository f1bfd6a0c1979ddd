// Start-up and end: the shell module and COM for the user-interface thread,
// the application window with the title, the main window and the hidden
// About dialog, then the message loop until the program is told to end.

#include "About/AboutForm.h"
#include "ShellCtrls/ShellModule.h"
#include "ui/Application.h"
#include "change/ChangeForm.h"
#include "core/CommandRun.h"
#include "core/RunJournalFile.h"
#include "datetime/SystemTime.h"
#include "win/Console.h"
#include "ui/Failure.h"
#include "ui/MessageLoop.h"

#include <objbase.h>
#include <shellapi.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

using namespace kalvera;

namespace {

// The show request the program was started with.
int StartShowCommand(int fallback) {
    STARTUPINFOW info{};
    info.cb = sizeof info;
    GetStartupInfoW(&info);
    return (info.dwFlags & STARTF_USESHOWWINDOW) ? info.wShowWindow : fallback;
}

bool IsMinimisedShow(int command) {
    return command == SW_SHOWMINIMIZED || command == SW_MINIMIZE || command == SW_SHOWMINNOACTIVE ||
           command == SW_FORCEMINIMIZE;
}

struct ComScope {
    const bool started = SUCCEEDED(CoInitialize(nullptr));
    ~ComScope() {
        if (started)
            CoUninitialize();
    }
};

// The arguments after the program's path.
std::vector<std::wstring> Arguments() {
    int count = 0;
    LPWSTR* arguments = CommandLineToArgvW(GetCommandLineW(), &count);
    if (!arguments)
        return {};
    std::vector<std::wstring> list(arguments + 1, arguments + count);
    LocalFree(arguments);
    return list;
}

} // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int showCommand) {
    // "/run", "/undo", "/history" and "/?" are carried out without a
    // window; paths alone open the window with them.
    const std::vector<std::wstring> arguments = Arguments();
    if (!arguments.empty()) {
        std::wstring here(GetCurrentDirectoryW(0, nullptr), L'\0');
        here.resize(GetCurrentDirectoryW(DWORD(here.size()), here.data()));
        FILETIME now{};
        GetSystemTimeAsFileTime(&now);
        const ParsedCommand parsed = ParseCommandLine(arguments, here, FromFileTime(now));
        if (parsed.command.action != CommandAction::Window) {
            Console console;
            return RunCommandLine(parsed, console, JournalFolder());
        }
    }

    Application& application = Application::Instance();
    application.SetTitle(L"Kalvera/カルヴェラ");
    SetFailureHandler([](std::exception_ptr failure) { ShowExceptionBox(failure); });

    // A failure while starting is reported, and the program ends.
    std::optional<ShellModuleScope> shellModule;
    std::optional<ComScope> com;
    std::unique_ptr<TChangeForm1> mainWindow;
    std::unique_ptr<TAboutForm1> about;
    try {
        shellModule.emplace();
        com.emplace();
        mainWindow = std::make_unique<TChangeForm1>();
        about = std::make_unique<TAboutForm1>();
        mainWindow->SetAboutForm(about.get());
    } catch (...) {
        ShowExceptionBox(std::current_exception());
        return 1;
    }

    HWND main = mainWindow->Handle();
    application.SetMainWindow(main);
    application.ShowTaskBarEntry();
    const int show = StartShowCommand(showCommand);
    if (show == SW_SHOWMAXIMIZED) {
        ShowWindow(main, SW_SHOWMAXIMIZED);
    } else if (IsMinimisedShow(show)) {
        application.Minimize();
    } else {
        application.ShowMainWindow();
    }

    // Paths on the command line open as a drop of them would.
    try {
        if (!arguments.empty())
            mainWindow->OpenHandedPaths(arguments);
    } catch (...) {
        ShowExceptionBox(std::current_exception());
    }

    // A run the last start did not finish is offered for undoing once the
    // window is there to own the question.
    PostMessageW(main, TChangeForm1::kOfferUnfinished, 0, 0);
    SetDialogWindow(main);
    AddIdleHandler([&application] { application.CloseWhenIdle(); });
    const int code = RunMessageLoop();
    SetDialogWindow(nullptr);
    about.reset();
    mainWindow.reset();
    return code;
}
