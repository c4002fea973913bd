#include "patching/product_queries.h"

#include <gtest/gtest.h>

#include "fake_msi.h"
#include "test_support.h"

namespace {

const std::wstring kCode = L"{11111111-2222-3333-4444-555555555555}";

class ProductQueries : public testing::Test {
protected:
    FakeMsi fake;
    ScopedFakeMsi scoped{fake};
};

TEST_F(ProductQueries, PresentMeansInstalledOrAdvertised) {
    const struct {
        INSTALLSTATE state;
        bool present;
    } rows[] = {{INSTALLSTATE_DEFAULT, true},   {INSTALLSTATE_ADVERTISED, true}, {INSTALLSTATE_ABSENT, false},
                {INSTALLSTATE_UNKNOWN, false},  {INSTALLSTATE_INVALIDARG, false}, {INSTALLSTATE_LOCAL, false},
                {INSTALLSTATE_BROKEN, false}};
    for (const auto& row : rows) {
        fake.products[kCode].state = row.state;
        EXPECT_EQ(IsProductPresent(kCode), row.present) << "state " << row.state;
    }
    EXPECT_FALSE(IsProductPresent(L"{99999999-2222-3333-4444-555555555555}"));
}

TEST_F(ProductQueries, InformationIsReadWholeOrNotAtAll) {
    const struct {
        std::wstring stored;
        UINT result;
        std::wstring read;
    } rows[] = {
        {L"2.0.5.0", ERROR_SUCCESS, L"2.0.5.0"},
        {std::wstring(1023, L'9'), ERROR_SUCCESS, std::wstring(1023, L'9')},
        {std::wstring(1024, L'9'), ERROR_SUCCESS, L""},  // needs more room: nothing of it is used
        {L"2.0.5.0", ERROR_UNKNOWN_PRODUCT, L""},
        {L"2.0.5.0", ERROR_BAD_CONFIGURATION, L""},
    };
    for (const auto& row : rows) {
        FakeProduct& product = fake.products[kCode];
        product.versionString = row.stored;
        product.productName = row.stored;
        product.language = row.stored;
        product.infoResult = row.result;
        std::wstring name = L"keep", language = L"keep";
        EXPECT_EQ(QueryInstalledVersion(kCode), row.read);
        EXPECT_TRUE(QueryNameAndLanguage(kCode, name, language));
        EXPECT_EQ(name, row.read);
        EXPECT_EQ(language, row.read);
    }
    EXPECT_EQ(QueryInstalledVersion(L"{unknown}"), L"");
}

TEST_F(ProductQueries, TheVariantIsReadOnlyFromAnInstalledProductUnderNoInterface) {
    const struct {
        INSTALLSTATE state;
        UINT openResult;
        std::optional<std::wstring> stored;
        bool ok;
        std::wstring variant;
        bool opened;
    } rows[] = {
        {INSTALLSTATE_DEFAULT, ERROR_SUCCESS, L"PRO-7", true, L"PRO-7", true},
        {INSTALLSTATE_DEFAULT, ERROR_SUCCESS, std::nullopt, true, L"", true},
        {INSTALLSTATE_DEFAULT, ERROR_SUCCESS, std::wstring(255, L'v'), true, std::wstring(255, L'v'), true},
        {INSTALLSTATE_DEFAULT, ERROR_SUCCESS, std::wstring(256, L'v'), false, L"keep", true},
        {INSTALLSTATE_DEFAULT, ERROR_UNKNOWN_PRODUCT, L"PRO-7", false, L"keep", true},
        {INSTALLSTATE_ADVERTISED, ERROR_SUCCESS, L"PRO-7", false, L"keep", false},
        {INSTALLSTATE_ABSENT, ERROR_SUCCESS, L"PRO-7", false, L"keep", false},
    };
    for (const auto& row : rows) {
        FakeProduct& product = fake.products[kCode];
        product.state = row.state;
        product.openResult = row.openResult;
        product.variant = row.stored;
        fake.openedProducts.clear();
        fake.level = INSTALLUILEVEL_FULL;
        std::wstring variant = L"keep";
        EXPECT_EQ(QueryProductVariant(kCode, variant), row.ok);
        EXPECT_EQ(variant, row.variant);
        EXPECT_EQ(fake.openedProducts.size(), row.opened ? 1u : 0u);
        if (row.opened) {
            EXPECT_EQ(fake.levelsAtOpen.back(), INSTALLUILEVEL_NONE);
        }
        EXPECT_EQ(fake.level, INSTALLUILEVEL_FULL) << "the interface level is restored";
        EXPECT_TRUE(fake.openHandles.empty());
        EXPECT_TRUE(fake.badCloses.empty());
    }
}

}  // namespace
