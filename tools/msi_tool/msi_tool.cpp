// msi_tool: a console test tool that drives the real Windows Installer (msi.dll) for the
// fixtures and end-to-end tests. Never linked into the launcher.
//
// Build: x86_64-w64-mingw32-g++-posix -municode -static -O2 tools/msi_tool/msi_tool.cpp -lmsi -o msi_tool.exe
//
// Output is UTF-8, one result per line, written straight to the standard output handle.
// The exit code is 0 whatever Windows Installer answered; 2 means the tool was misused
// (unknown subcommand, missing argument).
//
//   install <msi> [properties]       MsiSetInternalUI(none) + MsiInstallProductW.
//                                    Prints: result code.
//   uninstall <code> [properties]    MsiConfigureProductExW(code, 0, INSTALLSTATE_ABSENT, properties).
//                                    Prints: result code.
//   state <code>                     MsiQueryProductStateW. Prints: the state (e.g. 5, 1, -1).
//   info <code> <attribute>          MsiGetProductInfoW. Prints: result code, then the value
//                                    (empty line when the call failed).
//   property <code> <name>           MsiOpenProductW + MsiGetProductPropertyW. Prints: result code
//                                    of the open, result code of the read, the value.
//   apply <code> <msp> [log path]    MsiEnableLogW(verbose) when a log path is given, then
//                                    MsiConfigureProductExW(code, 0, INSTALLSTATE_DEFAULT,
//                                    L"PATCH=\"<msp>\" REBOOTPROMPT=S FILESINUSETEXT=\"...\"").
//                                    Prints: result code.
//   setprop <msi> <name> <value>     Opens the package, switches its string pool to code page
//                                    65001, assigns the Property row and commits. Prints: result
//                                    code (0 when every step succeeded, else the first failure).
//   summary <package> <pid>...       MsiGetSummaryInformationW, then per pid
//                                    MsiSummaryInfoGetPropertyW. Prints per pid: result code, VT
//                                    type, value (text; integer; FILETIME as 16 hex digits). The
//                                    value is read whole (buffer grown on ERROR_MORE_DATA); an
//                                    absent property prints type 0 and an empty value. A failed
//                                    open prints its code, 0 and an empty line per pid.
//   componentpath <code> <component> MsiGetComponentPathW. Prints: the INSTALLSTATE, the path.
//   batch                            Reads commands from standard input (UTF-8), one a line,
//                                    arguments separated by tabs, and runs them in order in this
//                                    one process (starting a Wine process costs far more than
//                                    any query). Prints what each command prints.
//
// Where a value holds a line break it is printed as it is: callers only use single-line values.

#include <windows.h>
#include <msi.h>
#include <msiquery.h>

#include <cstdio>
#include <cwchar>
#include <string>
#include <utility>
#include <vector>

namespace {

// Move-only owner of a handle: closes it exactly once, on destruction, unless it is empty.
template <typename Handle, auto Close, Handle Empty>
class Owned {
public:
    Owned() = default;
    ~Owned() { if (handle_ != Empty) Close(handle_); }
    Owned(Owned&& other) noexcept : handle_(std::exchange(other.handle_, Empty)) {}
    Owned& operator=(Owned&& other) noexcept { std::swap(handle_, other.handle_); return *this; }
    Owned(const Owned&) = delete;
    Owned& operator=(const Owned&) = delete;
    Handle* Receive() { return &handle_; }  // for out-parameters of functions that open
    Handle Get() const { return handle_; }

private:
    Handle handle_ = Empty;
};

using MsiHandleOwner = Owned<MSIHANDLE, MsiCloseHandle, static_cast<MSIHANDLE>(0)>;

constexpr int kExitOk = 0;
constexpr int kExitMisuse = 2;

constexpr DWORD kInitialValueCapacity = 1024;  // characters, null included

// Writes text plus a line break to a standard handle as UTF-8 bytes (the console code page
// and the C runtime's text mode play no part).
void WriteLine(DWORD stdHandle, const std::wstring& text) {
    std::string bytes;
    if (!text.empty()) {
        const int needed = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                                               nullptr, 0, nullptr, nullptr);
        bytes.resize(static_cast<size_t>(needed));
        WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), &bytes[0], needed,
                            nullptr, nullptr);
    }
    bytes.push_back('\n');
    const HANDLE out = GetStdHandle(stdHandle);
    DWORD written = 0;
    WriteFile(out, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
}

void PrintLine(const std::wstring& text) { WriteLine(STD_OUTPUT_HANDLE, text); }

void PrintNumber(long long value) { PrintLine(std::to_wstring(value)); }

int Usage() {
    WriteLine(STD_ERROR_HANDLE,
              L"usage: msi_tool install|uninstall|state|info|property|apply|setprop|summary|componentpath ...");
    return kExitMisuse;
}

