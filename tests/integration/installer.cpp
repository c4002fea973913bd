#include "installer.h"

#include <initializer_list>

#include "patching/msi_api.h"

std::wstring FixturesDirectory;

std::wstring Fixture(const std::wstring& name) {
    return FixturesDirectory + L"\\" + name;
}

UINT InstallProduct(const std::wstring& msiName) {
    INSTALLUILEVEL previous = MsiSetInternalUI(INSTALLUILEVEL_NONE, nullptr);
    UINT result = MsiInstallProductW(Fixture(msiName).c_str(), L"");
    MsiSetInternalUI(previous, nullptr);
    return result;
}

UINT RemoveProduct(const std::wstring& code) {
    INSTALLUILEVEL previous = MsiSetInternalUI(INSTALLUILEVEL_NONE, nullptr);
    UINT result = MsiConfigureProductExW(code.c_str(), INSTALLLEVEL_DEFAULT, INSTALLSTATE_ABSENT, L"");
    MsiSetInternalUI(previous, nullptr);
    return result;
}

namespace {

// The registry's form of a product code: each of the first three groups reversed, each byte of
// the last two with its digits swapped.
std::wstring PackedCode(const std::wstring& code) {
    std::wstring hex;
    for (wchar_t c : code) {
        if (c != L'{' && c != L'}' && c != L'-') {
            hex += c;
        }
    }
    std::wstring packed;
    size_t at = 0;
    for (size_t length : {8, 4, 4}) {
        std::wstring group = hex.substr(at, length);
        packed.append(group.rbegin(), group.rend());
        at += length;
    }
    for (; at + 1 < hex.size(); at += 2) {
        packed += hex[at + 1];
        packed += hex[at];
    }
    return packed;
}

}  // namespace

bool AdvertiseProduct(const std::wstring& code) {
    std::wstring key = L"Software\\Microsoft\\Windows\\CurrentVersion\\Installer\\UserData\\S-1-5-18\\Products\\" +
                       PackedCode(code) + L"\\InstallProperties";
    HKEY opened = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, key.c_str(), 0, KEY_SET_VALUE | KEY_WOW64_64KEY, &opened) != ERROR_SUCCESS) {
        return false;
    }
    LSTATUS status = RegDeleteValueW(opened, L"WindowsInstaller");
    RegCloseKey(opened);
    return status == ERROR_SUCCESS;
}

INSTALLUILEVEL CurrentInterfaceLevel() {
    INSTALLUILEVEL level = MsiSetInternalUI(INSTALLUILEVEL_NOCHANGE, nullptr);
    return level;
}

std::wstring InstalledFile(const std::wstring& code) {
    wchar_t programFiles[MAX_PATH];
    DWORD length = GetEnvironmentVariableW(L"ProgramFiles(x86)", programFiles, MAX_PATH);
    std::wstring base = length > 0 && length < MAX_PATH ? programFiles : L"C:\\Program Files (x86)";
    return base + L"\\Fixture-" + code.substr(1, code.size() - 2) + L"\\app.txt";
}

namespace {

int opened = 0;
int closed = 0;
MsiApi saved;

UINT WINAPI CountingSummaryOpen(MSIHANDLE database, LPCWSTR path, UINT updateCount, MSIHANDLE* summary) {
    UINT result = saved.getSummaryInformation(database, path, updateCount, summary);
    opened += result == ERROR_SUCCESS ? 1 : 0;
    return result;
}

UINT WINAPI CountingProductOpen(LPCWSTR product, MSIHANDLE* handle) {
    UINT result = saved.openProduct(product, handle);
    opened += result == ERROR_SUCCESS ? 1 : 0;
    return result;
}

UINT WINAPI CountingClose(MSIHANDLE handle) {
    UINT result = saved.closeHandle(handle);
    closed += result == ERROR_SUCCESS ? 1 : 0;
    return result;
}

}  // namespace

HandleCounter::HandleCounter() {
    opened = closed = 0;
    saved = Msi;
    Msi.getSummaryInformation = CountingSummaryOpen;
    Msi.openProduct = CountingProductOpen;
    Msi.closeHandle = CountingClose;
}

HandleCounter::~HandleCounter() {
    Msi = saved;
}

int HandleCounter::Opened() const {
    return opened;
}

int HandleCounter::Closed() const {
    return closed;
}
