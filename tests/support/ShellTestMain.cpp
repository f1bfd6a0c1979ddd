// Test main for everything that works with the shell: the module runs on
// the test thread, which is the user-interface thread.
#include "ShellCtrls/ShellListView.h"
#include "ShellCtrls/ShellModule.h"

#include "tests/support/TestFiles.h"

#include <gtest/gtest.h>

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    kalvera::ShellModuleScope module;
    // Runs keep their journals in a folder of the tests' own.
    const kalvera::test::TempDir journals;
    SetEnvironmentVariableW(L"KALVERA_JOURNALS", journals.Path().c_str());
    // A test's folder is read whole however busy the machine is; the tests
    // of rows that come in steps ask for them.
    kalvera::TShellListView::SetFillWait(60'000);
    return RUN_ALL_TESTS();
}
