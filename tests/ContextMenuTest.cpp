#include "ShellCtrls/ContextMenu.h"
#include "tests/support/ShellItems.h"
#include "tests/support/TestFiles.h"

#include <gtest/gtest.h>

#include <vector>

using namespace kalvera;
using namespace kalvera::test;

namespace {

struct VerbHookRecorder : IShellVerbHook {
    std::vector<std::wstring> before;
    std::vector<std::pair<std::wstring, bool>> after;
    bool handle = false;
    void BeforeVerb(const std::wstring& verb, bool& handled) override {
        before.push_back(verb);
        handled = handle;
    }
    void AfterVerb(const std::wstring& verb, bool succeeded) override {
        after.emplace_back(verb, succeeded);
    }
};

// What the timer does while the menu is open, and what it saw.
enum class MenuAction { Dismiss, ChooseFirst };
MenuAction action;
bool sawActiveMenu;
HWND owner;

void CALLBACK DriveMenu(HWND, UINT, UINT_PTR id, DWORD) {
    KillTimer(owner, id);
    sawActiveMenu = ActiveContextMenu2() != nullptr;
    if (action == MenuAction::Dismiss) {
        EndMenu();
    } else {
        PostMessageW(owner, WM_KEYDOWN, VK_DOWN, 0);
        PostMessageW(owner, WM_KEYDOWN, VK_RETURN, 0);
    }
}

class ContextMenuTest : public ::testing::Test {
protected:
    void SetUp() override {
        owner = CreateWindowExW(0, L"STATIC", L"owner", WS_POPUP | WS_VISIBLE, 0, 0, 200, 200,
                                nullptr, nullptr, nullptr, nullptr);
        SetForegroundWindow(owner);
        dir.MakeFile(L"menu.txt");
        root = RootOf(dir.Path());
        item = ChildNamed(*root, L"menu.txt");
    }
    void TearDown() override { DestroyWindow(owner); }
    void Show(MenuAction what) {
        action = what;
        sawActiveMenu = false;
        SetTimer(owner, 1, 200, DriveMenu);
        ShowItemContextMenu(owner, &hook, item.get(), 10, 10);
    }

    TempDir dir;
    std::unique_ptr<TShellFolder> root, item;
    VerbHookRecorder hook;
};

} // namespace

TEST_F(ContextMenuTest, DismissedMenuRunsNothing) {
    Show(MenuAction::Dismiss);
    EXPECT_TRUE(sawActiveMenu);
    EXPECT_EQ(ActiveContextMenu2(), nullptr);
    EXPECT_TRUE(hook.before.empty());
    EXPECT_TRUE(hook.after.empty());
}

TEST_F(ContextMenuTest, VerbHandledByTheHookIsReportedAsSuccess) {
    hook.handle = true;
    Show(MenuAction::ChooseFirst);
    ASSERT_EQ(hook.before.size(), 1u);
    EXPECT_FALSE(hook.before[0].empty());
    ASSERT_EQ(hook.after.size(), 1u);
    EXPECT_EQ(hook.after[0].first, hook.before[0]);
    EXPECT_TRUE(hook.after[0].second);
    EXPECT_EQ(ActiveContextMenu2(), nullptr);
}

TEST_F(ContextMenuTest, NoItemDoesNothing) {
    ShowItemContextMenu(owner, &hook, nullptr, 0, 0);
    InvokeItemVerb(L"properties", nullptr);
    InvokeItemVerb(L"no-such-verb", item.get());
    EXPECT_TRUE(hook.before.empty());
}

namespace {

// A context menu whose commands answer only the ANSI form of their verb.
class AnsiVerbMenu : public IContextMenu {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) override {
        *out = riid == IID_IUnknown || riid == IID_IContextMenu ? this : nullptr;
        return *out ? S_OK : E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
    HRESULT STDMETHODCALLTYPE QueryContextMenu(HMENU, UINT, UINT, UINT, UINT) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE InvokeCommand(CMINVOKECOMMANDINFO*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetCommandString(UINT_PTR offset, UINT type, UINT*, LPSTR name,
                                               UINT size) override {
        if (type != GCS_VERBA || offset > 1)
            return E_INVALIDARG;
        lstrcpynA(name, offset == 0 ? "delete" : "open", static_cast<int>(size));
        return S_OK;
    }
};

} // namespace

TEST(ContextMenuVerb, WideFormFirstThenTheAnsiOne) {
    AnsiVerbMenu menu;
    EXPECT_EQ(ContextMenuVerb(&menu, 0), L"delete");
    EXPECT_EQ(ContextMenuVerb(&menu, 1), L"open");
    EXPECT_EQ(ContextMenuVerb(&menu, 7), L"");
}
