// A test tool, never part of the launcher: shows catalogue messages through the launcher's own
// message routine, reading the string table of a launcher executable, so that the end-to-end
// tests can see every message in every language as a real message box.
//
// Usage: message_probe.exe <launcher.exe> <language> <product name> <last error> <id>...
//   language     decimal language id the thread locale is set to before each message
//   product name inserted by 301, 306 and 308
//   last error   decimal value left as the last-error value before each message (300 shows it)
// "/q" as an extra first argument sets the quiet switch. Exit code: 0, or 2 for bad usage.
#include <windows.h>
#include <shellapi.h>

#include <string>
#include <vector>

#include "launcher/process_state.h"
#include "messages/message_box.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    int count = 0;
    LPWSTR* arguments = CommandLineToArgvW(GetCommandLineW(), &count);
    if (arguments == nullptr) {
        return 2;
    }
    std::vector<std::wstring> args(arguments + 1, arguments + count);
    LocalFree(arguments);
    if (!args.empty() && args[0] == L"/q") {
        Options.quiet = true;
        args.erase(args.begin());
    }
    if (args.size() < 5) {
        return 2;
    }
    ModuleHandle = LoadLibraryExW(args[0].c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    if (ModuleHandle == nullptr) {
        return 2;
    }
    const LCID locale = MAKELCID(static_cast<LANGID>(std::stoul(args[1])), SORT_DEFAULT);
    CurrentProductName = args[2];
    const DWORD lastError = static_cast<DWORD>(std::stoll(args[3]));
    for (size_t i = 4; i < args.size(); ++i) {
        SetThreadLocale(locale);
        SetLastError(lastError);
        ShowMessage(static_cast<UINT>(std::stoul(args[i])));
    }
    return 0;
}
