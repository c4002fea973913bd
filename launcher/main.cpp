#include <windows.h>

#include "launcher/launcher.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
    return RunLauncher(instance);
}
