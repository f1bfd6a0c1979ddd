// What the main window's menus, buttons and events do, and the rules that
// keep menus, toolbar and options in step.

#include "About/AboutForm.h"
#include "ui/Application.h"
#include "change/ChangeForm.h"
#include "core/FileTimeWriter.h"
#include "change/FolderPicker.h"
#include "change/RunWindows.h"
#include "change/ShiftDialog.h"
#include "core/RunHistory.h"
#include "core/RunTimestampChange.h"
#include "datetime/SystemTime.h"
#include "win/Error.h"
#include "win/Path.h"

#include <algorithm>
#include <optional>

namespace kalvera {
namespace {

// The Run command's services over the window's controls.
class ListRows : public FileListService {
public:
    explicit ListRows(TCustomShellListView& list) : list_(list) {}
    int SelectedIndex() override { return list_.ItemIndex(); }
    std::vector<int> SelectedIndices() override { return list_.SelectedIndices(); }
    int Count() override { return list_.Count(); }
    std::wstring PathOf(int index) override { return list_.ItemAt(index)->ParsingName(); }
    bool IsFolderItem(int index) override { return list_.ItemAt(index)->IsFolderItem(); }
    std::wstring FolderPath() override {
        TShellFolder* folder = list_.RootItem();
        const std::wstring path = folder ? folder->ParsingName() : L"";
        return IsExistingFolder(path) ? path : L"";
    }
    bool Loading() override { return list_.Filling(); }

private:
    TCustomShellListView& list_;
};

// Input that reached the program's windows while a run wrote is taken out
// of the queue, so that nothing typed or clicked meanwhile acts afterwards
// (a queued Enter or Space would close the report unseen). Esc asks the
// run to stop; a close (Alt+F4, the caption's close button, WM_CLOSE, the
// task bar's close) asks it to stop and the program to end after the
// report. Returns true when Esc was among the input.
bool TakeInputOfRun(HWND mainWindow) {
    Application& application = Application::Instance();
    bool escape = false;
    MSG msg;
    auto drain = [&](UINT first, UINT last, auto&& use) {
        while (PeekMessageW(&msg, nullptr, first, last, PM_REMOVE))
            use(msg);
    };
    drain(WM_KEYFIRST, WM_KEYLAST, [&](const MSG& m) {
        if (m.message == WM_KEYDOWN && m.wParam == VK_ESCAPE)
            escape = true;
        else if (m.message == WM_SYSKEYDOWN && m.wParam == VK_F4 && (m.lParam & (1 << 29)))
            application.RequestClose();
    });
    drain(WM_MOUSEFIRST, WM_MOUSELAST, [](const MSG&) {});
    drain(WM_NCMOUSEMOVE, WM_NCXBUTTONDBLCLK, [&](const MSG& m) {
        if (m.message == WM_NCLBUTTONDOWN && m.wParam == HTCLOSE && m.hwnd == mainWindow)
            application.RequestClose();
    });
    drain(WM_CLOSE, WM_CLOSE, [&](const MSG&) { application.RequestClose(); });
    // The task bar's commands: its close waits for the run like any other;
    // minimise and restore go on as usual.
    drain(WM_SYSCOMMAND, WM_SYSCOMMAND, [&](MSG& m) {
        if ((m.wParam & 0xFFF0) == SC_CLOSE)
            application.RequestClose();
        else
            DispatchMessageW(&m);
    });
    return escape;
}

class LabelHint : public HintService {
public:
    explicit LabelHint(Label& label) : label_(label) {}
    void ShowHint() override { label_.SetVisible(true); }

private:
    Label& label_;
};

// A long run's progress in the status bar's first panel ("n / total"), the
// wait cursor, Esc to stop it between two files, and the end of the session
// held while it writes. The panel and the queue are looked at about ten
// times a second, so the run keeps its pace.
class StatusProgress : public ProgressService {
public:
    StatusProgress(StatusBar& bar, HWND window) : bar_(bar), window_(window) {}
    ~StatusProgress() override { Finished(); }

