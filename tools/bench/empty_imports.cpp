// An empty wWinMain that imports the same system DLLs as the launcher (msi, shell32, user32
// besides kernel32 and msvcrt), built like it: the start-up benchmark's second peer, which tells
// loading those DLLs apart from the launcher's own work. A tool, never part of the launcher.
#include <windows.h>
#include <msi.h>
#include <shellapi.h>

namespace {
// Never set: the calls below must be linked (so the DLLs are imported) but never made.
volatile bool call = false;
}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    if (call) {
        int count = 0;
        LocalFree(CommandLineToArgvW(GetCommandLineW(), &count));
        MsiCloseHandle(0);
        MessageBeep(0);
    }
    return 0;
}
