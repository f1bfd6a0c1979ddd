// The shell module's start, in a process where nothing else started it.

#include "ShellCtrls/ShellModule.h"
#include "win/Error.h"

#include <objbase.h>
#include <ole2.h>

#include <gtest/gtest.h>

using namespace kalvera;

TEST(ShellModule, AStartThatFailsLeavesNothingStarted) {
    auto previous = SetDesktopFolderSourceForTests([](IShellFolder**) { return E_OUTOFMEMORY; });
    try {
        ShellModuleScope module;
        ADD_FAILURE() << "the start did not fail";
    } catch (const PlatformError& e) {
        EXPECT_EQ(e.Code(), E_OUTOFMEMORY);
    }
    SetDesktopFolderSourceForTests(previous);
    EXPECT_EQ(ShellModuleStarts(), 0);
    EXPECT_EQ(DesktopItem(), nullptr);
    // OLE was given back: starting it now is a first start, not a nested one.
    EXPECT_EQ(OleInitialize(nullptr), S_OK);
    OleUninitialize();

    // And the module starts afresh afterwards.
    {
        ShellModuleScope module;
        EXPECT_EQ(ShellModuleStarts(), 1);
        EXPECT_NE(DesktopItem(), nullptr);
    }
    EXPECT_EQ(ShellModuleStarts(), 0);
}
