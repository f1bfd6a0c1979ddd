// The real program, run as a child process: every way out ends it with exit
// code 0, it starts minimised when asked and comes back laid out, and no key
// can hang it.

#include "tests/support/Input.h"
#include "tests/support/Program.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>

using namespace kalvera::test;

namespace {

constexpr UINT kAboutEntry = 1;      // the window menu's "バージョン情報"
constexpr UINT kExitItem = 101;      // File menu, Exit1
constexpr UINT kFolderBarItem = 102; // Show menu, KFoldBar1

struct WayOut {
    const char* name;
    std::function<void(const Program&)> close;
};

const WayOut kWaysOut[] = {
    {"WM_CLOSE to the application window",
     [](const Program& p) { PostMessageW(p.ApplicationWindow(), WM_CLOSE, 0, 0); }},
    {"SC_CLOSE to the application window",
     [](const Program& p) { PostMessageW(p.ApplicationWindow(), WM_SYSCOMMAND, SC_CLOSE, 0); }},
    {"WM_CLOSE to the main window",
     [](const Program& p) { PostMessageW(p.MainWindow(), WM_CLOSE, 0, 0); }},
    {"Exit1", [](const Program& p) { PostMessageW(p.MainWindow(), WM_COMMAND, kExitItem, 0); }},
};

bool AboutShown(const Program& program) {
    return WaitUntil([&] {
        HWND about = program.AboutDialog();
        return about && IsWindowVisible(about);
    });
}

// The first window of the class anywhere below the parent.
HWND DescendantOfClass(HWND parent, const wchar_t* className) {
    for (HWND child = GetWindow(parent, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        wchar_t name[64] = L"";
        GetClassNameW(child, name, 64);
        if (std::wstring(name) == className)
            return child;
        if (HWND found = DescendantOfClass(child, className))
            return found;
    }
    return nullptr;
}

RECT ClientRectIn(HWND window, HWND parent) {
    RECT r;
    GetWindowRect(window, &r);
    MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&r), 2);
    return r;
}

} // namespace

TEST(Program, EveryWayOutEndsItWithExitCodeZero) {
    for (const WayOut& way : kWaysOut) {
        for (bool aboutOpen : {false, true}) {
            SCOPED_TRACE(std::string(way.name) + (aboutOpen ? ", About dialog open" : ""));
            Program program;
            ASSERT_TRUE(program.WaitUntilShown());
            if (aboutOpen) {
                PostMessageW(program.MainWindow(), WM_SYSCOMMAND, kAboutEntry, 0);
                ASSERT_TRUE(AboutShown(program));
            }
            way.close(program);
            EXPECT_EQ(program.WaitForExit(), 0u);
        }
    }
}

TEST(Program, LogOffEndsItWithExitCodeZero) {
    Program program;
    ASSERT_TRUE(program.WaitUntilShown());
    DWORD_PTR allowed = 0, ignored = 0;
    ASSERT_TRUE(SendMessageTimeoutW(program.ApplicationWindow(), WM_QUERYENDSESSION, 0,
                                    ENDSESSION_LOGOFF, SMTO_ABORTIFHUNG, 2000, &allowed));
    EXPECT_TRUE(allowed);
    SendMessageTimeoutW(program.ApplicationWindow(), WM_ENDSESSION, TRUE, ENDSESSION_LOGOFF,
                        SMTO_ABORTIFHUNG, 2000, &ignored);
    EXPECT_EQ(program.WaitForExit(), 0u);
}

