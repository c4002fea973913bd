#include "package/summary.h"

#include <gtest/gtest.h>

#include "fake_msi.h"
#include "test_support.h"

namespace {

class SummaryReaders : public testing::Test {
protected:
    void SetUp() override { path = temp.Path() + L"\\package.msp"; }

    // Writes a package file and describes what its summary holds.
    void Package(const FakePackage& package) {
        ASSERT_TRUE(WriteFileText(path, "pkg"));
        fake.packages["pkg"] = package;
    }

    void ExpectEveryHandleClosedOnce(size_t opens) {
        EXPECT_EQ(fake.summaryPaths.size(), opens);
        EXPECT_TRUE(fake.openHandles.empty());
        EXPECT_TRUE(fake.badCloses.empty());
    }

    ScopedTempDirectory temp;
    FakeMsi fake;
    ScopedFakeMsi scoped{fake};
    std::wstring path;
};

std::wstring ProductCodes(int count) {
    std::wstring list;
    for (int i = 0; i < count; ++i) {
        wchar_t code[39];
        swprintf(code, 39, L"{%08X-1111-2222-3333-444455556666}", i);
        list += (i > 0 ? L";" : L"") + std::wstring(code);
    }
    return list;
}

TEST_F(SummaryReaders, ReadTheProductListWithOneRetryWhenItIsLong) {
    const struct {
        std::wstring value;
        std::vector<DWORD> counts;  // the count each read was called with
    } rows[] = {
        {std::wstring(2047, L'x'), {2048}},
        {std::wstring(2048, L'x'), {2048, 2049}},
        {ProductCodes(60), {2048, 2340}},
        {L"", {2048}},
    };
    for (const auto& row : rows) {
        fake.summaryCounts.clear();
        Package({row.value, L"2.0;1.0", std::nullopt, {}});
        std::wstring list = L"unchanged";
        EXPECT_TRUE(ReadTargetProductList(path, list));
        EXPECT_EQ(list, row.value);
        EXPECT_EQ(fake.summaryCounts, row.counts) << "value of " << row.value.size() << " characters";
    }
    EXPECT_EQ(ProductCodes(60).size(), 2339u);
    ExpectEveryHandleClosedOnce(4);
}

TEST_F(SummaryReaders, AnAbsentProductListReadsAsEmptyText) {
    Package({std::nullopt, L"2.0;1.0", std::nullopt, {}});
    std::wstring list = L"unchanged";
    EXPECT_TRUE(ReadTargetProductList(path, list));
    EXPECT_EQ(list, L"");
    ExpectEveryHandleClosedOnce(1);
}

TEST_F(SummaryReaders, SplitTheVersionKeywordsAtTheFirstSemicolon) {
    const struct {
        std::optional<std::wstring> keywords;
        bool ok;
        std::wstring upgrade, targets;
    } rows[] = {
        {L"2.1.30.0;2.0.12.7,2.0.15.0", true, L"2.1.30.0", L"2.0.12.7,2.0.15.0"},
        {L"2.1;2.0;1.9", true, L"2.1", L"2.0;1.9"},
        {L"2.1;", true, L"2.1", L""},
        {L"2.1", false, L"keep", L"keep"},
        {L";2.0", false, L"keep", L"keep"},
        {L"", false, L"keep", L"keep"},
        {std::nullopt, false, L"keep", L"keep"},
    };
    for (const auto& row : rows) {
        Package({L"", row.keywords, std::nullopt, {}});
        std::wstring upgrade = L"keep";
        std::wstring targets = L"keep";
        SetLastError(0);
        EXPECT_EQ(ReadVersionKeywords(path, upgrade, targets), row.ok) << Narrow(row.keywords.value_or(L"<absent>"));
        EXPECT_EQ(upgrade, row.upgrade);
        EXPECT_EQ(targets, row.targets);
        if (!row.ok) {
            EXPECT_EQ(GetLastError(), kUnusableSummaryValue);
        }
    }
    ExpectEveryHandleClosedOnce(std::size(rows));
}

TEST_F(SummaryReaders, AFailedReadLeavesTheOutputsAndItsResultAsTheLastError) {
    FakePackage failing{L"{A}", L"2.0;1.0", L"v", {}};
    failing.failures = {{7, ERROR_INVALID_PARAMETER}, {5, ERROR_INVALID_DATA}, {18, ERROR_INVALID_PARAMETER}};
    Package(failing);
    std::wstring list = L"keep", upgrade = L"keep", targets = L"keep", variant = L"keep";
    EXPECT_FALSE(ReadTargetProductList(path, list));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    EXPECT_FALSE(ReadVersionKeywords(path, upgrade, targets));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_DATA));
    EXPECT_FALSE(ReadPackageVariant(path, variant));
    EXPECT_EQ(list + upgrade + targets + variant, L"keepkeepkeepkeep");
    ExpectEveryHandleClosedOnce(3);
}

