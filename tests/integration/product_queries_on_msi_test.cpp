// The product queries on products installed in the test prefix by the real msi.dll.
#include <gtest/gtest.h>

#include "catalog.h"
#include "installer.h"
#include "patching/product_queries.h"

namespace {

class ProductsOnMsi : public testing::Test {
protected:
    static void SetUpTestSuite() {
        for (const wchar_t* msi : {L"accented-1.2.3.4.msi", L"cjk-6.0.51.5.msi", L"advertised-3.0.0.0.msi",
                                   L"demo-1.0.0.0.msi"}) {
            ASSERT_EQ(InstallProduct(msi), 0u) << "installing a test product";
        }
        ASSERT_TRUE(AdvertiseProduct(kAdvertisedCode));
    }
    static void TearDownTestSuite() {
        for (const wchar_t* code : {kAccentedCode, kCjkCode, kAdvertisedCode, kDemoCode}) {
            RemoveProduct(code);
        }
    }
    void TearDown() override { EXPECT_EQ(handles.Opened(), handles.Closed()); }
    HandleCounter handles;
};

const std::wstring kUnknown = L"{00000000-0000-0000-0000-00000000BEEF}";

TEST_F(ProductsOnMsi, PresentAreTheInstalledAndTheAdvertised) {
    EXPECT_EQ(MsiQueryProductStateW(kAccentedCode), INSTALLSTATE_DEFAULT);
    EXPECT_EQ(MsiQueryProductStateW(kAdvertisedCode), INSTALLSTATE_ADVERTISED);
    const struct {
        std::wstring code;
        bool present;
    } rows[] = {
        {kAccentedCode, true}, {kCjkCode, true}, {kAdvertisedCode, true}, {kUnknown, false},
        {L"{A0C3E7ED-0001-4B1A-8C2D-00000000A00G}", false},  // not hexadecimal
        {L"A0C3E7ED-0001-4B1A-8C2D-00000000A001", false},    // no braces
        {L"{A0C3E7ED}", false}, {L"", false},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(IsProductPresent(row.code), row.present) << std::string(row.code.begin(), row.code.end());
    }
}

TEST_F(ProductsOnMsi, VersionNameAndLanguageReadExactly) {
    const struct {
        std::wstring code, version, name, language;
    } rows[] = {
        {kAccentedCode, L"1.2.3.4", kAccentedName, L"1031"},
        {kCjkCode, L"6.0.51.5", kCjkName, L"2052"},
        {kAdvertisedCode, L"3.0.0.0", kAdvertisedName, L"1033"},
        {kUnknown, L"", L"", L""},
    };
    for (const auto& row : rows) {
        std::wstring name = L"keep", language = L"keep";
        EXPECT_EQ(QueryInstalledVersion(row.code), row.version);
        EXPECT_TRUE(QueryNameAndLanguage(row.code, name, language));
        EXPECT_EQ(name, row.name);
        EXPECT_EQ(language, row.language);
    }
}

TEST_F(ProductsOnMsi, TheVariantIsReadFromInstalledProductsOnly) {
    const struct {
        std::wstring code;
        bool ok;
        std::wstring variant;
    } rows[] = {
        {kAccentedCode, true, std::wstring(255, L'V')},
        {kCjkCode, false, L"keep"},         // 256 characters: one too many for the buffer
        {kDemoCode, true, L""},             // no such property: empty text
        {kAdvertisedCode, false, L"keep"},  // advertised: never opened
        {kUnknown, false, L"keep"},
    };
    MsiSetInternalUI(INSTALLUILEVEL_BASIC, nullptr);
    for (const auto& row : rows) {
        std::wstring variant = L"keep";
        EXPECT_EQ(QueryProductVariant(row.code, variant), row.ok);
        EXPECT_EQ(variant, row.variant);
        EXPECT_EQ(CurrentInterfaceLevel(), INSTALLUILEVEL_BASIC) << "the interface level is restored";
    }
    MsiSetInternalUI(INSTALLUILEVEL_DEFAULT, nullptr);
}

}  // namespace
