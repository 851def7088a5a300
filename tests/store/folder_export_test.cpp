// Export of a subtree into folders and ".txt" files: the layout, the bytes written, unsafe and
// clashing names, damaged depths, stop requests and links found in the target.
#include "store/folder_export.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <string>
#include <vector>

#include "common/charset.h"
#include "store/tree_store.h"
#include "support/record_bytes.h"
#include "support/temp_dir.h"

namespace qm {
namespace {

namespace fs = std::filesystem;
using testing::ReadFileBytes;
using testing::Rec;
using testing::TempDir;
using testing::WriteFileBytes;

std::string Gb(const std::string& utf8) { return Utf8ToGb18030(utf8); }

class FolderExportTest : public ::testing::Test {
protected:
    void Load(const std::string& bytes) {
        WriteFileBytes(file_, bytes);
        ASSERT_TRUE(store_.Load(file_));
        store_.BuildOutline();
    }
    // Every file below the target as "relative path=content" (UTF-8 names, raw bytes), sorted.
    std::vector<std::string> Files() {
        std::vector<std::string> out;
        for (const auto& entry : fs::recursive_directory_iterator(target_)) {
            if (!entry.is_regular_file()) continue;
            out.push_back(entry.path().string().substr(target_.size() + 1) + "=" +
                          ReadFileBytes(entry.path().string()));
        }
        std::sort(out.begin(), out.end());
        return out;
    }

    TempDir dir_;
    std::string file_ = dir_.File("notes.qm");
    std::string target_ = dir_.File("out");
    TreeStore store_{dir_.path()};