    bool Continue(int done, int total) override {
        return Look(done == total,
                    [&] { return std::to_wstring(done) + L" / " + std::to_wstring(total); });
    }
    // Reading a tree: the count found, and Esc or a close to stop it.
    bool Reading(int found) override {
        const bool go =
            Look(false, [&] { return std::wstring(kReadingTreeText) + std::to_wstring(found); });
        // The stop of the reading is not carried into the writing.
        stop_ = false;
        return go;
    }
    void Finished() override {
        if (!started_)
            return;
        started_ = false;
        TakeInputOfRun(window_);
        Application::Instance().EndWriting();
        bar_.SetPanelText(0, L"");
        SetCursor(previousCursor_);
    }

private:
    // Starts the wait on the first call; then, at most ten times a second
    // (or when last), shows the text and takes the queued input. False
    // once the user or the session asked to stop.
    template <typename Text> bool Look(bool last, Text&& text) {
        Application& application = Application::Instance();
        const ULONGLONG now = GetTickCount64();
        if (!started_) {
            started_ = true;
            application.BeginWriting(L"タイムスタンプを変更しています");
            previousCursor_ = SetCursor(LoadCursorW(nullptr, IDC_WAIT));
            // The first look comes at once: an Esc typed before the run
            // started stops it after one file, however fast files go.
            shown_ = now - 100;
        }
        // Once the session is ending not one more file is written.
        if (application.SessionEnding())
            return false;
        if (now - shown_ < 100 && !last)
            return true;
        shown_ = now;
        bar_.SetPanelText(0, text());
        stop_ = TakeInputOfRun(window_) || stop_;
        return !stop_ && !application.CloseRequested() && !application.SessionEnding();
    }

