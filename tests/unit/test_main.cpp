#include <windows.h>

#include <gtest/gtest.h>

#include "launcher/process_state.h"

int wmain(int argc, wchar_t** argv) {
    ModuleHandle = GetModuleHandleW(nullptr);
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
