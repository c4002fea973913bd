#include "messages/message_box.h"

#include <gtest/gtest.h>

#include "messages/string_ids.h"
#include "test_support.h"

namespace {

class Messages : public testing::Test {
protected:
    ScopedProcessState state;
    BoxRecorder boxes;
};

struct HandlingCase {
    UINT id;
    std::wstring text;  // English, with the product "Sample" and the error 1603 inserted
    std::wstring caption;
    UINT style;
};

TEST_F(Messages, EachIdHasItsTextCaptionAndStyle) {
    const HandlingCase cases[] = {
        {IDS_UPDATE_FAILED,
         L"A problem prevented the Update from being installed. Contact your system administrator. \n\n Error Code: 1603",
         L"Installation Error", 0x50010},
        {IDS_UPDATE_SUCCEEDED, L"The update was successfully installed and Sample has been updated.",
         L"Installation Successful", 0x50040},
        {IDS_ALREADY_CURRENT, L"Your version of Sample is up-to-date and this update is not necessary",
         L"Installation Unnecessary", 0x50010},
        {IDS_PRODUCT_NOT_FOUND,
         L"The update could not be installed because the expected Vantorel product could not be located on your "
         L"computer.\nMake sure that you are using the correct update for the product.",
         L"Installation Error", 0x50010},
        {IDS_VERSION_MISMATCH,
         L"This update could not be installed because it is not designed for the version of Sample that is "
         L"installed on your computer.",
         L"Installation Error", 0x50010},
        {IDS_BAD_COMMAND_LINE, L"The command line that you supplied is incorrect. Please check it for errors.",
         L"Installation Error", 0x50010},
        {IDS_NO_PATCH_LIST, L"You must supply a patch list with the command line to install this update.",
         L"Installation Error", 0x50010},
        {IDS_INSTALL_BLOCKED,
         L"Installation of this update is blocked.  For more information, please read Information for Windows "
         L"Vista Users in the update readme.",
         L"Installation Error", 0x50010},
        // An id outside the table: its own text, the caption "Error", no icon.
        {IDS_FILES_IN_USE, L"The following applications should be closed before continuing the install:", L"Error",
         0x50000},
        {305, L"", L"Error", 0x50000},
    };
    CurrentProductName = L"Sample";
    for (const HandlingCase& c : cases) {
        SetLastError(1603);
        ShowMessage(c.id);
        ASSERT_FALSE(boxes.Boxes().empty());
        const ShownBox& box = boxes.Boxes().back();
        EXPECT_EQ(box.text, c.text) << "id " << c.id;
        EXPECT_EQ(box.caption, c.caption) << "id " << c.id;
        EXPECT_EQ(box.style, c.style) << "id " << c.id;
        EXPECT_EQ(box.owner, nullptr);
    }
    EXPECT_EQ(boxes.Boxes().size(), std::size(cases));
}

TEST_F(Messages, QuietShowsNothingAndLeavesTheLastErrorAlone) {
    Options.quiet = true;
    for (UINT id : {300u, 301u, 306u, 307u, 308u, 309u, 310u, 314u}) {
        SetLastError(1234);
        ShowMessage(id);
        EXPECT_EQ(GetLastError(), 1234u);
    }
    EXPECT_TRUE(boxes.Boxes().empty());
}

TEST_F(Messages, TheErrorCodeIsTheLastErrorAsASignedNumber) {
    const struct {
        DWORD error;
        const wchar_t* shown;
    } rows[] = {{0, L"0"}, {4316, L"4316"}, {0x7fffffff, L"2147483647"}, {0x80000000, L"-2147483648"},
                {0x80070643, L"-2147023293"}, {0xffffffff, L"-1"}};
    for (const auto& row : rows) {
        SetLastError(row.error);
        ShowMessage(IDS_UPDATE_FAILED);
        const std::wstring& text = boxes.Boxes().back().text;
        EXPECT_EQ(text.substr(text.rfind(L' ') + 1), row.shown);
    }
}

TEST_F(Messages, ProductNamesAreInsertedWhole) {
    const std::wstring names[] = {L"", L"100% sure %s %d", std::wstring(1023, L'N'), L"Caf\u00e9 \u65e5\u672c"};
    for (const std::wstring& name : names) {
        CurrentProductName = name;
        ShowMessage(IDS_UPDATE_SUCCEEDED);
        EXPECT_EQ(boxes.Boxes().back().text, L"The update was successfully installed and " + name + L" has been updated.");
    }
}

TEST(MessageText, FormattingTakesTheInsertLiterally) {
    EXPECT_EQ(FormatMessageText(L"a %s b", L"%d%s"), L"a %d%s b");
    EXPECT_EQ(FormatMessageText(L"100%% %d", L"7"), L"100% 7");
    EXPECT_EQ(FormatMessageText(L"stray % and %x and %", L"7"), L"stray % and %x and %");
    EXPECT_EQ(FormatMessageText(L"no placeholder", L"7"), L"no placeholder");
}

struct LanguageCase {
    LANGID thread;
    LANGID table;  // 0: the platform's own choice
};

TEST(TableLanguage, FollowsTheThreadLanguageOrItsRelative) {
    const LanguageCase cases[] = {
        {1028, 1028}, {1029, 1029}, {1031, 1031}, {1033, 1033}, {1036, 1036}, {1038, 1038}, {1040, 1040},
        {1041, 1041}, {1042, 1042}, {1045, 1045}, {1046, 1046}, {1049, 1049}, {2052, 2052}, {3082, 3082},
        {2055, 1031},  // German (Switzerland)
        {3079, 1031},  // German (Austria)
        {3084, 1036},  // French (Canada)
        {2057, 1033},  // English (United Kingdom)
        {1034, 3082},  // Spanish (traditional sort)
        {2058, 3082},  // Spanish (Mexico)
        {2070, 1046},  // Portuguese (Portugal)
        {3076, 1028},  // Chinese (Hong Kong)
        {5124, 1028},  // Chinese (Macao)
        {4100, 2052},  // Chinese (Singapore)
        {1043, 0},     // Dutch: not in the table
        {0, 0},
    };
    HMODULE module = GetModuleHandleW(nullptr);
    for (const LanguageCase& c : cases) {
        for (UINT id : {IDS_UPDATE_FAILED, IDS_FILES_IN_USE, IDS_SUFFIX_PRODUCT}) {
            EXPECT_EQ(ChooseTableLanguage(module, id, c.thread), c.table) << "thread language " << c.thread;
        }
    }
}

TEST(TableLanguage, LoadTextUsesTheThreadLocale) {
    ScopedProcessState state;
    HMODULE module = GetModuleHandleW(nullptr);
    SetThreadLocale(MAKELCID(1031, SORT_DEFAULT));
    std::wstring german = LoadText(module, IDS_CAPTION_ERROR, kTextLimit);
    SetThreadLocale(MAKELCID(2055, SORT_DEFAULT));
    EXPECT_EQ(LoadText(module, IDS_CAPTION_ERROR, kTextLimit), german);
    EXPECT_NE(german, English(IDS_CAPTION_ERROR));
    EXPECT_FALSE(german.empty());
}

TEST(TableLanguage, LoadTextCutsAtTheLimitAndGivesEmptyForMissingIds) {
    ScopedProcessState state;
    HMODULE module = GetModuleHandleW(nullptr);
    EXPECT_EQ(LoadText(module, IDS_CAPTION_ERROR, 6), L"Insta");
    EXPECT_EQ(LoadText(module, IDS_CAPTION_ERROR, 1), L"");
    EXPECT_EQ(LoadText(module, IDS_CAPTION_ERROR, 0), L"");
    EXPECT_EQ(LoadText(module, 303, kTextLimit), L"");
    EXPECT_EQ(LoadText(module, 4000, kTextLimit), L"");
}

}  // namespace
