// Copies one file with CopyFileW: the peer of "launcher.exe /e" in the extraction benchmark. A
// tool, never part of the launcher.
// Usage: copy_file.exe <source> <destination>   (an existing destination is replaced)
// Exit code: 0 copied, 2 bad usage, otherwise GetLastError of CopyFileW.
#include <windows.h>

int wmain(int argc, wchar_t** argv) {
    if (argc != 3) {
        return 2;
    }
    if (!CopyFileW(argv[1], argv[2], FALSE)) {
        DWORD error = GetLastError();
        return error != 0 ? static_cast<int>(error) : 1;
    }
    return 0;
}
