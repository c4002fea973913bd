// Message-box watcher: a test tool, never linked into the product.
//
// Starts the program under test with an exact command line, records every message box it shows
// (caption, text, buttons, icon), presses a button on each so that the program goes on, and
// reports the boxes and the program's full 32-bit exit code as UTF-8 JSON lines on stdout.
//
// Usage:
//   watcher.exe [options] -- <command line of the program>
//   watcher.exe [options] --request <file>
// The program's command line is everything after "--" and the one blank that follows it, exactly
// as it stands in the watcher's own command line (or at the end of a request file).
// Options (a request file holds the same directives, one a line, without the dashes):
//   --timeout <ms>        end the program after this long (default 60000)
//   --press <names>       button to press, per box in order, comma-separated; the last one
//                         repeats (default OK). OK CANCEL ABORT RETRY IGNORE YES NO TRYAGAIN
//                         CONTINUE, or NONE to leave the box open.
//   --env <NAME=VALUE>    set a variable for the program only (repeatable)
//   --unset <NAME>        remove a variable for the program only (repeatable)
//   --app <path>          application name for CreateProcessW (default: from the command line)
//   --dir <path>          current directory of the program (default: the watcher's)
//   --request <file>      read directives from a UTF-8 file; a line "--" ends them and the rest
//                         of the file, to its last byte, is the command line
// Output, one JSON object a line:
//   {"pid":N,"command_line":"..."}
//   {"box":1,"ms":T,"caption":"...","text":"...","buttons":["OK"],"labels":["OK"],
//    "icon":true,"pressed":"OK"}
//   {"exit":E,"ms":T}                  E: GetExitCodeProcess, unsigned 32-bit
//   {"timeout":true,"ms":T,"killed":true}
//   {"error":"...","code":C}           C: GetLastError, when there is one
// Exit code of the watcher itself: 0 the program ended, 1 timed out, 2 bad usage, 3 the program
// could not be started.

#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <cwchar>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace {

constexpr int kExitEnded = 0;
constexpr int kExitTimedOut = 1;
constexpr int kExitUsage = 2;
constexpr int kExitNotStarted = 3;

constexpr DWORD kDefaultTimeoutMs = 60000;
// Between two looks for new boxes; the wait on the process ends it early when the program exits.
constexpr DWORD kPollIntervalMs = 4;
// Bound for asking a box's controls across processes: a hung program must not hang the watcher.
constexpr UINT kMessageTimeoutMs = 1000;
// Control ids inside Wine's message box (user32 msgbox.c): the text and the icon.
constexpr int kTextControlId = 0xFFFF;
constexpr int kIconControlId = 1088;
constexpr wchar_t kDialogClass[] = L"#32770";
constexpr WORD kDialogAtom = 0x8002;  // the class atom behind "#32770"
constexpr int kClassCapacity = 16;  // characters, null included; enough for "#32770"
constexpr size_t kTextStartCapacity = 512;  // characters, null included; grown as needed

// One handle, closed exactly once.
class OwnedHandle {
public:
    OwnedHandle() = default;
    explicit OwnedHandle(HANDLE handle) : handle_(handle) {}
    OwnedHandle(const OwnedHandle&) = delete;
    OwnedHandle& operator=(const OwnedHandle&) = delete;
    ~OwnedHandle() {
        if (handle_ != nullptr && handle_ != INVALID_HANDLE_VALUE) {
            CloseHandle(handle_);
        }
    }
    HANDLE Get() const { return handle_; }

private:
    HANDLE handle_ = nullptr;
};

struct ButtonName {
    int id;
    const wchar_t* name;
};

constexpr ButtonName kButtons[] = {
    {IDOK, L"OK"},       {IDCANCEL, L"CANCEL"},     {IDABORT, L"ABORT"},
    {IDRETRY, L"RETRY"}, {IDIGNORE, L"IGNORE"},     {IDYES, L"YES"},
    {IDNO, L"NO"},       {IDCLOSE, L"CLOSE"},       {IDHELP, L"HELP"},
    {IDTRYAGAIN, L"TRYAGAIN"}, {IDCONTINUE, L"CONTINUE"},
};
constexpr int kPressNone = 0;

