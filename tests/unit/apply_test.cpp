#include "patching/apply.h"

#include <gtest/gtest.h>

#include "fake_msi.h"
#include "messages/string_ids.h"
#include "test_support.h"

namespace {

const std::wstring kA = L"{AAAAAAAA-0000-0000-0000-000000000001}";
const std::wstring kB = L"{BBBBBBBB-0000-0000-0000-000000000002}";
const std::wstring kKeywords = L"2.1.0.0;2.0.0.0,2.0.5.0";

FakeProduct Product(const std::wstring& version, const std::wstring& name, const std::wstring& language = L"1033") {
    FakeProduct product;
    product.versionString = version;
    product.productName = name;
    product.language = language;
    return product;
}

FakeProduct With(FakeProduct product, void (*change)(FakeProduct&)) {
    change(product);
    return product;
}

struct ExpectedBox {
    UINT id;
    std::wstring insert;
    LANGID language = 1033;
};

struct ApplyCase {
    const char* name;
    FakePackage package;
    std::map<std::wstring, FakeProduct> products;
    StageResult result;
    std::vector<ExpectedBox> boxes;
    std::vector<std::wstring> patched;  // product codes, in the order they were patched
    std::wstring nameAfter;             // CurrentProductName afterwards
};

std::ostream& operator<<(std::ostream& out, const ApplyCase& c) {
    return out << c.name;
}

// A catalogue message as the user would read it in `language`.
std::wstring MessageText(const ExpectedBox& box) {
    LCID saved = GetThreadLocale();
    SetThreadLocale(MAKELCID(box.language, SORT_DEFAULT));
    std::wstring text = FormatMessageText(LoadText(GetModuleHandleW(nullptr), box.id, kTextLimit), box.insert);
    SetThreadLocale(saved);
    return text;
}

class ApplyTable : public testing::TestWithParam<ApplyCase>, protected FlowSandbox {};

TEST_P(ApplyTable, HandlesEveryAcceptedProduct) {
    const ApplyCase& c = GetParam();
    fake.packages["GLOB"] = c.package;
    fake.products = c.products;
    fake.level = INSTALLUILEVEL_FULL;

    EXPECT_EQ(ApplyEmbeddedPackage(L"IDR_MSP", IDS_UPDATE_FAILED, true), c.result);

    std::vector<std::wstring> shown;
    for (const ShownBox& box : boxes.Boxes()) {
        shown.push_back(box.text);
    }
    std::vector<std::wstring> expected;
    for (const ExpectedBox& box : c.boxes) {
        expected.push_back(MessageText(box));
    }
    EXPECT_EQ(shown, expected);

    std::vector<std::wstring> patched;
    for (const ConfigureCall& call : fake.configureCalls) {
        patched.push_back(call.productCode);
        EXPECT_EQ(call.levelDuringCall, INSTALLUILEVEL_BASIC | INSTALLUILEVEL_HIDECANCEL);
        EXPECT_EQ(call.packageContent, "GLOB");
        EXPECT_TRUE(call.packageLocked) << "the package handed to Windows Installer cannot be swapped";
        EXPECT_EQ(call.logPath, temp.Path() + L"\\" + fake.products[call.productCode].productName + L" SP1.log");
    }
    EXPECT_EQ(patched, c.patched);
    EXPECT_EQ(fake.level, INSTALLUILEVEL_FULL) << "the interface level is restored";
    EXPECT_EQ(CurrentProductName, c.nameAfter);
    EXPECT_TRUE(temp.Files().empty()) << "the package file is removed on every way out";
    EXPECT_TRUE(fake.openHandles.empty());
    EXPECT_TRUE(fake.badCloses.empty());
}

FakePackage Package(const std::wstring& products, const std::wstring& keywords = kKeywords,
                    std::optional<std::wstring> variant = std::nullopt) {
    return FakePackage{products, keywords, variant, {}};
}

void Fails1603(FakeProduct& p) { p.configureResult = ERROR_INSTALL_FAILURE; }
void Reboots(FakeProduct& p) { p.configureResult = ERROR_SUCCESS_REBOOT_REQUIRED; }
void RebootStarted(FakeProduct& p) { p.configureResult = ERROR_SUCCESS_REBOOT_INITIATED; }
void Advertised(FakeProduct& p) { p.state = INSTALLSTATE_ADVERTISED; }
void Absent(FakeProduct& p) { p.state = INSTALLSTATE_ABSENT; }
void VariantPro(FakeProduct& p) { p.variant = L"PRO"; }
void VariantLowerPro(FakeProduct& p) { p.variant = L"pro"; }
void VariantProSpace(FakeProduct& p) { p.variant = L"PRO "; }

const FakeProduct kAlphaAtTarget = Product(L"2.0.5.0", L"Alpha");
const FakeProduct kBetaAtTarget = Product(L"2.0.0.0", L"Beta");

INSTANTIATE_TEST_SUITE_P(Table, ApplyTable, testing::Values(
    ApplyCase{"a product at a target version is patched", Package(kA), {{kA, kAlphaAtTarget}},
              StageResult::Applied, {}, {kA}, L"Alpha"},
    ApplyCase{"a product at the upgrade version is current", Package(kA),
              {{kA, Product(L"2.1.0.0", L"Alpha")}}, StageResult::UpToDate, {}, {}, L"Alpha"},
    ApplyCase{"a product at no listed version gets 308", Package(kA), {{kA, Product(L"1.9.0.0", L"Alpha")}},
              StageResult::Halt, {{IDS_VERSION_MISMATCH, L"Alpha"}}, {}, L"Alpha"},
    ApplyCase{"the walk reaching the upgrade version returns at once", Package(kA + L";" + kB, L"2.1.0.0;2.0.0.0,2.1.0.0,2.0.5.0"),
              {{kA, kAlphaAtTarget}, {kB, Product(L"1.0.0.0", L"Beta")}}, StageResult::UpToDate, {}, {}, L"Alpha"},
    ApplyCase{"versions compare by value", Package(kA, L"2.1.0.0;2.0.05.00"), {{kA, kAlphaAtTarget}},
              StageResult::Applied, {}, {kA}, L"Alpha"},
    ApplyCase{"an installed 2.0.5 is 2.0.0.0", Package(kA), {{kA, Product(L"2.0.5", L"Alpha")}},
              StageResult::Applied, {}, {kA}, L"Alpha"},
    ApplyCase{"an installed 2.0.5 does not match 2.0.5.0 alone", Package(kA, L"2.1.0.0;2.0.5.0"),
              {{kA, Product(L"2.0.5", L"Alpha")}}, StageResult::Halt, {{IDS_VERSION_MISMATCH, L"Alpha"}}, {}, L"Alpha"},
    ApplyCase{"an empty target list matches only 0.0.0.0", Package(kA + L";" + kB, L"2.1.0.0;"),
              {{kA, Product(L"", L"Alpha")}, {kB, Product(L"1.0", L"Beta")}}, StageResult::Applied,
              {{IDS_VERSION_MISMATCH, L"Beta"}}, {kA}, L"Beta"},
    ApplyCase{"an empty entry ends the product list", Package(kA + L";;" + kB),
              {{kA, kAlphaAtTarget}, {kB, kBetaAtTarget}}, StageResult::Applied, {}, {kA}, L"Alpha"},
    ApplyCase{"an empty product list finds nothing", Package(L""), {{kA, kAlphaAtTarget}}, StageResult::Halt,
              {{IDS_PRODUCT_NOT_FOUND, L""}}, {}, L""},
    ApplyCase{"a list beginning with ';' finds nothing", Package(L";" + kA), {{kA, kAlphaAtTarget}},
              StageResult::Halt, {{IDS_PRODUCT_NOT_FOUND, L""}}, {}, L""},
    ApplyCase{"products not installed are not accepted", Package(kA + L";{unknown}"),
              {{kA, With(kAlphaAtTarget, Absent)}}, StageResult::Halt, {{IDS_PRODUCT_NOT_FOUND, L""}}, {}, L""},
    ApplyCase{"a listed code twice is handled twice", Package(kA + L";" + kA), {{kA, kAlphaAtTarget}},
              StageResult::Applied, {}, {kA, kA}, L"Alpha"},
    ApplyCase{"an advertised product is accepted without a variant", Package(kA),
              {{kA, With(kAlphaAtTarget, Advertised)}}, StageResult::Applied, {}, {kA}, L"Alpha"},
    ApplyCase{"the variant must match exactly", Package(kA + L";" + kB, kKeywords, L"PRO"),
              {{kA, With(kAlphaAtTarget, VariantLowerPro)}, {kB, With(kBetaAtTarget, VariantPro)}},
              StageResult::Applied, {}, {kB}, L"Beta"},
    ApplyCase{"nothing is trimmed from a variant", Package(kA, kKeywords, L"PRO"),
              {{kA, With(kAlphaAtTarget, VariantProSpace)}}, StageResult::Halt, {{IDS_PRODUCT_NOT_FOUND, L""}}, {}, L""},
    ApplyCase{"an advertised product has no variant", Package(kA, kKeywords, L"PRO"),
              {{kA, With(With(kAlphaAtTarget, VariantPro), Advertised)}}, StageResult::Halt,
              {{IDS_PRODUCT_NOT_FOUND, L""}}, {}, L""},
    ApplyCase{"a failed product does not undo an applied one", Package(kA + L";" + kB),
              {{kA, kAlphaAtTarget}, {kB, With(kBetaAtTarget, Fails1603)}}, StageResult::Applied,
              {{IDS_UPDATE_FAILED, L"1603"}}, {kA, kB}, L"Beta"},
    ApplyCase{"a failure alone halts", Package(kA), {{kA, With(kAlphaAtTarget, Fails1603)}}, StageResult::Halt,
              {{IDS_UPDATE_FAILED, L"1603"}}, {kA}, L"Alpha"},
    ApplyCase{"3010 is a success", Package(kA), {{kA, With(kAlphaAtTarget, Reboots)}}, StageResult::Applied, {},
              {kA}, L"Alpha"},
    ApplyCase{"1641 is a success", Package(kA), {{kA, With(kAlphaAtTarget, RebootStarted)}}, StageResult::Applied,
              {}, {kA}, L"Alpha"},
    ApplyCase{"the second product reaching the upgrade version ends it all", Package(kA + L";" + kB, L"2.1.0.0;2.0.0.0,2.1.0.0"),
              {{kA, Product(L"2.0.0.0", L"Alpha")}, {kB, Product(L"2.0.5.0", L"Beta")}}, StageResult::UpToDate, {},
              {kA}, L"Beta"},
    ApplyCase{"one current and one at no listed version halts", Package(kA + L";" + kB),
              {{kA, Product(L"2.1.0.0", L"Alpha")}, {kB, Product(L"1.9.0.0", L"Beta")}}, StageResult::Halt,
              {{IDS_VERSION_MISMATCH, L"Beta"}}, {}, L"Beta"},
    ApplyCase{"unreadable keywords show 4316", Package(kA, L"2.1.0.0"), {{kA, kAlphaAtTarget}}, StageResult::Halt,
              {{IDS_UPDATE_FAILED, L"4316"}}, {}, L""},
    ApplyCase{"an unreadable product list shows the read's error",
              FakePackage{kA, kKeywords, std::nullopt, {{7, ERROR_INVALID_PARAMETER}}}, {{kA, kAlphaAtTarget}},
              StageResult::Halt, {{IDS_UPDATE_FAILED, L"87"}}, {}, L""}));

class Apply : public testing::Test, protected FlowSandbox {};

TEST_F(Apply, AnAbsentPackageEndsAtOnceAndKeepsTheAcceptedProducts) {
    AcceptedProducts = {ProductEntry{kA, L"1", L"Earlier", L"1033", L"", L"", L""}};
    EXPECT_EQ(ApplyEmbeddedPackage(L"IDR_MSP_LP", IDS_UPDATE_FAILED, false), StageResult::UpToDate);
    EXPECT_TRUE(boxes.Boxes().empty());
    ASSERT_EQ(AcceptedProducts.size(), 1u);
    EXPECT_EQ(AcceptedProducts[0].productName, L"Earlier");
    EXPECT_TRUE(fake.queriedStates.empty());
    EXPECT_TRUE(temp.Files().empty());
}

TEST_F(Apply, TheCommandLineNamesThePackageAndTheFilesInUseText) {
    fake.packages["GLOB"] = Package(kA);
    fake.products = {{kA, kAlphaAtTarget}};
    Options.quiet = true;
    EXPECT_EQ(ApplyEmbeddedPackage(L"IDR_MSP", IDS_UPDATE_FAILED, true), StageResult::Applied);
    ASSERT_EQ(fake.configureCalls.size(), 1u);
    const std::wstring& command = fake.configureCalls[0].commandLine;
    std::wstring package = command.substr(7, command.find(L'"', 7) - 7);
    EXPECT_EQ(package.rfind(temp.Path() + L"\\MSP", 0), 0u);
    EXPECT_EQ(command, L"PATCH=\"" + package +
                           L"\" REBOOTPROMPT=S FILESINUSETEXT=\"The following applications should be closed before "
                           L"continuing the install:\"");
    EXPECT_EQ(fake.configureCalls[0].levelDuringCall, 0x23) << "the same interface under /q";
    ASSERT_EQ(AcceptedProducts.size(), 1u);
    EXPECT_EQ(AcceptedProducts[0].commandLine, command);
    EXPECT_EQ(AcceptedProducts[0].upgradeVersion, L"2.1.0.0");
    EXPECT_EQ(AcceptedProducts[0].targetVersions, L"2.0.0.0,2.0.5.0");
    EXPECT_EQ(AcceptedProducts[0].installedVersion, L"2.0.5.0");
    EXPECT_EQ(fake.logMode, static_cast<DWORD>(INSTALLLOGMODE_VERBOSE));
}

TEST_F(Apply, MessagesFollowTheLanguageOfEachProduct) {
    fake.packages["GLOB"] = Package(kA + L";" + kB);
    fake.products = {{kA, Product(L"1.0.0.0", L"Alpha", L"1031")}, {kB, Product(L"1.0.0.0", L"Beta", L"1036")}};
    EXPECT_EQ(ApplyEmbeddedPackage(L"IDR_MSP", IDS_UPDATE_FAILED, true), StageResult::Halt);
    ASSERT_EQ(boxes.Boxes().size(), 2u);
    EXPECT_EQ(boxes.Boxes()[0].text, MessageText({IDS_VERSION_MISMATCH, L"Alpha", 1031}));
    EXPECT_EQ(boxes.Boxes()[1].text, MessageText({IDS_VERSION_MISMATCH, L"Beta", 1036}));
    EXPECT_NE(boxes.Boxes()[0].text, MessageText({IDS_VERSION_MISMATCH, L"Alpha", 1033}));
    EXPECT_EQ(LANGIDFROMLCID(GetThreadLocale()), 1036) << "the last product's language stays";
}

TEST_F(Apply, TheLocaleIsResetWhenEveryProductWasCurrent) {
    fake.packages["GLOB"] = Package(kA);
    fake.products = {{kA, Product(L"2.1.0.0", L"Alpha", L"1036")}};
    EXPECT_EQ(ApplyEmbeddedPackage(L"IDR_MSP", IDS_UPDATE_FAILED, true), StageResult::UpToDate);
    EXPECT_EQ(GetThreadLocale(), ConvertDefaultLocale(LOCALE_USER_DEFAULT));
}

TEST_F(Apply, OnlyTheGlobalPackageNamesTheProduct) {
    fake.packages["GLOB"] = Package(kA);
    fake.products = {{kA, Product(L"1.0.0.0", L"Alpha")}};
    CurrentProductName = L"Earlier";
    EXPECT_EQ(ApplyEmbeddedPackage(L"IDR_MSP", IDS_UPDATE_FAILED, false), StageResult::Halt);
    EXPECT_EQ(CurrentProductName, L"Earlier");
    ASSERT_EQ(boxes.Boxes().size(), 1u);
    EXPECT_EQ(boxes.Boxes()[0].text, MessageText({IDS_VERSION_MISMATCH, L"Earlier"}));
}

TEST_F(Apply, TheVariantIsReadAgainForEveryPresentProduct) {
    fake.packages["GLOB"] = Package(kA + L";" + kB + L";{unknown}", kKeywords, L"PRO");
    fake.products = {{kA, With(kAlphaAtTarget, VariantPro)}, {kB, With(kBetaAtTarget, VariantPro)}};
    EXPECT_EQ(ApplyEmbeddedPackage(L"IDR_MSP", IDS_UPDATE_FAILED, true), StageResult::Applied);
    // Keywords and list once each, then the variant for each of the two present products.
    EXPECT_EQ(fake.summaryPaths.size(), 4u);
    EXPECT_TRUE(fake.openHandles.empty());
}

struct LogCase {
    std::wstring directory;
    std::wstring name;
    std::wstring expected;
};

TEST(LogPaths, StayInTheirDirectoryAndWithinTheirCapacity) {
    const std::wstring dir249 = L"C:\\" + std::wstring(246, L'd');
    const LogCase cases[] = {
        {L"C:\\Temp", L"Sample", L"C:\\Temp\\Sample SP1.log"},
        {L"c:", L"Sample", L"c:\\Sample SP1.log"},
        {L"C:\\Temp", L"..\\..\\Windows\\x", L"C:\\Temp\\.._.._Windows_x SP1.log"},
        {L"C:\\Temp", L"a/b:c*d?e\"f<g>h|i\tj", L"C:\\Temp\\a_b_c_d_e_f_g_h_i_j SP1.log"},
        {L"C:\\Temp", L"Caf\u00e9 \u65e5\u672c", L"C:\\Temp\\Caf\u00e9 \u65e5\u672c SP1.log"},
        {L"C:\\Temp", std::wstring(1023, L'n'), L"C:\\Temp\\" + std::wstring(243, L'n') + L" SP1.log"},
        {dir249, L"Sample", dir249 + L"\\S SP1.log"},
        {dir249 + L"d", L"Sample", L"c:\\Sample SP1.log"},
        {L"C:\\Temp", std::wstring(242, L'n') + L"\U0001F600", L"C:\\Temp\\" + std::wstring(242, L'n') + L" SP1.log"},
    };
    for (const LogCase& c : cases) {
        std::wstring path = ComposeLogPath(c.directory, c.name);
        EXPECT_EQ(path, c.expected) << Narrow(c.name);
        EXPECT_LE(path.size(), 259u);
    }
}

TEST(WorkingDirectory, IsTheTemporaryDirectoryCreatedWhenMissingOrElseC) {
    ScopedTempDirectory temp;
    wchar_t buffer[kLogPathCapacity];
    ResolveWorkingDirectory(buffer, kLogPathCapacity);
    EXPECT_EQ(std::wstring(buffer), temp.Path());

    std::wstring missing = temp.Path() + L"\\logs";
    SetEnvironmentVariableW(L"TMP", missing.c_str());
    ResolveWorkingDirectory(buffer, kLogPathCapacity);
    EXPECT_EQ(std::wstring(buffer), missing);
    EXPECT_TRUE(DirectoryExists(missing));
    RemoveDirectoryW(missing.c_str());

    std::wstring tooLong = temp.Path() + L"\\" + std::wstring(258 - temp.Path().size(), L'x');
    SetEnvironmentVariableW(L"TMP", tooLong.c_str());
    ResolveWorkingDirectory(buffer, kLogPathCapacity);
    EXPECT_EQ(std::wstring(buffer), L"c:") << "a path of 259 characters with its backslash needs 260";

    std::wstring uncreatable = temp.Path() + L"\\missing\\deeper";
    SetEnvironmentVariableW(L"TMP", uncreatable.c_str());
    ResolveWorkingDirectory(buffer, kLogPathCapacity);
    EXPECT_EQ(std::wstring(buffer), L"c:");
}

TEST(WorkingDirectory, TrailingBackslashesAndDirectories) {
    const struct {
        std::wstring path, stripped;
    } rows[] = {{L"C:\\Temp\\", L"C:\\Temp"}, {L"C:\\", L"C:\\"}, {L"\\", L""},
                {L"C:\\Temp", L"C:\\Temp"}, {L"C:\\Temp\\\\", L"C:\\Temp\\"}, {L"", L""}};
    for (const auto& row : rows) {
        std::wstring path = row.path;
        StripTrailingBackslash(path);
        EXPECT_EQ(path, row.stripped) << Narrow(row.path);
    }
    ScopedTempDirectory temp;
    ASSERT_TRUE(WriteFileText(temp.Path() + L"\\file", "x"));
    EXPECT_TRUE(DirectoryExists(temp.Path()));
    EXPECT_FALSE(DirectoryExists(temp.Path() + L"\\file"));
    EXPECT_FALSE(DirectoryExists(temp.Path() + L"\\missing"));
}

}  // namespace
