// Import of folder trees into a tree file: records, icons and bodies, patterns and order,
// encodings, kept file paths, the external threshold, stop requests, depth and link limits,
// one insertion that a crash cannot leave half done, and the round trip through an export.
#include "store/folder_import.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <zlib.h>

#include <atomic>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "common/charset.h"
#include "common/file_calls.h"
#include "store/folder_export.h"
#include "store/folder_import_feed.h"
#include "store/outline.h"
#include "store/record_format.h"
#include "store/tree_store.h"
#include "support/durable_bytes.h"
#include "support/record_bytes.h"
#include "support/temp_dir.h"

namespace qm {
namespace {

namespace fs = std::filesystem;
using testing::DurableBytes;
using testing::ReadFileBytes;
using testing::Rec;
using testing::TempDir;
using testing::WriteFileBytes;

std::string Gb(const std::string& utf8) { return Utf8ToGb18030(utf8); }

std::string Gzip(const std::string& bytes) {
    z_stream z{};
    deflateInit2(&z, Z_DEFAULT_COMPRESSION, Z_DEFLATED, 15 + 16, 8, Z_DEFAULT_STRATEGY);
    std::string out(bytes.size() + 64, '\0');
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(bytes.data()));
    z.avail_in = static_cast<uInt>(bytes.size());
    z.next_out = reinterpret_cast<Bytef*>(out.data());
    z.avail_out = static_cast<uInt>(out.size());
    deflate(&z, Z_FINISH);
    out.resize(z.total_out);
    deflateEnd(&z);
    return out;
}

class FolderImportTest : public ::testing::Test {
protected:
    void SetUp() override {
        fs::create_directories(src_);
        options_.now = [] { return std::time_t{86400 * 365}; };
        Open(Rec(Gb("笔记本"), 1, "", "", 2) + Rec("leaf", 2, "x", "", 1) + Rec("last", 2));
    }
    void Open(const std::string& bytes) {
        WriteFileBytes(file_, bytes);
        ASSERT_TRUE(store_.Open(file_));
        store_.BuildOutline();
    }
    void Put(const std::string& name, const std::string& bytes) {
        fs::create_directories(fs::path(src_ + "/" + name).parent_path());
        WriteFileBytes(src_ + "/" + name, bytes);
    }
    // "depth:title(image)" for every record from `from` on, titles in UTF-8.
    std::string Outline(int from = 0) {
        std::vector<OutlineRow> rows;
        ParseOutline(store_.BuildOutline(), &rows);
        std::string out;
        for (size_t i = static_cast<size_t>(from); i < rows.size(); ++i) {
            out += std::to_string(rows[i].depth) + ":" + Gb18030ToUtf8(rows[i].title) + "(" +
                   std::to_string(rows[i].image) + ") ";
        }
        return out;
    }
    std::string Field(int index, int field) { return store_.ReadNode(index, field); }
    // A field as the record holds it (a body is not read from its external file).
    std::string RawField(int index, int field) {
        const std::string& image = store_.image();
        size_t start = 0;
        for (int i = 0; i < index; ++i) start = image.find('\0', start) + 1;
        return SplitRecord(std::string_view(image).substr(
            start, image.find('\0', start) - start))[static_cast<size_t>(field - 1)];
    }
    std::string Body(int index) { return Gb18030ToUtf8(store_.GetField(index, kFieldBody)); }