// Calls a Windows Installer getter that follows the in/out count contract (count excludes the
// null, ERROR_MORE_DATA with the needed count) until the value fits. Returns the last result.
template <typename Getter>
UINT ReadWholeValue(Getter getter, std::wstring* value) {
    std::vector<wchar_t> buffer(kInitialValueCapacity, L'\0');
    for (;;) {
        DWORD count = static_cast<DWORD>(buffer.size());
        const UINT result = getter(buffer.data(), &count);
        if (result == ERROR_MORE_DATA) {
            buffer.assign(static_cast<size_t>(count) + 1, L'\0');
            continue;
        }
        if (result == ERROR_SUCCESS) value->assign(buffer.data(), count);
        return result;
    }
}

int Install(int argc, wchar_t** argv) {
    if (argc < 3) return Usage();
    MsiSetInternalUI(INSTALLUILEVEL_NONE, nullptr);
    PrintNumber(MsiInstallProductW(argv[2], argc > 3 ? argv[3] : L""));
    return kExitOk;
}

int Uninstall(int argc, wchar_t** argv) {
    if (argc < 3) return Usage();
    MsiSetInternalUI(INSTALLUILEVEL_NONE, nullptr);
    PrintNumber(MsiConfigureProductExW(argv[2], 0, INSTALLSTATE_ABSENT, argc > 3 ? argv[3] : L""));
    return kExitOk;
}

int State(int argc, wchar_t** argv) {
    if (argc < 3) return Usage();
    PrintNumber(MsiQueryProductStateW(argv[2]));
    return kExitOk;
}

int Info(int argc, wchar_t** argv) {
    if (argc < 4) return Usage();
    std::wstring value;
    const UINT result = ReadWholeValue(
        [&](wchar_t* buffer, DWORD* count) { return MsiGetProductInfoW(argv[2], argv[3], buffer, count); },
        &value);
    PrintNumber(result);
    PrintLine(value);
    return kExitOk;
}

int Property(int argc, wchar_t** argv) {
    if (argc < 4) return Usage();
    MsiSetInternalUI(INSTALLUILEVEL_NONE, nullptr);
    MsiHandleOwner product;
    const UINT opened = MsiOpenProductW(argv[2], product.Receive());
    PrintNumber(opened);
    if (opened != ERROR_SUCCESS) {
        PrintNumber(opened);
        PrintLine(L"");
        return kExitOk;
    }
    std::wstring value;
    const UINT result = ReadWholeValue(
        [&](wchar_t* buffer, DWORD* count) { return MsiGetProductPropertyW(product.Get(), argv[3], buffer, count); },
        &value);
    PrintNumber(result);
    PrintLine(value);
    return kExitOk;
}

int Apply(int argc, wchar_t** argv) {
    if (argc < 4) return Usage();
    if (argc > 4) MsiEnableLogW(INSTALLLOGMODE_VERBOSE, argv[4], 0);
    MsiSetInternalUI(INSTALLUILEVEL_NONE, nullptr);
    const std::wstring commandLine = std::wstring(L"PATCH=\"") + argv[3] +
                                     L"\" REBOOTPROMPT=S FILESINUSETEXT=\"The file is in use.\"";
    PrintNumber(MsiConfigureProductExW(argv[2], 0, INSTALLSTATE_DEFAULT, commandLine.c_str()));
    return kExitOk;
}

// Wine's msi.dll keeps the package's string pool code page; importing a _ForceCodepage table
// switches it, so a CJK value survives the commit.
UINT ForceUtf8CodePage(MSIHANDLE database) {
    wchar_t folder[MAX_PATH + 1] = {};  // characters, null included
    if (GetTempPathW(MAX_PATH + 1, folder) == 0) return GetLastError();
    wchar_t file[MAX_PATH + 1] = {};
    if (GetTempFileNameW(folder, L"cp", 0, file) == 0) return GetLastError();
    static const char kTable[] = "\r\n\r\n65001\t_ForceCodepage\r\n";
    const HANDLE handle = CreateFileW(file, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) return GetLastError();
    DWORD written = 0;
    const BOOL wrote = WriteFile(handle, kTable, sizeof kTable - 1, &written, nullptr);
    CloseHandle(handle);
    UINT result = wrote ? ERROR_SUCCESS : GetLastError();
    if (result == ERROR_SUCCESS) {
        const wchar_t* name = wcsrchr(file, L'\\');
        std::wstring dir(file, name ? static_cast<size_t>(name - file) : 0);
        result = MsiDatabaseImportW(database, dir.c_str(), name ? name + 1 : file);
    }
    DeleteFileW(file);
    return result;
}

int SetProp(int argc, wchar_t** argv) {
    if (argc < 5) return Usage();
    MsiHandleOwner database;
    UINT result = MsiOpenDatabaseW(argv[2], MSIDBOPEN_TRANSACT, database.Receive());
    if (result == ERROR_SUCCESS) result = ForceUtf8CodePage(database.Get());
    MsiHandleOwner view;
    if (result == ERROR_SUCCESS)
        result = MsiDatabaseOpenViewW(database.Get(), L"SELECT `Property`, `Value` FROM `Property`", view.Receive());
    if (result == ERROR_SUCCESS) result = MsiViewExecute(view.Get(), 0);
    MsiHandleOwner record;
    if (result == ERROR_SUCCESS) {
        *record.Receive() = MsiCreateRecord(2);
        result = MsiRecordSetStringW(record.Get(), 1, argv[3]);
        if (result == ERROR_SUCCESS) result = MsiRecordSetStringW(record.Get(), 2, argv[4]);
    }
    if (result == ERROR_SUCCESS) result = MsiViewModify(view.Get(), MSIMODIFY_ASSIGN, record.Get());
    if (result == ERROR_SUCCESS) result = MsiViewClose(view.Get());
    if (result == ERROR_SUCCESS) result = MsiDatabaseCommit(database.Get());
    PrintNumber(result);
    return kExitOk;
}

