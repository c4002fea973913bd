#include "fake_msi.h"

#include <msiquery.h>

#include <string>

#include "test_support.h"

namespace {

FakeMsi* current = nullptr;

// The Windows Installer text contract: the count comes in as the buffer's size and goes out as
// the value's length, both in characters without the null.
UINT CopyOut(const std::wstring& value, LPWSTR buffer, DWORD* count) {
    if (count == nullptr) {
        return buffer == nullptr ? ERROR_SUCCESS : ERROR_INVALID_PARAMETER;
    }
    const DWORD length = static_cast<DWORD>(value.size());
    if (buffer == nullptr) {
        *count = length;
        return ERROR_SUCCESS;
    }
    if (*count <= length) {
        if (*count > 0) {
            value.copy(buffer, *count - 1);
            buffer[*count - 1] = L'\0';
        }
        *count = length;
        return ERROR_MORE_DATA;
    }
    value.copy(buffer, length);
    buffer[length] = L'\0';
    *count = length;
    return ERROR_SUCCESS;
}

MSIHANDLE Issue() {
    MSIHANDLE handle = current->nextHandle++;
    current->openHandles.insert(handle);
    return handle;
}

std::map<MSIHANDLE, std::string> summaryKeys;
std::map<MSIHANDLE, std::wstring> productCodes;

UINT WINAPI GetSummaryInformation(MSIHANDLE database, LPCWSTR path, UINT updateCount, MSIHANDLE* summary) {
    if (database != 0 || updateCount != 0 || summary == nullptr || path == nullptr) {
        return ERROR_INVALID_PARAMETER;
    }
    current->summaryPaths.push_back(path);
    std::optional<std::string> content = ReadFileBytes(path);
    if (!content) {
        return ERROR_FUNCTION_FAILED;
    }
    if (current->packages.count(*content) == 0) {
        return ERROR_INSTALL_PACKAGE_INVALID;
    }
    *summary = Issue();
    summaryKeys[*summary] = *content;
    return ERROR_SUCCESS;
}

UINT WINAPI SummaryInfoGetProperty(MSIHANDLE summary, UINT property, UINT* type, INT*, FILETIME*, LPWSTR buffer,
                                   DWORD* count) {
    if (current->openHandles.count(summary) == 0 || summaryKeys.count(summary) == 0) {
        return ERROR_INVALID_HANDLE;
    }
    current->summaryCounts.push_back(count != nullptr ? *count : 0);
    const FakePackage& package = current->packages.at(summaryKeys[summary]);
    auto failure = package.failures.find(property);
    if (failure != package.failures.end()) {
        return failure->second;
    }
    const std::optional<std::wstring>* value = nullptr;
    switch (property) {
        case 7: value = &package.targetProducts; break;
        case 5: value = &package.versionKeywords; break;
        case 18: value = &package.variant; break;
        default: break;
    }
    if (value == nullptr || !value->has_value()) {
        if (type != nullptr) {
            *type = VT_EMPTY;
        }
        return ERROR_SUCCESS;
    }
    if (type != nullptr) {
        *type = VT_LPSTR;
    }
    return CopyOut(**value, buffer, count);
}

UINT WINAPI CloseHandleFake(MSIHANDLE handle) {
    if (current->openHandles.erase(handle) == 0) {
        current->badCloses.push_back(handle);
        return ERROR_INVALID_HANDLE;
    }
    return ERROR_SUCCESS;
}

const FakeProduct* FindProduct(LPCWSTR code) {
    auto found = current->products.find(code != nullptr ? code : L"");
    return found == current->products.end() ? nullptr : &found->second;
}

INSTALLSTATE WINAPI QueryProductState(LPCWSTR code) {
    current->queriedStates.push_back(code != nullptr ? code : L"");
    const FakeProduct* product = FindProduct(code);
    return product != nullptr ? product->state : INSTALLSTATE_UNKNOWN;
}

UINT WINAPI GetProductInfo(LPCWSTR code, LPCWSTR attribute, LPWSTR buffer, DWORD* count) {
    const FakeProduct* product = FindProduct(code);
    if (product == nullptr) {
        return ERROR_UNKNOWN_PRODUCT;
    }
    if (product->infoResult != ERROR_SUCCESS) {
        return product->infoResult;
    }
    const std::wstring name = attribute;
    if (name == L"VersionString") {
        return CopyOut(product->versionString, buffer, count);
    }
    if (name == L"ProductName") {
        return CopyOut(product->productName, buffer, count);
    }
    if (name == L"Language") {
        return CopyOut(product->language, buffer, count);
    }
    return ERROR_UNKNOWN_PROPERTY;
}

UINT WINAPI OpenProduct(LPCWSTR code, MSIHANDLE* handle) {
    const FakeProduct* product = FindProduct(code);
    current->openedProducts.push_back(code);
    current->levelsAtOpen.push_back(current->level);
    if (product == nullptr) {
        return ERROR_UNKNOWN_PRODUCT;
    }
    if (product->openResult != ERROR_SUCCESS) {
        return product->openResult;
    }
    *handle = Issue();
    productCodes[*handle] = code;
    return ERROR_SUCCESS;
}

UINT WINAPI GetProductProperty(MSIHANDLE handle, LPCWSTR property, LPWSTR buffer, DWORD* count) {
    if (current->openHandles.count(handle) == 0 || productCodes.count(handle) == 0) {
        return ERROR_INVALID_HANDLE;
    }
    const FakeProduct* product = FindProduct(productCodes[handle].c_str());
    if (std::wstring(property) != L"PluLicenseNumber" || !product->variant) {
        return CopyOut(L"", buffer, count);
    }
    return CopyOut(*product->variant, buffer, count);
}

INSTALLUILEVEL WINAPI SetInternalUI(INSTALLUILEVEL level, HWND*) {
    INSTALLUILEVEL previous = current->level;
    current->level = level;
    return previous;
}

UINT WINAPI EnableLog(DWORD mode, LPCWSTR path, DWORD) {
    current->logMode = mode;
    current->logPath = path != nullptr ? path : L"";
    return ERROR_SUCCESS;
}

// The package that a PATCH="..." command line names.
std::wstring PatchPath(const std::wstring& commandLine) {
    const std::wstring key = L"PATCH=\"";
    size_t start = commandLine.find(key);
    if (start == std::wstring::npos) {
        return {};
    }
    start += key.size();
    return commandLine.substr(start, commandLine.find(L'"', start) - start);
}

bool IsLocked(const std::wstring& path) {
    HANDLE writer = CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (writer != INVALID_HANDLE_VALUE) {
        CloseHandle(writer);
        return false;
    }
    return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES && !DeleteFileW(path.c_str()) &&
           !MoveFileW(path.c_str(), (path + L".moved").c_str());
}

UINT WINAPI ConfigureProductEx(LPCWSTR code, int, INSTALLSTATE, LPCWSTR commandLine) {
    std::wstring command = commandLine != nullptr ? commandLine : L"";
    std::wstring patch = PatchPath(command);
    current->configureCalls.push_back({code, command, current->level, current->logPath,
                                       ReadFileBytes(patch).value_or("<missing>"), IsLocked(patch)});
    const FakeProduct* product = FindProduct(code);
    return product != nullptr ? product->configureResult : ERROR_UNKNOWN_PRODUCT;
}

}  // namespace

ScopedFakeMsi::ScopedFakeMsi(FakeMsi& fake) : saved_(Msi) {
    current = &fake;
    summaryKeys.clear();
    productCodes.clear();
    Msi = MsiApi{GetSummaryInformation, SummaryInfoGetProperty, CloseHandleFake, QueryProductState,
                 GetProductInfo,        OpenProduct,            GetProductProperty, SetInternalUI,
                 EnableLog,             ConfigureProductEx};
}

ScopedFakeMsi::~ScopedFakeMsi() {
    Msi = saved_;
    current = nullptr;
}
