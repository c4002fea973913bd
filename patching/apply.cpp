#include "patching/apply.h"

#include "launcher/owned.h"
#include "launcher/process_state.h"
#include "messages/message_box.h"
#include "messages/string_ids.h"
#include "package/extraction.h"
#include "package/summary.h"
#include "patching/msi_api.h"
#include "patching/product_queries.h"
#include "patching/version.h"

namespace {

// A missing language-pack or product-specific package is an ordinary case: it must neither stop
// the sequence nor count as a package that was applied.
constexpr StageResult kUnextractableResult = StageResult::UpToDate;

void CloseSearch(HANDLE search) {
    FindClose(search);
}

using SearchHandle = Owned<HANDLE, CloseSearch, nullptr>;

constexpr wchar_t kFallbackLogDirectory[] = L"c:";
constexpr wchar_t kLogSuffix[] = L" SP1.log";

// Characters a file name cannot hold become '_', so that a product name can neither leave the
// log directory ("..\\x") nor make an invalid name.
std::wstring LogFileNamePart(const std::wstring& productName) {
    std::wstring part = productName;
    for (wchar_t& c : part) {
        if (c < 0x20 || c == 0x7f || wcschr(L"\\/:*?\"<>|", c) != nullptr) {
            c = L'_';
        }
    }
    return part;
}

// Cuts `text` to at most `length` characters without splitting a surrogate pair.
void CutTo(std::wstring& text, size_t length) {
    if (text.size() <= length) {
        return;
    }
    if (length > 0 && IS_HIGH_SURROGATE(text[length - 1])) {
        --length;
    }
    text.resize(length);
}

}  // namespace

std::wstring ComposeLogPath(const std::wstring& directory, const std::wstring& productName) {
    const size_t longest = kLogPathCapacity - 1;
    const size_t fixed = 1 + wcslen(kLogSuffix);
    std::wstring base = directory;
    if (base.size() + fixed >= longest) {
        base = kFallbackLogDirectory;
    }
    std::wstring name = LogFileNamePart(productName);
    CutTo(name, longest - fixed - base.size());
    return base + L'\\' + name + kLogSuffix;
}

namespace {

bool PatchProduct(ProductEntry& product, const std::wstring& packagePath, const std::wstring& logDirectory,
                  UINT failureMessageId) {
    std::wstring logPath = ComposeLogPath(logDirectory, product.productName);
    Msi.enableLog(INSTALLLOGMODE_VERBOSE, logPath.c_str(), 0);

    std::wstring filesInUse = LoadText(ModuleHandle, IDS_FILES_IN_USE, kTextLimit);
    product.commandLine = L"PATCH=\"" + packagePath + L"\" REBOOTPROMPT=S FILESINUSETEXT=\"" + filesInUse + L"\"";

    // Basic progress without a cancel button, with or without "/q".
    INSTALLUILEVEL previous =
        Msi.setInternalUI(static_cast<INSTALLUILEVEL>(INSTALLUILEVEL_BASIC | INSTALLUILEVEL_HIDECANCEL), nullptr);
    UINT result = Msi.configureProductEx(product.productCode.c_str(), INSTALLLEVEL_DEFAULT, INSTALLSTATE_DEFAULT,
                                         product.commandLine.c_str());
    Msi.setInternalUI(previous, nullptr);

    if (ClassifyConfigureResult(result) != ConfigureOutcome::Failure) {
        return true;
    }
    SetLastError(result);
    ShowMessage(failureMessageId);
    return false;
}

// Adds the products of `productList` that are present and, when the package names a variant, of
// that variant. The walk ends at the first empty entry.
void SelectProducts(std::wstring productList, const ProductEntry& packageRecord, const std::wstring& packagePath) {
    productList += L';';
    for (size_t separator = productList.find(L';'); separator != std::wstring::npos && separator != 0;
         separator = productList.find(L';')) {
        ProductEntry candidate = packageRecord;
        candidate.productCode = productList.substr(0, separator);
        productList.erase(0, separator + 1);

        const std::wstring& code = candidate.productCode;
        if (!IsProductPresent(code)) {
            continue;
        }
        candidate.installedVersion = QueryInstalledVersion(code);
        QueryNameAndLanguage(code, candidate.productName, candidate.language);

        std::wstring packageVariant;
        if (ReadPackageVariant(packagePath, packageVariant)) {
            std::wstring productVariant;
            if (!QueryProductVariant(code, productVariant) || productVariant != packageVariant) {
                continue;
            }
        }
        AcceptedProducts.push_back(candidate);
    }
}

}  // namespace