TEST(Program, StartedMinimisedItComesBackCentredAndLaidOut) {
    for (int show : {SW_SHOWMINNOACTIVE, SW_SHOWMINIMIZED}) {
        SCOPED_TRACE("show command " + std::to_string(show));
        Program program(show);
        ASSERT_TRUE(WaitUntil([&] {
            HWND application = program.ApplicationWindow();
            return application && IsIconic(application) && program.MainWindow();
        }));
        Sleep(100);
        EXPECT_FALSE(IsWindowVisible(program.MainWindow()));

        PostMessageW(program.ApplicationWindow(), WM_SYSCOMMAND, SC_RESTORE, 0);
        ASSERT_TRUE(program.WaitUntilShown());
        HWND main = program.MainWindow();
        RECT outer, client;
        GetWindowRect(main, &outer);
        GetClientRect(main, &client);
        EXPECT_EQ(outer.left,
                  std::max(0L, (GetSystemMetrics(SM_CXSCREEN) - (outer.right - outer.left)) / 2));
        EXPECT_EQ(outer.top,
                  std::max(0L, (GetSystemMetrics(SM_CYSCREEN) - (outer.bottom - outer.top)) / 2));
        EXPECT_EQ(client.right, 734);
        EXPECT_EQ(client.bottom, 548);
        // The file list stands where the window's layout puts it.
        const RECT list = ClientRectIn(DescendantOfClass(main, L"SysListView32"), main);
        EXPECT_EQ(list.left, 188);
        EXPECT_EQ(list.top, 64);
        EXPECT_EQ(list.right - list.left, 346);
        EXPECT_EQ(list.bottom - list.top, 465);
        EXPECT_TRUE(WaitUntil([&] { return program.Active() == main; }));
        PostMessageW(main, WM_CLOSE, 0, 0);
        EXPECT_EQ(program.WaitForExit(), 0u);
    }
}

TEST(Program, NoKeyHangsItWhileTheFocusedPaneIsHidden) {
    Program program;
    ASSERT_TRUE(program.WaitUntilShown());
    HWND main = program.MainWindow();
    HWND tree = DescendantOfClass(main, L"SysTreeView32");
    ASSERT_TRUE(tree);
    ASSERT_TRUE(WaitUntil([&] { return program.Active() == main; }));
    ClickCentre(tree);
    ASSERT_TRUE(WaitUntil([&] { return program.Focus() == tree; }));
    PostMessageW(main, WM_COMMAND, kFolderBarItem, 0);
    ASSERT_TRUE(WaitUntil([&] { return !IsWindowVisible(tree); }));
    EXPECT_TRUE(WaitUntil([&] { return program.Focus() == main; }));

    // Alt+H and Alt+F open menus: Esc closes them again.
    for (std::initializer_list<WORD> keys : {std::initializer_list<WORD>{VK_MENU, 'H'},
                                             {VK_ESCAPE},
                                             {VK_ESCAPE},
                                             {VK_MENU, 'F'},
                                             {VK_ESCAPE},
                                             {VK_ESCAPE},
                                             {VK_TAB},
                                             {VK_SHIFT, VK_TAB},
                                             {VK_DOWN},
                                             {VK_RETURN},
                                             {VK_MENU, 'X'},
                                             {VK_SPACE}}) {
        PressKeys(keys);
        EXPECT_TRUE(program.Answers(1000)) << "after key " << *keys.begin();
    }
    PostMessageW(main, WM_CLOSE, 0, 0);
    EXPECT_EQ(program.WaitForExit(), 0u);
}

TEST(Program, AfterTheFirstAboutDialogTheKeyboardReachesAControl) {
    Program program;
    ASSERT_TRUE(program.WaitUntilShown());
    HWND main = program.MainWindow();
    ASSERT_TRUE(WaitUntil([&] { return program.Active() == main; }));
    PostMessageW(main, WM_SYSCOMMAND, kAboutEntry, 0);
    ASSERT_TRUE(AboutShown(program));
    ASSERT_TRUE(WaitUntil([&] { return program.Active() == program.AboutDialog(); }));
    PressKeys({VK_RETURN});
    ASSERT_TRUE(WaitUntil([&] { return !IsWindowVisible(program.AboutDialog()); }));
    EXPECT_TRUE(WaitUntil([&] { return program.Active() == main; }));
    EXPECT_TRUE(WaitUntil([&] {
        HWND focus = program.Focus();
        return focus && IsChild(main, focus);
    }));
    PostMessageW(main, WM_CLOSE, 0, 0);
    EXPECT_EQ(program.WaitForExit(), 0u);
}
