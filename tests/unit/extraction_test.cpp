#include "package/extraction.h"

#include <gtest/gtest.h>

#include <string>

#include "messages/string_ids.h"
#include "test_support.h"

namespace {

struct NameCase {
    std::wstring path;
    std::wstring suffix;
    std::wstring expected;  // empty: no name can be made
};

std::ostream& operator<<(std::ostream& out, const NameCase& c) {
    return out << "path [" << Narrow(c.path) << "] suffix [" << Narrow(c.suffix) << "]";
}

class ExtractNames : public testing::TestWithParam<NameCase> {};

TEST_P(ExtractNames, InsertTheSuffixBeforeTheExtension) {
    std::optional<std::wstring> name = ComposeExtractName(GetParam().path, GetParam().suffix);
    if (GetParam().expected.empty()) {
        EXPECT_FALSE(name.has_value()) << Narrow(name.value_or(L""));
    } else {
        ASSERT_TRUE(name.has_value());
        EXPECT_EQ(*name, GetParam().expected);
    }
}

const std::wstring k250(250, L'd');

INSTANTIATE_TEST_SUITE_P(Table, ExtractNames, testing::Values(
    NameCase{L"C:\\out\\upd.msp", L"_glob", L"C:\\out\\upd_glob.msp"},
    NameCase{L"C:\\upd.msp", L"_lp", L"C:\\upd_lp.msp"},
    NameCase{L"upd.msp", L"_glob", L"upd_glob.msp"},
    NameCase{L"C:\\out\\upd", L"_glob", L"C:\\out\\upd_glob"},
    NameCase{L"C:\\out\\upd.fix.msp", L"_ps", L"C:\\out\\upd.fix_ps.msp"},
    NameCase{L"C:\\out\\", L"_glob", L"C:\\out\\_glob"},
    NameCase{L"C:\\out\\upd.msp", L"", L"C:\\out\\upd.msp"},
    NameCase{L"\\upd.msp", L"_ps", L"\\upd_ps.msp"},
    NameCase{L"C:\\out.d\\upd", L"_lp", L"C:\\out.d\\upd_lp"},
    NameCase{L"\\\\server\\share\\upd.msp", L"_glob", L"\\\\server\\share\\upd_glob.msp"},
    // Capacities: 259 characters for paths, 255 for the file name and for the extension.
    NameCase{L"C:\\" + std::wstring(252, L'n') + L".m", L"", L"C:\\" + std::wstring(252, L'n') + L".m"},
    NameCase{L"C:\\" + std::wstring(255, L'n') + L".m", L"", L""},
    NameCase{L"C:\\" + std::wstring(250, L'n') + L".msp", L"_glob", L""},
    NameCase{std::wstring(255, L'n') + L".m", L"", std::wstring(255, L'n') + L".m"},
    NameCase{std::wstring(256, L'n') + L".m", L"", L""},
    NameCase{std::wstring(250, L'n') + L".m", L"_glob", std::wstring(250, L'n') + L"_glob.m"},
    NameCase{std::wstring(251, L'n') + L".m", L"_glob", L""},
    NameCase{L"a." + std::wstring(254, L'e'), L"", L"a." + std::wstring(254, L'e')},
    NameCase{L"." + std::wstring(255, L'e'), L"", L""},
    NameCase{L"C:\\" + k250 + L"\\u.m", L"_glob", L""},
    NameCase{L"C:\\" + k250 + L"\\u.m", L"", L"C:\\" + k250 + L"\\u.m"}));

class Extraction : public testing::Test {
protected:
    ScopedProcessState state;
    ScopedTempDirectory temp;
};

TEST_F(Extraction, WritesThePackageNextToTheGivenPathWithItsSuffix) {
    std::wstring path = temp.Path() + L"\\upd.msp";
    EXPECT_TRUE(ExtractPackage(path, L"IDR_MSP", IDS_SUFFIX_GLOBAL));
    EXPECT_EQ(path, temp.Path() + L"\\upd_glob.msp");
    EXPECT_EQ(ReadFileText(path), L"GLOB");
    EXPECT_EQ(temp.Files(), std::vector<std::wstring>{L"upd_glob.msp"});
}

TEST_F(Extraction, AnAbsentPackageRewritesThePathAndWritesNothing) {
    std::wstring path = temp.Path() + L"\\upd.msp";
    EXPECT_FALSE(ExtractPackage(path, L"IDR_MSP_LP", IDS_SUFFIX_LANGPACK));
    EXPECT_EQ(path, temp.Path() + L"\\upd_lp.msp");
    EXPECT_TRUE(temp.Files().empty());
}

TEST_F(Extraction, ReplacesAnExistingFileOfTheComposedName) {
    std::wstring existing = temp.Path() + L"\\upd_glob.msp";
    ASSERT_TRUE(WriteFileText(existing, "an older and longer file"));
    std::wstring path = temp.Path() + L"\\upd.msp";
    EXPECT_TRUE(ExtractPackage(path, L"IDR_MSP", IDS_SUFFIX_GLOBAL));
    EXPECT_EQ(ReadFileText(existing), L"GLOB");
}

TEST_F(Extraction, AMissingDirectoryIsNotCreated) {
    std::wstring path = temp.Path() + L"\\missing\\upd.msp";
    EXPECT_FALSE(ExtractPackage(path, L"IDR_MSP", IDS_SUFFIX_GLOBAL));
    EXPECT_EQ(path, temp.Path() + L"\\missing\\upd_glob.msp");
    EXPECT_FALSE(FileExists(temp.Path() + L"\\missing"));
}

TEST_F(Extraction, APathOverItsCapacityFailsAndStaysAsGiven) {
    std::wstring given = temp.Path() + L"\\" + std::wstring(300, L'x') + L".msp";
    std::wstring path = given;
    EXPECT_FALSE(ExtractPackage(path, L"IDR_MSP", IDS_SUFFIX_GLOBAL));
    EXPECT_EQ(path, given);
    EXPECT_TRUE(temp.Files().empty());
}

TEST_F(Extraction, AnEmptyPathGivesNewTemporaryFiles) {
    std::wstring first;
    std::wstring second;
    EXPECT_TRUE(ExtractPackage(first, L"IDR_MSP", 0));
    EXPECT_TRUE(ExtractPackage(second, L"IDR_MSP", IDS_SUFFIX_GLOBAL));
    EXPECT_NE(first, second);
    for (const std::wstring& path : {first, second}) {
        EXPECT_EQ(path.rfind(temp.Path() + L"\\MSP", 0), 0u) << Narrow(path);
        EXPECT_EQ(path.find_first_not_of(L"0123456789", temp.Path().size() + 4), std::wstring::npos)
            << "\"MSP\" and a decimal number, no extension: " << Narrow(path);
        EXPECT_EQ(ReadFileText(path), L"GLOB");
    }
    EXPECT_EQ(temp.Files().size(), 2u);
}

TEST_F(Extraction, AnEmptyPathAndAnAbsentPackageGiveANameButNoFile) {
    std::wstring path;
    EXPECT_FALSE(ExtractPackage(path, L"IDR_MSP_PS", 0));
    EXPECT_EQ(path.rfind(temp.Path() + L"\\MSP", 0), 0u) << Narrow(path);
    EXPECT_TRUE(temp.Files().empty());
}

std::vector<std::wstring> plantedNames;
size_t nextName = 0;
std::wstring PlantedNameSource(const std::wstring&) {
    return plantedNames[std::min(nextName++, plantedNames.size() - 1)];
}

class PlantedNames : public Extraction {
protected:
    void SetUp() override {
        saved_ = TemporaryNameSource;
        TemporaryNameSource = PlantedNameSource;
        nextName = 0;
    }
    void TearDown() override { TemporaryNameSource = saved_; }

private:
    std::wstring (*saved_)(const std::wstring&) = nullptr;
};

TEST_F(PlantedNames, AreNeverWrittenThroughAndAnotherNameIsTaken) {
    std::wstring planted = temp.Path() + L"\\MSP1";
    ASSERT_TRUE(WriteFileText(planted, "planted"));
    plantedNames = {planted, temp.Path() + L"\\MSP2"};
    std::wstring path;
    EXPECT_TRUE(ExtractPackage(path, L"IDR_MSP", 0));
    EXPECT_EQ(path, temp.Path() + L"\\MSP2");
    EXPECT_EQ(ReadFileText(path), L"GLOB");
    EXPECT_EQ(ReadFileText(planted), L"planted");
}

TEST_F(PlantedNames, GiveUpAfterABoundedNumberOfAttempts) {
    std::wstring planted = temp.Path() + L"\\MSP1";
    ASSERT_TRUE(WriteFileText(planted, "planted"));
    plantedNames = {planted};
    std::wstring path;
    EXPECT_FALSE(ExtractPackage(path, L"IDR_MSP", 0));
    EXPECT_EQ(ReadFileText(planted), L"planted");
    EXPECT_EQ(temp.Files(), std::vector<std::wstring>{L"MSP1"});
    EXPECT_LT(nextName, 1000u);
}

TEST_F(Extraction, NoNameWhenTheTemporaryDirectoryDoesNotFit) {
    // GetTempPathW takes TMP as it stands; 1100 characters are more than its buffer holds.
    std::wstring tooLong = L"C:\\" + std::wstring(1100, L't');
    SetEnvironmentVariableW(L"TMP", tooLong.c_str());
    std::wstring path;
    EXPECT_FALSE(ExtractPackage(path, L"IDR_MSP", 0));
    EXPECT_EQ(path, L"");
}

TEST_F(Extraction, NoNameWhenTheTemporaryNameExceedsThePathCapacity) {
    std::wstring longDirectory = temp.Path() + L"\\" + std::wstring(250, L't');
    SetEnvironmentVariableW(L"TMP", longDirectory.c_str());
    std::wstring path;
    EXPECT_FALSE(ExtractPackage(path, L"IDR_MSP", 0));
    EXPECT_EQ(path, L"");
}

TEST_F(Extraction, ALockedPackageCannotBeSwappedAndIsRemovedAfterUse) {
    std::wstring path;
    {
        LockedPackage package;
        ASSERT_TRUE(package.Extract(L"IDR_MSP"));
        path = package.Path();
        EXPECT_EQ(ReadFileText(path), L"GLOB") << "others may still read it";
        HANDLE writer = CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                    nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
        EXPECT_EQ(writer, INVALID_HANDLE_VALUE);
        EXPECT_FALSE(DeleteFileW(path.c_str()));
        EXPECT_FALSE(MoveFileW(path.c_str(), (temp.Path() + L"\\moved").c_str()));
        if (writer != INVALID_HANDLE_VALUE) {
            CloseHandle(writer);
        }
    }
    EXPECT_FALSE(FileExists(path));
    EXPECT_TRUE(temp.Files().empty());
}

TEST_F(Extraction, AnAbsentPackageCannotBeLocked) {
    LockedPackage package;
    EXPECT_FALSE(package.Extract(L"IDR_MSP_LP"));
    EXPECT_EQ(package.Path(), L"");
    EXPECT_TRUE(temp.Files().empty());
}

TEST_F(Extraction, OnlyTheExactBytesOfThePackageCount) {
    const char bytes[] = "GLOB";
    PackageBytes package{bytes, 4};
    struct Row {
        std::string content;
        bool holds;
    } rows[] = {{"GLOB", true}, {"GLOC", false}, {"GLO", false}, {"GLOBB", false}, {"", false}};
    for (const Row& row : rows) {
        std::wstring path = temp.Path() + L"\\candidate";
        ASSERT_TRUE(WriteFileText(path, row.content));
        HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
        ASSERT_NE(file, INVALID_HANDLE_VALUE);
        EXPECT_EQ(FileHoldsPackage(file, package), row.holds) << "content [" << row.content << "]";
        CloseHandle(file);
    }
}

}  // namespace