const wchar_t* ButtonNameOf(int id) {
    for (const ButtonName& button : kButtons) {
        if (button.id == id) {
            return button.name;
        }
    }
    return L"?";
}

// ---------------------------------------------------------------------------------------------
// Output

std::string ToUtf8(const std::wstring& text) {
    if (text.empty()) {
        return {};
    }
    int size = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr,
                                   0, nullptr, nullptr);
    std::string bytes(static_cast<size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), bytes.data(), size,
                        nullptr, nullptr);
    return bytes;
}

// Appends text as a JSON string. Surrogates are written as \u escapes one by one, so that a lone
// surrogate in a window text reaches the reader as it is instead of as U+FFFD.
void AppendJsonString(std::string& out, const std::wstring& text) {
    static const char kHex[] = "0123456789abcdef";
    out += '"';
    std::wstring plain;
    auto flush = [&] {
        out += ToUtf8(plain);
        plain.clear();
    };
    for (wchar_t c : text) {
        unsigned unit = static_cast<unsigned>(c);
        if (c == L'"' || c == L'\\') {
            plain += L'\\';
            plain += c;
        } else if (c == L'\n') {
            plain += L"\\n";
        } else if (c == L'\r') {
            plain += L"\\r";
        } else if (c == L'\t') {
            plain += L"\\t";
        } else if (unit < 0x20 || (unit >= 0xD800 && unit <= 0xDFFF)) {
            flush();
            out += "\\u";
            for (int shift = 12; shift >= 0; shift -= 4) {
                out += kHex[(unit >> shift) & 0xF];
            }
        } else {
            plain += c;
        }
    }
    flush();
    out += '"';
}

class JsonLine {
public:
    JsonLine() : text_("{") {}
    JsonLine& Text(const char* key, const std::wstring& value) {
        Key(key);
        AppendJsonString(text_, value);
        return *this;
    }
    JsonLine& Number(const char* key, unsigned long long value) {
        Key(key);
        text_ += std::to_string(value);
        return *this;
    }
    JsonLine& Flag(const char* key, bool value) {
        Key(key);
        text_ += value ? "true" : "false";
        return *this;
    }
    JsonLine& Null(const char* key) {
        Key(key);
        text_ += "null";
        return *this;
    }
    JsonLine& Texts(const char* key, const std::vector<std::wstring>& values) {
        Key(key);
        text_ += '[';
        for (size_t i = 0; i < values.size(); ++i) {
            if (i != 0) {
                text_ += ',';
            }
            AppendJsonString(text_, values[i]);
        }
        text_ += ']';
        return *this;
    }
    // Writes the line with one WriteFile call, so a reader never sees half of it.
    void Write() {
        text_ += "}\n";
        HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
        DWORD written = 0;
        WriteFile(out, text_.data(), static_cast<DWORD>(text_.size()), &written, nullptr);
    }

private:
    void Key(const char* key) {
        if (text_.size() > 1) {
            text_ += ',';
        }
        text_ += '"';
        text_ += key;
        text_ += "\":";
    }
    std::string text_;
};

int ReportError(int exitCode, const std::wstring& message, DWORD error = ERROR_SUCCESS) {
    JsonLine line;
    line.Text("error", message);
    if (error != ERROR_SUCCESS) {
        line.Number("code", error);
    }
    line.Write();
    return exitCode;
}

// ---------------------------------------------------------------------------------------------
// Request: the watcher's own command line and the optional request file

struct Request {
    std::optional<std::wstring> commandLine;
    std::wstring application;
    std::wstring directory;
    // Name and value; no value removes the variable.
    std::vector<std::pair<std::wstring, std::optional<std::wstring>>> environment;
    DWORD timeoutMs = kDefaultTimeoutMs;
    std::vector<int> press{IDOK};
};

struct Argument {
    std::wstring text;
    size_t end;  // index just past the argument in the raw command line
};

bool IsBlank(wchar_t c) { return c == L' ' || c == L'\t'; }

