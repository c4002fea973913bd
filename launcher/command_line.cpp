#include "launcher/command_line.h"

#include <windows.h>
#include <shellapi.h>

#include <new>

#include "launcher/owned.h"
#include "launcher/process_state.h"

namespace {

void FreeArgumentArray(LPWSTR* arguments) {
    GlobalFree(arguments);
}

using ArgumentArray = Owned<LPWSTR*, FreeArgumentArray, nullptr>;

wchar_t FoldAsciiCase(wchar_t c) {
    return (c >= L'A' && c <= L'Z') ? static_cast<wchar_t>(c - L'A' + L'a') : c;
}

// Whole-argument comparison; only A to Z fold, so no locale can make another letter match.
bool IsSwitch(const wchar_t* argument, const wchar_t* lowerSwitch) {
    size_t i = 0;
    for (; argument[i] != L'\0' && lowerSwitch[i] != L'\0'; ++i) {
        if (FoldAsciiCase(argument[i]) != lowerSwitch[i]) {
            return false;
        }
    }
    return argument[i] == L'\0' && lowerSwitch[i] == L'\0';
}

}  // namespace

bool StorePath(std::wstring& destination, const wchar_t* value) {
    try {
        std::wstring copy = value;
        destination.swap(copy);
        return true;
    } catch (const std::bad_alloc&) {
        return false;
    }
}

void ParseArguments(int count, const wchar_t* const* arguments, LaunchOptions& options,
                    StorePathFunction storePath) {
    options.quiet = false;
    options.extract = false;
    options.extractPath.clear();
    options.apply = true;

    for (int i = 1; i < count; ++i) {
        const wchar_t* argument = arguments[i];
        if (IsSwitch(argument, L"/q")) {
            options.quiet = true;
        } else if (IsSwitch(argument, L"/e")) {
            options.apply = false;
            options.extract = true;
            if (i + 1 < count) {
                ++i;
                if (!storePath(options.extractPath, arguments[i])) {
                    return;
                }
            }
        } else if (IsSwitch(argument, L"/i")) {
            options.apply = false;
            options.report = true;
            return;
        } else if (IsSwitch(argument, L"/pi")) {
            options.apply = false;
            options.report = false;
            return;
        }
    }
}

void ParseCommandLine() {
    int count = 0;
    ArgumentArray arguments(CommandLineToArgvW(GetCommandLineW(), &count));
    if (!arguments) {
        count = 0;
    }
    ParseArguments(count, arguments.Get(), Options);
}
