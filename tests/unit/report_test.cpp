#include "diagnostics/report.h"

#include <gtest/gtest.h>

#include "diagnostics/os_description.h"
#include "fake_msi.h"
#include "test_support.h"

namespace {

BOOL WINAPI XpProfessional(LPOSVERSIONINFOW info) {
    info->dwMajorVersion = 5;
    info->dwMinorVersion = 1;
    info->dwPlatformId = VER_PLATFORM_WIN32_NT;
    if (info->dwOSVersionInfoSize == sizeof(OSVERSIONINFOEXW)) {
        reinterpret_cast<OSVERSIONINFOEXW*>(info)->wProductType = VER_NT_WORKSTATION;
    }
    return TRUE;
}

void WINAPI Intel(LPSYSTEM_INFO info) {
    info->wProcessorArchitecture = PROCESSOR_ARCHITECTURE_INTEL;
}

void(WINAPI* FindIntel())(LPSYSTEM_INFO) {
    return Intel;
}

const std::wstring kOs = L"\nOSInfo:\n\tMicrosoft Windows XP Professional (5.1.0.0)";
const std::wstring kSeparator = L"\n\n-----------------------------------------------\n\n";

class Report : public testing::Test, protected FlowSandbox {
protected:
    ScopedOsSources sources{OsInfoSources{XpProfessional, FindIntel, Intel}};
};

TEST_F(Report, ASectionShowsProductsTargetsUpgradeAndTheSystem) {
    const struct {
        std::optional<std::wstring> products;
        std::optional<std::wstring> keywords;
        std::wstring body;
    } rows[] = {
        {L"{A};{B};{C}", L"2.1.30.0;2.0.12.7,2.0.15.0",
         L"Products:\n{A}\n{B}\n{C}\nTarget:\n\t2.0.12.7,2.0.15.0\nUpgrade:\n\t2.1.30.0" + kOs},
        {L"{A};", L"2.1;2.0;1.9", L"Products:\n{A}\n\nTarget:\n\t2.0;1.9\nUpgrade:\n\t2.1" + kOs},
        {L";{A}", L"2.1;", L"Products:\n;{A}\nTarget:\n\t\nUpgrade:\n\t2.1" + kOs},
        {L";", L"2.1;2.0", L"Products:\n;\nTarget:\n\t2.0\nUpgrade:\n\t2.1" + kOs},
        {L";{A};{B}", L"2.1;2.0", L"Products:\n\n{A}\n{B}\nTarget:\n\t2.0\nUpgrade:\n\t2.1" + kOs},
        {L"{A}", L"2.1", L"Products:\n{A}\nTarget:\n\t\nUpgrade:\n\t" + kOs},
        {std::nullopt, std::nullopt, L"Products:\n\nTarget:\n\t\nUpgrade:\n\t" + kOs},
    };
    for (const auto& row : rows) {
        fake.packages["GLOB"] = FakePackage{row.products, row.keywords, std::nullopt, {}};
        EXPECT_EQ(BuildPackageReport(L"IDR_MSP"), row.body);
    }
    EXPECT_TRUE(temp.Files().empty()) << "the report's copies of the package are removed";
    EXPECT_TRUE(fake.openHandles.empty());
}

TEST_F(Report, TheBoxHoldsThreeSectionsAndIsShownUnderQuietToo) {
    fake.packages["GLOB"] = FakePackage{L"{A};{B}", L"2.1;2.0,2.0.5", std::nullopt, {}};
    Options.quiet = true;
    ShowPackageInfo();
    ASSERT_EQ(boxes.Boxes().size(), 1u);
    const ShownBox& box = boxes.Boxes()[0];
    const std::wstring empty = L"Products:\n\nTarget:\n\t\nUpgrade:\n\t" + kOs;
    EXPECT_EQ(box.text, L"Global MSP\n\nProducts:\n{A}\n{B}\nTarget:\n\t2.0,2.0.5\nUpgrade:\n\t2.1" + kOs + kSeparator +
                            L"Language pack MSP\n\n" + empty + kSeparator + L"Product Specific MSP\n\n" + empty);
    EXPECT_EQ(box.caption, L"Info");
    EXPECT_EQ(box.style, 0x50030u);
    EXPECT_EQ(box.owner, nullptr);
    EXPECT_EQ(kSeparator.size(), 51u);
    EXPECT_TRUE(temp.Files().empty());
}

TEST_F(Report, EveryPackageOfTheModuleHasItsSection) {
    ModuleHandle = ThreePackageModule();
    fake.packages["GLOB"] = FakePackage{L"{A}", L"2;1", std::nullopt, {}};
    fake.packages["LP"] = FakePackage{L"{B}", L"4;3", std::nullopt, {}};
    fake.packages["PS"] = FakePackage{L"{C}", L"6;5", std::nullopt, {}};
    ShowPackageInfo();
    ASSERT_EQ(boxes.Boxes().size(), 1u);
    EXPECT_EQ(boxes.Boxes()[0].text,
              L"Global MSP\n\nProducts:\n{A}\nTarget:\n\t1\nUpgrade:\n\t2" + kOs + kSeparator +
                  L"Language pack MSP\n\nProducts:\n{B}\nTarget:\n\t3\nUpgrade:\n\t4" + kOs + kSeparator +
                  L"Product Specific MSP\n\nProducts:\n{C}\nTarget:\n\t5\nUpgrade:\n\t6" + kOs);
    EXPECT_TRUE(temp.Files().empty());
}

}  // namespace
