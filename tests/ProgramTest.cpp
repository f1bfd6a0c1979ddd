// The real program, run as a child process: every way out ends it with exit
// code 0, it starts minimised when asked and comes back laid out, and no key
// can hang it.

#include "core/CommandRun.h"
#include "core/RunHistory.h"
#include "core/RunTimestampChange.h"
#include "resources/Version.h"
#include "tests/support/DialogBoxes.h"
#include "tests/support/ExifFiles.h"
#include "tests/support/Input.h"
#include "tests/support/Program.h"
#include "tests/support/TestFiles.h"
#include "win/Error.h"
#include "win/Path.h"

#include <commctrl.h>
#include <shlobj.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <functional>
#include <string>
#include <vector>

using namespace kalvera;
using namespace kalvera::test;

namespace {

constexpr UINT kAboutEntry = 1;      // the window menu's "バージョン情報"
constexpr UINT kExitItem = 101;      // File menu, Exit1
constexpr UINT kFolderBarItem = 102; // Show menu, KFoldBar1

struct WayOut {
    const char* name;
    std::function<void(const Program&)> close;
};

// While it lives, the programs started keep their journals in a folder of
// the test's own, and run on the threads given (the machine's own number
// when none).
struct OwnJournals {
    explicit OwnJournals(const std::wstring& folder, const wchar_t* threads = nullptr) {
        SetEnvironmentVariableW(L"KALVERA_JOURNALS", folder.c_str());
        SetEnvironmentVariableW(L"KALVERA_THREADS", threads);
    }
    ~OwnJournals() {
        SetEnvironmentVariableW(L"KALVERA_JOURNALS", nullptr);
        SetEnvironmentVariableW(L"KALVERA_THREADS", nullptr);
    }
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

// Waits until done holds. A message box that comes instead ends the wait
// at once, failed with its text: a box the test does not expect would
// otherwise hold the program until the time ran out, and hide the cause.
bool WaitFor(const Program& program, const std::function<bool()>& done, DWORD timeoutMs) {
    std::wstring box;
    if (WaitUntil(
            [&] {
                if (done())
                    return true;
                HWND shown = FindMessageBox(program.UiThread());
                box = shown ? BoxText(shown) : L"";
                return !box.empty();
            },
            timeoutMs) &&
        box.empty())
        return true;
    ADD_FAILURE() << (box.empty() ? "timed out" : "a box: " + ToUtf8(box));
    return false;
}

bool AboutShown(const Program& program) {
    return WaitUntil([&] {
        HWND about = program.AboutDialog();
        return about && IsWindowVisible(about);
    });
}

// The first window of the class anywhere below the parent, with the text
// when one is given.
HWND DescendantOfClass(HWND parent, const wchar_t* className, const wchar_t* text = nullptr) {
    for (HWND child = GetWindow(parent, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        wchar_t name[64] = L"", shown[64] = L"";
        GetClassNameW(child, name, 64);
        GetWindowTextW(child, shown, 64);
        if (std::wstring(name) == className && (!text || std::wstring(shown) == text))
            return child;
        if (HWND found = DescendantOfClass(child, className, text))
            return found;
    }
    return nullptr;
}

int RowsOf(HWND list) {
    return static_cast<int>(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0));
}

// The program's message box, once it is up.
HWND ReportBox(const Program& program) {
    HWND box = nullptr;
    WaitUntil([&] {
        box = FindDialogBox(program.UiThread());
        return box != nullptr;
    });
    return box;
}

// The mode list: the drop-down list of three items.
BOOL CALLBACK FindModeList(HWND child, LPARAM found) {
    wchar_t name[32] = L"";
    GetClassNameW(child, name, 32);
    if (std::wstring(name) == WC_COMBOBOXW && SendMessageW(child, CB_GETCOUNT, 0, 0) == 3 &&
        (GetWindowLongW(child, GWL_STYLE) & 3) == CBS_DROPDOWNLIST)
        *reinterpret_cast<HWND*>(found) = child;
    return TRUE;
}

// The last-write box checked by a click.
void CheckLastWrite(HWND main) {
    HWND lastWrite = DescendantOfClass(main, WC_BUTTONW, L"ファイル更新日時");
    ASSERT_TRUE(lastWrite);
    ClickCentre(lastWrite);
    ASSERT_TRUE(WaitUntil([&] { return SendMessageW(lastWrite, BM_GETCHECK, 0, 0) == 1; }));
}

// The mode picked by the keyboard: the whole folder; and the preview turned
// off, so that a run writes at once.
void WholeFolderWithoutPreview(const Program& program) {
    HWND mode = nullptr;
    EnumChildWindows(program.MainWindow(), FindModeList, reinterpret_cast<LPARAM>(&mode));
    ASSERT_TRUE(mode);
    ClickCentre(mode);
    ASSERT_TRUE(WaitUntil([&] { return program.Focus() == mode; }));
    PressKeys({VK_DOWN});
    PressKeys({VK_RETURN});
    ASSERT_TRUE(WaitUntil([&] { return SendMessageW(mode, CB_GETCURSEL, 0, 0) == 1; }));
    PressKeys({VK_MENU, 'O'});
    PressKeys({'V'});
}

// 実行, clicked once it is enabled.
void ClickRun(HWND main) {
    HWND run = DescendantOfClass(main, L"KalveraControl", L"実行");
    ASSERT_TRUE(run);
    ASSERT_TRUE(WaitUntil([&] { return IsWindowEnabled(run) != FALSE; }));
    ClickCentre(run);
}

// A path on the desktop the program lists first (the test prefix's own).
std::wstring OnDesktop(const std::wstring& name) {
    wchar_t desktop[MAX_PATH] = L"";
    if (SHGetFolderPathW(nullptr, CSIDL_DESKTOPDIRECTORY, nullptr, 0, desktop) != S_OK)
        return {};
    return std::wstring(desktop) + L"\\" + name;
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

// The whole way a user goes, in the program as shipped. It starts with the
// desktop listed; a folder of 10,000 files there is entered by typing its
// name and Enter. One file picked by its name has its last-write time
// changed and reported. Then the whole folder, with the mode picked by the
// keyboard: while that run writes, the session's end is refused, and keys
// typed and a close request do not close the report: the run stops, the
// report stays until dismissed, and the program ends with 0.
TEST(Program, ChangesAFileThroughItsWindowAndEndsWithZero) {
    const TempDir journals;
    const OwnJournals own(journals.Path(), L"4");
    const std::wstring name = L"kalvera" + std::to_wstring(GetCurrentProcessId()) + L"run";
    const std::wstring folder = OnDesktop(name);
    ASSERT_FALSE(folder.empty());
    struct Removed {
        const std::wstring& path;
        ~Removed() { RemoveTree(path); }
    } removed{folder};
    ASSERT_TRUE(CreateDirectoryW(folder.c_str(), nullptr));
    constexpr int kFiles = 10000;
    const std::vector<std::wstring> files = MakeNumberedFiles(folder, kFiles);
    auto fileAt = [&](int i) { return files[size_t(i)]; };
    SetKnownTimes(fileAt(0));
    const ReadTimes before = TimesOf(fileAt(0));
    const FileTime chosen = LocalDateTimeToFileTime(ParseDateTimeText(L"2003/1/1 0:00:00"));

    Program program;
    ASSERT_TRUE(program.WaitUntilShown());
    HWND main = program.MainWindow();
    HWND list = DescendantOfClass(main, WC_LISTVIEWW);
    ASSERT_TRUE(list);
    ASSERT_TRUE(WaitUntil([&] { return RowsOf(list) > 1; }));
    RECT client;
    GetClientRect(list, &client);
    ClickAt(list, {client.right - 8, client.bottom - 8}); // below the last row
    ASSERT_TRUE(WaitUntil([&] { return program.Focus() == list; }));
    TypeText(name);
    ASSERT_TRUE(WaitUntil([&] { return SendMessageW(list, LVM_GETSELECTEDCOUNT, 0, 0) == 1; }));
    PressKeys({VK_RETURN});
    ASSERT_TRUE(WaitFor(
        program, [&] { return RowsOf(list) == kFiles; }, 20000));
    // The first row, f100000.txt: typed names are searched from the focused
    // row on, and keys spaced out on a busy machine start a new search.
    PressKeys({VK_HOME});
    ASSERT_TRUE(WaitUntil([&] { return SendMessageW(list, LVM_GETSELECTEDCOUNT, 0, 0) == 1; }));

    ASSERT_NO_FATAL_FAILURE(CheckLastWrite(main));
    ASSERT_NO_FATAL_FAILURE(ClickRun(main));

    HWND box = ReportBox(program);
    ASSERT_TRUE(box);
    EXPECT_EQ(BoxText(box), L"ファイルのタイムスタンプを変更しました。");
    EXPECT_EQ(GetWindow(box, GW_OWNER), main);
    PressKeys({VK_RETURN});
    ASSERT_TRUE(WaitUntil([&] { return !IsWindow(box); }));
    const ReadTimes after = TimesOf(fileAt(0));
    EXPECT_EQ(after.lastWrite, chosen);
    EXPECT_EQ(after.lastAccess, before.lastAccess);
    EXPECT_NE(TimesOf(fileAt(1)).lastWrite, chosen);
    if (!RunningUnderWine()) { // Wine reports the creation time from the other two
        EXPECT_EQ(after.creation, before.creation);
    }

    ASSERT_NO_FATAL_FAILURE(WholeFolderWithoutPreview(program));
    ASSERT_NO_FATAL_FAILURE(ClickRun(main));
    ASSERT_TRUE(WaitFor(
        program, [&] { return TimesOf(fileAt(1)).lastWrite == chosen; }, 5000));
    DWORD_PTR allowed = TRUE;
    ASSERT_TRUE(SendMessageTimeoutW(program.ApplicationWindow(), WM_QUERYENDSESSION, 0,
                                    ENDSESSION_LOGOFF, SMTO_ABORTIFHUNG, 5000, &allowed));
    EXPECT_FALSE(allowed);
    // Keys typed meanwhile, queued before the close in the order they came.
    for (WORD key : {WORD(VK_RETURN), WORD(VK_SPACE)}) {
        PostMessageW(list, WM_KEYDOWN, key, 1);
        PostMessageW(list, WM_KEYUP, key, 0xC0000001);
    }
    PostMessageW(main, WM_CLOSE, 0, 0);

    box = ReportBox(program);
    ASSERT_TRUE(box);
    int changed = 0;
    for (int i = 0; i < kFiles; ++i)
        changed += TimesOf(fileAt(i)).lastWrite == chosen ? 1 : 0;
    EXPECT_LT(changed, kFiles);
    // The first file had the time already, from the run before.
    EXPECT_EQ(BoxText(box), std::to_wstring(changed - 1) +
                                L"個のファイルのタイムスタンプを変更しました。\n中止しました。"
                                L"\n\n次のファイルは変更しませんでした:\nf100000.txt: "
                                L"すでにその日時です");
    EXPECT_TRUE(program.Answers());
    EXPECT_TRUE(IsWindow(box));
    PressKeys({VK_RETURN});
    EXPECT_EQ(program.WaitForExit(), 0u);
}

// Paths on the command line: quoted, relative, Japanese with spaces, of
// several folders, missing; a folder, with the quoted trailing separator
// that comes out as a quote; the files of one; a folder first and files
// after it, all selected in their folder.
TEST(Program, OpensThePathsItIsStartedWith) {
    TempDir dir;
    dir.MakeFile(L"日本 語.txt"), dir.MakeFile(L"b.txt"), dir.MakeDir(L"other");
    const std::wstring c = dir.MakeFile(L"c.txt"), d = dir.MakeFile(L"other\\d.txt");
    struct Start {
        std::wstring arguments;
        int rows, selected;
        std::wstring box;
    } starts[] = {
        {L"\"日本 語.txt\" \"" + c + L"\" " + d + L" missing.txt", 4, 2,
         L"missing.txt が見つかりません。"},
        {L"\"" + dir.Child(L"other\\\"") + L"\"", 1, 0},
        {L"other\\d.txt", 1, 1},
        {L"other \"" + c + L"\" b.txt", 4, 3},
    };
    for (const Start& start : starts) {
        Program program(-1, start.arguments, dir.Path());
        ASSERT_TRUE(program.WaitUntilShown());
        HWND main = program.MainWindow();
        if (!start.box.empty()) {
            HWND box = ReportBox(program);
            ASSERT_TRUE(box);
            EXPECT_EQ(BoxText(box), start.box);
            PostMessageW(box, WM_COMMAND, IDOK, 0);
            ASSERT_TRUE(WaitUntil([&] { return !IsWindow(box); }));
        }
        HWND list = DescendantOfClass(main, WC_LISTVIEWW);
        ASSERT_TRUE(WaitFor(
            program,
            [&] {
                return RowsOf(list) == start.rows &&
                       SendMessageW(list, LVM_GETSELECTEDCOUNT, 0, 0) == start.selected;
            },
            5000))
            << RowsOf(list);
        PostMessageW(main, WM_CLOSE, 0, 0);
        EXPECT_EQ(program.WaitForExit(), 0u);
    }
}

// The version block carries the project's version in its fixed part and its
// texts, and the About dialog's short form follows from the same numbers.
TEST(Program, VersionBlockCarriesTheProjectVersion) {
    const std::wstring path = ProgramPath();
    DWORD unused = 0;
    const DWORD size = GetFileVersionInfoSizeW(path.c_str(), &unused);
    ASSERT_GT(size, 0u);
    std::vector<BYTE> block(size);
    ASSERT_TRUE(GetFileVersionInfoW(path.c_str(), 0, size, block.data()));
    void* value = nullptr;
    UINT length = 0;
    ASSERT_TRUE(VerQueryValueW(block.data(), L"\\", &value, &length));
    const auto& fixed = *static_cast<const VS_FIXEDFILEINFO*>(value);
    const DWORD high = MAKELONG(KALVERA_VERSION_MINOR, KALVERA_VERSION_MAJOR);
    const DWORD low = MAKELONG(KALVERA_VERSION_TWEAK, KALVERA_VERSION_PATCH);
    EXPECT_EQ(fixed.dwFileVersionMS, high);
    EXPECT_EQ(fixed.dwFileVersionLS, low);
    EXPECT_EQ(fixed.dwProductVersionMS, high);
    EXPECT_EQ(fixed.dwProductVersionLS, low);
    for (const wchar_t* name : {L"FileVersion", L"ProductVersion"}) {
        const std::wstring key = std::wstring(L"\\StringFileInfo\\041103A4\\") + name;
        ASSERT_TRUE(VerQueryValueW(block.data(), key.c_str(), &value, &length)) << name;
        EXPECT_STREQ(static_cast<const wchar_t*>(value), L"" KALVERA_VERSION_TEXT) << name;
    }
    EXPECT_EQ(std::to_wstring(KALVERA_VERSION_MAJOR) + L"." +
                  std::to_wstring(KALVERA_VERSION_MINOR) + std::to_wstring(KALVERA_VERSION_PATCH),
              L"" KALVERA_SHORT_VERSION_TEXT);
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

// Started minimised, it is restored by a command posted from another
// process.
TEST(Program, StartedMinimisedItComesBackCentredAndLaidOut) {
    for (int show : {SW_SHOWMINNOACTIVE, SW_SHOWMINIMIZED}) {
        SCOPED_TRACE("show command " + std::to_string(show));
        Program program(show);
        ASSERT_TRUE(WaitUntil([&] {
            HWND application = program.ApplicationWindow();
            return application && IsIconic(application) && program.MainWindow();
        }));
        Sleep(100);
        // The window another program finds by the main window's class
        // before the restore is the one that comes back.
        HWND main = program.MainWindow();
        EXPECT_FALSE(IsWindowVisible(main));

        // Told by another program, to the task-bar entry or (as a window
        // switcher may) to the hidden main window: the whole program comes
        // back.
        PostMessageW(show == SW_SHOWMINNOACTIVE ? program.ApplicationWindow() : main, WM_SYSCOMMAND,
                     SC_RESTORE, 0);
        ASSERT_TRUE(WaitUntil([&] { return IsWindowVisible(main) && !IsIconic(main); }, 10000));
        EXPECT_TRUE(WaitUntil([&] { return !IsIconic(program.ApplicationWindow()); }));
        RECT outer, client;
        GetWindowRect(main, &outer);
        GetClientRect(main, &client);
        EXPECT_EQ(outer.left,
                  std::max(0L, (GetSystemMetrics(SM_CXSCREEN) - (outer.right - outer.left)) / 2));
        EXPECT_EQ(outer.top,
                  std::max(0L, (GetSystemMetrics(SM_CYSCREEN) - (outer.bottom - outer.top)) / 2));
        EXPECT_EQ(client.right, 734);
        EXPECT_EQ(client.bottom, 548);
        // The file list stands where the window's layout puts it, up to the
        // options pane (which widens for its texts in a wider font).
        const RECT list = ClientRectIn(DescendantOfClass(main, L"SysListView32"), main);
        HWND modes = nullptr;
        EnumChildWindows(main, FindModeList, reinterpret_cast<LPARAM>(&modes));
        ASSERT_TRUE(modes);
        const RECT pane = ClientRectIn(GetParent(modes), main);
        EXPECT_EQ(list.left, 188);
        EXPECT_EQ(list.top, 64);
        EXPECT_EQ(list.right, pane.left);
        EXPECT_EQ(pane.right, 734);
        EXPECT_LE(list.right - list.left, 346);
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
    HWND cross = DescendantOfClass(main, L"KalveraControl", L"×");
    ASSERT_TRUE(cross);
    ClickCentre(cross);
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
    // A click that moves the focus comes after every key above in the input
    // queue: once the list has the focus, none of them is left to reach the
    // menu's loop below. It lands below the rows, as a click on a row already
    // selected would start its label edit and take the focus away again.
    HWND list = DescendantOfClass(main, L"SysListView32");
    RECT client;
    GetClientRect(list, &client);
    ClickAt(list, {client.right - 8, client.bottom - 8});
    ASSERT_TRUE(WaitUntil([&] { return program.Focus() == list; }));

    // A close while the menu bar is active (Alt alone, no menu open): the
    // menu's loop must not swallow the end of the program.
    PressKeys({VK_MENU});
    ASSERT_TRUE(WaitUntil([&] {
        GUITHREADINFO info{sizeof info};
        return GetGUIThreadInfo(program.UiThread(), &info) && (info.flags & GUI_INMENUMODE);
    }));
    PostMessageW(main, WM_CLOSE, 0, 0);
    EXPECT_EQ(program.WaitForExit(10000), 0u);
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

namespace {

// Dismisses the program's box once it shows the text, and tells whether
// it did; another box fails at once.
bool Answer(const Program& program, const std::wstring& text, WORD key = VK_RETURN) {
    HWND box = nullptr;
    if (!WaitUntil([&] { return (box = FindMessageBox(program.UiThread())) != nullptr; }, 60000) ||
        BoxText(box) != text) {
        ADD_FAILURE() << "box: " << ToUtf8(box ? BoxText(box) : L"none");
        return false;
    }
    PressKeys({key});
    return WaitUntil([&] { return !IsWindow(box); });
}

// The run's last-write time, 2003/1/1 0:00:00, over the selected file, or
// over the whole folder with no preview.
void RunOver(const Program& program, bool wholeFolder) {
    ASSERT_NO_FATAL_FAILURE(CheckLastWrite(program.MainWindow()));
    if (wholeFolder) {
        ASSERT_NO_FATAL_FAILURE(WholeFolderWithoutPreview(program));
    }
    ClickRun(program.MainWindow());
}

// The program started on the paths, once its list holds the rows.
void WaitForRows(const Program& program, int rows) {
    ASSERT_TRUE(program.WaitUntilShown());
    HWND list = DescendantOfClass(program.MainWindow(), WC_LISTVIEWW);
    ASSERT_TRUE(WaitFor(
        program, [&] { return RowsOf(list) == rows; }, 30000))
        << RowsOf(list);
}

void Close(const Program& program) {
    PostMessageW(program.MainWindow(), WM_CLOSE, 0, 0);
    EXPECT_EQ(program.WaitForExit(), 0u);
}

// The lines of the list window open opens, copied from its list as the
// user copies them, after the columns' titles; a preview's once it has
// found every row. None where a box comes instead.
std::vector<std::wstring> ListLines(const Program& program, HWND& window,
                                    const std::function<void()>& open, bool preview = false) {
    if (OpenClipboard(nullptr)) {
        EmptyClipboard();
        CloseClipboard();
    }
    open();
    const std::wstring caption = preview ? L"変更の確認" : L"履歴";
    if (!WaitFor(
            program,
            [&] {
                window = FindDialogBox(program.UiThread());
                wchar_t text[16] = L"";
                GetWindowTextW(window, text, 16);
                return window && text == caption && program.Focus() &&
                       IsChild(window, program.Focus()) &&
                       (!preview || IsWindowEnabled(GetDlgItem(window, IDOK)));
            },
            30000))
        return {};
    // Keys sent while the window only just came up can go before it is
    // the foreground: they are sent again.
    std::wstring text;
    for (int tries = 0; tries < 3 && text.empty(); ++tries) {
        PressKeys({VK_CONTROL, 'A'});
        PressKeys({VK_CONTROL, 'C'});
        WaitUntil([&] {
            if (!OpenClipboard(nullptr))
                return false;
            if (HANDLE data = GetClipboardData(CF_UNICODETEXT)) {
                text = static_cast<const wchar_t*>(GlobalLock(data));
                GlobalUnlock(data);
            }
            CloseClipboard();
            return !text.empty();
        });
    }
    std::vector<std::wstring> lines;
    for (size_t at = 0, end; (end = text.find(L"\r\n", at)) != std::wstring::npos; at = end + 2)
        lines.push_back(text.substr(at, end - at));
    EXPECT_TRUE(!lines.empty() && lines[0].starts_with(preview ? L"名前\t" : L"日時\t"));
    if (!lines.empty())
        lines.erase(lines.begin());
    return lines;
}

// A menu's item, by their keys.
std::function<void()> MenuItem(WORD menu, WORD item) {
    return [menu, item] {
        PressKeys({VK_MENU, menu});
        PressKeys({item});
    };
}

} // namespace

// Runs are kept in journals that outlive the program. A whole-folder run
// over 20,000 files killed part way, its journal holding files it had not
// reached, is offered for undoing at the next start; another program
// changes 30 of those meanwhile. Yes brings every file the run wrote back to
// the tick, leaving the rest as they were, those 30 as that program left
// them. A run, a close and a new start: Ctrl+Z undoes it. Of
// two runs over two folders, the history undoes the older. A cut journal
// and one of random bytes are listed as damaged and passed over.
TEST(Program, JournalsOutliveIt) {
    TempDir dir;
    const std::wstring journals = dir.Child(L"runs");
    const OwnJournals own(journals, L"4");
    const FileTime chosen = LocalDateTimeToFileTime(ParseDateTimeText(L"2003/1/1 0:00:00"));
    constexpr int kFiles = 20000;
    const std::wstring many = dir.MakeDir(L"many");
    // Each file its own times, with fractions of a second.
    auto timesAt = [](int i) {
        const FileTime base = 130'000'000'000'000'000 + FileTime(i) * 10'000'017;
        return ReadTimes{base + 3, base + 2'000'000'001, base + 1'000'000'002};
    };
    const std::vector<std::wstring> files = MakeNumberedFiles(many, kFiles, timesAt);
    auto fileAt = [&](int i) { return files[size_t(i)]; };
    {
        Program program(-1, L"\"" + many + L"\"");
        WaitForRows(program, kFiles);
        RunOver(program, true);
        // Killed with 100 files or more announced and not yet reached.
        auto announced = [&] {
            const std::vector<StoredJournal> newest = ReadStoredJournals(journals, 1);
            return newest.empty() || !newest[0].contents ? 0
                                                         : int(newest[0].contents->files.size());
        };
        ASSERT_TRUE(WaitFor(
            program,
            [&] {
                const int entries = announced();
                return entries > 2100 && TimesOf(fileAt(entries - 100)).lastWrite != chosen;
            },
            120000));
        program.Kill();
    }
    int written = 0;
    for (int i = 0; i < kFiles; ++i)
        written += TimesOf(fileAt(i)).lastWrite == chosen;
    ASSERT_GT(written, 2000);
    // Another program's change to 30 files announced and not reached.
    const FileTime other = chosen + 10'000'000;
    const StoredJournal killed = ReadStoredJournals(journals, 1)[0];
    ASSERT_LE(written + 30, int(killed.contents->files.size()));
    for (int i = written; i < written + 30; ++i)
        SetTimes(fileAt(i), 0, 0, other);
    {
        Program program;
        ASSERT_TRUE(program.WaitUntilShown());
        ASSERT_TRUE(
            Answer(program, FormatMessageText(kUnfinishedRunText, std::to_wstring(written))));
        ASSERT_TRUE(Answer(program, std::to_wstring(written) +
                                        L"個のファイルのタイムスタンプを元に戻しました。"));
        Close(program);
    }
    for (int i = 0; i < kFiles; ++i) {
        const ReadTimes now = TimesOf(fileAt(i)), then = timesAt(i);
        ASSERT_EQ(now.lastWrite, i >= written && i < written + 30 ? other : then.lastWrite) << i;
        ASSERT_EQ(now.lastAccess, then.lastAccess) << i;
    }

    // One file of each folder, changed in a start of its own.
    for (const wchar_t* folder : {L"b", L"c", L"d"})
        dir.MakeDir(folder);
    const std::wstring b = dir.MakeFile(L"b\\b.txt"), c = dir.MakeFile(L"c\\c.txt");
    const std::wstring d = dir.MakeFile(L"d\\d.txt");
    for (const std::wstring& file : {b, c, d})
        SetKnownTimes(file);
    const FileTime known = TimesOf(b).lastWrite;
    for (const std::wstring& file : {b, c, d}) {
        Program program(-1, L"\"" + file + L"\"");
        WaitForRows(program, 1);
        RunOver(program, false);
        ASSERT_TRUE(Answer(program, L"ファイルのタイムスタンプを変更しました。"));
        ASSERT_EQ(TimesOf(file).lastWrite, chosen);
        if (file == b) { // undone by Ctrl+Z after a close and a new start
            Close(program);
            Program again;
            ASSERT_TRUE(again.WaitUntilShown());
            ASSERT_TRUE(WaitUntil([&] { return again.Focus() != nullptr; }));
            PressKeys({VK_CONTROL, 'Z'});
            ASSERT_TRUE(Answer(again, L"1個のファイルのタイムスタンプを元に戻しました。"));
            EXPECT_EQ(TimesOf(b).lastWrite, known);
            Close(again);
            continue;
        }
        if (file == c) {
            Close(program);
            continue;
        }
        // The history, newest first: d's run, c's, b's undone, the killed one.
        HWND window = nullptr;
        const std::vector<std::wstring> lines = ListLines(program, window, MenuItem('F', 'H'));
        ASSERT_EQ(lines.size(), 4u);
        EXPECT_NE(lines[0].find(L"\t実行\t" + dir.Child(L"d") + L"\t1\t1\t"), std::wstring::npos);
        EXPECT_NE(lines[1].find(L"\t実行\t" + dir.Child(L"c") + L"\t1\t1\t"), std::wstring::npos);
        EXPECT_NE(lines[2].find(L"\t1\t0\t"), std::wstring::npos);
        EXPECT_NE(lines[3].find(L"\t" + many + L"\t"), std::wstring::npos);
        EXPECT_TRUE(lines[3].ends_with(L"\t" + std::to_wstring(written) + L"\t0\t途中で終了"))
            << ToUtf8(lines[3]);
        PressKeys({VK_HOME});
        PressKeys({VK_DOWN});
        PressKeys({VK_RETURN}); // 元に戻す, on c's run
        ASSERT_TRUE(Answer(program, L"1個のファイルのタイムスタンプを元に戻しました。"));
        EXPECT_EQ(TimesOf(c).lastWrite, known);
        EXPECT_EQ(TimesOf(d).lastWrite, chosen);
        Close(program);
    }

    // A journal cut inside its header, and random bytes: damaged, listed
    // so, and left as they are; Ctrl+Z passes over them to d's run.
    std::string noise(700, '\0');
    for (size_t i = 0; i < noise.size(); ++i)
        noise[i] = char(i * 7919 % 251);
    const std::string cut("KVJ1\x2C\0\0\0\x01\0\x04", 11); // the magic and a header's start
    const std::wstring random = dir.MakeFile(L"runs\\20990101-000000-000.run", noise);
    const std::wstring shortened = dir.MakeFile(L"runs\\20990101-000000-001.run", cut);
    Program program;
    ASSERT_TRUE(program.WaitUntilShown());
    ASSERT_TRUE(WaitUntil([&] { return program.Focus() != nullptr; }));
    HWND window = nullptr;
    const std::vector<std::wstring> lines = ListLines(program, window, MenuItem('F', 'H'));
    ASSERT_EQ(lines.size(), 6u);
    EXPECT_EQ(lines[0], L"壊れた記録: 20990101-000000-001.run\t\t\t\t\t");
    EXPECT_EQ(lines[1], L"壊れた記録: 20990101-000000-000.run\t\t\t\t\t");
    // 元に戻す only on d's run, the one with a file left: Enter on the
    // killed run's line leaves the window open.
    HWND undo = DescendantOfClass(window, WC_BUTTONW, L"元に戻す");
    const std::pair<WORD, bool> steps[] = {{VK_HOME, false}, {VK_END, false}, {VK_RETURN, false},
                                           {VK_UP, false},   {VK_UP, false},  {VK_UP, true}};
    for (const auto& [key, enabled] : steps) {
        PressKeys({key});
        EXPECT_TRUE(WaitUntil([&] { return bool(IsWindowEnabled(undo)) == enabled; })) << key;
    }
    PressKeys({VK_ESCAPE});
    ASSERT_TRUE(WaitUntil([&] { return !IsWindow(window); }));
    Close(program);
    // d's run undone from the command line; then nothing is left to undo.
    const CommandResult undone = RunCommand(L"/undo");
    EXPECT_EQ(undone.code, kExitDone) << ToUtf8(undone.err);
    EXPECT_EQ(undone.out, L"1個のファイルのタイムスタンプを元に戻しました。\r\n");
    EXPECT_EQ(TimesOf(d).lastWrite, known);
    EXPECT_EQ(ReadContent(random), noise);
    // Offered once: no start after the first marked it again.
    EXPECT_FALSE(ReadStoredJournal(killed.path).contents->cut);
    EXPECT_EQ(ReadContent(shortened), cut);
    EXPECT_EQ(RunCommand(L"/undo").code, kExitNothingToUndo);
}

// Each kind of run over a folder where one photo may not be written: the
// preview lists it left alone, 実行 names it and writes the others; hidden
// files and folders are counted. A photo run's preview cancelled leaves
// every file's last-write and change times as they were, to the
// nanosecond, and the undo of the run before asks nothing. A folder takes
// the time of what it holds, not of a newer file outside reached through a
// link.
TEST(Program, RunsNameWhatTheyCantOpenAndPreviewsWriteNothing) {
    TempDir dir, elsewhere;
    const OwnJournals own(elsewhere.Child(L"runs"));
    const std::string jpeg = JpegFile(TiffBlock(false, {}, {{0x9003, "2019:07:04 13:05:09"}}));
    std::vector<std::wstring> files;
    for (const wchar_t* name : {L"1", L"2", L"3"})
        files.push_back(dir.MakeFile(L"IMG_20190704_13050" + std::wstring(name) + L".jpg", jpeg));
    for (const std::wstring& file : files)
        SetKnownTimes(file);
    const FileTime known = TimesOf(files[0]).lastWrite, older = known + 864'000'000'000;
    SetFileAttributesW(dir.MakeFile(L"thumbs.db").c_str(), FILE_ATTRIBUTE_HIDDEN);
    const std::wstring sub = dir.MakeDir(L"sub"), outside = elsewhere.MakeFile(L"newer.txt");
    SetTimes(dir.MakeFile(L"sub\\a.txt"), 0, 0, older);
    SetTimes(outside, 0, 0, older + 864'000'000'000);
    ASSERT_TRUE(MakeLink(dir.Child(L"sub\\newer.txt"), outside, false));
    WriteDenied deny(files[1]);
    if (!deny.Denied())
        std::puts("a file the user may not write not checked: the Wine server writes any file");
    const std::wstring written = deny.Denied() ? L"2" : L"3";
    auto passedWith = [&](const std::wstring& more) {
        return L"\nフォルダ1個は対象外です。\n隠しファイル1個は対象外です。" + more +
               std::wstring(deny.Denied() ? L"\n\n次のファイルは変更しませんでした:\n"
                                            L"IMG_20190704_130502.jpg: 書き込みが許可されていません"
                                          : L"");
    };
    std::wstring passed = passedWith(L"");
    Program program(-1, L"\"" + dir.Path() + L"\"");
    WaitForRows(program, 4);
    ASSERT_NO_FATAL_FAILURE(CheckLastWrite(program.MainWindow()));
    ASSERT_NO_FATAL_FAILURE(WholeFolderWithoutPreview(program));
    MenuItem('O', 'V')(); // the preview on again
    HWND window = nullptr;
    // Previewed, written, and the files read back.
    auto run = [&](const std::function<void()>& open, const std::wstring& done) {
        const std::vector<std::wstring> lines = ListLines(program, window, open, true);
        ASSERT_EQ(lines.size(), 3u);
        EXPECT_EQ(lines[1].ends_with(L"\t書き込みが許可されていません"), deny.Denied())
            << ToUtf8(lines[1]);
        PressKeys({VK_RETURN});
        ASSERT_TRUE(Answer(program, written + done + passed));
        for (size_t i = 0; i < 3; ++i)
            EXPECT_EQ(TimesOf(files[i]).lastWrite == known, i == 1 && deny.Denied()) << i;
    };
    ASSERT_NO_FATAL_FAILURE(run([&] { ClickRun(program.MainWindow()); },
                                L"個のファイルのタイムスタンプを変更しました。"));

    const std::string nanoseconds = NanosecondTimesOf(files);
    const FileTime first = TimesOf(files[0]).lastWrite;
    ASSERT_EQ(ListLines(program, window, MenuItem('O', 'P'), true).size(), 3u);
    PressKeys({VK_ESCAPE});
    ASSERT_TRUE(WaitUntil([&] { return !IsWindow(window); }));
    EXPECT_EQ(NanosecondTimesOf(files), nanoseconds);
    EXPECT_EQ(TimesOf(files[0]).lastWrite, first);
    PressKeys({VK_CONTROL, 'Z'});
    ASSERT_TRUE(Answer(program, written + L"個のファイルのタイムスタンプを元に戻しました。"));

    ASSERT_NO_FATAL_FAILURE(run(
        [&] {
            MenuItem('O', 'S')();
            ASSERT_TRUE(WaitUntil([&] { return FindDialogBox(program.UiThread()); }));
            TypeText(L"1");
            PressKeys({VK_RETURN});
        },
        L"個のファイルのタイムスタンプをずらしました。"));
    ASSERT_NO_FATAL_FAILURE(
        run(MenuItem('O', 'M'), L"個のファイルのタイムスタンプをファイル名の日時に合わせました。"));
    ASSERT_NO_FATAL_FAILURE(
        run(MenuItem('O', 'P'), L"個のファイルのタイムスタンプを撮影日時に合わせました。"));
    // The dates of an export's JSON files beside them, to the second; the
    // JSON files passed over.
    for (const std::wstring& file : files)
        dir.MakeFile(std::wstring(SplitPath(file).second) + L".json",
                     R"({"photoTakenTime":{"timestamp":"1562213109"}})");
    MenuItem('S', 'R')(); // 最新の情報へ更新
    WaitForRows(program, 7);
    passed = passedWith(L"\nJSON/XMPファイル3個は対象外です。");
    ASSERT_NO_FATAL_FAILURE(
        run(MenuItem('O', 'I'), L"個のファイルのタイムスタンプをJSON/XMPの日時に合わせました。"));
    EXPECT_EQ(TimesOf(files[2]).lastWrite, (1562213109 + 11'644'473'600LL) * 10'000'000);
    MenuItem('O', 'T')();
    ASSERT_TRUE(Answer(program, L"1個のフォルダのタイムスタンプを中身に合わせました。"
                                L"\n隠しファイル1個は対象外です。"));
    EXPECT_EQ(TimesOf(sub).lastWrite, older);
    Close(program);
}

namespace {

// The times a file is seen with after it was given these: Wine keeps no
// creation time, and reports the last-write time. A zero access time is
// not looked at (a folder's moves as a run lists it).
ReadTimes Seen(ReadTimes times, ReadTimes now = {}) {
    if (RunningUnderWine())
        times.creation = times.lastWrite;
    if (!times.lastAccess)
        times.lastAccess = now.lastAccess;
    return times;
}

} // namespace

// The program run from a console, as a script runs it: each source writes
// the kinds asked for and no other, /preview writes nothing, and each run
// ends with its code; runs made there are in the history and undone from
// the window, and the other way round. Bad arguments write nothing and
// leave no journal.
TEST(Program, CommandLineRunsEndWithTheirCodeAndUndo) {
    TempDir dir;
    const std::wstring journals = dir.MakeDir(L"runs");
    const OwnJournals own(journals);
    const FileTime base = 126309519060000000ULL, hour = 36'000'000'000ULL, day = 24 * hour;
    const ReadTimes known{base, base + day, base + 2 * day};
    const FileTime taken = LocalDateTimeToFileTime(ParseDateTimeText(L"2019/7/4 13:05:09"));
    const FileTime set = LocalDateTimeToFileTime(ParseDateTimeText(L"2004/4/1 9:30:00"));
    const FileTime json = (1562213109 + 11'644'473'600LL) * 10'000'000;
    const ReadTimes source{base + hour, base + 2 * hour, base + 3 * hour};
    for (const wchar_t* folder :
         {L"set", L"shift", L"photo", L"name", L"sidecar", L"contents", L"target", L"source"})
        dir.MakeDir(folder);
    const std::string jpeg = JpegFile(TiffBlock(false, {}, {{0x9003, "2019:07:04 13:05:09"}}));
    for (const auto& [name, content] :
         std::initializer_list<std::pair<const wchar_t*, std::string>>{
             {L"set\\a.txt", "a"},
             {L"set\\b.txt", "b"},
             {L"photo\\p.jpg", jpeg},
             {L"photo\\none.txt", "n"},
             {L"name\\IMG_20190704_130509.txt", "n"},
             {L"sidecar\\p.jpg", "p"},
             {L"target\\f.txt", "f"},
             {L"source\\f.txt", "s"}})
        SetKnownTimes(dir.MakeFile(name, content));
    // Named relative to the current folder, in Japanese, its path longer
    // than MAX_PATH.
    const std::wstring level(120, L'深');
    const std::wstring deep = L"shift\\" + level + L"\\" + level + L"\\写真.txt";
    dir.MakeDir(L"shift\\" + level);
    dir.MakeDir(L"shift\\" + level + L"\\" + level);
    SetKnownTimes(dir.MakeFile(deep));
    dir.MakeFile(L"sidecar\\p.jpg.json", R"({"photoTakenTime":{"timestamp":"1562213109"}})");
    SetTimes(dir.Child(L"source\\f.txt"), source.creation, source.lastAccess, source.lastWrite);
    dir.MakeDir(L"contents\\sub");
    SetTimes(dir.MakeFile(L"contents\\sub\\f.txt"), 0, 0, base + 3 * day);
    SetKnownTimes(dir.Child(L"contents\\sub"));
    auto journalCount = [&] { return JournalsIn(journals).size(); };

    struct Row {
        std::wstring arguments, file;
        DWORD code;
        const wchar_t* printed;
        ReadTimes times;
    };
    const Row rows[] = {
        {L"/run /c /w /a /set \"2004-04-01 09:30:00\" /preview set\\b.txt", L"set\\b.txt",
         kExitDone, L"\\set\\b.txt\t", known},
        {L"/run /a /set \"2004-04-01 09:30:00\" set",
         L"set\\a.txt",
         kExitDone,
         L"2個のファイルのタイムスタンプを変更しました。",
         {base, set, base + 2 * day}},
        {L"/run /w /shift -1:00:00 \"" + deep + L"\"",
         deep,
         kExitDone,
         L"1個のファイルのタイムスタンプをずらしました。",
         {base, base + day, base + 2 * day - hour}},
        {L"/run /a /photo photo /csv report.csv /quiet",
         L"photo\\p.jpg",
         kExitLeftAlone,
         L"none.txt: 撮影日時がありません",
         {base, taken, base + 2 * day}},
        {L"-RUN -W /Name name",
         L"name\\IMG_20190704_130509.txt",
         kExitDone,
         L"ファイル名の日時に合わせました。",
         {base, base + day, taken}},
        {L"/run /w /a /sidecar sidecar",
         L"sidecar\\p.jpg",
         kExitDone,
         L"JSON/XMPファイル1個は対象外です。",
         {base, json, json}},
        {L"/run /w /contents contents",
         L"contents\\sub",
         kExitDone,
         L"1個のフォルダのタイムスタンプを中身に合わせました。",
         {base, 0, base + 3 * day}},
        {L"/run /w /a /from source target",
         L"target\\f.txt",
         kExitDone,
         L"別のフォルダに合わせました。",
         {base, source.lastAccess, source.lastWrite}},
    };
    for (const Row& row : rows) {
        const CommandResult result = RunCommand(row.arguments, dir.Path());
        EXPECT_EQ(result.code, row.code) << ToUtf8(row.arguments) << ToUtf8(result.err);
        // Quiet, only what was left alone, among the errors.
        const bool quiet = std::wstring_view(row.arguments).ends_with(L"/quiet");
        EXPECT_NE((quiet ? result.err : result.out).find(row.printed), std::wstring::npos)
            << ToUtf8(result.out);
        EXPECT_EQ(result.out.empty(), quiet);
        const ReadTimes now = TimesOf(dir.Child(row.file));
        EXPECT_EQ(now, Seen(row.times, now)) << ToUtf8(row.arguments);
    }
    // The preview, the first row, wrote nothing and kept no journal.
    EXPECT_EQ(journalCount(), std::size(rows) - 1);
    EXPECT_EQ(ReadContent(dir.Child(L"report.csv")),
              ToUtf8(L"\xFEFF名前,フォルダ,理由\r\nnone.txt," + dir.Child(L"photo") +
                     L",撮影日時がありません\r\n"));

    const CommandResult history = RunCommand(L"/history");
    EXPECT_TRUE(history.out.starts_with(L"日時\t種類\tフォルダ\tファイル数\t残り\t状態\r\n"));
    EXPECT_NE(history.out.find(L"\t" + dir.Child(L"target") + L"\t1\t1\t"), std::wstring::npos)
        << ToUtf8(history.out);
    {
        Program program;
        ASSERT_TRUE(program.WaitUntilShown());
        ASSERT_TRUE(WaitUntil([&] { return program.Focus() != nullptr; }));
        PressKeys({VK_CONTROL, 'Z'}); // the command line's newest run
        ASSERT_TRUE(Answer(program, L"1個のファイルのタイムスタンプを元に戻しました。"));
        EXPECT_EQ(TimesOf(dir.Child(L"target\\f.txt")), Seen(known));
        Close(program);
    }
    const CommandResult undo = RunCommand(L"/undo");
    EXPECT_EQ(undo.code, kExitDone) << ToUtf8(undo.err);
    EXPECT_EQ(TimesOf(dir.Child(L"contents\\sub")).lastWrite, known.lastWrite);
    EXPECT_EQ(TimesOf(dir.Child(L"sidecar\\p.jpg")).lastWrite, json);

    const wchar_t* const bad[][2] = {
        {L"/run /w /bogus set", L"不明なスイッチです: /bogus"},
        {L"/run /w /set now /photo set", L"日時の指定はひとつだけです: /photo"},
        {L"/run /set now set", L"変更する時刻がありません"},
        {L"/run /w set", L"日時の指定がありません"},
        {L"/run /w /set 2023-02-29 set", L"存在しない日時です: 2023-02-29"},
        {L"/run /w /shift 1x set", L"ずらす時間ではありません: 1x"},
        {L"/run /w /set now missing", L"見つかりません: missing"},
        {L"/run /w /from contents\\sub contents",
         L"/from のフォルダが変更するフォルダの中にあります"},
        {L"/run /w /set now /filter a|b set", L"/filter にファイル名に使えない文字があります: a|b"},
        {L"/undo /w", L"このスイッチは /undo とは使えません: /w"},
    };
    const size_t kept = journalCount();
    const ReadTimes before = TimesOf(dir.Child(L"set\\b.txt"));
    for (const auto& [arguments, error] : bad) {
        const CommandResult result = RunCommand(arguments, dir.Path());
        EXPECT_EQ(result.code, kExitBadArguments) << ToUtf8(arguments);
        EXPECT_NE(result.err.find(error), std::wstring::npos) << ToUtf8(result.err);
    }
    EXPECT_EQ(journalCount(), kept);
    EXPECT_EQ(TimesOf(dir.Child(L"set\\b.txt")), before);

    // A journal that can't be written stops the run before its first file.
    {
        const OwnJournals broken(dir.Child(L"set\\a.txt"));
        const CommandResult result = RunCommand(L"/run /w /set now set", dir.Path());
        EXPECT_EQ(result.code, kExitStopped) << ToUtf8(result.out);
        EXPECT_EQ(TimesOf(dir.Child(L"set\\b.txt")), before);
    }
}

// Ctrl+C in the console stops a run of 10,000 files as Esc does, its
// journal kept: /undo takes back every file it wrote, to the 100 ns, and
// then has nothing left to undo.
TEST(Program, CtrlCStopsACommandLineRunThatUndoTakesBack) {
    TempDir dir;
    const std::wstring journals = dir.Child(L"runs");
    const OwnJournals own(journals);
    constexpr int kFiles = 10000;
    auto timesAt = [](int i) {
        const FileTime base = 130'000'000'000'000'000 + FileTime(i) * 10'000'017;
        return ReadTimes{base + 3, base + 2'000'000'001, base + 1'000'000'002};
    };
    const std::wstring many = dir.MakeDir(L"many");
    const std::vector<std::wstring> files = MakeNumberedFiles(many, kFiles, timesAt);
    const FileTime chosen = LocalDateTimeToFileTime(ParseDateTimeText(L"2003/1/1 0:00:00"));
    const CommandResult run =
        RunCommand(L"/run /w /set \"2003-01-01 00:00\" \"" + many + L"\"", L"", [&] {
            // Stopped with 100 files or more announced and not yet reached.
            const bool midway = WaitUntil(
                [&] {
                    const std::vector<StoredJournal> newest = ReadStoredJournals(journals, 1);
                    const int entries = newest.empty() || !newest[0].contents
                                            ? 0
                                            : int(newest[0].contents->files.size());
                    return entries > 2100 &&
                           TimesOf(files[size_t(entries - 100)]).lastWrite != chosen;
                },
                120000);
            EXPECT_TRUE(midway);
            GenerateConsoleCtrlEvent(CTRL_C_EVENT, 0);
        });
    ASSERT_EQ(run.code, kExitStopped) << ToUtf8(run.out) << ToUtf8(run.err);
    EXPECT_NE(run.out.find(kStoppedText), std::wstring::npos) << ToUtf8(run.out);
    int written = 0;
    for (const std::wstring& file : files)
        written += TimesOf(file).lastWrite == chosen;
    EXPECT_GT(written, 2000);
    EXPECT_LT(written, kFiles);

    const CommandResult undo = RunCommand(L"/undo");
    EXPECT_EQ(undo.code, kExitDone) << ToUtf8(undo.err);
    EXPECT_NE(
        undo.out.find(std::to_wstring(written) + L"個のファイルのタイムスタンプを元に戻しました。"),
        std::wstring::npos)
        << ToUtf8(undo.out);
    for (int i = 0; i < kFiles; ++i)
        ASSERT_EQ(TimesOf(files[size_t(i)]), Seen(timesAt(i))) << i;
    const CommandResult none = RunCommand(L"/undo");
    EXPECT_EQ(none.code, kExitNothingToUndo);
    EXPECT_NE(none.out.find(kNothingToUndoText), std::wstring::npos);
}
