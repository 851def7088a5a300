// qmtool import and export on real folders: the tree file changed like the window's import,
// exports that import back, one-line summaries and one-line refusals.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "common/charset.h"
#include "store/record_format.h"
#include "store/tree_store.h"
#include "support/record_bytes.h"
#include "support/temp_dir.h"

#ifndef QMTOOL_PATH
#error "QMTOOL_PATH must name the qmtool binary"
#endif

namespace qm {
namespace {

namespace fs = std::filesystem;
using testing::ReadFileBytes;
using testing::Rec;
using testing::TempDir;
using testing::WriteFileBytes;

std::string Quote(const std::string& text) {
    std::string out = "'";
    for (const char c : text) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return out + "'";
}

struct ToolRun {
    int status = -1;
    std::string out;
    std::string err;
};

class QmtoolTransferTest : public ::testing::Test {
protected:
    void SetUp() override {
        WriteFileBytes(file_, Rec(Utf8ToGb18030("笔记本"), 1, "", "", 2) + Rec("leaf", 2, "x"));
        fs::create_directories(src_ + "/子");
        WriteFileBytes(src_ + "/甲.txt", Utf8ToGb18030("甲的正文"));
        WriteFileBytes(src_ + "/子/乙.htm", "\xEF\xBB\xBF乙");
    }
    ToolRun Tool(const std::string& args) {
        const std::string out = dir_.File("stdout");
        const std::string err = dir_.File("stderr");
        const std::string command =
            "cd / && " + Quote(QMTOOL_PATH) + " " + args + " >" + Quote(out) + " 2>" + Quote(err);
        const int raw = std::system(command.c_str());
        ToolRun run;
        run.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
        run.out = ReadFileBytes(out);
        run.err = ReadFileBytes(err);
        return run;
    }
    std::string Outline() { return Tool("outline " + Quote(file_)).out; }

    TempDir dir_;
    std::string file_ = dir_.File("笔记本.qm");
    std::string src_ = dir_.File("来源");
};

TEST_F(QmtoolTransferTest, ImportAddsTheFolderAndMarksTheTarget) {
    const ToolRun run = Tool("import " + Quote(file_) + " 1 " + Quote(src_));
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.err, "");
    EXPECT_EQ(run.out.rfind("imported 4 notes (2 files) from " + src_ + " in ", 0), 0u) << run.out;
    EXPECT_EQ(std::count(run.out.begin(), run.out.end(), '\n'), 1);
    EXPECT_EQ(Outline(),
              "0\t1\t2\t0\t笔记本\n1\t2\t0\t0\tleaf\n2\t3\t0\t0\t来源\n"
              "3\t4\t1\t0\t甲\n4\t4\t0\t0\t子\n5\t5\t1\t0\t乙\n");
    EXPECT_EQ(Tool("cat " + Quote(file_) + " 5").out, "乙");
    EXPECT_FALSE(fs::exists(file_ + ".journal")) << "a clean close removes the journal";
}

TEST_F(QmtoolTransferTest, KeepPathsStoresTheFilesPaths) {
    const ToolRun run = Tool("import " + Quote(file_) + " 0 " + Quote(src_) + " --keep-paths");
    ASSERT_EQ(run.status, 0) << run.err;
    TreeStore store(dir_.path());
    ASSERT_TRUE(store.Load(file_));
    store.BuildOutline();
    EXPECT_EQ(Gb18030ToUtf8(store.ReadNode(3, kFieldExternalPath)), src_ + "/甲.txt");
    // The record itself holds no body: it is read from the file each time.
    size_t start = 0;
    for (int i = 0; i < 3; ++i) start = store.image().find('\0', start) + 1;
    const std::string record = store.image().substr(start, store.image().find('\0', start) - start);
    EXPECT_EQ(SplitRecord(record)[kFieldBody - 1], "");
    EXPECT_EQ(store.ReadNode(3, kFieldBody), Utf8ToGb18030("甲的正文"));
}

TEST_F(QmtoolTransferTest, ExportWritesFilesThatImportBack) {
    ASSERT_EQ(Tool("import " + Quote(file_) + " 0 " + Quote(src_)).status, 0);
    const std::string out = dir_.File("出");
    fs::create_directories(out);
    const ToolRun run = Tool("export " + Quote(file_) + " 2 " + Quote(out));
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out.rfind("exported 4 notes (4 files) to " + out + " in ", 0), 0u) << run.out;
    EXPECT_EQ(ReadFileBytes(out + "/来源/甲.txt"), Utf8ToGb18030("甲的正文"));
    EXPECT_EQ(ReadFileBytes(out + "/来源/子/乙.txt"), Utf8ToGb18030("乙"));
    EXPECT_TRUE(fs::exists(out + "/来源/.dirtxt"));
    const std::string before = ReadFileBytes(file_);
    ASSERT_EQ(Tool("export " + Quote(file_) + " 0 " + Quote(out)).status, 0);
    EXPECT_EQ(ReadFileBytes(file_), before) << "export only reads the file";
}

struct RefusalCase {
    const char* name;
    const char* args;  // $F: the file, $S: the source folder
    const char* error;
};

class QmtoolRefusalTest : public QmtoolTransferTest,
                          public ::testing::WithParamInterface<RefusalCase> {};

TEST_P(QmtoolRefusalTest, RefusesWithOneLine) {
    std::string args = GetParam().args;
    for (size_t at; (at = args.find("$F")) != std::string::npos;) args.replace(at, 2, Quote(file_));
    for (size_t at; (at = args.find("$S")) != std::string::npos;) args.replace(at, 2, Quote(src_));
    for (size_t at; (at = args.find("$D")) != std::string::npos;)
        args.replace(at, 2, Quote(dir_.path()));
    const std::string before = ReadFileBytes(file_);
    const ToolRun run = Tool(args);
    EXPECT_EQ(run.status, 2);
    EXPECT_EQ(run.out, "");
    EXPECT_NE(run.err.find(GetParam().error), std::string::npos) << run.err;
    EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1) << run.err;
    EXPECT_EQ(ReadFileBytes(file_), before);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, QmtoolRefusalTest,
    ::testing::Values(
        RefusalCase{"NoSuchNode", "import $F 2 $S", "no node 2 (the file has 2)"},
        RefusalCase{"BadIndex", "import $F x $S", "bad index: x"},
        RefusalCase{"UnreadableFolder", "import $F 0 $S/none", "cannot read folder"},
        RefusalCase{"FileInsteadOfFolder", "import $F 0 $F", "cannot read folder"},
        RefusalCase{"MissingFile", "import $D/none.qm 0 $S", "cannot read"},
        RefusalCase{"UnknownOption", "import $F 0 $S --keep", "unknown option: --keep"},
        RefusalCase{"ExportNoSuchNode", "export $F 5 $D", "no node 5"},
        RefusalCase{"ExportMissingDir", "export $F 0 $D/none", "cannot write to folder"}),
    [](const ::testing::TestParamInfo<RefusalCase>& info) { return info.param.name; });

TEST_F(QmtoolTransferTest, ImportIsRefusedWhileTheProgramHoldsTheFile) {
    TreeStore program(dir_.path());
    ASSERT_TRUE(program.Open(file_));
    const std::string before = ReadFileBytes(file_);
    const ToolRun run = Tool("import " + Quote(file_) + " 0 " + Quote(src_));
    EXPECT_EQ(run.status, 2);
    EXPECT_NE(run.err.find("is open in the program"), std::string::npos) << run.err;
    EXPECT_EQ(ReadFileBytes(file_), before);
}

}  // namespace
}  // namespace qm