// Splits a command line the way CommandLineToArgvW does and remembers where each argument ends,
// so that everything after "--" can be handed on exactly as it was written.
std::vector<Argument> SplitCommandLine(const std::wstring& line) {
    std::vector<Argument> arguments;
    size_t i = 0;
    const size_t n = line.size();
    // The program name follows simpler rules: quoted up to the next quote, or up to a blank.
    std::wstring program;
    if (i < n && line[i] == L'"') {
        size_t close = line.find(L'"', 1);
        program = line.substr(1, close == std::wstring::npos ? std::wstring::npos : close - 1);
        i = close == std::wstring::npos ? n : close + 1;
    } else {
        while (i < n && !IsBlank(line[i])) {
            program += line[i++];
        }
    }
    arguments.push_back({program, i});
    for (;;) {
        while (i < n && IsBlank(line[i])) {
            ++i;
        }
        if (i >= n) {
            break;
        }
        std::wstring text;
        bool quoted = false;
        while (i < n && (quoted || !IsBlank(line[i]))) {
            if (line[i] == L'\\') {
                size_t count = 0;
                while (i < n && line[i] == L'\\') {
                    ++count;
                    ++i;
                }
                if (i < n && line[i] == L'"') {
                    text.append(count / 2, L'\\');
                    if (count % 2 == 1) {
                        text += L'"';
                        ++i;
                    }
                } else {
                    text.append(count, L'\\');
                }
            } else if (line[i] == L'"') {
                if (quoted && i + 1 < n && line[i + 1] == L'"') {
                    text += L'"';
                    i += 2;
                } else {
                    quoted = !quoted;
                    ++i;
                }
            } else {
                text += line[i++];
            }
        }
        arguments.push_back({text, i});
    }
    return arguments;
}

bool ParsePress(const std::wstring& value, std::vector<int>& press) {
    std::vector<int> parsed;
    size_t start = 0;
    for (;;) {
        size_t comma = value.find(L',', start);
        std::wstring name = value.substr(start, comma == std::wstring::npos ? std::wstring::npos
                                                                             : comma - start);
        int id = -1;
        if (_wcsicmp(name.c_str(), L"NONE") == 0) {
            id = kPressNone;
        }
        for (const ButtonName& button : kButtons) {
            // HELP does not close a box and CLOSE is not one of its buttons.
            if (button.id != IDHELP && button.id != IDCLOSE &&
                _wcsicmp(name.c_str(), button.name) == 0) {
                id = button.id;
            }
        }
        if (id < 0) {
            return false;
        }
        parsed.push_back(id);
        if (comma == std::wstring::npos) {
            break;
        }
        start = comma + 1;
    }
    press = std::move(parsed);
    return true;
}

bool ParseTimeout(const std::wstring& value, DWORD& timeoutMs) {
    if (value.empty() || value.size() > 9 ||
        !std::all_of(value.begin(), value.end(), [](wchar_t c) { return c >= L'0' && c <= L'9'; })) {
        return false;
    }
    DWORD parsed = static_cast<DWORD>(std::wcstoul(value.c_str(), nullptr, 10));
    if (parsed == 0) {
        return false;
    }
    timeoutMs = parsed;
    return true;
}

// Applies one directive (option name without the dashes); false with a message on bad input.
bool ApplyDirective(const std::wstring& name, const std::wstring& value, Request& request,
                    std::wstring& problem) {
    if (name == L"timeout") {
        if (!ParseTimeout(value, request.timeoutMs)) {
            problem = L"timeout must be a positive number of milliseconds: " + value;
            return false;
        }
    } else if (name == L"press") {
        if (!ParsePress(value, request.press)) {
            problem = L"unknown button to press: " + value;
            return false;
        }
    } else if (name == L"env") {
        size_t equals = value.find(L'=', 1);
        if (value.empty() || equals == std::wstring::npos) {
            problem = L"env needs NAME=VALUE: " + value;
            return false;
        }
        request.environment.emplace_back(value.substr(0, equals), value.substr(equals + 1));
    } else if (name == L"unset") {
        if (value.empty() || value.find(L'=', 1) != std::wstring::npos) {
            problem = L"unset needs a variable name: " + value;
            return false;
        }
        request.environment.emplace_back(value, std::nullopt);
    } else if (name == L"app") {
        request.application = value;
    } else if (name == L"dir") {
        request.directory = value;
    } else {
        problem = L"unknown option: " + name;
        return false;
    }
    return true;
}

