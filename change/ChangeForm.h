#pragma once
// The main window: an address row, a toolbar, the folder pane, the file list,
// the options pane with everything the Run command needs, and a status bar.
// It gathers the Run command's inputs and hands them to the core.

#include "ShellCtrls/ShellComboBox.h"
#include "ShellCtrls/ShellListView.h"
#include "ShellCtrls/ShellTreeView.h"
#include "core/RunTimestampChange.h"
#include "ui/Splitter.h"
#include "ui/SpeedButton.h"
#include "ui/Widgets.h"
#include "ui/Window.h"
#include "win/Gdi.h"

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace kalvera {

class TAboutForm1;

class TChangeForm1 : public Window {
public:
    // dpi 0: the screen's.
    explicit TChangeForm1(int dpi = 0);
    ~TChangeForm1() override;

    // Controls.
    Panel Panel1, Panel3, Panel4, Panel5, Panel6, Panel2;
    Bevel Bevel3{Bevel::Shape::TopLine}, Bevel1{Bevel::Shape::TopLine},
        Bevel4{Bevel::Shape::RightLine}, Bevel6{Bevel::Shape::RightLine},
        Bevel2{Bevel::Shape::TopLine}, Bevel5{Bevel::Shape::Frame};
    TShellComboBox ShellComboBox1;
    SpeedButton SpeedButton3, SpeedButton4, SpeedButton5, SpeedButton6, SpeedButton7;
    SpeedButton SpeedButton2, SpeedButton1;
    StatusBar StatusBar1;
    TShellTreeView ShellTreeView1;
    Splitter Splitter1;
    TShellListView ShellListView1;
    Label Label8, Label9, Label1, Label2, Label3, Label4, Label5, Label6, Label7;
    Label Label10; // caption of the names box
    Edit Edit1;    // names a folder or tree run takes ("*.jpg;*.heic")
    ComboBox ComboBox1, ComboBox2, ComboBox3, ComboBox4, ComboBox5, ComboBox6, ComboBox7;
    CheckBox CheckBox1, CheckBox2, CheckBox3;

    // Menu items, by command identifier.
    enum MenuItem : UINT {
        Property1 = 100,
        Exit1,
        KFoldBar1,
        KLargeIcon1,
        KSmallIcon1,
        KList1,
        KReport1,
        Renew1,
        KFile1,
        KFold1,
        Create1,
        Update1,
        Access1,
        Run1,
        About1,
        Undo1,     // File menu: the last run's times back
        Now1,      // Option menu: the lists to the current date and time
        Load1,     // Option menu: the lists to the selected row's time
        KTree1,    // Option menu: the mode that takes in every subfolder
        Folders1,  // Option menu: folders' own times are changed too
        Shift1,    // Option menu: the chosen times moved by an amount asked for
        Photo1,    // Option menu: the chosen times set to each file's date taken
        Name1,     // Option menu: the chosen times set to the date in each file's name
        Preview1,  // Option menu: a run over more than one target is shown before it writes
        Contents1, // Option menu: folders' times set to the newest of what they hold
        History1,  // File menu: the runs kept, each to undo
        Sidecar1,  // Option menu: the chosen times set to the date in each file's JSON/XMP file
        Other1     // Option menu: the chosen times taken from each file's copy in another folder
    };
    HMENU MainMenu() const { return menu_; }
    bool MenuItemChecked(UINT item) const;
    bool MenuItemEnabled(UINT item) const;
    // Runs a menu item as choosing it does.
    void ChooseMenuItem(UINT item);
    // Runs the drop-down handler of a top-level menu (0 File, 1 Show,
    // 2 Option), as opening it does.
    void DropDownMenu(int index);

    // Handlers.
    void FormCreate();
    void CheckBoxClick();
    void Option1Click();
    void Create1Click();
    void Update1Click();
    void Access1Click();
    void KFile1Click();
    void KFold1Click();
    void File1Click();
    void PropertyClick();
    void Exit1Click();
    void About1Click();
    void KShow1Click();
    void SpeedButton1Click();
    void Undo1Click();
    void Now1Click();
    void Load1Click();
    void Shift1Click();
    void Photo1Click();
    void Name1Click();
    void Contents1Click();
    void Sidecar1Click();
    void Other1Click();
    void History1Click();
    // Asks, once for each, whether to undo a run that did not end (the
    // program was killed or the power failed while it wrote).
    void OfferUnfinishedRuns();
    // Posted once the window is up: OfferUnfinishedRuns from the loop.
    static constexpr UINT kOfferUnfinished = WM_APP + 41;
    // The run Undo works on: the newest one with files left to undo.
    const RunRecord& LastRun() const { return lastRun_; }
    void SpeedButton3Click();
    void SpeedButton4Click();
    void SpeedButton5Click();
    void SpeedButton6Click();
    void SpeedButton7Click();
    void RenewClick();
    void FormResize();
    void ShellListView1Enter();
    void ShellListView1FolderChange();
    void FormKeyDown(WORD key);
    // Returns true when the command was handled here (no default treatment).
    bool SystemMenuCommand(WPARAM command);

    // Opens paths handed from outside (the command line, a drop, the
    // address box): a folder alone opens it; otherwise the first path's
    // folder opens with the handed entries in it selected. Relative paths
    // are taken from base when given, else from the current directory.
    // Paths that do not exist are named in a box. False when nothing was
    // opened.
    bool OpenHandedPaths(const std::vector<std::wstring>& texts,
                         const std::wstring* base = nullptr);

    void GlideToScreenCentre();
    // Positions after each move of the glide, for whoever watches it.
    std::function<void(POINT)> OnGlideStep;
    // Shows the shell's property sheet for a path; replaceable in tests.
    std::function<void(const std::wstring& path)> ShowFileProperties;
    // The About dialog shown by About1 and the window menu.
    void SetAboutForm(TAboutForm1* about) { about_ = about; }

    // Scales a length given for 96 dpi and a 12-pixel font.
    int Scale(int value) const { return MulDiv(value, textHeight_, 12); }
    HFONT FormFont() const { return font_.get(); }
    int Dpi() const { return dpi_; }
    // Lays the window out again for another dpi (the window moved to a
    // monitor of another dpi): fonts, every control, and the window's outer
    // rectangle when one is suggested.
    void Rescale(int dpi, const RECT* suggested);

protected:
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
    HICON ClassIcon() const override;

private:
    // Where a control was placed, in lengths for 96 dpi.
    struct Placement {
        Control* control;
        int left, top, width, height;
    };
    void MakeFonts();
    HWND FirstTabControl();
    void BuildLayout();
    void BuildMenu();
    void BuildOptions();
    void FitOptionsToText();
    void AcceptDroppedFiles();
    void StopAcceptingDroppedFiles();
    bool HandlePathMessage(UINT message);
    bool AddressEntered(const MSG& msg);
    void ApplyRunEnabledRuleToButton();
    // The down view button is the list's view style.
    void ShowViewOnButtons();
    void SelectDateTime(DateTime local);
    bool PreviewKey(const MSG& msg);
    void ShowNewTimesOf(const RunRecord& run);
    // Makes the run Undo works on the newest journal's with files left to
    // undo; true when there is one.
    bool FindRunToUndo();
    // Undoes the run of the journal at path (the one in memory, or one
    // read back).
    void UndoJournal(const std::wstring& path);
    // Undoes lastRun_, once the user agrees where newer runs wrote some of
    // its files too.
    void UndoLastRun();
    void ApplyRunEnabledRuleToMenu();
    // Runs a change of the chosen kinds over the list's targets with the
    // window's services, keeping what it wrote for Undo.
    using ChangeCall = std::function<void(TimestampKinds, FileListService&, MessageBoxService&,
                                          HintService&, const RunExtras&)>;
    void RunChange(const ChangeCall& change);
    // Runs a change that takes each target's times from its own (its photo,
    // its name, its contents) over the mode's targets.
    using MatchCall = void (*)(int mode, TimestampKinds, FileListService&, MessageBoxService&,
                               HintService&, const RunExtras&);
    void RunMatch(MatchCall match);
    // For a change that asks for more before it runs (an amount, a
    // folder): true when a time is ticked and the mode has targets; what is
    // missing is said before anything is asked.
    bool ReadyToAsk();
    bool AnyKindChosen() const;
    void Place(Control& control, Control* parent, int left, int top, int width, int height);
    void LoadPicture(SpeedButton& button, int id, int size);
    void Realign();
    int ClampPaneWidth(int proposed);

    int dpi_;
    int textHeight_;
    UniqueFont font_, boldFont_, crossFont_;
    HMENU menu_ = nullptr;
    HMENU fileMenu_ = nullptr, showMenu_ = nullptr, optionMenu_ = nullptr;
    std::vector<UniqueBitmap> pictures_; // the tool buttons' picture strips
    std::vector<Placement> placements_;
    TAboutForm1* about_ = nullptr;
    FocusMemory focusMemory_;
    RunRecord lastRun_;
    std::wstring journals_; // the folder of run journals; empty: runs kept in memory alone
    // Journals found with nothing left to undo, by path, with their sizes
    // then: read again only once they grew.
    std::map<std::wstring, std::uint64_t> settled_;
    bool foldersToo_ = false;           // Folders1 checked
    std::vector<std::wstring> dropped_; // paths of the last drop, until opened
    std::wstring elsewhereShownIn_;     // the folder the status bar's count of others is for
    bool dropTargetRegistered_ = false;
    bool laidOut_ = false;
};

// The main window and the About dialog, reachable from anywhere.
extern TChangeForm1* ChangeForm1;

} // namespace kalvera