TEST_F(SummaryReaders, AMissingOrUnknownFileIsNoPackage) {
    std::wstring list = L"keep";
    EXPECT_FALSE(ReadTargetProductList(temp.Path() + L"\\missing.msp", list));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FUNCTION_FAILED));
    ASSERT_TRUE(WriteFileText(path, "not a package"));
    EXPECT_FALSE(ReadTargetProductList(path, list));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSTALL_PACKAGE_INVALID));
    EXPECT_FALSE(ReadTargetProductList(L"", list));
    EXPECT_EQ(list, L"keep");
    EXPECT_TRUE(fake.openHandles.empty());
}

TEST_F(SummaryReaders, ARelativePathIsTakenAgainstTheCurrentDirectory) {
    Package({L"{A}", L"2.0;1.0", std::nullopt, {}});
    wchar_t saved[MAX_PATH];
    GetCurrentDirectoryW(MAX_PATH, saved);
    SetCurrentDirectoryW(temp.Path().c_str());
    std::wstring list;
    EXPECT_TRUE(ReadTargetProductList(L"package.msp", list));
    SetCurrentDirectoryW(saved);
    EXPECT_EQ(list, L"{A}");
    ASSERT_EQ(fake.summaryPaths.size(), 1u);
    EXPECT_EQ(fake.summaryPaths[0], path);
}

TEST_F(SummaryReaders, APathThatCannotBeMadeAbsoluteWithin259CharactersIsNotOpened) {
    std::wstring list = L"keep";
    EXPECT_FALSE(ReadTargetProductList(temp.Path() + L"\\" + std::wstring(260, L'p'), list));
    EXPECT_TRUE(fake.summaryPaths.empty());
}

TEST_F(SummaryReaders, TheVariantIsReadAfterASizeQuery) {
    const struct {
        std::optional<std::wstring> variant;
        bool ok;
        std::wstring result;
        bool unusable;  // the last-error value 4316
    } rows[] = {
        {L"PRO-7", true, L"PRO-7", false},
        {std::wstring(255, L'v'), true, std::wstring(255, L'v'), false},
        {std::wstring(5000, L'v'), true, std::wstring(5000, L'v'), false},
        {L"", false, L"keep", false},
        {std::nullopt, false, L"keep", false},
        {std::wstring(L"\0hidden", 7), false, L"keep", true},
    };
    for (const auto& row : rows) {
        fake.summaryCounts.clear();
        Package({L"{A}", L"2.0;1.0", row.variant, {}});
        std::wstring variant = L"keep";
        SetLastError(0);
        EXPECT_EQ(ReadPackageVariant(path, variant), row.ok);
        EXPECT_EQ(variant, row.result);
        EXPECT_EQ(GetLastError() == kUnusableSummaryValue, row.unusable);
        ASSERT_FALSE(fake.summaryCounts.empty());
        EXPECT_EQ(fake.summaryCounts[0], 0u) << "the size query comes first";
        if (fake.summaryCounts.size() > 1) {
            EXPECT_EQ(fake.summaryCounts[1], row.variant->size() + 2);
        }
    }
    ExpectEveryHandleClosedOnce(std::size(rows));
}

}  // namespace