bool ReadRequestFile(const std::wstring& path, Request& request, std::wstring& problem) {
    OwnedHandle file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                 OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (file.Get() == INVALID_HANDLE_VALUE) {
        problem = L"cannot open the request file: " + path;
        return false;
    }
    std::string bytes;
    char chunk[4096];
    DWORD got = 0;
    while (ReadFile(file.Get(), chunk, sizeof chunk, &got, nullptr) && got != 0) {
        bytes.append(chunk, got);
    }
    if (bytes.compare(0, 3, "\xEF\xBB\xBF") == 0) {
        bytes.erase(0, 3);
    }
    std::wstring text;
    if (!bytes.empty()) {
        int size = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, bytes.data(),
                                       static_cast<int>(bytes.size()), nullptr, 0);
        if (size == 0) {
            problem = L"the request file is not valid UTF-8: " + path;
            return false;
        }
        text.resize(static_cast<size_t>(size));
        MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, bytes.data(),
                            static_cast<int>(bytes.size()), text.data(), size);
    }
    size_t start = 0;
    while (start < text.size()) {
        size_t newline = text.find(L'\n', start);
        size_t next = newline == std::wstring::npos ? text.size() : newline + 1;
        std::wstring line = text.substr(start, next - start);
        while (!line.empty() && (line.back() == L'\n' || line.back() == L'\r')) {
            line.pop_back();
        }
        start = next;
        if (line == L"--") {
            request.commandLine = text.substr(start);
            return true;
        }
        if (line.empty() || line[0] == L'#') {
            continue;
        }
        size_t space = line.find(L' ');
        std::wstring name = line.substr(0, space);
        std::wstring value = space == std::wstring::npos ? std::wstring() : line.substr(space + 1);
        if (!ApplyDirective(name, value, request, problem)) {
            return false;
        }
    }
    return true;
}

bool ParseRequest(const std::wstring& ownLine, Request& request, std::wstring& problem) {
    std::vector<Argument> arguments = SplitCommandLine(ownLine);
    for (size_t i = 1; i < arguments.size(); ++i) {
        const std::wstring& option = arguments[i].text;
        if (option == L"--") {
            size_t tail = arguments[i].end;
            if (tail < ownLine.size()) {
                ++tail;  // the one blank that separates "--" from the command line
            }
            request.commandLine = ownLine.substr(tail);
            break;
        }
        if (option.compare(0, 2, L"--") != 0 || i + 1 >= arguments.size()) {
            problem = L"expected an option with a value, or \"--\": " + option;
            return false;
        }
        const std::wstring& value = arguments[++i].text;
        bool applied = option == L"--request" ? ReadRequestFile(value, request, problem)
                                              : ApplyDirective(option.substr(2), value, request,
                                                               problem);
        if (!applied) {
            return false;
        }
    }
    if (!request.commandLine || request.commandLine->empty()) {
        problem = L"no command line: give it after \"--\" or at the end of a request file";
        return false;
    }
    return true;
}

// The watcher's environment with the requested changes, as a block for CreateProcessW; empty
// when nothing changes, so that the program simply inherits.
std::vector<wchar_t> BuildEnvironment(const Request& request) {
    std::vector<wchar_t> block;
    if (request.environment.empty()) {
        return block;
    }
    std::vector<std::wstring> entries;
    if (wchar_t* strings = GetEnvironmentStringsW()) {
        for (const wchar_t* entry = strings; *entry != L'\0'; entry += wcslen(entry) + 1) {
            entries.emplace_back(entry);
        }
        FreeEnvironmentStringsW(strings);
    }
    for (const auto& [name, value] : request.environment) {
        // Names compare without regard to case, as Windows does; an entry such as "=C:=C:\"
        // has its name after the leading '='.
        auto sameName = [&name = name](const std::wstring& entry) {
            size_t equals = entry.find(L'=', 1);
            return equals == name.size() &&
                   CompareStringOrdinal(entry.c_str(), static_cast<int>(equals), name.c_str(),
                                        static_cast<int>(name.size()), TRUE) == CSTR_EQUAL;
        };
        entries.erase(std::remove_if(entries.begin(), entries.end(), sameName), entries.end());
        if (value) {
            entries.push_back(name + L"=" + *value);
        }
    }
    for (const std::wstring& entry : entries) {
        block.insert(block.end(), entry.begin(), entry.end());
        block.push_back(L'\0');
    }
    block.push_back(L'\0');
    if (block.size() == 1) {
        block.push_back(L'\0');  // an empty environment is two nulls
    }
    return block;
}

