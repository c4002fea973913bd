#include <windows.h>

#include <gtest/gtest.h>

#include "installer.h"
#include "launcher/process_state.h"

// Usage: integration_tests.exe <fixtures folder> [GoogleTest options]
int wmain(int argc, wchar_t** argv) {
    ModuleHandle = GetModuleHandleW(nullptr);
    testing::InitGoogleTest(&argc, argv);
    if (argc < 2) {
        fwprintf(stderr, L"usage: integration_tests.exe <fixtures folder>\n");
        return 2;
    }
    FixturesDirectory = argv[1];
    return RUN_ALL_TESTS();
}