    StatusBar& bar_;
    HWND window_;
    bool started_ = false;
    bool stop_ = false;
    ULONGLONG shown_ = 0;
    HCURSOR previousCursor_ = nullptr;
};

} // namespace

void TChangeForm1::FormCreate() {
    HMENU system = GetSystemMenu(Handle(), FALSE);
    InsertMenuW(system, 0xF060, MF_BYPOSITION | MF_STRING, 2, nullptr);
    InsertMenuW(system, 0xF060, MF_BYPOSITION | MF_STRING, 1, L"バージョン情報");
    ComboBox1.SetItemIndex(0);
    ComboBox2.SelectText(L"2003");
    ComboBox3.SelectText(L"1");
    ComboBox4.SelectText(L"1");
    ComboBox5.SelectText(L"0");
    ComboBox6.SelectText(L"00");
    ComboBox7.SelectText(L"00");
    ApplyRunEnabledRuleToButton();
}

bool TChangeForm1::AnyKindChosen() const {
    return CheckBox1.Checked() || CheckBox2.Checked() || CheckBox3.Checked();
}

void TChangeForm1::ApplyRunEnabledRuleToButton() {
    SpeedButton1.SetEnabled(AnyKindChosen());
}

void TChangeForm1::ApplyRunEnabledRuleToMenu() {
    for (UINT item : {Run1, Shift1, Photo1, Name1, Sidecar1, Contents1, Other1})
        EnableMenuItem(menu_, item, MF_BYCOMMAND | (AnyKindChosen() ? MF_ENABLED : MF_GRAYED));
}

void TChangeForm1::CheckBoxClick() {
    ApplyRunEnabledRuleToButton();
}

void TChangeForm1::Option1Click() {
    ApplyRunEnabledRuleToMenu();
    auto check = [this](UINT item, bool on) {
        CheckMenuItem(menu_, item, MF_BYCOMMAND | (on ? MF_CHECKED : MF_UNCHECKED));
    };
    check(Create1, CheckBox1.Checked());
    check(Update1, CheckBox2.Checked());
    check(Access1, CheckBox3.Checked());
    check(KFile1, ComboBox1.ItemIndex() == 0);
    check(KFold1, ComboBox1.ItemIndex() == cmWholeFolder);
    check(KTree1, ComboBox1.ItemIndex() == cmWholeTree);
}

void TChangeForm1::Create1Click() {
    CheckBox1.SetChecked(!CheckBox1.Checked());
    ApplyRunEnabledRuleToMenu();
}

void TChangeForm1::Update1Click() {
    CheckBox2.SetChecked(!CheckBox2.Checked());
    ApplyRunEnabledRuleToMenu();
}

void TChangeForm1::Access1Click() {
    CheckBox3.SetChecked(!CheckBox3.Checked());
    ApplyRunEnabledRuleToMenu();
}

void TChangeForm1::KFile1Click() {
    ComboBox1.SetItemIndex(0);
}

void TChangeForm1::KFold1Click() {
    ComboBox1.SetItemIndex(1);
}

void TChangeForm1::File1Click() {
    EnableMenuItem(menu_, Property1,
                   MF_BYCOMMAND | (ShellListView1.ItemIndex() != -1 ? MF_ENABLED : MF_GRAYED));
    EnableMenuItem(menu_, Undo1, MF_BYCOMMAND | (FindRunToUndo() ? MF_ENABLED : MF_GRAYED));
}

void TChangeForm1::Undo1Click() {
    if (Application::Instance().SessionEnding() || !FindRunToUndo())
        return;
    UndoLastRun();
}

void TChangeForm1::UndoLastRun() {
    if (!lastRun_.CanUndo() || Application::Instance().SessionEnding())
        return;
    RunBoxes boxes(font_.get(), textHeight_);
    StatusProgress progress(StatusBar1, Handle());
    if (UndoPastLaterRuns(lastRun_, journals_, boxes, &progress))
        ShowNewTimesOf(lastRun_);
}

void TChangeForm1::ShowNewTimesOf(const RunRecord& run) {
    std::vector<std::wstring> paths;
    for (const WrittenFile& file : run.files)
        paths.push_back(run.PathOf(file));
    ShellListView1.RefreshDetailsOf(paths);
}

void TChangeForm1::SelectDateTime(DateTime local) {
    const SelectorTexts texts = SelectorTextsOf(local);
    ComboBox2.SelectText(texts.year);
    ComboBox3.SelectText(texts.month);
    ComboBox4.SelectText(texts.day);
    ComboBox5.SelectText(texts.hour);
    ComboBox6.SelectText(texts.minute);
    ComboBox7.SelectText(texts.second);
}

void TChangeForm1::Now1Click() {
    SYSTEMTIME now;
    GetLocalTime(&now);
    SelectDateTime(DateTimeFromSystemTime(now));
}

void TChangeForm1::Load1Click() {
    const int index = ShellListView1.FocusedIndex();
    if (index < 0) {
        Label9.SetVisible(true);
        return;
    }
    const std::wstring path = ShellListView1.ItemAt(index)->ParsingName();
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!IsFullyQualifiedPath(path) ||
        !GetFileAttributesExW(ExtendedLengthPath(path).c_str(), GetFileExInfoStandard, &data)) {
        ApplicationMessageBox(kMissingFileText, kErrorCaption, 0);
        return;
    }
    const DateTime local = FileTimeToLocalDateTime(FromFileTime(data.ftLastWriteTime));
    // A year the list does not offer leaves the lists as they are.
    const auto& years = ComboBox2.Items();
    if (std::find(years.begin(), years.end(), SelectorTextsOf(local).year) == years.end()) {
        ApplicationMessageBox(kOutOfRangeText, kErrorCaption, 0);
        return;
    }
    SelectDateTime(local);
}

bool TChangeForm1::PreviewKey(const MSG& msg) {
    // Ctrl+Z undoes the last run, except in an edit box (a label being
    // renamed, the address box's text) that has typing of its own to undo.
    if (msg.message != WM_KEYDOWN || msg.wParam != 'Z' || GetKeyState(VK_CONTROL) >= 0 ||
        GetKeyState(VK_MENU) < 0 || GetKeyState(VK_SHIFT) < 0)
        return false;
    HWND focus = GetFocus();
    wchar_t name[16] = L"";
    GetClassNameW(focus, name, 16);
    if (lstrcmpiW(name, L"Edit") == 0 && SendMessageW(focus, EM_CANUNDO, 0, 0))
        return false;
    Undo1Click();
    return true;
}

void TChangeForm1::PropertyClick() {
    const int index = ShellListView1.FocusedIndex();
    if (index >= 0 && ShowFileProperties)
        ShowFileProperties(ShellListView1.ItemAt(index)->ParsingName());
}

void TChangeForm1::Exit1Click() {
    PostMessageW(Handle(), WM_CLOSE, 0, 0);
}

void TChangeForm1::About1Click() {
    if (about_)
        about_->ShowModal();
}

