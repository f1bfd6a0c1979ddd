// The main window driven as a user drives it: real input through the
// system's queue, or messages posted to the focused control, all taken
// through the program's own message processing; checked by where the
// keyboard focus goes and what the user sees.

#include "tests/support/Input.h"
#include "tests/support/MainWindowHost.h"
#include "tests/support/Pump.h"
#include "tests/support/ShellItems.h"
#include "tests/support/TestFiles.h"
#include "win/Error.h"

#include <gtest/gtest.h>

using namespace kalvera;
using namespace kalvera::test;

namespace {

// An ordinary top-level window of another part of the desktop, to take the
// activation away from the main window.
class OtherWindow {
public:
    OtherWindow()
        : window_(CreateWindowExW(0, L"STATIC", L"other", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 700,
                                  500, 200, 100, nullptr, nullptr, nullptr, nullptr)) {}
    ~OtherWindow() { DestroyWindow(window_); }
    HWND Handle() const { return window_; }

private:
    HWND window_;
};

class MainWindowInput : public MainWindow {
protected:
    OtherWindow other;

    void SetUp() override {
        MainWindow::SetUp();
        Activate(form->Handle());
    }
    static void Activate(HWND window) {
        SetForegroundWindow(window);
        SetActiveWindow(window);
        PumpFor(30);
    }
    void ShowFolderWithFiles(TempDir& dir) {
        dir.MakeFile(L"a.txt");
        dir.MakeFile(L"b.txt");
        form->ShellListView1.NavigateToIdList(RootOf(dir.Path())->AbsoluteIdList());
    }
    // Which control holds the focus (the edit inside the address box counts
    // as the box), by name.
    std::string FocusName() {
        HWND focus = GetFocus();
        if (!focus)
            return "(none)";
        if (focus == form->Handle())
            return "window";
        // Children stand after their parents in the table: the deepest first.
        const auto layout = Layout(*form);
        for (auto e = layout.rbegin(); e != layout.rend(); ++e)
            if (e->control->HandleAllocated() &&
                (focus == e->control->Handle() || IsChild(e->control->Handle(), focus)))
                return e->name;
        return "(elsewhere)";
    }
    bool AwayAndBack() {
        Activate(other.Handle());
        const bool left = GetFocus() == nullptr || !IsChild(form->Handle(), GetFocus());
        Activate(form->Handle());
        return left;
    }
};

struct Child {
    std::wstring className;
    RECT rect;
};

BOOL CALLBACK CollectChild(HWND window, LPARAM data) {
    wchar_t name[64] = L"";
    GetClassNameW(window, name, 64);
    RECT rect;
    GetWindowRect(window, &rect);
    reinterpret_cast<std::vector<Child>*>(data)->push_back({name, rect});
    return TRUE;
}

std::string ClassOf(HWND window) {
    wchar_t name[64] = L"", text[64] = L"";
    GetClassNameW(window, name, 64);
    GetWindowTextW(window, text, 64);
    return ToUtf8(name) + " '" + ToUtf8(text) + "'";
}

} // namespace

TEST_F(MainWindowInput, ActivationGivesTheFocusBackToTheControlThatHadIt) {
    EXPECT_EQ(FocusName(), "ShellComboBox1"); // where the window starts
    for (Control* control : std::initializer_list<Control*>{
             &form->ShellListView1, &form->ShellTreeView1, &form->ComboBox3, &form->CheckBox2}) {
        SetFocus(control->Handle());
        const std::string name = FocusName();
        EXPECT_TRUE(AwayAndBack()) << name;
        EXPECT_EQ(FocusName(), name);
    }
    // A control that can no longer take the focus: the first one in tab
    // order gets it.
    SetFocus(form->ComboBox1.Handle());
    Activate(other.Handle());
    form->ComboBox1.SetEnabled(false);
    Activate(form->Handle());
    EXPECT_EQ(FocusName(), "ShellListView1");
}

TEST_F(MainWindowInput, ReportBoxClosedWithEnterGivesTheFocusBack) {
    SetPlatformMessageBox(previousBox); // the real box
    TempDir dir;
    ShowFolderWithFiles(dir);
    form->ShellListView1.SetItemIndex(0);
    SetFocus(form->ShellListView1.Handle());
    form->CheckBox2.SetChecked(true);
    std::wstring shown;
    WhileModal([&] {
        if (HWND box = FindDialogBox())
            shown = BoxText(box);
        PressKeys({VK_RETURN});
    });
    const ModalDeadline deadline;
    ClickCentre(form->SpeedButton1.Handle());
    EXPECT_TRUE(PumpUntil([&] { return !shown.empty() && !FindDialogBox(); }));
    EXPECT_FALSE(deadline.Hit());
    EXPECT_EQ(shown, L"ファイルのタイムスタンプを変更しました。");
    PumpFor(50);
    EXPECT_EQ(GetActiveWindow(), form->Handle());
    EXPECT_EQ(FocusName(), "ShellListView1");
}

