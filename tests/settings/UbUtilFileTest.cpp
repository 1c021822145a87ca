#include "settings/UbUtilFile.h"

#include "platform/Exceptions.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <sys/stat.h>
#include <unistd.h>

namespace parlino {
namespace {

namespace fs = std::filesystem;

class UbUtilFileTest : public ::testing::Test {
protected:
    void SetUp() override {
        Folder = fs::temp_directory_path() / ("parlino-files-" + std::to_string(::getpid()));
        fs::remove_all(Folder);
        fs::create_directories(Folder);
    }
    void TearDown() override {
        std::error_code error;
        fs::permissions(Folder, fs::perms::owner_all, fs::perm_options::add, error);
        fs::remove_all(Folder);
    }
    void Touch(const std::string& name, size_t size = 0) {
        std::ofstream(Folder / name, std::ios::binary) << std::string(size, 'x');
    }
    TStringList Names(const std::string& mask) { return FindFileNames(Folder.string(), mask); }
    fs::path Folder;
};

TEST_F(UbUtilFileTest, DictionariesOfAFolderSortedWithoutCase) {
    Touch("b.dic");
    Touch("A.dic");
    Touch("c.txt");
    fs::create_directory(Folder / "d.dic");
    EXPECT_EQ(Names("*.dic"), (TStringList{"A.dic", "b.dic"}));
    EXPECT_EQ(FindFileNames(Folder.string() + "/", "*.dic"), (TStringList{"A.dic", "b.dic"}));
}

TEST_F(UbUtilFileTest, HiddenAndReadOnlyFilesAreListed) {
    Touch(".hidden.dic");
    Touch("locked.dic");
    fs::permissions(Folder / "locked.dic", fs::perms::owner_read);
    Touch("unreadable.dic");
    fs::permissions(Folder / "unreadable.dic", fs::perms::none);
    EXPECT_EQ(Names("*.dic"), (TStringList{".hidden.dic", "locked.dic", "unreadable.dic"}));
}

TEST_F(UbUtilFileTest, EmptyMaskListsEveryPlainFile) {
    Touch("one");
    Touch("two.txt");
    fs::create_directory(Folder / "sub");
    EXPECT_EQ(Names(""), (TStringList{"one", "two.txt"}));
    EXPECT_EQ(Names("*"), (TStringList{"one", "two.txt"}));
    EXPECT_EQ(Names("*.*"), (TStringList{"one", "two.txt"}));
}

TEST_F(UbUtilFileTest, OnlyRegularFilesAndLinksToThemCount) {
    Touch("real.dic");
    fs::create_symlink(Folder / "real.dic", Folder / "link.dic");
    fs::create_directory(Folder / "dir");
    fs::create_directory_symlink(Folder / "dir", Folder / "dirlink.dic");
    fs::create_symlink(Folder / "gone", Folder / "dangling.dic");
    ASSERT_EQ(::mkfifo((Folder / "pipe.dic").c_str(), 0600), 0);
    EXPECT_EQ(Names("*.dic"), (TStringList{"link.dic", "real.dic"}));
}

TEST_F(UbUtilFileTest, MaskMatchesInEitherCase) {
    Touch("Upper.DIC");
    Touch("lower.dic");
    Touch("x.dicx");
    Touch("dic");
    Touch("a.dic.bak");
    EXPECT_EQ(Names("*.dic"), (TStringList{"lower.dic", "Upper.DIC"}));
    EXPECT_EQ(Names("*.DiC"), (TStringList{"lower.dic", "Upper.DIC"}));
    EXPECT_EQ(Names("?????.dic"), (TStringList{"lower.dic", "Upper.DIC"}));
    EXPECT_EQ(Names("u*"), (TStringList{"Upper.DIC"}));
    EXPECT_EQ(Names("*dic*"),
              (TStringList{"a.dic.bak", "dic", "lower.dic", "Upper.DIC", "x.dicx"}));
}

TEST(MatchesMaskTest, Wildcards) {
    EXPECT_TRUE(MatchesMask("abc", "a*c"));
    EXPECT_TRUE(MatchesMask("ac", "a*c"));
    EXPECT_FALSE(MatchesMask("ab", "a*c"));
    EXPECT_TRUE(MatchesMask("a.b.c", "*.c"));
    EXPECT_FALSE(MatchesMask("abc", "??"));
    EXPECT_TRUE(MatchesMask("\xD0\x9F\xD1\x80\xD0\xB8.dic",
                            "\xD0\xBF\xD0\xA0\xD0\x98.DIC")); // "При" and "пРИ"
    EXPECT_TRUE(MatchesMask("\xFF.dic", "?.dic")); // a byte that is no UTF-8 is one character
    // Many stars on a long name end quickly.
    EXPECT_FALSE(MatchesMask(std::string(5000, 'a'), std::string(50, '*') + "b"));
}

TEST_F(UbUtilFileTest, SortIgnoresCaseAlsoBeyondAscii) {
    // "яблоко", "Арбуз", "банан" (UTF-8 names), "Zeta", "alpha".
    for (const char* name : {"\xD1\x8F\xD0\xB1.dic", "\xD0\x90\xD1\x80.dic", "\xD0\xB1\xD0\xB0.dic",
                             "Zeta.dic", "alpha.dic", "ALPHA.dic"})
        Touch(name);
    EXPECT_EQ(Names("*.dic"),
              (TStringList{"ALPHA.dic", "alpha.dic", "Zeta.dic", "\xD0\x90\xD1\x80.dic",
                           "\xD0\xB1\xD0\xB0.dic", "\xD1\x8F\xD0\xB1.dic"}));
    EXPECT_LT(CompareTextIgnoringCase("apple", "Banana"), 0);
    EXPECT_EQ(CompareTextIgnoringCase("same", "same"), 0);
    EXPECT_NE(CompareTextIgnoringCase("Same", "same"), 0); // a fixed order, not equal
}

TEST_F(UbUtilFileTest, ListFilesGivesNameKindAndSize) {
    Touch("five.dic", 5);
    Touch("empty.dic");
    fs::create_directory(Folder / "folder.dic");
    TFilesList list;
    list.Add().FileName = "stale";
    ASSERT_EQ(ListFiles(list, Folder.string(), "*.dic"), 2);
    ASSERT_EQ(list.Count(), 2);
    std::vector<std::pair<std::string, int32_t>> found;
    for (int k = 0; k < list.Count(); ++k) {
        EXPECT_EQ(list[k].FileKind, TFileKind::fkFile);
        found.emplace_back(list[k].FileName, list[k].FileSize);
    }
    std::sort(found.begin(), found.end());
    EXPECT_EQ(found,
              (std::vector<std::pair<std::string, int32_t>>{{"empty.dic", 0}, {"five.dic", 5}}));
    EXPECT_THROW(list[2], EParlinoError);
    EXPECT_THROW(list[-1], EParlinoError);
}

TEST_F(UbUtilFileTest, MissingOrUnreadableFolderGivesNothing) {
    TFilesList list;
    list.Add();
    EXPECT_EQ(ListFiles(list, (Folder / "missing").string(), "*"), 0);
    EXPECT_EQ(list.Count(), 0);
    Touch("file");
    EXPECT_EQ(ListFiles(list, (Folder / "file").string(), "*"), 0);
    EXPECT_TRUE(FindFileNames((Folder / "missing").string(), "*.dic").empty());
}

TEST_F(UbUtilFileTest, MaskMayNameASubFolder) {
    fs::create_directory(Folder / "Dic");
    std::ofstream(Folder / "Dic" / "in.dic") << "x";
    Touch("out.dic");
    EXPECT_EQ(Names("Dic/*.dic"), TStringList{"in.dic"});
}

TEST_F(UbUtilFileTest, FilesOver2GBReportTheLargestSizeAndNewItemsStartEmpty) {
    Touch("huge.dic");
    fs::resize_file(Folder / "huge.dic", uint64_t{3} << 30); // sparse: no disk used
    TFilesList list;
    ASSERT_EQ(ListFiles(list, Folder.string(), "*.dic"), 1);
    EXPECT_EQ(list[0].FileSize, INT32_MAX);
    // An item added to a filled list starts empty and leaves the others alone.
    const TFilesListItem& added = list.Add();
    EXPECT_EQ(added.FileName, "");
    EXPECT_EQ(added.FileKind, TFileKind::fkUnknown);
    EXPECT_EQ(added.FileSize, 0);
    ASSERT_EQ(list.Count(), 2);
    EXPECT_EQ(list[0].FileName, "huge.dic");
}

} // namespace
} // namespace parlino