// ---------------------------------------------------------------------------------------------
// Boxes

std::wstring WindowText(HWND window) {
    // Across processes GetWindowTextW reads the text the window manager keeps, without sending
    // a message, so a busy program cannot block it (GetWindowTextLengthW would send one). Grow
    // the buffer until the whole text fits.
    std::vector<wchar_t> buffer(kTextStartCapacity);
    for (;;) {
        int copied = GetWindowTextW(window, buffer.data(), static_cast<int>(buffer.size()));
        if (static_cast<size_t>(copied) + 1 < buffer.size()) {
            return std::wstring(buffer.data(), static_cast<size_t>(copied));
        }
        buffer.resize(buffer.size() * 2);
    }
}

struct Box {
    std::wstring caption;
    std::wstring text;
    std::vector<int> buttons;  // left to right
    std::vector<std::wstring> labels;
    bool icon = false;
};

Box ReadBox(HWND window) {
    Box box;
    box.caption = WindowText(window);
    if (HWND text = GetDlgItem(window, kTextControlId)) {
        box.text = WindowText(text);
    }
    std::vector<std::pair<LONG, int>> found;
    for (const ButtonName& button : kButtons) {
        HWND control = GetDlgItem(window, button.id);
        // Wine's box template holds every button and destroys the ones the style does not ask
        // for; hidden ones are skipped too, for boxes made differently.
        if (control != nullptr && IsWindowVisible(control)) {
            RECT rect{};
            GetWindowRect(control, &rect);
            found.emplace_back(rect.left, button.id);
        }
    }
    std::stable_sort(found.begin(), found.end());
    for (const auto& [left, id] : found) {
        box.buttons.push_back(id);
        box.labels.push_back(WindowText(GetDlgItem(window, id)));
    }
    if (HWND icon = GetDlgItem(window, kIconControlId)) {
        DWORD_PTR handle = 0;
        if (SendMessageTimeoutW(icon, STM_GETICON, 0, 0, SMTO_ABORTIFHUNG, kMessageTimeoutMs,
                                &handle) != 0) {
            box.icon = handle != 0;
        }
    }
    return box;
}

bool IsDialogOf(HWND window, DWORD processId) {
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    if (owner != processId || !IsWindowVisible(window)) {
        return false;
    }
    wchar_t className[kClassCapacity] = {};
    GetClassNameW(window, className, kClassCapacity);
    return wcscmp(className, kDialogClass) == 0;
}

// The button to press on a box: the one asked for, else Cancel, else the leftmost, so that the
// program goes on either way; the record says which one it was.
int ChooseButton(const Box& box, int wanted) {
    if (wanted == kPressNone || box.buttons.empty()) {
        return kPressNone;
    }
    for (int preferred : {wanted, IDCANCEL}) {
        if (std::find(box.buttons.begin(), box.buttons.end(), preferred) != box.buttons.end()) {
            return preferred;
        }
    }
    return box.buttons.front();
}

class BoxWatcher {
public:
    BoxWatcher(DWORD processId, std::vector<int> press, ULONGLONG started)
        : processId_(processId), press_(std::move(press)), started_(started) {}

