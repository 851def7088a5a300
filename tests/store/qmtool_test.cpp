// Runs the qmtool binary on small tree files and checks its output, exit status and that it
// never writes the file.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "common/charset.h"
#include "store/tree_store.h"
#include "support/record_bytes.h"
#include "support/temp_dir.h"

#ifndef QMTOOL_PATH
#error "QMTOOL_PATH must name the qmtool binary"
#endif

namespace qm {
namespace {

using testing::ReadFileBytes;
using testing::TempDir;
using testing::WriteFileBytes;

using testing::kEnd;
using testing::kSep;
using testing::Rec;
const char* const kTime = testing::kRecordTime;

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

class QmtoolTest : public ::testing::Test {
protected:
    // Runs qmtool with the arguments from a folder other than the file's.
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

    std::string Write(const std::string& bytes) {
        WriteFileBytes(file_, bytes);
        return Quote(file_);
    }

    TempDir dir_;
    std::string file_ = dir_.File("notes.qm");
};

TEST_F(QmtoolTest, OutlineListsEveryNodeInUtf8) {
    const std::string f = Write(Rec(Utf8ToGb18030("笔记本"), 1, "", "", 2, 2) +
                                Rec("tab\there", 2) + Rec("deep", 4, "", "", 0));
    const ToolRun run = Tool("outline " + f);
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out, "0\t1\t2\t2\t笔记本\n1\t2\t1\t0\ttab\\there\n2\t4\t0\t0\tdeep\n");
    EXPECT_EQ(run.err, "");
}

TEST_F(QmtoolTest, CatShowsTheBodyWithoutWritingTheFile) {
    std::filesystem::create_directories(dir_.File("ext"));
    WriteFileBytes(dir_.File("ext/b.txt"), Utf8ToGb18030("外部正文"));
    const std::string bytes = Rec("r", 1) + Rec("a", 2, Utf8ToGb18030("正文\r\n第二行")) +
                              Rec("b", 2, "stale", "ext\\b.txt") +
                              Rec("c", 2, "kept", "D:\\x\\c.txt");
    const std::string f = Write(bytes);
    struct Case {
        std::string index;
        std::string body;
    };
    const Case cases[] = {{"1", "正文\r\n第二行"}, {"2", "外部正文"}, {"3", "kept"}, {"0", ""}};
    for (const Case& c : cases) {
        const ToolRun run = Tool("cat " + f + " " + c.index);
        EXPECT_EQ(run.status, 0) << c.index;
        EXPECT_EQ(run.out, c.body) << c.index;
    }
    EXPECT_EQ(ReadFileBytes(file_), bytes);
    EXPECT_FALSE(std::filesystem::exists(file_ + ".journal"));
    EXPECT_FALSE(std::filesystem::exists(file_ + ".log"));
}

// While the program holds the file, its latest edits may be only in the log beside it: the
// tool applies the log in memory and sees them, and writes neither file.
TEST_F(QmtoolTest, SeesEditsThatAreOnlyInTheLog) {
    const std::string f = Write(Rec("root", 1) + Rec("old title", 2, "old body"));
    qm::TreeStore writer;
    ASSERT_TRUE(writer.Open(file_));
    writer.BuildOutline();
    ASSERT_TRUE(writer.SetField(1, qm::kFieldTitle, "new title"));
    ASSERT_EQ(writer.AddNode(0, qm::NodeFields{}), 2);
    ASSERT_TRUE(writer.SetField(2, qm::kFieldBody, "logged body"));
    const std::string file = ReadFileBytes(file_);
    const std::string log = ReadFileBytes(file_ + ".log");
    ASSERT_EQ(file.find("new title"), std::string::npos);

    const ToolRun outline = Tool("outline " + f);
    EXPECT_EQ(outline.status, 0);
    EXPECT_NE(outline.out.find("1\t2\t1\t0\tnew title\n"), std::string::npos) << outline.out;
    EXPECT_NE(outline.out.find("2\t2\t-1\t0\t\n"), std::string::npos) << outline.out;
    const ToolRun cat = Tool("cat " + f + " 2");
    EXPECT_EQ(cat.out, "logged body");
    EXPECT_EQ(Tool("search " + f + " logged --bodies").out, "2\n");
    EXPECT_EQ(Tool("check " + f).status, 0);
    EXPECT_EQ(ReadFileBytes(file_), file);
    EXPECT_EQ(ReadFileBytes(file_ + ".log"), log);
}

TEST_F(QmtoolTest, SearchPrintsEveryMatchingIndex) {
    const std::string f =
        Write(Rec("root", 1) + Rec("Apple", 2, "red") + Rec("pear", 2, "an apple a day") +
              Rec(Utf8ToGb18030("苹果"), 2, "") + Rec("apple", 2));
    struct Case {
        std::string args;
        int status;
        std::string out;
    };
    const Case cases[] = {
        {"apple", 0, "4\n"},
        {"apple --ignore-case", 0, "1\n4\n"},
        {"apple --bodies", 0, "2\n4\n"},
        {"apple --whole --ignore-case", 0, "1\n4\n"},
        {"'^[ap]' --regex", 0, "2\n4\n"},
        {"苹果", 0, "3\n"},
        {"banana --bodies", 1, ""},
    };
    for (const Case& c : cases) {
        const ToolRun run = Tool("search " + f + " " + c.args);
        EXPECT_EQ(run.status, c.status) << c.args;
        EXPECT_EQ(run.out, c.out) << c.args;
    }
}

TEST_F(QmtoolTest, CheckReportsDamageAndPassesACleanFile) {
    Write(Rec("root", 1) + Rec("a", 2) + Rec("b", 3));
    ToolRun run = Tool("check " + Quote(file_));
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out, "");

    std::string extra = Rec("x", 2);
    extra.insert(extra.size() - 1, kSep + "more");
    const std::string damaged =
        Rec("root", 1) + "short" + kSep + "1" + kEnd + extra + Rec("jump", 4) + "tail";
    Write(damaged);
    run = Tool("check " + Quote(file_));
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.out.find("record 1 at offset"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("short, 1 separators"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("depth 0 below 1"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("record 2 at offset"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("extra separators, 13"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("depth jumps from 2 to 4"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("4 bytes after the last record"), std::string::npos) << run.out;
    EXPECT_EQ(ReadFileBytes(file_), damaged);
}

TEST_F(QmtoolTest, BadInputGivesOneLineAndAnErrorStatus) {
    const std::string f = Write(Rec("root", 1));
    const std::string missing = Quote(dir_.File("missing.qm"));
    const std::string cases[] = {
        "",
        "frobnicate " + f,
        "outline",
        "outline " + missing,
        "outline " + Quote(dir_.path()),
        "cat " + f,
        "cat " + f + " 1",
        "cat " + f + " -1",
        "cat " + f + " x",
        "cat " + f + " 99999999999999",
        "cat " + missing + " 0",
        "search " + f,
        "search " + f + " 'a(' --regex",
        "search " + f + " a --bogus",
        "check " + missing,
    };
    for (const std::string& args : cases) {
        const ToolRun run = Tool(args);
        EXPECT_EQ(run.status, 2) << args;
        EXPECT_EQ(run.out, "") << args;
        ASSERT_FALSE(run.err.empty()) << args;
        EXPECT_EQ(run.err.find('\n'), run.err.size() - 1) << args << ": " << run.err;
    }
    EXPECT_FALSE(std::filesystem::exists(dir_.File("missing.qm")));
}

}  // namespace
}  // namespace qm
