#include "package/summary.h"

#include <optional>

#include "patching/msi_api.h"

namespace {

constexpr DWORD kFirstReadCapacity = 2048;  // characters, null included
constexpr DWORD kLongestValue = 0x00ffffff;  // characters; anything longer is not a package's

std::wstring UpToNull(const std::wstring& buffer) {
    return buffer.substr(0, buffer.find(L'\0'));
}

struct PropertyRead {
    std::optional<std::wstring> value;
    UINT error = ERROR_SUCCESS;  // the Windows Installer result when there is no value
};

// Reads a text property, retrying once with the exact size when the first buffer is short.
// A property that is absent, or not text, reads as empty text: the buffer starts zeroed and
// Windows Installer leaves it untouched then.
PropertyRead ReadTextPropertyOnce(const std::wstring& path, UINT property) {
    MsiHandle summary(OpenPatchSummary(path));
    if (!summary) {
        return {std::nullopt, GetLastError()};
    }
    UINT type = 0;
    INT number = 0;
    FILETIME time{};
    std::wstring buffer(kFirstReadCapacity, L'\0');
    DWORD count = kFirstReadCapacity;
    UINT result = Msi.summaryInfoGetProperty(summary.Get(), property, &type, &number, &time,
                                             &buffer[0], &count);
    if (result == ERROR_MORE_DATA) {
        if (count >= kLongestValue) {
            return {std::nullopt, ERROR_MORE_DATA};
        }
        count += 1;
        buffer.assign(count, L'\0');
        result = Msi.summaryInfoGetProperty(summary.Get(), property, &type, &number, &time,
                                            &buffer[0], &count);
    }
    if (result != ERROR_SUCCESS) {
        return {std::nullopt, result};
    }
    return {UpToNull(buffer), ERROR_SUCCESS};
}

// A failed read leaves its Windows Installer result as the last-error value, set once the
// summary is closed, so that the failure message shows the real cause.
std::optional<std::wstring> ReadTextProperty(const std::wstring& path, UINT property) {
    PropertyRead read = ReadTextPropertyOnce(path, property);
    if (!read.value) {
        SetLastError(read.error);
    }
    return read.value;
}

enum class VariantRead { Value, Absent, Failed, Empty };

VariantRead ReadVariantProperty(const std::wstring& path, std::wstring& value) {
    MsiHandle summary(OpenPatchSummary(path));
    if (!summary) {
        return VariantRead::Failed;
    }
    UINT type = 0;
    INT number = 0;
    FILETIME time{};
    wchar_t empty[1] = {L'\0'};
    DWORD count = 0;
    Msi.summaryInfoGetProperty(summary.Get(), kPropertyVariant, &type, &number, &time, empty, &count);
    if (count == 0) {
        return VariantRead::Absent;
    }
    if (count >= kLongestValue) {
        return VariantRead::Failed;
    }
    count += 2;
    std::wstring buffer(count, L'\0');
    if (Msi.summaryInfoGetProperty(summary.Get(), kPropertyVariant, &type, &number, &time,
                                   &buffer[0], &count) != ERROR_SUCCESS) {
        return VariantRead::Failed;
    }
    value = UpToNull(buffer);
    return value.empty() ? VariantRead::Empty : VariantRead::Value;
}

}  // namespace

MSIHANDLE OpenPatchSummary(const std::wstring& path) {
    wchar_t fullPath[MAX_PATH];
    DWORD length = GetFullPathNameW(path.c_str(), MAX_PATH, fullPath, nullptr);
    if (length == 0 || length >= MAX_PATH) {
        SetLastError(length == 0 ? ERROR_INVALID_NAME : ERROR_FILENAME_EXCED_RANGE);
        return 0;
    }
    MSIHANDLE summary = 0;
    UINT result = Msi.getSummaryInformation(0, fullPath, 0, &summary);
    if (result != ERROR_SUCCESS) {
        SetLastError(result);
        return 0;
    }
    return summary;
}

bool ReadTargetProductList(const std::wstring& path, std::wstring& productList) {
    std::optional<std::wstring> value = ReadTextProperty(path, kPropertyTargetProducts);
    if (!value) {
        return false;
    }
    productList = *value;
    return true;
}

bool ReadVersionKeywords(const std::wstring& path, std::wstring& upgradeVersion,
                         std::wstring& targetVersions) {
    std::optional<std::wstring> value = ReadTextProperty(path, kPropertyVersionKeywords);
    if (!value) {
        return false;
    }
    // Set only now that the summary handle is closed, so that closing it cannot overwrite it.
    size_t separator = value->find(L';');
    if (separator == std::wstring::npos || separator == 0) {
        SetLastError(kUnusableSummaryValue);
        return false;
    }
    upgradeVersion = value->substr(0, separator);
    targetVersions = value->substr(separator + 1);
    return true;
}

bool ReadPackageVariant(const std::wstring& path, std::wstring& variant) {
    std::wstring value;
    switch (ReadVariantProperty(path, value)) {
        case VariantRead::Value:
            variant = value;
            return true;
        case VariantRead::Empty:
            SetLastError(kUnusableSummaryValue);
            return false;
        default:
            return false;
    }
}