    void SetUp() override { fs::create_directory(target_); }
};

TEST_F(FolderExportTest, NotesWithChildrenBecomeFoldersAndLeavesTextFiles) {
    Load(Rec(Gb("笔记本"), 1, "", "", 2) + Rec(Gb("书"), 2, Gb("书的正文\r\n"), "", 0) +
         Rec(Gb("第一章"), 3, Gb("一"), "", 1) + Rec("sub", 3, "s", "", 0) +
         Rec("leaf", 4, "deep", "", 1) + Rec("other", 2, "o", "", 1));
    const ExportResult result = ExportSubtree(store_, 1, target_);
    EXPECT_EQ(result.written, 4);
    EXPECT_EQ(result.failed, 0);
    EXPECT_FALSE(result.stopped);
    EXPECT_EQ(Files(),
              (std::vector<std::string>{"书/.dirtxt=" + Gb("书的正文\r\n"), "书/sub/.dirtxt=s",
                                        "书/sub/leaf.txt=deep", "书/第一章.txt=" + Gb("一")}));
}

TEST_F(FolderExportTest, LeafWritesOneFileAndMissingNodeNothing) {
    Load(Rec("r", 1, "", "", 2) + Rec("a", 2, "body", "", 1));
    EXPECT_EQ(ExportSubtree(store_, 1, target_).written, 1);
    EXPECT_EQ(Files(), (std::vector<std::string>{"a.txt=body"}));
    EXPECT_EQ(ExportSubtree(store_, 7, target_).written, 0);
    EXPECT_EQ(ExportSubtree(store_, -1, target_).written, 0);
    EXPECT_EQ(Files().size(), 1u);
}

TEST_F(FolderExportTest, UnsafeTitlesStayInsideTheTarget) {
    Load(Rec("r", 1, "", "", 2) + Rec("..", 2, "up", "", 0) + Rec(".", 3, "here", "", 1) +
         Rec("a/b:c", 3, "slash", "", 1) + Rec("\"\t\"", 3, "noname", "", 1) +
         Rec("", 3, "emptyfolder", "", 0) + Rec("x", 4, "inside", "", 1));
    const ExportResult result = ExportSubtree(store_, 1, target_);
    EXPECT_EQ(result.written, 6);
    EXPECT_EQ(Files(), (std::vector<std::string>{
                           "．．.txt=noname", "．．/.dirtxt=up", "．．/_/.dirtxt=emptyfolder",
                           "．．/_/x.txt=inside", "．．/a／b：c.txt=slash", "．．/．.txt=here"}))
        << "the nameless leaf goes to its parent's path with .txt";
    // Nothing beside the target folder.
    EXPECT_EQ(std::distance(fs::directory_iterator(dir_.path()), fs::directory_iterator()), 2);
}

TEST_F(FolderExportTest, EmptyTopNameBecomesUnderscore) {
    Load(Rec("r", 1, "", "", 2) + Rec("\r\n", 2, "top", "", 0) + Rec("", 3, "child", "", 1));
    EXPECT_EQ(ExportSubtree(store_, 1, target_).written, 2);
    EXPECT_EQ(Files(), (std::vector<std::string>{"_.txt=child", "_/.dirtxt=top"}));
}

TEST_F(FolderExportTest, EqualSiblingNamesGetNumbers) {
    Load(Rec("r", 1, "", "", 2) + Rec("a", 2, "1", "", 1) + Rec("a", 2, "2", "", 1) +
         Rec("a\t", 2, "3", "", 1) + Rec("d", 2, "4", "", 0) + Rec("in", 3, "5", "", 1) +
         Rec("d", 2, "6", "", 0) + Rec("in", 3, "7", "", 1));
    const ExportResult result = ExportSubtree(store_, 0, target_);
    EXPECT_EQ(result.written, 8);
    EXPECT_EQ(Files(),
              (std::vector<std::string>{"r/.dirtxt=", "r/a (2).txt=2", "r/a (3).txt=3", "r/a.txt=1",
                                        "r/d (2)/.dirtxt=6", "r/d (2)/in.txt=7", "r/d/.dirtxt=4",
                                        "r/d/in.txt=5"}));
}

TEST_F(FolderExportTest, ExternalBodyIsExportedFromItsFile) {
    fs::create_directories(dir_.File("外部存储"));
    WriteFileBytes(dir_.File("外部存储/A.txt"), Gb("外部的正文"));
    Load(Rec("r", 1, "", "", 2) + Rec("e", 2, "stale", Gb("外部存储\\A.txt"), 1) +
         Rec("gone", 2, "kept", Gb("外部存储\\missing.txt"), 1));
    EXPECT_EQ(ExportSubtree(store_, 0, target_).written, 3);
    EXPECT_EQ(ReadFileBytes(target_ + "/r/e.txt"), Gb("外部的正文"));
    EXPECT_EQ(ReadFileBytes(target_ + "/r/gone.txt"), "kept");
}

TEST_F(FolderExportTest, BadDepthEndsTheExportAndCountsWhatIsLeft) {
    Load(Rec("r", 1, "", "", 2) + Rec("a", 2, "", "", 0) + Rec("ok", 3, "", "", 1) +
         Rec("bad", 1001, "", "", 1) + Rec("after", 3, "", "", 1));
    // Node 1's subtree as the store sees it runs to the end (depths above 2).
    const ExportResult result = ExportSubtree(store_, 1, target_);
    EXPECT_TRUE(result.badDepth);
    EXPECT_EQ(result.written, 2);
    EXPECT_EQ(result.failed, 2);
    EXPECT_FALSE(fs::exists(target_ + "/a/after.txt"));
}

TEST_F(FolderExportTest, StopEndsAfterTheCurrentNoteAndStepsRunPerNote) {
    Load(Rec("r", 1, "", "", 2) + Rec("a", 2, "", "", 1) + Rec("b", 2, "", "", 1) +
         Rec("c", 2, "", "", 1));
    std::atomic<bool> stop{false};
    int steps = 0;
    TransferControl control;
    control.stop = &stop;
    control.betweenSteps = [&] {
        if (++steps == 2) stop = true;
    };
    const ExportResult result = ExportSubtree(store_, 0, target_, control);
    EXPECT_TRUE(result.stopped);
    EXPECT_EQ(result.written, 2);
    EXPECT_EQ(steps, 2);
    EXPECT_EQ(Files(), (std::vector<std::string>{"r/.dirtxt=", "r/a.txt="}));
}

TEST_F(FolderExportTest, LinksInTheTargetAreNotFollowedAndFailuresCounted) {
    TempDir elsewhere;
    ASSERT_EQ(symlink(elsewhere.path().c_str(), (target_ + "/d").c_str()), 0);
    WriteFileBytes(elsewhere.File("victim.txt"), "keep");
    ASSERT_EQ(symlink(elsewhere.File("victim.txt").c_str(), (target_ + "/v.txt").c_str()), 0);
    Load(Rec("r", 1, "", "", 2) + Rec("d", 2, "", "", 0) + Rec("x", 3, "in", "", 1) +
         Rec("v", 2, "over", "", 1) + Rec("ok", 2, "fine", "", 1));
    const ExportResult result = ExportSubtree(store_, 0, target_ + "/");
    EXPECT_EQ(result.failed, 0) << "r is a new folder: nothing clashes";
    ASSERT_EQ(fs::remove_all(target_ + "/r"), 7u);
    // Exported below the root, "d" and "v.txt" meet the links.
    store_.BuildOutline();
    int written = 0;
    int failed = 0;
    for (int node : {1, 3, 4}) {
        const ExportResult one = ExportSubtree(store_, node, target_);
        written += one.written;
        failed += one.failed;
    }
    EXPECT_EQ(failed, 3) << "the folder d (and so x below it) and v.txt are links";
    EXPECT_EQ(written, 1);
    EXPECT_FALSE(fs::exists(elsewhere.File(".dirtxt")));
    EXPECT_FALSE(fs::exists(elsewhere.File("x.txt")));
    EXPECT_EQ(ReadFileBytes(elsewhere.File("victim.txt")), "keep");
    EXPECT_EQ(ReadFileBytes(target_ + "/ok.txt"), "fine");
}

}  // namespace
}  // namespace qm

