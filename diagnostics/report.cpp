#include "diagnostics/report.h"

#include "diagnostics/os_description.h"
#include "messages/message_box.h"
#include "package/extraction.h"
#include "package/summary.h"
#include "patching/version.h"

namespace {

constexpr wchar_t kSeparator[] = L"\n\n-----------------------------------------------\n\n";
constexpr UINT kReportStyle = MB_OK | MB_ICONEXCLAMATION | MB_SETFOREGROUND | MB_TOPMOST;  // 0x50030

// One code to a line; a list whose only ';' is its first character is shown as it stands.
void SeparatorsToLineFeeds(std::wstring& list) {
    while (true) {
        size_t last = list.rfind(L';');
        if (last == std::wstring::npos || last < 1) {
            return;
        }
        list[list.find(L';')] = L'\n';
    }
}

}  // namespace

std::wstring BuildPackageReport(const std::wstring& resourceName) {
    // The copy is held locked while its summary is read and removed afterwards: the report
    // leaves nothing behind. An absent package leaves the path empty and every read fails.
    LockedPackage package;
    package.Extract(resourceName);

    std::wstring productList;
    ReadTargetProductList(package.Path(), productList);
    SeparatorsToLineFeeds(productList);

    std::wstring upgradeVersion;
    std::wstring targetVersions;
    ReadVersionKeywords(package.Path(), upgradeVersion, targetVersions);

    std::wstring systemName = L"Windows";
    FourPartVersion systemVersion;
    DescribeOperatingSystem(systemName, systemVersion);

    return L"Products:\n" + productList + L"\nTarget:\n\t" + targetVersions + L"\nUpgrade:\n\t" + upgradeVersion +
           L"\nOSInfo:\n\t" + systemName + L"(" + FormatVersion(systemVersion) + L")";
}

void ShowPackageInfo() {
    std::wstring text = L"Global MSP\n\n" + BuildPackageReport(L"IDR_MSP");
    text += kSeparator;
    text += L"Language pack MSP\n\n" + BuildPackageReport(L"IDR_MSP_LP");
    text += kSeparator;
    text += L"Product Specific MSP\n\n" + BuildPackageReport(L"IDR_MSP_PS");
    ShowMessageBox(nullptr, text.c_str(), L"Info", kReportStyle);
}
