// The smallest Windows program built like the launcher (GUI subsystem, wWinMain, the same static
// link flags): the peer of "launcher.exe /pi" in the start-up benchmark. A tool, never part of
// the launcher.
#include <windows.h>

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    return 0;
}