int Summary(int argc, wchar_t** argv) {
    if (argc < 4) return Usage();
    MsiHandleOwner summary;
    const UINT opened = MsiGetSummaryInformationW(0, argv[2], 0, summary.Receive());
    for (int arg = 3; arg < argc; ++arg) {
        if (opened != ERROR_SUCCESS) {
            PrintNumber(opened);
            PrintNumber(VT_EMPTY);
            PrintLine(L"");
            continue;
        }
        const UINT pid = static_cast<UINT>(_wtoi(argv[arg]));
        // An absent property leaves every output untouched: start from defined values.
        UINT type = VT_EMPTY;
        INT integer = 0;
        FILETIME time = {};
        std::wstring text;
        const UINT result = ReadWholeValue(
            [&](wchar_t* buffer, DWORD* count) {
                return MsiSummaryInfoGetPropertyW(summary.Get(), pid, &type, &integer, &time, buffer, count);
            },
            &text);
        PrintNumber(result);
        PrintNumber(type);
        if (type == VT_I2 || type == VT_I4) {
            PrintNumber(integer);
        } else if (type == VT_FILETIME) {
            wchar_t hex[17] = {};  // characters, null included
            swprintf(hex, 17, L"%08lX%08lX", time.dwHighDateTime, time.dwLowDateTime);
            PrintLine(hex);
        } else if (type == VT_LPSTR) {
            PrintLine(text);
        } else {
            PrintLine(L"");
        }
    }
    return kExitOk;
}

int ComponentPath(int argc, wchar_t** argv) {
    if (argc < 4) return Usage();
    std::vector<wchar_t> buffer(kInitialValueCapacity, L'\0');
    INSTALLSTATE state;
    for (;;) {
        DWORD count = static_cast<DWORD>(buffer.size());
        state = MsiGetComponentPathW(argv[2], argv[3], buffer.data(), &count);
        if (state == INSTALLSTATE_MOREDATA) {
            buffer.assign(static_cast<size_t>(count) + 1, L'\0');
            continue;
        }
        break;
    }
    PrintNumber(state);
    PrintLine(buffer.data());
    return kExitOk;
}

int Dispatch(int argc, wchar_t** argv) {
    if (argc < 2) return Usage();
    const std::wstring command = argv[1];
    if (command == L"install") return Install(argc, argv);
    if (command == L"uninstall") return Uninstall(argc, argv);
    if (command == L"state") return State(argc, argv);
    if (command == L"info") return Info(argc, argv);
    if (command == L"property") return Property(argc, argv);
    if (command == L"apply") return Apply(argc, argv);
    if (command == L"setprop") return SetProp(argc, argv);
    if (command == L"summary") return Summary(argc, argv);
    if (command == L"componentpath") return ComponentPath(argc, argv);
    return Usage();
}

std::wstring ReadStandardInput() {
    std::string bytes;
    const HANDLE in = GetStdHandle(STD_INPUT_HANDLE);
    char chunk[4096];
    DWORD read = 0;
    while (ReadFile(in, chunk, sizeof chunk, &read, nullptr) && read > 0) bytes.append(chunk, read);
    if (bytes.empty()) return std::wstring();
    const int needed = MultiByteToWideChar(CP_UTF8, 0, bytes.data(), static_cast<int>(bytes.size()), nullptr, 0);
    std::wstring text(static_cast<size_t>(needed), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, bytes.data(), static_cast<int>(bytes.size()), &text[0], needed);
    return text;
}

int Batch() {
    int exitCode = kExitOk;
    const std::wstring input = ReadStandardInput();
    size_t start = 0;
    while (start < input.size()) {
        size_t end = input.find(L'\n', start);
        if (end == std::wstring::npos) end = input.size();
        std::wstring line = input.substr(start, end - start);
        start = end + 1;
        if (!line.empty() && line.back() == L'\r') line.pop_back();
        if (line.empty()) continue;
        std::vector<std::wstring> fields{L"msi_tool"};
        size_t field = 0;
        for (;;) {
            const size_t tab = line.find(L'\t', field);
            fields.push_back(line.substr(field, tab == std::wstring::npos ? std::wstring::npos : tab - field));
            if (tab == std::wstring::npos) break;
            field = tab + 1;
        }
        std::vector<wchar_t*> args;
        for (std::wstring& text : fields) args.push_back(&text[0]);
        if (Dispatch(static_cast<int>(args.size()), args.data()) != kExitOk) exitCode = kExitMisuse;
    }
    return exitCode;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc == 2 && std::wstring(argv[1]) == L"batch") return Batch();
    return Dispatch(argc, argv);
}
