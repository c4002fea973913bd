// A patch package made by the fixture builders really changes an installed product when
// Windows Installer is asked to apply it, as the launcher asks.
#include <gtest/gtest.h>


#include "catalog.h"
#include "installer.h"
#include "patching/product_queries.h"

namespace {

std::string ReadInstalledFile(const std::wstring& path) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return "<missing>";
    }
    char buffer[256];
    DWORD read = 0;
    ReadFile(file, buffer, sizeof buffer, &read, nullptr);
    CloseHandle(file);
    return std::string(buffer, read);
}

TEST(PatchByHand, ChangesTheVersionAndTheFile) {
    ASSERT_EQ(InstallProduct(L"manual-1.0.0.0.msi"), 0u);
    EXPECT_EQ(QueryInstalledVersion(kManualCode), L"1.0.0.0");
    EXPECT_EQ(ReadInstalledFile(InstalledFile(kManualCode)), "Patched By Hand 1.0.0.0\n");

    std::wstring command = L"PATCH=\"" + Fixture(L"manual.msp") + L"\" REBOOTPROMPT=S FILESINUSETEXT=\"x\"";
    INSTALLUILEVEL previous = MsiSetInternalUI(INSTALLUILEVEL_NONE, nullptr);
    UINT result = MsiConfigureProductExW(kManualCode, INSTALLLEVEL_DEFAULT, INSTALLSTATE_DEFAULT, command.c_str());
    MsiSetInternalUI(previous, nullptr);

    EXPECT_EQ(result, 0u);
    EXPECT_EQ(QueryInstalledVersion(kManualCode), L"2.0.0.0");
    EXPECT_EQ(ReadInstalledFile(InstalledFile(kManualCode)), "patched by hand\n");
    EXPECT_EQ(RemoveProduct(kManualCode), 0u);
}

}  // namespace