TEST_F(MainWindowInput, AboutDialogClosedGivesTheFocusBack) {
    SetFocus(form->CheckBox1.Handle());
    HWND focusInDialog = nullptr;
    WhileModal([&] {
        focusInDialog = GetFocus();
        PressKeys({VK_RETURN});
    });
    const ModalDeadline deadline;
    PostMessageW(form->Handle(), WM_COMMAND, TChangeForm1::About1, 0);
    EXPECT_TRUE(PumpUntil([&] { return focusInDialog && !IsWindowVisible(about->Handle()); }));
    EXPECT_FALSE(deadline.Hit());
    EXPECT_EQ(focusInDialog, about->BitBtn1.Handle()) << ClassOf(focusInDialog);
    PumpFor(50);
    EXPECT_EQ(GetActiveWindow(), form->Handle()) << ClassOf(GetActiveWindow());
    EXPECT_EQ(FocusName(), "CheckBox1") << ClassOf(GetFocus());
}

TEST_F(MainWindowInput, HidingThePaneLeavesTheFocusOnTheWindowUntilItIsActivatedAgain) {
    if (GetSystemMetrics(SM_CXSCREEN) != 1024)
        GTEST_SKIP() << "needs a 1024 x 768 screen";
    SetWindowPos(form->Handle(), nullptr, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    ClickCentre(form->ShellTreeView1.Handle());
    PumpFor(50);
    ASSERT_EQ(FocusName(), "ShellTreeView1");
    ClickCentre(form->SpeedButton2.Handle());
    PumpFor(50);
    EXPECT_FALSE(form->Panel5.Visible());
    EXPECT_EQ(FocusName(), "window");
    // Keys now reach the window's own handler: Home glides.
    int steps = 0;
    form->OnGlideStep = [&](POINT) { ++steps; };
    PressKeys({VK_HOME});
    PumpFor(50);
    EXPECT_EQ(steps, 10);
    EXPECT_TRUE(AwayAndBack());
    EXPECT_EQ(FocusName(), "ShellListView1");
}

TEST_F(MainWindowInput, AltHomeGlidesFromTheWindowButHomeInAControlDoesNot) {
    int steps = 0;
    form->OnGlideStep = [&](POINT) { ++steps; };
    SetFocus(form->ShellListView1.Handle());
    PressKeys({VK_HOME});
    PressKeys({VK_MENU, VK_HOME});
    PumpFor(50);
    EXPECT_EQ(steps, 0);
    SetFocus(form->Handle());
    PressKeys({VK_MENU, VK_HOME});
    PumpFor(50);
    EXPECT_EQ(steps, 10);
    PressKeys({VK_CONTROL, VK_HOME});
    PumpFor(50);
    EXPECT_EQ(steps, 20);
}

TEST_F(MainWindowInput, SplitterDragLeavesTheFocusAndTheHintAlone) {
    SetFocus(form->ShellListView1.Handle());
    form->Label9.SetVisible(true);
    HWND bar = form->Splitter1.Handle();
    const int width = form->Panel5.Width();
    auto press = [&](int dx) {
        POINT at{1, 100};
        ClientToScreen(bar, &at);
        MoveMouseTo(at);
        PumpFor(20);
        INPUT down{};
        down.type = INPUT_MOUSE;
        down.mi.dwFlags = MOUSEEVENTF_LEFTDOWN;
        SendInput(1, &down, sizeof down);
        PumpFor(20);
        MoveMouseTo({at.x + dx, at.y});
        PumpFor(20);
        return POINT{at.x + dx, at.y};
    };
    auto release = [&] {
        INPUT up{};
        up.type = INPUT_MOUSE;
        up.mi.dwFlags = MOUSEEVENTF_LEFTUP;
        SendInput(1, &up, sizeof up);
        PumpFor(30);
    };
    press(60);
    EXPECT_TRUE(form->Splitter1.Dragging());
    release();
    EXPECT_EQ(form->Panel5.Width(), width + 60);
    EXPECT_EQ(FocusName(), "ShellListView1");
    EXPECT_TRUE(form->Label9.Visible());

    // Esc cancels: the key goes to the list, which has the focus.
    press(40);
    PressKeys({VK_ESCAPE});
    PumpFor(30);
    EXPECT_FALSE(form->Splitter1.Dragging());
    release();
    EXPECT_EQ(form->Panel5.Width(), width + 60);

    // Losing the capture (another window takes it) ends the drag unapplied.
    press(-50);
    SetCapture(other.Handle());
    PumpFor(20);
    EXPECT_FALSE(form->Splitter1.Dragging());
    ReleaseCapture();
    release();
    EXPECT_EQ(form->Panel5.Width(), width + 60);
    EXPECT_EQ(FocusName(), "ShellListView1");
    EXPECT_TRUE(form->Label9.Visible());
}

TEST_F(MainWindowInput, ToolButtonInTheBackgroundActivatesRunsAndKeepsTheFocus) {
    SetFocus(form->ShellListView1.Handle());
    Activate(other.Handle());
    ASSERT_NE(GetActiveWindow(), form->Handle());
    ClickCentre(form->SpeedButton7.Handle());
    PumpFor(50);
    EXPECT_EQ(GetActiveWindow(), form->Handle());
    EXPECT_EQ(form->ShellListView1.ViewStyle(), vsReport);
    EXPECT_TRUE(form->SpeedButton7.Down());
    EXPECT_EQ(FocusName(), "ShellListView1");
}

TEST_F(MainWindowInput, OneWindowPerControlAndTabVisitsTheControlsInOrder) {
    std::vector<Child> children;
    EnumChildWindows(form->Handle(), CollectChild, reinterpret_cast<LPARAM>(&children));
    for (size_t i = 0; i < children.size(); ++i)
        for (size_t j = i + 1; j < children.size(); ++j)
            EXPECT_FALSE(children[i].className == children[j].className &&
                         EqualRect(&children[i].rect, &children[j].rect))
                << ToUtf8(children[i].className) << " at " << children[i].rect.left << ","
                << children[i].rect.top;

    SetFocus(form->ShellComboBox1.Handle());
    std::vector<std::string> visited;
    for (int i = 0; i < 14; ++i) {
        PressKeys({VK_TAB});
        PumpFor(20);
        visited.push_back(FocusName());
    }
    EXPECT_EQ(visited, (std::vector<std::string>{"ShellTreeView1", "ShellListView1", "ComboBox2",
                                                 "ComboBox3", "ComboBox4", "ComboBox5", "ComboBox6",
                                                 "ComboBox7", "CheckBox3", "CheckBox2", "CheckBox1",
                                                 "ComboBox1", "Edit1", "ShellComboBox1"}));
}

TEST_F(MainWindowInput, MinimisedByTheCaptionCommandAndRestored) {
    HWND application = Application::Instance().Window();
    ShowWindow(application, SW_SHOWNORMAL);
    SetFocus(form->ComboBox4.Handle());
    SendMessageW(form->Handle(), WM_SYSCOMMAND, SC_MINIMIZE, 0);
    PumpFor(30);
    EXPECT_TRUE(IsIconic(application));
    EXPECT_FALSE(IsWindowVisible(form->Handle()));
    SendMessageW(application, WM_SYSCOMMAND, SC_RESTORE, 0);
    PumpFor(50);
    EXPECT_FALSE(IsIconic(application));
    EXPECT_TRUE(IsWindowVisible(form->Handle()));
    for (const Expected& e : Layout(*form))
        ExpectBounds(e);
    EXPECT_EQ(GetActiveWindow(), form->Handle()) << ClassOf(GetActiveWindow());
    EXPECT_EQ(FocusName(), "ComboBox4") << ClassOf(GetFocus());
}

TEST_F(MainWindow, DpiChangeLaysTheWindowOutAsIfBuiltAtTheNewDpi) {
    for (int dpi : {144, 120, 96}) {
        TChangeForm1 built(dpi);
        RECT outer;
        GetWindowRect(built.Handle(), &outer);
        SendMessageW(form->Handle(), WM_DPICHANGED, MAKEWPARAM(dpi, dpi),
                     reinterpret_cast<LPARAM>(&outer));
        EXPECT_EQ(form->Dpi(), dpi);
        RECT now;
        GetWindowRect(form->Handle(), &now);
        EXPECT_EQ(now.right - now.left, outer.right - outer.left);
        LOGFONTW font{};
        GetObjectW(form->FormFont(), sizeof font, &font);
        EXPECT_EQ(font.lfHeight, -MulDiv(12, dpi, 96));
        const auto expected = Layout(built), actual = Layout(*form);
        for (size_t i = 0; i < expected.size(); ++i)
            EXPECT_TRUE(EqualRect(&expected[i].control->Bounds(), &actual[i].control->Bounds()))
                << expected[i].name << " at dpi " << dpi << ": " << actual[i].control->Left() << ","
                << actual[i].control->Top() << " " << actual[i].control->Width() << "x"
                << actual[i].control->Height() << " against " << expected[i].control->Left() << ","
                << expected[i].control->Top() << " " << expected[i].control->Width() << "x"
                << expected[i].control->Height();
    }
    // Back at 96 dpi, the table of the window's design holds again.
    for (const Expected& e : Layout(*form))
        ExpectBounds(e);

    // A folder pane the user widened keeps its share of the window: wider
    // at a higher dpi, as wide as before back at 96.
    form->Splitter1.DragTo(250);
    for (int dpi : {144, 96}) {
        TChangeForm1 built(dpi);
        RECT outer;
        GetWindowRect(built.Handle(), &outer);
        SendMessageW(form->Handle(), WM_DPICHANGED, MAKEWPARAM(dpi, dpi),
                     reinterpret_cast<LPARAM>(&outer));
        EXPECT_NEAR(form->Panel5.Width(), MulDiv(250, dpi, 96), 1) << dpi;
    }
}
