#include "test_support.h"

#include <algorithm>

namespace {

std::vector<ShownBox> recorded;

int WINAPI RecordBox(HWND owner, LPCWSTR text, LPCWSTR caption, UINT style) {
    recorded.push_back({text != nullptr ? text : L"", caption != nullptr ? caption : L"", style, owner});
    return IDOK;
}

std::wstring Environment(const wchar_t* name) {
    wchar_t value[32768];
    DWORD length = GetEnvironmentVariableW(name, value, 32768);
    return length > 0 && length < 32768 ? std::wstring(value, length) : std::wstring();
}

}  // namespace

std::string Narrow(const std::wstring& text) {
    int size = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
    std::string result(static_cast<size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), &result[0], size, nullptr, nullptr);
    return result;
}

ScopedTempDirectory::ScopedTempDirectory() : savedTmp_(Environment(L"TMP")), savedTemp_(Environment(L"TEMP")) {
    static int counter = 0;
    wchar_t base[MAX_PATH];
    GetTempPathW(MAX_PATH, base);
    path_ = std::wstring(base) + L"unit-" + std::to_wstring(GetCurrentProcessId()) + L"-" + std::to_wstring(++counter);
    CreateDirectoryW(path_.c_str(), nullptr);
    SetEnvironmentVariableW(L"TMP", path_.c_str());
    SetEnvironmentVariableW(L"TEMP", path_.c_str());
}

ScopedTempDirectory::~ScopedTempDirectory() {
    SetEnvironmentVariableW(L"TMP", savedTmp_.empty() ? nullptr : savedTmp_.c_str());
    SetEnvironmentVariableW(L"TEMP", savedTemp_.empty() ? nullptr : savedTemp_.c_str());
    for (const std::wstring& name : Files()) {
        std::wstring file = path_ + L"\\" + name;
        SetFileAttributesW(file.c_str(), FILE_ATTRIBUTE_NORMAL);
        DeleteFileW(file.c_str());
    }
    RemoveDirectoryW(path_.c_str());
}

std::vector<std::wstring> ScopedTempDirectory::Files() const {
    std::vector<std::wstring> names;
    WIN32_FIND_DATAW data;
    HANDLE search = FindFirstFileW((path_ + L"\\*").c_str(), &data);
    if (search == INVALID_HANDLE_VALUE) {
        return names;
    }
    do {
        std::wstring name = data.cFileName;
        if (name != L"." && name != L"..") {
            names.push_back(name);
        }
    } while (FindNextFileW(search, &data));
    FindClose(search);
    std::sort(names.begin(), names.end());
    return names;
}

BoxRecorder::BoxRecorder() : saved_(ShowMessageBox) {
    recorded.clear();
    ShowMessageBox = RecordBox;
}

BoxRecorder::~BoxRecorder() {
    ShowMessageBox = saved_;
}

const std::vector<ShownBox>& BoxRecorder::Boxes() const {
    return recorded;
}

ScopedProcessState::ScopedProcessState() : savedModule_(ModuleHandle), savedLocale_(GetThreadLocale()) {
    Options = LaunchOptions{};
    CurrentProductName.clear();
    AcceptedProducts.clear();
    SetThreadLocale(MAKELCID(MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US), SORT_DEFAULT));
}

ScopedProcessState::~ScopedProcessState() {
    Options = LaunchOptions{};
    CurrentProductName.clear();
    AcceptedProducts.clear();
    ModuleHandle = savedModule_;
    SetThreadLocale(savedLocale_);
}

HMODULE ThreePackageModule() {
    static HMODULE module = LoadLibraryExW(L"unit_three_packages.dll", nullptr, LOAD_LIBRARY_AS_DATAFILE);
    return module;
}

std::optional<std::string> ReadFileBytes(const std::wstring& path) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return std::nullopt;
    }
    std::string content;
    char chunk[4096];
    DWORD read = 0;
    while (ReadFile(file, chunk, sizeof chunk, &read, nullptr) && read > 0) {
        content.append(chunk, read);
    }
    CloseHandle(file);
    return content;
}

std::wstring ReadFileText(const std::wstring& path) {
    std::optional<std::string> content = ReadFileBytes(path);
    return content ? std::wstring(content->begin(), content->end()) : L"<missing>";
}

bool WriteFileText(const std::wstring& path, const std::string& content) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return false;
    }
    DWORD written = 0;
    bool ok = WriteFile(file, content.data(), static_cast<DWORD>(content.size()), &written, nullptr) &&
              written == content.size();
    CloseHandle(file);
    return ok;
}

bool FileExists(const std::wstring& path) {
    return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::wstring English(UINT id) {
    LCID saved = GetThreadLocale();
    SetThreadLocale(MAKELCID(MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US), SORT_DEFAULT));
    std::wstring text = LoadText(GetModuleHandleW(nullptr), id, kTextLimit);
    SetThreadLocale(saved);
    return text;
}