    // Records and answers the boxes that appeared since the last look.
    void Look() {
        // A window that is gone may have its handle value reused by a later box.
        seen_.erase(std::remove_if(seen_.begin(), seen_.end(),
                                   [](HWND window) { return !IsWindow(window); }),
                    seen_.end());
        HWND window = nullptr;
        while ((window = FindWindowExW(nullptr, window, MAKEINTATOM(kDialogAtom), nullptr)) != nullptr) {
            if (std::find(seen_.begin(), seen_.end(), window) != seen_.end() ||
                !IsDialogOf(window, processId_)) {
                continue;
            }
            seen_.push_back(window);
            Record(window);
        }
    }

private:
    void Record(HWND window) {
        Box box = ReadBox(window);
        ++count_;
        int wanted = press_[std::min(count_, press_.size()) - 1];
        int button = ChooseButton(box, wanted);
        std::vector<std::wstring> names;
        for (int id : box.buttons) {
            names.emplace_back(ButtonNameOf(id));
        }
        JsonLine line;
        line.Number("box", count_)
            .Number("ms", GetTickCount64() - started_)
            .Text("caption", box.caption)
            .Text("text", box.text)
            .Texts("buttons", names)
            .Texts("labels", box.labels)
            .Flag("icon", box.icon);
        if (button == kPressNone) {
            line.Null("pressed");
        } else {
            line.Text("pressed", ButtonNameOf(button));
        }
        line.Write();
        if (button != kPressNone) {
            // What a click on the button sends; the box's dialog procedure ends the dialog with it.
            PostMessageW(window, WM_COMMAND, MAKEWPARAM(button, BN_CLICKED),
                         reinterpret_cast<LPARAM>(GetDlgItem(window, button)));
        }
    }

    DWORD processId_;
    std::vector<int> press_;
    ULONGLONG started_;
    std::vector<HWND> seen_;
    size_t count_ = 0;
};

int Watch(Request& request) {
    std::vector<wchar_t> environment = BuildEnvironment(request);
    std::vector<wchar_t> commandLine(request.commandLine->begin(), request.commandLine->end());
    commandLine.push_back(L'\0');
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    ULONGLONG started = GetTickCount64();
    // No handles inherited: the watcher's stdout carries the record and stays its own.
    if (!CreateProcessW(request.application.empty() ? nullptr : request.application.c_str(),
                        commandLine.data(), nullptr, nullptr, FALSE, CREATE_UNICODE_ENVIRONMENT,
                        environment.empty() ? nullptr : environment.data(),
                        request.directory.empty() ? nullptr : request.directory.c_str(), &startup,
                        &process)) {
        return ReportError(kExitNotStarted, L"CreateProcessW failed", GetLastError());
    }
    OwnedHandle processHandle(process.hProcess);
    OwnedHandle threadHandle(process.hThread);
    JsonLine().Number("pid", process.dwProcessId).Text("command_line", *request.commandLine).Write();

    BoxWatcher watcher(process.dwProcessId, request.press, started);
    for (;;) {
        watcher.Look();
        if (WaitForSingleObject(process.hProcess, kPollIntervalMs) == WAIT_OBJECT_0) {
            break;
        }
        if (GetTickCount64() - started >= request.timeoutMs) {
            watcher.Look();
            bool killed = TerminateProcess(process.hProcess, ERROR_TIMEOUT) &&
                          WaitForSingleObject(process.hProcess, 5000) == WAIT_OBJECT_0;
            JsonLine()
                .Flag("timeout", true)
                .Number("ms", GetTickCount64() - started)
                .Flag("killed", killed)
                .Write();
            return kExitTimedOut;
        }
    }
    DWORD exitCode = 0;
    GetExitCodeProcess(process.hProcess, &exitCode);
    JsonLine().Number("exit", exitCode).Number("ms", GetTickCount64() - started).Write();
    return kExitEnded;
}

}  // namespace

int wmain() {
    DWORD mode = 0;
    if (GetConsoleMode(GetStdHandle(STD_OUTPUT_HANDLE), &mode)) {
        SetConsoleOutputCP(CP_UTF8);
    }
    Request request;
    std::wstring problem;
    if (!ParseRequest(GetCommandLineW(), request, problem)) {
        return ReportError(kExitUsage, problem);
    }
    return Watch(request);
}
