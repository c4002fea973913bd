#include "launcher/command_line.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

struct SwitchCase {
    std::vector<std::wstring> arguments;  // after the program's own path
    bool quiet, extract, apply, report;
    std::wstring extractPath;
};

std::ostream& operator<<(std::ostream& out, const SwitchCase& c) {
    out << "arguments:";
    for (const std::wstring& argument : c.arguments) {
        out << " [" << std::string(argument.begin(), argument.end()) << "]";
    }
    return out;
}

LaunchOptions Parse(const std::vector<std::wstring>& arguments, StorePathFunction store = StorePath) {
    std::vector<const wchar_t*> argv{L"C:\\launcher.exe"};
    for (const std::wstring& argument : arguments) {
        argv.push_back(argument.c_str());
    }
    LaunchOptions options;
    ParseArguments(static_cast<int>(argv.size()), argv.data(), options, store);
    return options;
}

class SwitchRules : public testing::TestWithParam<SwitchCase> {};

TEST_P(SwitchRules, DecideTheFlows) {
    const SwitchCase& c = GetParam();
    LaunchOptions options = Parse(c.arguments);
    EXPECT_EQ(options.quiet, c.quiet);
    EXPECT_EQ(options.extract, c.extract);
    EXPECT_EQ(options.apply, c.apply);
    EXPECT_EQ(options.report, c.report);
    EXPECT_EQ(options.extractPath, c.extractPath);
}

//                                   arguments                          quiet  extract apply  report path
INSTANTIATE_TEST_SUITE_P(Table, SwitchRules, testing::Values(
    SwitchCase{{},                                                   false, false, true,  false, L""},
    SwitchCase{{L"/q"},                                              true,  false, true,  false, L""},
    SwitchCase{{L"/Q", L"/q"},                                       true,  false, true,  false, L""},
    SwitchCase{{L"/quiet"},                                          false, false, true,  false, L""},
    SwitchCase{{L"-q"},                                              false, false, true,  false, L""},
    SwitchCase{{L"q"},                                               false, false, true,  false, L""},
    SwitchCase{{L"/e"},                                              false, true,  false, false, L""},
    SwitchCase{{L"/E", L"C:\\out\\upd.msp"},                         false, true,  false, false, L"C:\\out\\upd.msp"},
    SwitchCase{{L"/e", L"a.msp", L"/e", L"b.msp"},                   false, true,  false, false, L"b.msp"},
    SwitchCase{{L"/e", L"a.msp", L"/e"},                             false, true,  false, false, L"a.msp"},
    SwitchCase{{L"/e", L"/q"},                                       false, true,  false, false, L"/q"},
    SwitchCase{{L"/e", L""},                                         false, true,  false, false, L""},
    SwitchCase{{L"/e", L"a.msp", L"/i"},                             false, true,  false, true,  L"a.msp"},
    SwitchCase{{L"/e", L"/i"},                                       false, true,  false, false, L"/i"},
    SwitchCase{{L"/i", L"/e", L"a.msp"},                             false, false, false, true,  L""},
    SwitchCase{{L"/I", L"/q"},                                       false, false, false, true,  L""},
    SwitchCase{{L"/q", L"/i"},                                       true,  false, false, true,  L""},
    SwitchCase{{L"/pi"},                                             false, false, false, false, L""},
    SwitchCase{{L"/Pi", L"/e", L"a.msp"},                            false, false, false, false, L""},
    SwitchCase{{L"/e", L"a.msp", L"/pi", L"/i"},                     false, true,  false, false, L"a.msp"},
    SwitchCase{{L"/pie"},                                            false, false, true,  false, L""},
    // Only A to Z fold: a dotless capital I or a Kelvin sign never matches.
    SwitchCase{{L"/\u0130"},                                         false, false, true,  false, L""},
    SwitchCase{{L"/\u212A"},                                         false, false, true,  false, L""},
    SwitchCase{{L"unknown", L"/x", L"/q"},                           true,  false, true,  false, L""}));

bool OutOfMemory(std::wstring&, const wchar_t*) {
    return false;
}

TEST(SwitchParse, OutOfMemoryForThePathEndsTheParseAtThatArgument) {
    LaunchOptions options = Parse({L"/q", L"/e", L"C:\\out\\upd.msp", L"/i"}, OutOfMemory);
    EXPECT_TRUE(options.quiet);
    EXPECT_TRUE(options.extract);
    EXPECT_FALSE(options.apply);
    EXPECT_FALSE(options.report) << "the parse ended before /i";
    EXPECT_EQ(options.extractPath, L"");
}

TEST(SwitchParse, EveryParseStartsFromTheStartingValuesButKeepsReport) {
    LaunchOptions options;
    options.quiet = true;
    options.extract = true;
    options.apply = false;
    options.report = true;
    options.extractPath = L"old";
    ParseArguments(0, nullptr, options);
    EXPECT_FALSE(options.quiet);
    EXPECT_FALSE(options.extract);
    EXPECT_TRUE(options.apply);
    EXPECT_TRUE(options.report);
    EXPECT_EQ(options.extractPath, L"");
}

}  // namespace