void TChangeForm1::KShow1Click() {
    auto check = [this](UINT item, bool on) {
        CheckMenuItem(menu_, item, MF_BYCOMMAND | (on ? MF_CHECKED : MF_UNCHECKED));
    };
    check(KFoldBar1, Panel5.Visible());
    const UINT byStyle[] = {KLargeIcon1, KSmallIcon1, KList1, KReport1};
    for (UINT item : byStyle)
        check(item, false);
    check(byStyle[ShellListView1.ViewStyle()], true);
}

void TChangeForm1::SpeedButton4Click() {
    ShellListView1.SetViewStyle(vsIcon);
    ShowViewOnButtons();
}
void TChangeForm1::SpeedButton5Click() {
    ShellListView1.SetViewStyle(vsSmallIcon);
    ShowViewOnButtons();
}
void TChangeForm1::SpeedButton6Click() {
    ShellListView1.SetViewStyle(vsList);
    ShowViewOnButtons();
}
void TChangeForm1::SpeedButton7Click() {
    ShellListView1.SetViewStyle(vsReport);
    ShowViewOnButtons();
}

void TChangeForm1::ShowViewOnButtons() {
    SpeedButton* const byStyle[] = {&SpeedButton4, &SpeedButton5, &SpeedButton6, &SpeedButton7};
    byStyle[ShellListView1.ViewStyle()]->SetDown(true);
}

void TChangeForm1::SpeedButton3Click() {
    const bool shown = Panel5.Visible();
    Splitter1.SetVisible(!shown);
    Panel5.SetVisible(!shown);
    if (Panel5.Visible() && Panel5.Width() < Scale(64)) {
        Panel5.SetWidth(Scale(64));
        Realign();
    }
    SpeedButton3.SetDown(Panel5.Visible());
}

void TChangeForm1::RenewClick() {
    // The folder is read again, as F5 in the list reads it: files added or
    // removed meanwhile show, and the selected ones stay selected.
    ShellListView1.Reload();
    UpdateWindow(ShellListView1.Handle());
}

void TChangeForm1::FormResize() {
    RECT outer;
    GetWindowRect(Handle(), &outer);
    Bevel5.SetVisible(outer.bottom - outer.top >= 384);
    StatusBar1.SetPanelWidths({(outer.right - outer.left) * 80 / 100});
}

void TChangeForm1::ShellListView1Enter() {
    Label9.SetVisible(false);
}

void TChangeForm1::FormKeyDown(WORD key) {
    HWND focus = GetFocus();
    const bool inAddressBox =
        focus && (focus == ShellComboBox1.Handle() || IsChild(ShellComboBox1.Handle(), focus));
    if (key == VK_HOME && !inAddressBox)
        GlideToScreenCentre();
}

