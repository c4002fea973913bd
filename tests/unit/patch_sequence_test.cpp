#include "launcher/patch_sequence.h"

#include <gtest/gtest.h>

#include "fake_msi.h"
#include "messages/string_ids.h"
#include "test_support.h"

namespace {

const wchar_t* const kCodes[] = {L"{00000000-0000-0000-0000-00000000000A}", L"{00000000-0000-0000-0000-00000000000B}",
                                 L"{00000000-0000-0000-0000-00000000000C}"};
const wchar_t* const kNames[] = {L"Global", L"Pack", L"Specific"};
const char* const kPackages[] = {"GLOB", "LP", "PS"};

// What one stage meets: A a product at a target version, U a product already current,
// H no product of the package installed, F a product whose patching fails with 1603.
void Arrange(FakeMsi& fake, const std::string& stages) {
    for (size_t i = 0; i < stages.size(); ++i) {
        fake.packages[kPackages[i]] = FakePackage{kCodes[i], L"2.0.0.0;1.0.0.0", std::nullopt, {}};
        FakeProduct product;
        product.productName = kNames[i];
        product.versionString = stages[i] == 'U' ? L"2.0.0.0" : L"1.0.0.0";
        product.state = stages[i] == 'H' ? INSTALLSTATE_UNKNOWN : INSTALLSTATE_DEFAULT;
        product.configureResult = stages[i] == 'F' ? ERROR_INSTALL_FAILURE : ERROR_SUCCESS;
        fake.products[kCodes[i]] = product;
    }
}

struct SequenceCase {
    std::string stages;
    bool threePackages;  // else the module carries "IDR_MSP" alone
    std::vector<std::wstring> boxes;
    size_t stagesRun;
};

std::ostream& operator<<(std::ostream& out, const SequenceCase& c) {
    return out << c.stages << (c.threePackages ? " of three packages" : " of the global package alone");
}

std::wstring Say(UINT id, const std::wstring& insert) {
    return FormatMessageText(English(id), insert);
}

class Sequence : public testing::TestWithParam<SequenceCase>, protected FlowSandbox {};

TEST_P(Sequence, ShowsOneVerdictUnlessAStageHalted) {
    const SequenceCase& c = GetParam();
    ASSERT_NE(ThreePackageModule(), nullptr);
    if (c.threePackages) {
        ModuleHandle = ThreePackageModule();
    }
    Arrange(fake, c.stages);
    ApplyPatchSequence();

    std::vector<std::wstring> shown;
    for (const ShownBox& box : boxes.Boxes()) {
        shown.push_back(box.text);
    }
    EXPECT_EQ(shown, c.boxes);
    EXPECT_EQ(fake.queriedStates.size(), c.stagesRun) << "one product per stage";
    EXPECT_TRUE(temp.Files().empty());
}

INSTANTIATE_TEST_SUITE_P(Table, Sequence, testing::Values(
    SequenceCase{"HUU", true, {Say(IDS_PRODUCT_NOT_FOUND, L"")}, 1},
    SequenceCase{"FUU", true, {Say(IDS_UPDATE_FAILED, L"1603")}, 1},
    SequenceCase{"AHU", true, {Say(IDS_PRODUCT_NOT_FOUND, L"")}, 2},
    SequenceCase{"AFU", true, {Say(IDS_UPDATE_FAILED, L"1603")}, 2},
    SequenceCase{"AUH", true, {Say(IDS_PRODUCT_NOT_FOUND, L"")}, 3},
    SequenceCase{"UAU", true, {Say(IDS_UPDATE_SUCCEEDED, L"Global")}, 3},
    SequenceCase{"UUA", true, {Say(IDS_UPDATE_SUCCEEDED, L"Global")}, 3},
    SequenceCase{"AAA", true, {Say(IDS_UPDATE_SUCCEEDED, L"Global")}, 3},
    SequenceCase{"AUU", true, {Say(IDS_UPDATE_SUCCEEDED, L"Global")}, 3},
    SequenceCase{"UUU", true, {Say(IDS_ALREADY_CURRENT, L"Global")}, 3},
    SequenceCase{"A", false, {Say(IDS_UPDATE_SUCCEEDED, L"Global")}, 1},
    SequenceCase{"U", false, {Say(IDS_ALREADY_CURRENT, L"Global")}, 1},
    SequenceCase{"H", false, {Say(IDS_PRODUCT_NOT_FOUND, L"")}, 1}));

class SequenceRun : public testing::Test, protected FlowSandbox {};

TEST_F(SequenceRun, WithoutPackagesSaysCurrentWithNoProductName) {
    ModuleHandle = ThreePackageModule();
    // A temporary directory that does not exist: no package can be written out.
    std::wstring missing = temp.Path() + L"\\missing";
    SetEnvironmentVariableW(L"TMP", missing.c_str());
    ApplyPatchSequence();
    ASSERT_EQ(boxes.Boxes().size(), 1u);
    EXPECT_EQ(boxes.Boxes()[0].text, Say(IDS_ALREADY_CURRENT, L""));
    EXPECT_TRUE(fake.queriedStates.empty());
}

TEST_F(SequenceRun, QuietRunsEveryStageAndShowsNothing) {
    ModuleHandle = ThreePackageModule();
    Options.quiet = true;
    Arrange(fake, "AUA");
    ApplyPatchSequence();
    EXPECT_TRUE(boxes.Boxes().empty());
    EXPECT_EQ(fake.configureCalls.size(), 2u);
    for (const ConfigureCall& call : fake.configureCalls) {
        EXPECT_EQ(call.levelDuringCall, 0x23);
    }
}

}  // namespace
