// Listing folders for an import: wildcard patterns ignoring case, the order of a file manager,
// only regular files and real folders, and the titles made from names.
#include "store/folder_listing.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

#include "support/temp_dir.h"

namespace qm {
namespace {

using testing::TempDir;
using testing::WriteFileBytes;

struct MatchCase {
    const char* pattern;
    const char* name;
    bool matches;
};

class WildcardMatchTest : public ::testing::TestWithParam<MatchCase> {};

TEST_P(WildcardMatchTest, MatchesIgnoringCase) {
    const MatchCase& c = GetParam();
    EXPECT_EQ(WildcardMatch(c.pattern, c.name), c.matches) << c.pattern << " / " << c.name;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, WildcardMatchTest,
    ::testing::Values(MatchCase{"*.txt", "a.txt", true}, MatchCase{"*.txt", "B.TXT", true},
                      MatchCase{"*.txt", "a.txt.bak", false}, MatchCase{"*.txt", ".dirtxt", false},
                      MatchCase{"*.txt", ".txt", true}, MatchCase{"*", "", true},
                      MatchCase{"a?c", "abc", true}, MatchCase{"a?c", "ac", false},
                      MatchCase{"*b*b", "abxbxb", true}, MatchCase{"*.HTM", "x.htm", true},
                      MatchCase{"*.htm", "x.html", false}));

class ListFolderTest : public ::testing::Test {
protected:
    std::string Make(const std::string& name, const std::string& bytes = "x") {
        const std::string path = dir_.File(name);
        WriteFileBytes(path, bytes);
        return path;
    }
    std::vector<std::string> Names(const std::vector<std::string>& paths) {
        std::vector<std::string> names;
        for (const std::string& p : paths) {
            EXPECT_EQ(p.rfind(dir_.path() + "/", 0), 0u) << p;
            names.push_back(p.substr(dir_.path().size() + 1));
        }
        return names;
    }
    TempDir dir_;
};

TEST_F(ListFolderTest, FilesComeSortedIgnoringCaseFirstPatternFirst) {
    for (const char* name :
         {"b.txt", "A.TXT", "c.htm", "B.html", "a.htm", "d.doc", ".dirtxt", "中文.txt", "Ä.txt"}) {
        Make(name);
    }
    std::filesystem::create_directory(dir_.File("sub.txt"));
    EXPECT_EQ(Names(ListFolder(dir_.path(), "*.txt|*.htm", false)),
              (std::vector<std::string>{"A.TXT", "b.txt", "Ä.txt", "中文.txt", "a.htm", "c.htm"}));
    // A folder path that already ends in "/" gives the same paths.
    EXPECT_EQ(ListFolder(dir_.path() + "/", "*.txt|*.htm", false),
              ListFolder(dir_.path(), "*.txt|*.htm", false));
    EXPECT_EQ(Names(ListFolder(dir_.path(), "", false)).size(), 9u);
}

TEST_F(ListFolderTest, OnlyRealFoldersAndRegularFilesAreTaken) {
    std::filesystem::create_directories(dir_.File("Real/inner"));
    std::filesystem::create_directory(dir_.File("apple"));
    Make("target.txt");
    ASSERT_EQ(symlink(dir_.path().c_str(), dir_.File("loop").c_str()), 0);
    ASSERT_EQ(symlink(dir_.File("target.txt").c_str(), dir_.File("link.txt").c_str()), 0);
    ASSERT_EQ(symlink(dir_.File("missing").c_str(), dir_.File("dangling.txt").c_str()), 0);
    ASSERT_EQ(mkfifo(dir_.File("pipe.txt").c_str(), 0600), 0);

    EXPECT_EQ(Names(ListFolder(dir_.path(), "*", true)),
              (std::vector<std::string>{"apple", "Real"}));
    EXPECT_EQ(Names(ListFolder(dir_.path(), "*.txt", false)),
              (std::vector<std::string>{"link.txt", "target.txt"}));
}

TEST_F(ListFolderTest, UnreadableFolderGivesNothing) {
    EXPECT_TRUE(ListFolder(dir_.File("missing"), "*", false).empty());
    EXPECT_TRUE(ListFolder(Make("file.txt"), "*", true).empty());
}

TEST_F(ListFolderTest, ReadingAFifoNeitherBlocksNorReads) {
    ASSERT_EQ(mkfifo(dir_.File("pipe").c_str(), 0600), 0);
    std::string bytes = "left";
    EXPECT_FALSE(ReadRegularFile(dir_.File("pipe"), &bytes));
    EXPECT_TRUE(bytes.empty());
    EXPECT_EQ(ReadRegularTextFile(dir_.File("pipe")), "");
    EXPECT_EQ(ReadRegularTextFile(dir_.File("missing")), "");
    EXPECT_TRUE(ReadRegularFile(Make("a", "abc"), &bytes));
    EXPECT_EQ(bytes, "abc");
}

TEST(TitleFromFileNameTest, CutsFolderAndLastExtension) {
    const std::pair<const char*, const char*> cases[] = {
        {"/x/y/a.b.txt", "a.b"}, {"/x/readme", "readme"}, {"/x/.htm", ""},
        {"a.txt", "a"},          {"/x.d/noext", "noext"}, {"/x/中文.TXT", "中文"},
    };
    for (const auto& [path, title] : cases) EXPECT_EQ(TitleFromFileName(path), title) << path;
}

TEST(LastFolderNameTest, TakesTheNameBeforeTheLastSlash) {
    const std::pair<const char*, const char*> cases[] = {
        {"/home/u/笔记/", "笔记"}, {"rel/", "rel"}, {"/", ""}, {"noslash", ""}, {"/a/", "a"},
    };
    for (const auto& [path, name] : cases) EXPECT_EQ(LastFolderName(path), name) << path;
}

}  // namespace
}  // namespace qm