    TempDir dir_;
    std::string file_ = dir_.File("笔记本.qm");
    std::string src_ = dir_.File("in/导入");
    TreeStore store_{dir_.path()};
    ImportOptions options_;
};

TEST_F(FolderImportTest, FilesAndSubfoldersBecomeTheLastChildOfTheTarget) {
    Put("1.txt", "one");
    Put("2.htm", "<p>two</p>");
    Put("3.html", "three");
    Put("s/deep.txt", "d");
    Put(".dirtxt", Gb("文件夹的正文"));
    ImportTally tally;
    ASSERT_TRUE(ImportFolder(store_, 1, src_, options_, &tally));
    EXPECT_EQ(Outline(),
              "1:笔记本(2) 2:leaf(1) 3:导入(0) 4:1(1) 4:2(1) 4:s(0) 5:deep(1) 2:last(1) ");
    EXPECT_EQ(Body(2), "文件夹的正文");
    EXPECT_EQ(Body(4), "<p>two</p>");
    EXPECT_EQ(tally.notes, 5);
    EXPECT_EQ(tally.files, 3);
    EXPECT_FALSE(tally.stopped);
    // Fields of an imported record as the import writes them.
    const std::string created = Field(3, kFieldCreated);
    EXPECT_EQ(created.size(), 19u);
    EXPECT_EQ(Field(3, kFieldModified), created);
    EXPECT_EQ(Field(3, kFieldSelectedImage), "");
    EXPECT_EQ(Field(3, kFieldSelStart), "");
    // The target is a leaf until marked.
    EXPECT_EQ(Field(1, kFieldImage), "1");
    EXPECT_TRUE(MarkAsParent(store_, 1));
    EXPECT_EQ(Field(1, kFieldImage), "0");
    EXPECT_FALSE(MarkAsParent(store_, 1));
    EXPECT_FALSE(MarkAsParent(store_, 0)) << "the root keeps its icon";
    EXPECT_EQ(DurableBytes(file_), store_.image());
}

TEST_F(FolderImportTest, EmptyFolderIsALeafWithItsFolderText) {
    Put(".dirtxt", "folder text");
    Put("other.doc", "not taken");
    ASSERT_TRUE(ImportFolder(store_, 0, src_, options_));
    EXPECT_EQ(Outline(3), "2:导入(1) ");
    EXPECT_EQ(Body(3), "folder text");
}

TEST_F(FolderImportTest, MissingNodeChangesNothing) {
    Put("1.txt", "one");
    const std::string before = store_.image();
    EXPECT_FALSE(ImportFolder(store_, 3, src_, options_));
    EXPECT_FALSE(ImportFolder(store_, -1, src_, options_));
    EXPECT_EQ(store_.image(), before);
    EXPECT_EQ(DurableBytes(file_), before);
}

TEST_F(FolderImportTest, EncodingsAreDecodedAndNamesSortedIgnoringCase) {
    const std::string text = "中文 text";
    Put("b.TXT", "\xEF\xBB\xBF" + text);
    Put("A.txt", text);                                             // UTF-8 without a mark
    Put("c.txt", "\xFF\xFE" + std::string("\x2D\x4E\x87\x65", 4));  // UTF-16LE 中文
    Put("d.txt", Gzip("\xEF\xBB\xBF" + text));
    Put("E.txt", Gb(text));
    ASSERT_TRUE(ImportFolder(store_, 0, src_, options_));
    EXPECT_EQ(Outline(3), "2:导入(0) 3:A(1) 3:b(1) 3:c(1) 3:d(1) 3:E(1) ");
    EXPECT_EQ(Body(4), text);
    EXPECT_EQ(Body(5), text);
    EXPECT_EQ(Body(6), "中文");
    EXPECT_EQ(Body(7), text);
    EXPECT_EQ(Body(8), text);
}

TEST_F(FolderImportTest, KeptPathsLeaveTheFilesAndRefuseTheProgramsOwnFiles) {
    Put("a.txt", "mine");
    ImportTally tally;
    options_.keepFilePaths = true;
    ASSERT_TRUE(ImportFolder(store_, 0, src_, options_, &tally));
    EXPECT_TRUE(RawField(4, kFieldBody).empty());
    EXPECT_EQ(Gb18030ToUtf8(Field(4, kFieldExternalPath)), src_ + "/a.txt");
    EXPECT_EQ(Body(4), "mine");
    EXPECT_EQ(ReadFileBytes(src_ + "/a.txt"), "mine");

    // The program folder itself: its tree files, settings and backups are never kept by path.
    Put("../../notes.txt", "fine");
    WriteFileBytes(dir_.File("Quelmar·Corvanel.ini"), "x");
    fs::create_directories(dir_.File("备份文件"));
    WriteFileBytes(dir_.File("备份文件/old.txt"), "b");
    ImportBatch batch(store_, options_);
    for (const char* name :
         {"笔记本.qm", "Quelmar·Corvanel.ini", "备份文件/old.txt", "notes.txt"}) {
        batch.ImportPath(1, dir_.File(name));
    }
    EXPECT_EQ(batch.tally().refused, 3);
    EXPECT_EQ(batch.tally().notes, 1);
    EXPECT_EQ(batch.tally().firstRefused, dir_.File("笔记本.qm"));
}

TEST_F(FolderImportTest, LongBodiesGoToExternalStorage) {
    Put("big.txt", std::string(kImportExternalThreshold + 1, 'a'));
    Put("edge.txt", std::string(kImportExternalThreshold, 'b'));
    ASSERT_TRUE(ImportFolder(store_, 0, src_, options_));
    const std::string path = Gb18030ToUtf8(Field(4, kFieldExternalPath));
    ASSERT_EQ(path.rfind("外部存储\\", 0), 0u) << path;
    EXPECT_EQ(path.size(), std::string("外部存储\\").size() + 12);
    EXPECT_TRUE(RawField(4, kFieldBody).empty());
    EXPECT_EQ(ReadFileBytes(dir_.File("外部存储/" + path.substr(path.size() - 12))),
              std::string(kImportExternalThreshold + 1, 'a'));
    EXPECT_EQ(Field(5, kFieldExternalPath), "");
    EXPECT_EQ(RawField(5, kFieldBody).size(), kImportExternalThreshold);
}

// Long bodies read on a worker thread are written into their files there: the item reaches
// the batch with its path and no body. When the file cannot be written (here "外部存储" is a
// file, so the folder cannot be made) the body stays in the record and the tally counts it.
TEST_F(FolderImportTest, LongBodiesAreWrittenWhereTheyAreRead) {
    for (const bool blocked : {false, true}) {
        SCOPED_TRACE(blocked ? "folder blocked" : "folder free");
        fs::remove_all(dir_.File("外部存储"));
        if (blocked) WriteFileBytes(dir_.File("外部存储"), "");
        const std::string big(kImportExternalThreshold + 1, blocked ? 'y' : 'x');
        Put("big.txt", big);
        ImportBatch batch(store_, options_);
        const int depth = store_.BeginBatch(0);
        ImportFeed feed(batch.walkOptions(), [&](ImportWalk& walk) { walk.Folder(depth, src_); },
                        batch.bodyFileWriter());
        ImportItem item;
        int inFile = 0;
        while (!feed.done()) {
            if (!feed.Next(&item, 100)) continue;
            if (item.kind == ImportItem::Kind::kFile) {
                inFile += item.bodyInFile ? 1 : 0;
                EXPECT_EQ(item.body.empty(), !blocked);
                EXPECT_EQ(item.bodyFileFailed, blocked);
            }
            batch.Add(std::move(item));
        }
        EXPECT_EQ(inFile, blocked ? 0 : 1);
        EXPECT_EQ(batch.tally().bodyFilesFailed, blocked ? 1 : 0);
        ASSERT_TRUE(batch.Commit(0, depth));
        const int node = store_.NodeCount() - 1;
        const std::string path = Gb18030ToUtf8(Field(node, kFieldExternalPath));
        ASSERT_EQ(path.rfind("外部存储\\", 0), 0u) << path;
        EXPECT_EQ(RawField(node, kFieldBody), blocked ? big : std::string());
        EXPECT_EQ(store_.GetField(node, kFieldBody), big);
        if (!blocked) {
            EXPECT_EQ(ReadFileBytes(dir_.File("外部存储/" + path.substr(path.size() - 12))), big);
        }
        EXPECT_EQ(DurableBytes(file_), store_.image());
    }
}

struct StopCase {
    const char* name;
    int stopAfterStep;     // the stop flag is set in this step
    const char* expected;  // outline below the root's old children
};

class FolderImportStopTest : public FolderImportTest,
                             public ::testing::WithParamInterface<StopCase> {};

TEST_P(FolderImportStopTest, StoppedImportCommitsWhatItRead) {
    Put("1.txt", "");
    Put("2.txt", "");
    Put("s1/a.txt", "");
    Put("s2/b.txt", "");
    std::atomic<bool> stop{false};
    int steps = 0;
    options_.control.stop = &stop;
    options_.control.betweenSteps = [&] {
        if (++steps == GetParam().stopAfterStep) stop = true;
    };
    ImportTally tally;
    ASSERT_TRUE(ImportFolder(store_, 0, src_, options_, &tally));
    EXPECT_TRUE(tally.stopped);
    EXPECT_EQ(Outline(3), GetParam().expected);
    EXPECT_EQ(DurableBytes(file_), store_.image());
}

// Steps: after 1.txt, 2.txt, s1/a.txt, s1 itself, s2/b.txt, s2 itself.
INSTANTIATE_TEST_SUITE_P(
    Points, FolderImportStopTest,
    ::testing::Values(StopCase{"InsideOneFoldersFiles", 1, "2:导入(0) 3:1(1) "},
                      StopCase{"InsideASubfolder", 3, "2:导入(0) 3:1(1) 3:2(1) 3:s1(0) 4:a(1) "},
                      StopCase{"BetweenSubfolders", 4, "2:导入(0) 3:1(1) 3:2(1) 3:s1(0) 4:a(1) "}),
    [](const ::testing::TestParamInfo<StopCase>& info) { return info.param.name; });

TEST_F(FolderImportTest, LinksFifosAndDevicesAreNeverFollowedOrRead) {
    Put("real.txt", "r");
    ASSERT_EQ(symlink(src_.c_str(), (src_ + "/loop").c_str()), 0);
    ASSERT_EQ(mkfifo((src_ + "/pipe.txt").c_str(), 0600), 0);
    ASSERT_EQ(symlink("/dev/zero", (src_ + "/zero.txt").c_str()), 0);
    ImportBatch batch(store_, options_);
    batch.ImportFolderTree(1, src_);
    batch.ImportPath(1, src_ + "/pipe.txt");
    batch.ImportPath(1, "/dev/null");
    EXPECT_EQ(batch.tally().notes, 2);
    EXPECT_EQ(batch.tally().skipped, 2);
    ASSERT_TRUE(batch.Commit(0, 1));
    EXPECT_EQ(Outline(3), "2:导入(0) 3:real(1) ");
}

TEST_F(FolderImportTest, FoldersBelowDepthOneThousandAreLeftOut) {
    std::string deep = src_;
    for (int i = 0; i < 6; ++i) deep += "/d";
    fs::create_directories(deep);
    WriteFileBytes(deep + "/f.txt", "");
    ImportBatch batch(store_, options_);
    batch.ImportFolderTree(kMaxTransferDepth - 4, src_);
    EXPECT_TRUE(batch.tally().depthCapped);
    // 导入 at 997, d at 998, 999 and 1000 (a leaf: no room for its children).
    EXPECT_EQ(batch.tally().notes, 4);
    const std::string& records = batch.records();
    EXPECT_EQ(records.find("1001"), std::string::npos);
    EXPECT_NE(records.find(std::string("\x1E\x1E") + "1000" + "\x1E\x1E"), std::string::npos);
}

TEST_F(FolderImportTest, CommitFindsTheTargetAgainAfterEditsWhileImporting) {
    Put("1.txt", "one");
    const int depth = store_.BeginBatch(2);
    ImportBatch batch(store_, options_);
    batch.ImportFolderTree(depth, src_);
    // While the import ran the notebook changed before the target and the target moved down.
    NodeFields longer;
    longer.body = std::string(500, 'z');
    ASSERT_TRUE(store_.UpdateNode(1, longer));
    int from = 2;
    int to = 1;
    ASSERT_TRUE(store_.MoveSubtree(&from, &to, false));
    ASSERT_TRUE(batch.Commit(2, depth));
    EXPECT_EQ(Outline(), "1:笔记本(2) 2:leaf(1) 3:last(1) 4:导入(0) 5:1(1) ");
    EXPECT_EQ(Body(4), "one");
    EXPECT_EQ(DurableBytes(file_), store_.image());
}

// A small import goes in as one edit; a large one (past the first piece of 1 MB) is written
// into the log while it is read and sealed at the commit.
class FolderImportCrashTest : public FolderImportTest,
                              public ::testing::WithParamInterface<int> {};

TEST_P(FolderImportCrashTest, CrashDuringTheImportLeavesTheFileAsItWas) {
    const int files = GetParam();
    for (int i = 0; i < files; ++i) {
        Put("f" + std::to_string(i) + ".txt", std::string(files > 100 ? 9000 : 300, 'a' + i % 26));
    }
    store_.BuildOutline();
    const std::string before = DurableBytes(file_);
    bool sawUnchanged = false;
    bool sawComplete = false;
    for (int n = 1; n <= 40 && !sawComplete; ++n) {
        const pid_t pid = fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            fileio::SetCrashPoint(n);
            ImportFolder(store_, 0, src_, options_);
            _exit(0);
        }
        int status = 0;
        waitpid(pid, &status, 0);
        ASSERT_TRUE(WIFEXITED(status));
        TreeStore reopened(dir_.path());
        ASSERT_TRUE(reopened.Load(file_));
        const int count = reopened.NodeCount();
        if (WEXITSTATUS(status) == 0) sawComplete = true;
        // Whatever the moment of the crash: the notebook as it was, or with the whole import.
        if (reopened.image() == before) {
            sawUnchanged = true;
        } else {
            EXPECT_EQ(count, 3 + files + 1) << "crash at file call " << n;
            EXPECT_EQ(reopened.image().substr(0, before.size()), before);
        }
        // Put the file back for the next run (the child's edits went into the log beside it).
        store_.Close();
        WriteFileBytes(file_, before);
        std::remove((file_ + ".log").c_str());
        ASSERT_TRUE(store_.Open(file_));
        store_.BuildOutline();
    }
    EXPECT_TRUE(sawUnchanged);
    EXPECT_TRUE(sawComplete) << "the crash points must reach past the import";
}

