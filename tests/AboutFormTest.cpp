#include "About/AboutForm.h"
#include "ui/Application.h"
#include "change/ChangeForm.h"
#include "resources/Version.h"
#include "tests/support/Pump.h"

#include <gtest/gtest.h>

#include <functional>

using namespace kalvera;
using namespace kalvera::test;

namespace {

POINT OkCentre(TAboutForm1& about) {
    POINT centre{45, 12};
    ClientToScreen(about.BitBtn1.Handle(), &centre);
    return centre;
}

} // namespace

TEST(AboutDialog, FixedGeometryAndTexts) {
    TAboutForm1 about;
    RECT client;
    GetClientRect(about.Handle(), &client);
    EXPECT_EQ(client.right, 427);
    EXPECT_EQ(client.bottom, 229);
    EXPECT_TRUE(GetWindowLongPtrW(about.Handle(), GWL_EXSTYLE) & WS_EX_TOPMOST);
    EXPECT_FALSE(GetWindowLongPtrW(about.Handle(), GWL_STYLE) & WS_THICKFRAME);
    EXPECT_EQ(about.Panel1.Text(), L"『Kalvera』");
    EXPECT_EQ(about.Panel2.Text(), L"Version " KALVERA_SHORT_VERSION_TEXT);
    EXPECT_EQ(about.BitBtn1.Width(), 90);
    EXPECT_EQ(about.BitBtn1.Height(), 25);
    EXPECT_TRUE(GetWindowLongPtrW(about.Edit1.Handle(), GWL_STYLE) & ES_READONLY);
}

