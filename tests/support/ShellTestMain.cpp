// Test main for everything that works with the shell: the module runs on
// the test thread, which is the user-interface thread.
#include "ShellCtrls/ShellModule.h"

#include <gtest/gtest.h>

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    kalvera::ShellModuleScope module;
    return RUN_ALL_TESTS();
}
