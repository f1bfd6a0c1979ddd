#pragma once
// The main window as the program makes it, for the window tests: the
// platform's message box replaced by a recorder, failures going to the error
// box, the program's loop handling taking the window's keys; and the table
// of where every control stands.

#include "About/AboutForm.h"
#include "ui/Application.h"
#include "change/ChangeForm.h"
#include "tests/support/Pump.h"
#include "tests/support/TestFiles.h"
#include "ui/Failure.h"
#include "ui/MessageLoop.h"
#include "win/Error.h"

#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace kalvera::test {

struct Box {
    std::wstring text, caption;
    UINT flags;
    HWND owner = nullptr;
};

// The main window as the program makes it, with the platform's message box
// replaced by a recorder and failures going to the error box as they do in
// the program.
class MainWindow : public ::testing::Test {
protected:
    std::vector<Box> boxes;
    PlatformMessageBox previousBox;
    FailureHandler previousHandler;
    std::unique_ptr<TChangeForm1> form;
    std::unique_ptr<TAboutForm1> about;
    bool previewAtStart = false;
    std::optional<TempDir> journals; // each test's runs are its own to undo

    void SetUp() override {
        journals.emplace();
        SetEnvironmentVariableW(L"KALVERA_JOURNALS", journals->Path().c_str());
        Application::Instance().SetTitle(L"Kalvera/カルヴェラ");
        previousBox = SetPlatformMessageBox(
            [this](HWND owner, const std::wstring& text, const std::wstring& caption, UINT flags) {
                boxes.push_back({text, caption, flags, owner});
                return (flags & MB_TYPEMASK) == MB_YESNO ? IDYES : IDOK;
            });
        previousHandler =
            SetFailureHandler([](std::exception_ptr failure) { ShowExceptionBox(failure); });
        form = std::make_unique<TChangeForm1>(96);
        about = std::make_unique<TAboutForm1>();
        form->SetAboutForm(about.get());
        Application::Instance().SetMainWindow(form->Handle());
        SetDialogWindow(form->Handle());
        ShowWindow(form->Handle(), SW_SHOW);
        PumpFor(50);
        // Most tests look at the run itself: the preview is opened where asked for.
        previewAtStart = form->MenuItemChecked(TChangeForm1::Preview1);
        form->ChooseMenuItem(TChangeForm1::Preview1);
    }
    void TearDown() override {
        SetDialogWindow(nullptr);
        Application::Instance().SetMainWindow(nullptr);
        form.reset();
        about.reset();
        SetFailureHandler(previousHandler);
        SetPlatformMessageBox(previousBox);
    }
    void ResizeOuter(int width, int height) {
        SetWindowPos(form->Handle(), nullptr, 0, 0, width, height, SWP_NOMOVE | SWP_NOZORDER);
    }
    static void Click(Control& control) {
        SendMessageW(control.Handle(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(2, 2));
        SendMessageW(control.Handle(), WM_LBUTTONUP, 0, MAKELPARAM(2, 2));
    }
};

// Where a control stands at 96 dpi. The options pane widens by what its
// texts need beyond its design (none in the fonts it was drawn for): the
// controls beside it and in it follow by that much, in pixels.
inline constexpr int kPlacedByText = 99;

struct Expected {
    const char* name;
    Control* control;
    int left, top, width, height;
    int leftFollows = 0, widthFollows = 0; // times the pane's growth
    int paneGrowth = 0;
};

inline void ExpectBounds(const Expected& e, int scaleNum = 1, int scaleDen = 1) {
    const RECT& b = e.control->Bounds();
    // Scaled lengths are rounded to the nearest pixel. A label placed after
    // another one's text has its place checked with the texts.
    if (e.leftFollows != kPlacedByText) {
        EXPECT_EQ(b.left, MulDiv(e.left, scaleNum, scaleDen) + e.leftFollows * e.paneGrowth)
            << e.name << " left";
    }
    EXPECT_EQ(b.top, MulDiv(e.top, scaleNum, scaleDen)) << e.name << " top";
    if (e.width >= 0) {
        EXPECT_EQ(b.right - b.left,
                  MulDiv(e.width, scaleNum, scaleDen) + e.widthFollows * e.paneGrowth)
            << e.name << " width";
        EXPECT_EQ(b.bottom - b.top, MulDiv(e.height, scaleNum, scaleDen)) << e.name << " height";
    }
    // The window itself stands where the control says.
    if (e.leftFollows == kPlacedByText)
        return;
    if (e.control->HandleAllocated() && e.control->Visible()) {
        RECT w;
        GetWindowRect(e.control->Handle(), &w);
        MapWindowPoints(nullptr, GetParent(e.control->Handle()), reinterpret_cast<POINT*>(&w), 2);
        EXPECT_EQ(w.left, b.left) << e.name << " window left";
        EXPECT_EQ(w.top, b.top) << e.name << " window top";
    }
}

// The hint stands after the pane's caption or covers it whole, and neither
// the hint nor the mode list's longest item is cut, at any dpi and in any
// font.
inline void ExpectTextsFit(TChangeForm1& f) {
    EXPECT_TRUE(f.Label9.Left() >= f.Label8.Left() + f.Label8.Width() ||
                (f.Label9.Left() <= f.Label8.Left() &&
                 f.Label9.Left() + f.Label9.Width() >= f.Label8.Left() + f.Label8.Width()));
    EXPECT_LE(f.Label9.Left() + f.Label9.Width(), f.Panel2.Width());
    COMBOBOXINFO info{sizeof info};
    ASSERT_TRUE(GetComboBoxInfo(f.ComboBox1.Handle(), &info));
    HDC dc = GetDC(f.ComboBox1.Handle());
    HGDIOBJ previous = SelectObject(dc, f.FormFont());
    for (const std::wstring& item : f.ComboBox1.Items()) {
        SIZE size{};
        GetTextExtentPoint32W(dc, item.c_str(), static_cast<int>(item.size()), &size);
        EXPECT_LE(size.cx, info.rcItem.right - info.rcItem.left) << ToUtf8(item);
    }
    SelectObject(dc, previous);
    ReleaseDC(f.ComboBox1.Handle(), dc);
    EXPECT_LE(f.ComboBox1.Left() + f.ComboBox1.Width(), f.Panel2.Width());
}

// Rectangles at 96 dpi, relative to each control's parent. Labels size
// themselves to their text in the font at hand: only their place is fixed.
inline std::vector<Expected> Layout(TChangeForm1& f) {
    std::vector<Expected> layout{
        {"Panel1", &f.Panel1, 0, 0, 734, 32},
        {"Panel4", &f.Panel4, 0, 32, 734, 32},
        {"StatusBar1", &f.StatusBar1, 0, 529, 734, 19},
        {"Panel5", &f.Panel5, 0, 64, 185, 465},
        {"Splitter1", &f.Splitter1, 185, 64, 3, 465},
        {"Panel2", &f.Panel2, 534, 64, 200, 465, -1, 1},
        {"ShellListView1", &f.ShellListView1, 188, 64, 346, 465, 0, -1},
        {"Bevel3", &f.Bevel3, 0, 0, 734, 4},
        {"Panel3", &f.Panel3, 0, 4, 48, 28},
        {"ShellComboBox1", &f.ShellComboBox1, 50, 5, 681, 22},
        {"Bevel1", &f.Bevel1, 0, 0, 734, 4},
        {"SpeedButton3", &f.SpeedButton3, 4, 4, 64, 25},
        {"Bevel4", &f.Bevel4, 68, 4, 5, 25},
        {"SpeedButton4", &f.SpeedButton4, 76, 4, 25, 25},
        {"SpeedButton5", &f.SpeedButton5, 101, 4, 25, 25},
        {"SpeedButton6", &f.SpeedButton6, 126, 4, 25, 25},
        {"SpeedButton7", &f.SpeedButton7, 151, 4, 25, 25},
        {"Bevel6", &f.Bevel6, 176, 4, 5, 25},
        {"Label10", &f.Label10, 536, 10, -1, -1, kPlacedByText},
        {"Edit1", &f.Edit1, 570, 6, 160, 20},
        {"Panel6", &f.Panel6, 0, 0, 185, 20},
        {"SpeedButton2", &f.SpeedButton2, 166, 1, 18, 18},
        {"ShellTreeView1", &f.ShellTreeView1, 0, 20, 185, 445},
        {"Bevel2", &f.Bevel2, 0, 0, 200, 4, 0, 1},
        {"Label8", &f.Label8, 4, 6, -1, -1},
        {"Label9", &f.Label9, 53, 6, -1, -1, kPlacedByText},
        {"ComboBox1", &f.ComboBox1, 4, 29, 192, 20, 0, 1},
        {"CheckBox1", &f.CheckBox1, 20, 61, 116, 17},
        {"CheckBox2", &f.CheckBox2, 20, 81, 116, 17},
        {"CheckBox3", &f.CheckBox3, 20, 101, 116, 17},
        {"Label1", &f.Label1, 4, 128, -1, -1},
        {"ComboBox2", &f.ComboBox2, 4, 145, 50, 20},
        {"Label2", &f.Label2, 57, 153, -1, -1},
        {"ComboBox3", &f.ComboBox3, 74, 145, 40, 20},
        {"Label3", &f.Label3, 117, 153, -1, -1},
        {"ComboBox4", &f.ComboBox4, 134, 145, 40, 20},
        {"Label4", &f.Label4, 177, 153, -1, -1},
        {"ComboBox5", &f.ComboBox5, 14, 175, 40, 20},
        {"Label5", &f.Label5, 57, 183, -1, -1},
        {"ComboBox6", &f.ComboBox6, 74, 175, 40, 20},
        {"Label6", &f.Label6, 117, 183, -1, -1},
        {"ComboBox7", &f.ComboBox7, 134, 175, 40, 20},
        {"Label7", &f.Label7, 177, 183, -1, -1},
        {"SpeedButton1", &f.SpeedButton1, 60, 205, 80, 25},
        {"Bevel5", &f.Bevel5, 7, 240, 186, 218, 0, 1},
    };
    const int growth = f.Panel2.Width() - f.Scale(200);
    for (Expected& e : layout)
        e.paneGrowth = growth;
    return layout;
}

} // namespace kalvera::test