TEST(AboutDialog, PointerOnOkAtEveryShowingAndPositionKept) {
    TAboutForm1 about;
    POINT seen{}, expected{};
    WhileModal([&] {
        GetCursorPos(&seen);
        expected = OkCentre(about);
        PostMessageW(about.Handle(), WM_COMMAND, IDOK, 0);
    });
    {
        const ModalDeadline deadline;
        EXPECT_EQ(about.ShowModal(), 1);
        EXPECT_FALSE(deadline.Hit());
    }
    EXPECT_EQ(seen.x, expected.x);
    EXPECT_EQ(seen.y, expected.y);
    EXPECT_FALSE(IsWindowVisible(about.Handle()));

    // Moved by the user, it opens there again; the pointer follows.
    SetWindowPos(about.Handle(), nullptr, 10, 20, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    SetCursorPos(0, 0);
    RECT where{};
    WhileModal([&] {
        GetWindowRect(about.Handle(), &where);
        GetCursorPos(&seen);
        expected = OkCentre(about);
        PostMessageW(about.Handle(), WM_CLOSE, 0, 0);
    });
    {
        const ModalDeadline deadline;
        EXPECT_EQ(about.ShowModal(), 2);
        EXPECT_FALSE(deadline.Hit());
    }
    EXPECT_EQ(where.left, 10);
    EXPECT_EQ(where.top, 20);
    EXPECT_EQ(seen.x, expected.x);
    EXPECT_EQ(seen.y, expected.y);
}

TEST(AboutDialog, ComingBackToTheOpenDialogLeavesThePointerAlone) {
    TAboutForm1 about;
    HWND other = CreateWindowExW(0, L"STATIC", L"other", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 600, 500,
                                 200, 100, nullptr, nullptr, nullptr, nullptr);
    POINT afterReturn{}, expected{};
    HWND focusAfterReturn = nullptr;
    WhileModal([&] {
        expected = OkCentre(about);
        SetCursorPos(3, 4);
        SetActiveWindow(other);
        SetActiveWindow(about.Handle());
        GetCursorPos(&afterReturn);
        focusAfterReturn = GetFocus();
        PostMessageW(about.Handle(), WM_COMMAND, IDOK, 0);
    });
    {
        const ModalDeadline deadline;
        about.ShowModal();
        EXPECT_FALSE(deadline.Hit());
    }
    DestroyWindow(other);
    EXPECT_NE(expected.x, 3);
    EXPECT_EQ(afterReturn.x, 3);
    EXPECT_EQ(afterReturn.y, 4);
    EXPECT_EQ(focusAfterReturn, about.BitBtn1.Handle());
}

TEST(AboutDialog, EnterInAReadOnlyBoxClosesLikeOk) {
    TAboutForm1 about;
    WhileModal([&] {
        SetFocus(about.Edit1.Handle());
        PostMessageW(about.Edit1.Handle(), WM_KEYDOWN, VK_RETURN, 0);
    });
    {
        const ModalDeadline deadline;
        EXPECT_EQ(about.ShowModal(), 1);
        EXPECT_FALSE(deadline.Hit());
    }
}

TEST(MainWindowMenu, WindowMenuEntriesAndCommandOneOpensAbout) {
    TChangeForm1 form(96);
    TAboutForm1 about;
    form.SetAboutForm(&about);
    HMENU system = GetSystemMenu(form.Handle(), FALSE);
    const int count = GetMenuItemCount(system);
    ASSERT_GE(count, 2);
    EXPECT_EQ(GetMenuItemID(system, count - 2), 2u);
    EXPECT_EQ(GetMenuItemID(system, count - 1), 1u);
    wchar_t text[64] = L"";
    GetMenuStringW(system, count - 1, text, 64, MF_BYPOSITION);
    EXPECT_STREQ(text, L"バージョン情報");

    ShowWindow(form.Handle(), SW_SHOW);
    SetActiveWindow(form.Handle());
    bool shown = false;
    bool mainDisabled = false;
    WhileModal([&] {
        mainDisabled = !IsWindowEnabled(form.Handle());
        shown = IsWindowVisible(about.Handle());
        PostMessageW(about.Handle(), WM_COMMAND, IDOK, 0);
    });
    {
        const ModalDeadline deadline;
        SendMessageW(form.Handle(), WM_SYSCOMMAND, 1, 0);
        EXPECT_FALSE(deadline.Hit());
    }
    EXPECT_TRUE(shown);
    EXPECT_TRUE(mainDisabled);
    EXPECT_TRUE(IsWindowEnabled(form.Handle()));
    EXPECT_EQ(GetActiveWindow(), form.Handle());

    // Minimising the main window minimises the application's window.
    ShowWindow(Application::Instance().Window(), SW_SHOWNORMAL);
    SendMessageW(form.Handle(), WM_SYSCOMMAND, SC_MINIMIZE, 0);
    EXPECT_TRUE(IsIconic(Application::Instance().Window()));
    ShowWindow(Application::Instance().Window(), SW_RESTORE);
}

// The box disables the thread's windows while it is open and enables again
// those it disabled, and only those: a window a modal dialog disabled (the
// main window under the About dialog) stays disabled.
TEST(ApplicationMessageBox, RealBoxDisablesAndRestoresTheWindows) {
    HWND window = CreateWindowExW(0, L"STATIC", L"active", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0,
                                  200, 100, nullptr, nullptr, nullptr, nullptr);
    HWND under = CreateWindowExW(0, L"STATIC", L"under a dialog", WS_OVERLAPPEDWINDOW | WS_VISIBLE,
                                 0, 120, 200, 100, nullptr, nullptr, nullptr, nullptr);
    EnableWindow(under, FALSE);
    SetActiveWindow(window);
    PumpFor(20);
    bool enabledDuring = true;
    std::wstring boxText;
    WhileModal([&] {
        enabledDuring = IsWindowEnabled(window);
        // The box is the thread's dialog window; press its OK button.
        if (HWND box = FindDialogBox()) {
            boxText = BoxText(box);
            PostMessageW(box, WM_COMMAND, IDOK, 0);
        }
    });
    {
        const ModalDeadline deadline;
        ApplicationMessageBox(L"本文", L"見出し", MB_OK);
        EXPECT_FALSE(deadline.Hit());
    }
    EXPECT_FALSE(enabledDuring);
    EXPECT_EQ(boxText, L"本文");
    EXPECT_TRUE(IsWindowEnabled(window));
    EXPECT_FALSE(IsWindowEnabled(under));
    EXPECT_EQ(GetActiveWindow(), window);
    DestroyWindow(under);
    DestroyWindow(window);
}

// Esc does nothing in the dialog (it has no cancel button); Enter closes it
// like OK, and the close button like cancel.
TEST(AboutDialog, EscDoesNothingAndTheDialogStaysOpen) {
    TAboutForm1 about;
    bool openAfterEsc = false;
    WhileModal([&] {
        PostMessageW(GetFocus(), WM_KEYDOWN, VK_ESCAPE, 0);
        WhileModal([&] {
            openAfterEsc = IsWindowVisible(about.Handle());
            PostMessageW(GetFocus(), WM_KEYDOWN, VK_RETURN, 0);
        });
    });
    const ModalDeadline deadline;
    EXPECT_EQ(about.ShowModal(), 1);
    EXPECT_FALSE(deadline.Hit());
    EXPECT_TRUE(openAfterEsc);
}

// The dialog keeps its pixel geometry on a monitor of another dpi.
TEST(AboutDialog, KeepsItsGeometryWhenTheDpiChanges) {
    TAboutForm1 about;
    RECT before, suggested{0, 0, 900, 600};
    GetWindowRect(about.Handle(), &before);
    SendMessageW(about.Handle(), WM_DPICHANGED, MAKEWPARAM(144, 144),
                 reinterpret_cast<LPARAM>(&suggested));
    RECT after, client;
    GetWindowRect(about.Handle(), &after);
    GetClientRect(about.Handle(), &client);
    EXPECT_TRUE(EqualRect(&before, &after));
    EXPECT_EQ(client.right, 427);
    EXPECT_EQ(about.BitBtn1.Bounds().left, 168);
    EXPECT_EQ(about.BitBtn1.Bounds().top, 197);
}