void TChangeForm1::GlideToScreenCentre() {
    const int screenWidth = GetSystemMetrics(SM_CXSCREEN);
    const int screenHeight = GetSystemMetrics(SM_CYSCREEN);
    RECT r;
    GetWindowRect(Handle(), &r);
    const int width = r.right - r.left, height = r.bottom - r.top;
    const int x = (screenWidth - width) / 2, y = (screenHeight - height) / 2;
    const int dx = (x - r.left) / 10, dy = (y - r.top) / 10;
    auto moveTo = [this](int left, int top) {
        SetWindowPos(Handle(), nullptr, left, top, 0, 0,
                     SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    };
    auto reportStep = [this] {
        UpdateWindow(Handle());
        if (OnGlideStep) {
            RECT now;
            GetWindowRect(Handle(), &now);
            OnGlideStep({now.left, now.top});
        }
    };
    int left = r.left, top = r.top;
    for (int step = 0; step < 9; ++step) {
        moveTo(left += dx, top);
        moveTo(left, top += dy);
        reportStep();
    }
    moveTo(x, top);
    moveTo(x, y);
    reportStep();
}

bool TChangeForm1::SystemMenuCommand(WPARAM command) {
    if (command == 1)
        About1Click();
    if (command == SC_MINIMIZE) {
        Application::Instance().Minimize();
        return true;
    }
    // Told to restore while the program is minimised (by a window switcher
    // that knows this window, hidden, rather than the task-bar entry): the
    // whole program comes back, not this window alone over an iconic entry.
    if ((command & 0xFFF0) == SC_RESTORE && Application::Instance().Restore())
        return true;
    return false;
}

void TChangeForm1::SpeedButton1Click() {
    const SelectorTexts texts{ComboBox2.SelectedText(), ComboBox3.SelectedText(),
                              ComboBox4.SelectedText(), ComboBox5.SelectedText(),
                              ComboBox6.SelectedText(), ComboBox7.SelectedText()};
    const int mode = ComboBox1.ItemIndex();
    RunChange([&](TimestampKinds kinds, FileListService& rows, MessageBoxService& boxes,
                  HintService& hint, const RunExtras& extras) {
        RunTimestampChange(texts, mode, kinds, rows, boxes, hint, extras);
    });
}

bool TChangeForm1::ReadyToAsk() {
    if (!AnyKindChosen() || Application::Instance().SessionEnding())
        return false;
    ListRows rows(ShellListView1);
    RunBoxes boxes(font_.get(), textHeight_);
    LabelHint hint(Label9);
    return TargetsAtHand(ComboBox1.ItemIndex(), rows, boxes, hint);
}

void TChangeForm1::Shift1Click() {
    if (!ReadyToAsk())
        return;
    const std::optional<std::int64_t> seconds = AskShift(Handle(), font_.get(), textHeight_);
    if (!seconds)
        return;
    const int mode = ComboBox1.ItemIndex();
    RunChange([&](TimestampKinds kinds, FileListService& rows, MessageBoxService& boxes,
                  HintService& hint, const RunExtras& extras) {
        ShiftTimestamps(*seconds, mode, kinds, rows, boxes, hint, extras);
    });
}

void TChangeForm1::Photo1Click() {
    RunMatch(MatchDateTaken);
}

void TChangeForm1::Contents1Click() {
    RunMatch(MatchFolderContents);
}

void TChangeForm1::Name1Click() {
    RunMatch(MatchNameDate);
}

void TChangeForm1::Sidecar1Click() {
    RunMatch(MatchSidecarDates);
}

void TChangeForm1::Other1Click() {
    if (!ReadyToAsk())
        return;
    const std::optional<std::wstring> source =
        AskFolder(Handle(), kSourceFolderTitle, ListRows(ShellListView1).FolderPath());
    if (!source)
        return;
    const int mode = ComboBox1.ItemIndex();
    RunChange([&](TimestampKinds kinds, FileListService& rows, MessageBoxService& boxes,
                  HintService& hint, const RunExtras& extras) {
        MatchOtherFolder(*source, mode, kinds, rows, boxes, hint, extras);
    });
}

void TChangeForm1::RunMatch(MatchCall match) {
    if (!AnyKindChosen())
        return;
    const int mode = ComboBox1.ItemIndex();
    RunChange([&](TimestampKinds kinds, FileListService& rows, MessageBoxService& boxes,
                  HintService& hint,
                  const RunExtras& extras) { match(mode, kinds, rows, boxes, hint, extras); });
}

void TChangeForm1::RunChange(const ChangeCall& change) {
    if (Application::Instance().SessionEnding())
        return;
    const TimestampKinds kinds{CheckBox1.Checked(), CheckBox2.Checked(), CheckBox3.Checked()};
    ListRows rows(ShellListView1);
    RunBoxes boxes(font_.get(), textHeight_);
    LabelHint hint(Label9);
    StatusProgress progress(StatusBar1, Handle());
    RunRecord record;
    // A run that changed a time replaces the one to undo, also when an
    // error ends it part way; one that changed none (refused, empty, no
    // row, an error on its first file, the same times again, times the
    // file system does not keep) leaves the earlier run undoable.
    auto keep = [&] {
        if (std::all_of(record.files.begin(), record.files.end(), [&](const WrittenFile& file) {
                return SameChosenTimes(kinds, file.times.before, file.times.after);
            }))
            return;
        lastRun_ = std::move(record);
        ShowNewTimesOf(lastRun_);
    };
    WindowPreview preview(Handle(), font_.get(), textHeight_);
    const std::wstring patterns = Edit1.CurrentText();
    try {
        change(kinds, rows, boxes, hint,
               {&record, &progress, foldersToo_, MenuItemChecked(Preview1) ? &preview : nullptr,
                patterns, journals_});
    } catch (...) {
        keep();
        throw;
    }
    keep();
}

} // namespace kalvera
