// Sample program for the watcher's own tests: shows the message boxes its command line asks for,
// then exits with the code it is given.
//
// Usage: sample_boxes.exe <exit code | hang> [<style> <caption> <text>]...
//   exit code  decimal, or hexadecimal with 0x; "hang" waits forever after the boxes
//   style      MessageBoxW style, decimal or 0x hexadecimal; a leading "i" shows the box with
//              MessageBoxIndirectW instead
//   caption, text  shown as given; "@null" passes a null pointer, "@temp" shows GetTempPathW,
//              "@version" shows GetVersionExW as major.minor.build, "@cmdline" GetCommandLineW
// Every box has no owner. Bad arguments exit with 87 (ERROR_INVALID_PARAMETER) and show nothing.

#include <windows.h>
#include <shellapi.h>

#include <cwchar>
#include <string>

namespace {

constexpr DWORD kBadArguments = ERROR_INVALID_PARAMETER;
constexpr DWORD kTempPathCapacity = MAX_PATH + 1;  // characters, null included (GetTempPathW's limit)

bool ParseNumber(const wchar_t* text, DWORD& value) {
    wchar_t* end = nullptr;
    value = static_cast<DWORD>(std::wcstoul(text, &end, 0));
    return *text != L'\0' && *end == L'\0';
}

std::wstring Expand(const wchar_t* argument) {
    if (wcscmp(argument, L"@temp") == 0) {
        wchar_t path[kTempPathCapacity] = {};
        DWORD length = GetTempPathW(kTempPathCapacity, path);
        return length < kTempPathCapacity ? std::wstring(path, length) : L"(too long)";
    }
    if (wcscmp(argument, L"@version") == 0) {
        OSVERSIONINFOW info{};
        info.dwOSVersionInfoSize = sizeof info;
        GetVersionExW(&info);
        return std::to_wstring(info.dwMajorVersion) + L"." + std::to_wstring(info.dwMinorVersion) +
               L"." + std::to_wstring(info.dwBuildNumber);
    }
    if (wcscmp(argument, L"@cmdline") == 0) {
        return GetCommandLineW();
    }
    return argument;
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    int count = 0;
    LPWSTR* arguments = CommandLineToArgvW(GetCommandLineW(), &count);
    if (arguments == nullptr) {
        return static_cast<int>(kBadArguments);
    }
    DWORD exitCode = 0;
    bool hang = count >= 2 && wcscmp(arguments[1], L"hang") == 0;
    if (count < 2 || (count - 2) % 3 != 0 || (!hang && !ParseNumber(arguments[1], exitCode))) {
        LocalFree(arguments);
        return static_cast<int>(kBadArguments);
    }
    for (int i = 2; i + 2 < count; i += 3) {
        const wchar_t* styleText = arguments[i];
        bool indirect = styleText[0] == L'i';
        DWORD style = 0;
        if (!ParseNumber(styleText + (indirect ? 1 : 0), style)) {
            LocalFree(arguments);
            return static_cast<int>(kBadArguments);
        }
        bool nullCaption = wcscmp(arguments[i + 1], L"@null") == 0;
        bool nullText = wcscmp(arguments[i + 2], L"@null") == 0;
        std::wstring caption = Expand(arguments[i + 1]);
        std::wstring text = Expand(arguments[i + 2]);
        if (indirect) {
            MSGBOXPARAMSW params{};
            params.cbSize = sizeof params;
            params.lpszText = nullText ? nullptr : text.c_str();
            params.lpszCaption = nullCaption ? nullptr : caption.c_str();
            params.dwStyle = style;
            MessageBoxIndirectW(&params);
        } else {
            MessageBoxW(nullptr, nullText ? nullptr : text.c_str(),
                        nullCaption ? nullptr : caption.c_str(), style);
        }
    }
    LocalFree(arguments);
    if (hang) {
        Sleep(INFINITE);
    }
    return static_cast<int>(exitCode);
}