INSTANTIATE_TEST_SUITE_P(Sizes, FolderImportCrashTest, ::testing::Values(20, 150),
                         [](const ::testing::TestParamInfo<int>& info) {
                             return info.param > 100 ? "LoggedWhileRead" : "OneEdit";
                         });

TEST_F(FolderImportTest, ExportImportsBackUnchanged) {
    // A subtree with Chinese titles, GB18030 bodies (one with a character outside GBK), a
    // folder text, line ends of every kind and an empty body.
    // Files come before folders and names sort ignoring case, as the import lists them.
    Open(Rec(Gb("笔记本"), 1, "", "", 2) + Rec(Gb("资料"), 2, Gb("顶层正文\r\n"), "", 0) +
         Rec("Zeta", 3, "ascii only", "", 1) +
         Rec(Gb("第一篇"), 3, Gb("正文一\r\n第二行\n\r😀"), "", 1) +
         Rec(Gb("子目录"), 3, Gb("目录的正文"), "", 0) + Rec(Gb("深处"), 4, "", "", 1));
    const fs::path out = dir_.File("out");
    fs::create_directories(out);
    EXPECT_EQ(ExportSubtree(store_, 1, out.string()).failed, 0);
    ASSERT_TRUE(ImportFolder(store_, 0, (out / "资料").string(), options_));
    std::vector<OutlineRow> rows;
    ParseOutline(store_.BuildOutline(), &rows);
    ASSERT_EQ(rows.size(), 11u);
    for (int i = 1; i <= 5; ++i) {
        const int copy = i + 5;
        EXPECT_EQ(rows[copy].title, rows[i].title) << i;
        EXPECT_EQ(rows[copy].depth, rows[i].depth) << i;
        EXPECT_EQ(rows[copy].image, rows[i].image) << i;
        EXPECT_EQ(store_.GetField(copy, kFieldBody), store_.GetField(i, kFieldBody)) << i;
    }
}

}  // namespace
}  // namespace qm
