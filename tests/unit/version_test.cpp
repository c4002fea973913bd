#include "patching/version.h"

#include <gtest/gtest.h>

namespace {

struct VersionCase {
    const wchar_t* text;
    const wchar_t* expected;
};

std::ostream& operator<<(std::ostream& out, const VersionCase& c) {
    std::wstring text = c.text;
    return out << "text [" << std::string(text.begin(), text.end()) << "]";
}

class ParseVersionRows : public testing::TestWithParam<VersionCase> {};

TEST_P(ParseVersionRows, GiveTheFourComponents) {
    EXPECT_EQ(FormatVersion(ParseVersion(GetParam().text)), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Table, ParseVersionRows, testing::Values(
    VersionCase{L"6.1.104.01", L"6.1.104.1"},
    VersionCase{L"6,0,51,05", L"6.0.51.5"},
    VersionCase{L"2.0.05.00", L"2.0.5.0"},
    VersionCase{L"1.2.3.4.5", L"1.2.3.4"},
    VersionCase{L"1.2.3", L"1.2.0.0"},
    VersionCase{L"1.2", L"1.0.0.0"},
    VersionCase{L"7", L"0.0.0.0"},
    VersionCase{L"", L"0.0.0.0"},
    VersionCase{L".5.6.7", L"0.5.6.7"},
    VersionCase{L" 1. 2.x3.4", L"1.2.0.4"},
    VersionCase{L"\t+3.-0.0.0", L"3.0.0.0"},
    VersionCase{L"-1.0.0.0", L"65535.0.0.0"},
    VersionCase{L"65536.0.0.0", L"0.0.0.0"},
    VersionCase{L"65535.65535.65535.65535", L"65535.65535.65535.65535"},
    VersionCase{L"99999999999.0.0.0", L"65535.0.0.0"},    // held at 2147483647
    VersionCase{L"-99999999999.0.0.0", L"0.0.0.0"},       // held at -2147483648
    VersionCase{L"2147483648.0.0.1", L"65535.0.0.1"},
    VersionCase{L"1.2.3.4abc", L"1.2.3.4"},
    VersionCase{L"\uFF11.2.3.4", L"0.2.3.4"}));             // only ASCII digits count

TEST(Versions, CompareByValueAfterParsing) {
    EXPECT_TRUE(VersionsEqual(ParseVersion(L"2.0.5.0"), ParseVersion(L"2.0.05.00")));
    EXPECT_FALSE(VersionsEqual(ParseVersion(L"2.0.5"), ParseVersion(L"2.0.5.0")));
    EXPECT_FALSE(VersionsEqual(ParseVersion(L"1.0.0.1"), ParseVersion(L"1.0.0.2")));
}

TEST(Versions, DecimalConversionClampsToTheSigned32BitRange) {
    EXPECT_EQ(ParseDecimal(L"1033"), 1033);
    EXPECT_EQ(ParseDecimal(L""), 0);
    EXPECT_EQ(ParseDecimal(L"  -42x"), -42);
    EXPECT_EQ(ParseDecimal(L"2147483647"), 2147483647);
    EXPECT_EQ(ParseDecimal(L"2147483648"), 2147483647);
    EXPECT_EQ(ParseDecimal(L"-2147483648"), -2147483647 - 1);
    EXPECT_EQ(ParseDecimal(L"-2147483649"), -2147483647 - 1);
    EXPECT_EQ(ParseDecimal(L"123456789012345678901234567890"), 2147483647);
}

}  // namespace
