// The summary readers on packages made by the fixture builders, read by the real msi.dll.
#include <gtest/gtest.h>

#include <windows.h>
#include <msiquery.h>

#include "catalog.h"
#include "installer.h"
#include "package/summary.h"

namespace {

struct KeywordsRow {
    const wchar_t* package;
    bool ok;
    std::wstring upgrade, targets;
};

class SummaryOnMsi : public testing::Test {
protected:
    void TearDown() override {
        EXPECT_EQ(handles.Opened(), handles.Closed()) << "every summary handle is closed exactly once";
    }
    HandleCounter handles;
};

TEST_F(SummaryOnMsi, ProductListsAreReadWhole) {
    const struct {
        const wchar_t* package;
        std::wstring list;
    } rows[] = {
        {L"summary_60_codes.msp", kSixtyCodes},
        {L"summary_empty.msp", L""},
        {L"summary_absent.msp", L""},
        {L"demo.msp", kDemoCode},
    };
    for (const auto& row : rows) {
        std::wstring list = L"keep";
        EXPECT_TRUE(ReadTargetProductList(Fixture(row.package), list));
        EXPECT_EQ(list, row.list);
    }
    EXPECT_EQ(std::wstring(kSixtyCodes).size(), 2339u);
    EXPECT_EQ(handles.Opened(), 4);
}

TEST_F(SummaryOnMsi, KeywordsSplitOrFailWith4316) {
    const KeywordsRow rows[] = {
        {L"summary_60_codes.msp", true, L"2.1.30.0", L"2.0.12.7,2.0.15.0"},
        {L"summary_accented.msp", true, L"2.1", L"2.0;1.9"},
        {L"summary_long_variant.msp", true, L"2.1", L""},
        {L"demo.msp", true, L"2.0.0.0", L"1.0.0.0"},
        {L"summary_no_separator.msp", false, L"keep", L"keep"},
        {L"summary_leading_separator.msp", false, L"keep", L"keep"},
        {L"summary_empty.msp", false, L"keep", L"keep"},
        {L"summary_absent.msp", false, L"keep", L"keep"},
    };
    for (const KeywordsRow& row : rows) {
        std::wstring upgrade = L"keep", targets = L"keep";
        SetLastError(0);
        EXPECT_EQ(ReadVersionKeywords(Fixture(row.package), upgrade, targets), row.ok);
        EXPECT_EQ(upgrade, row.upgrade);
        EXPECT_EQ(targets, row.targets);
        if (!row.ok) {
            EXPECT_EQ(GetLastError(), kUnusableSummaryValue);
        }
    }
}

TEST_F(SummaryOnMsi, VariantsAreReadAfterTheirSize) {
    const struct {
        const wchar_t* package;
        bool ok;
        std::wstring variant;
    } rows[] = {
        {L"summary_60_codes.msp", true, L"PRO-7"},
        {L"summary_accented.msp", true, L"Gr\u00f6\u00dfe-\u00c7a"},
        {L"summary_long_variant.msp", true, std::wstring(3000, L'L')},
        {L"summary_empty.msp", false, L"keep"},
        {L"summary_absent.msp", false, L"keep"},
        {L"demo.msp", false, L"keep"},
    };
    for (const auto& row : rows) {
        std::wstring variant = L"keep";
        SetLastError(0);
        EXPECT_EQ(ReadPackageVariant(Fixture(row.package), variant), row.ok) << row.package;
        EXPECT_EQ(variant, row.variant);
        EXPECT_NE(GetLastError(), kUnusableSummaryValue);
    }
}

TEST_F(SummaryOnMsi, ARelativePathIsTakenAgainstTheCurrentDirectory) {
    wchar_t saved[MAX_PATH];
    GetCurrentDirectoryW(MAX_PATH, saved);
    ASSERT_TRUE(SetCurrentDirectoryW(FixturesDirectory.c_str()));
    std::wstring list;
    bool read = ReadTargetProductList(L"demo.msp", list);
    SetCurrentDirectoryW(saved);
    EXPECT_TRUE(read);
    EXPECT_EQ(list, kDemoCode);
}

TEST_F(SummaryOnMsi, WhatIsNoPackageFailsWithTheInstallersReason) {
    for (const std::wstring& path : {Fixture(L"missing.msp"), Fixture(L"catalog.json")}) {
        MSIHANDLE summary = 0;
        const UINT reason = MsiGetSummaryInformationW(0, path.c_str(), 0, &summary);
        ASSERT_NE(reason, 0u);
        std::wstring list = L"keep";
        EXPECT_FALSE(ReadTargetProductList(path, list));
        EXPECT_EQ(GetLastError(), reason) << "the failure message shows why the package is unreadable";
        EXPECT_EQ(list, L"keep");
    }
    EXPECT_EQ(handles.Opened(), 0);
}

}  // namespace