namespace qm {
namespace {

// The window copies a subtree out a record at a time (CopyRecords) and writes the slices on a
// worker: the files and counts are those of one export of the whole subtree.
TEST_F(FolderExportTest, SlicesOfRecordsExportAsTheWholeSubtreeDoes) {
    const std::vector<std::string> loads = {
        Rec(Gb("笔记本"), 1, "", "", 2) + Rec(Gb("书"), 2, Gb("正文"), "", 0) +
            Rec("same", 3, "1", "", 1) + Rec("same", 3, "2", "", 1) + Rec("sub", 3, "s", "", 0) +
            Rec("", 4, "empty name", "", 1) + Rec("other", 2, "o", "", 1),
        Rec("r", 1, "", "", 2) + Rec("a", 2, "", "", 0) + Rec("ok", 3, "", "", 1) +
            Rec("bad", 1001, "", "", 1) + Rec("after", 3, "", "", 1)};
    for (const std::string& load : loads) {
        Load(load);
        fs::remove_all(target_);
        fs::create_directory(target_);
        const ExportResult whole = ExportSubtree(store_, 1, target_);
        const std::vector<std::string> wholeFiles = Files();

        fs::remove_all(target_);
        fs::create_directory(target_);
        SubtreeSpan span;
        ASSERT_GE(store_.LocateSubtree(1, &span), 0);
        RecordExport sliced(store_, target_);
        for (int i = 1; i <= span.lastIndex; ++i) sliced.Write(store_.CopyRecords(i, i));
        EXPECT_EQ(Files(), wholeFiles);
        EXPECT_EQ(sliced.result().written, whole.written);
        EXPECT_EQ(sliced.result().failed, whole.failed);
        EXPECT_EQ(sliced.result().badDepth, whole.badDepth);
    }
    EXPECT_EQ(store_.CopyRecords(2, 1), "");
    EXPECT_EQ(store_.CopyRecords(0, store_.NodeCount()), "");
}

}  // namespace
}  // namespace qm