StageResult ApplyEmbeddedPackage(const std::wstring& resourceName, UINT failureMessageId, bool global) {
    LockedPackage package;
    if (!package.Extract(resourceName)) {
        return kUnextractableResult;
    }
    const std::wstring& packagePath = package.Path();

    AcceptedProducts.clear();
    ProductEntry packageRecord;
    if (!ReadVersionKeywords(packagePath, packageRecord.upgradeVersion, packageRecord.targetVersions)) {
        ShowMessage(failureMessageId);
        return StageResult::Halt;
    }
    std::wstring productList;
    if (!ReadTargetProductList(packagePath, productList)) {
        ShowMessage(failureMessageId);
        return StageResult::Halt;
    }
    SelectProducts(productList, packageRecord, packagePath);
    if (AcceptedProducts.empty()) {
        ShowMessage(IDS_PRODUCT_NOT_FOUND);
        return StageResult::Halt;
    }

    wchar_t logDirectory[kLogPathCapacity];
    ResolveWorkingDirectory(logDirectory, kLogPathCapacity);

    StageResult result = StageResult::Halt;
    size_t currentProducts = 0;
    for (ProductEntry& product : AcceptedProducts) {
        if (global) {
            CurrentProductName = product.productName;
        }
        SetThreadLocale(static_cast<LCID>(ParseDecimal(product.language)));

        const FourPartVersion installed = ParseVersion(product.installedVersion);
        const FourPartVersion upgrade = ParseVersion(product.upgradeVersion);
        if (VersionsEqual(installed, upgrade)) {
            ++currentProducts;
            continue;
        }
        bool matched = false;
        std::wstring items = product.targetVersions + L',';
        for (size_t comma = items.find(L','); comma != std::wstring::npos; comma = items.find(L',')) {
            const FourPartVersion target = ParseVersion(items.substr(0, comma));
            items.erase(0, comma + 1);
            if (VersionsEqual(installed, target)) {
                if (PatchProduct(product, packagePath, logDirectory, failureMessageId)) {
                    result = StageResult::Applied;
                }
                matched = true;
                break;
            }
            // The walk reached the version the package brings: the package has nothing to do.
            if (VersionsEqual(target, upgrade)) {
                return StageResult::UpToDate;
            }
        }
        if (!matched) {
            ShowMessage(IDS_VERSION_MISMATCH);
        }
    }
    if (currentProducts == AcceptedProducts.size()) {
        SetThreadLocale(LOCALE_USER_DEFAULT);
        result = StageResult::UpToDate;
    }
    return result;
}

void StripTrailingBackslash(std::wstring& path) {
    if (!path.empty() && path.back() == L'\\' && (path.size() == 1 || path[path.size() - 2] != L':')) {
        path.pop_back();
    }
}

bool DirectoryExists(const std::wstring& path) {
    WIN32_FIND_DATAW data;
    HANDLE found = FindFirstFileW(path.c_str(), &data);
    SearchHandle search(found == INVALID_HANDLE_VALUE ? nullptr : found);
    return search && (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

void ResolveWorkingDirectory(wchar_t* buffer, size_t capacity) {
    std::wstring directory = kFallbackLogDirectory;
    wchar_t temporary[kLogPathCapacity];
    const DWORD room = static_cast<DWORD>(kLogPathCapacity - 1);
    DWORD length = GetTempPathW(room, temporary);
    if (length != 0 && length < room) {
        std::wstring candidate(temporary, length);
        StripTrailingBackslash(candidate);
        if (DirectoryExists(candidate) || CreateDirectoryW(candidate.c_str(), nullptr)) {
            directory = candidate;
        }
    }
    if (capacity == 0) {
        return;
    }
    size_t copied = directory.size() < capacity ? directory.size() : capacity - 1;
    directory.copy(buffer, copied);
    buffer[copied] = L'\0';
}
