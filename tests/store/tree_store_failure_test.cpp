// The store when its files cannot be written or read: failed log writes keep the edits in
// memory and a retry brings the file up to date crash-safely; failed checkpoints and body
// files are retried; files removed underneath are written again; files that cannot be read
// or written at open are told apart and never overwritten.
#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>
#include <memory>
#include <string>

#include "common/charset.h"
#include "common/edit_log.h"
#include "common/file_calls.h"
#include "store/tree_store.h"
#include "support/durable_bytes.h"
#include "support/record_bytes.h"
#include "support/temp_dir.h"

namespace qm {
namespace {

using testing::ReadFileBytes;
using testing::Rec;
using testing::TempDir;
using testing::WriteFileBytes;

class TreeStoreFailureTest : public ::testing::Test {
protected:
    void SetUp() override {
        WriteFileBytes(path_, Rec("root", 1, "", "", 2) + Rec("a", 2, "alpha") + Rec("b", 2));
    }
    void TearDown() override { fileio::ClearInjectedFailures(); }

    std::unique_ptr<TreeStore> OpenStore() {
        auto store = std::make_unique<TreeStore>(dir_.path());
        store->SetClock([this] { return ++now_; });
        store->Open(path_);
        store->BuildOutline();
        store->SetWriteFailureHandler([this] { ++failuresReported_; });
        return store;
    }
    // What a writer opening a copy of the file and its log after a crash would find.
    std::string RecoveredCopy() { return qm::testing::RecoveredCopy(path_, dir_.File("copy.qm")); }
    static NodeFields Body(const std::string& text) {
        NodeFields fields;
        fields.body = text;
        return fields;
    }

    TempDir dir_;
    std::string path_ = dir_.File("n.qm");
    std::string log_ = EditLog::LogPath(path_);
    std::time_t now_ = 1714554187;
    int failuresReported_ = 0;
};

struct LogFailure {
    const char* name;
    unsigned calls;
    int error;
};

class LogWriteFails : public TreeStoreFailureTest,
                      public ::testing::WithParamInterface<LogFailure> {};

// The log stops taking edits: each edit stays in the image, the durable state stays the one
// before the failure (no half group replays), the failure names the log and the reason; the
// first edit after the disk recovers writes the whole image to the file and restarts the log,
// and a reopened store holds every edit byte for byte.
TEST_P(LogWriteFails, EditsStayInMemoryUntilTheNextEditWritesThemAll) {
    auto store = OpenStore();
    ASSERT_TRUE(store->UpdateNode(1, Body("saved before")));
    const std::string durable = store->image();

    fileio::InjectFailure(GetParam().calls, GetParam().error, "n.qm.log");
    ASSERT_TRUE(store->UpdateNode(1, Body("only in memory")));
    EXPECT_TRUE(store->unsaved());
    EXPECT_TRUE(store->writeFailing());
    EXPECT_EQ(store->lastWriteError().path, log_);
    EXPECT_EQ(store->lastWriteError().code, GetParam().error);
    EXPECT_EQ(failuresReported_, 1);
    ASSERT_GE(store->AddNode(0), 0);  // still failing: retried, kept in memory
    EXPECT_TRUE(store->unsaved());
    EXPECT_EQ(store->GetField(1, kFieldBody), "only in memory");
    EXPECT_EQ(RecoveredCopy(), durable);
    EXPECT_FALSE(store->RetryWrites());

    fileio::ClearInjectedFailures();
    ASSERT_TRUE(store->UpdateNode(2, Body("after recovery")));
    EXPECT_FALSE(store->unsaved());
    EXPECT_FALSE(store->writeFailing());
    EXPECT_FALSE(store->lastWriteError().failed());
    const std::string image = store->image();
    EXPECT_EQ(RecoveredCopy(), image);
    ASSERT_TRUE(store->UpdateNode(1, Body("logged again")));  // the log works again
    EXPECT_EQ(RecoveredCopy(), store->image());
    const std::string last = store->image();
    store.reset();
    EXPECT_EQ(ReadFileBytes(path_), last);
    EXPECT_FALSE(std::filesystem::exists(log_));
}

INSTANTIATE_TEST_SUITE_P(Kinds, LogWriteFails,
                         ::testing::Values(LogFailure{"NoSpace", fileio::kWrite, ENOSPC},
                                           LogFailure{"SyncIoError", fileio::kSync, EIO},
                                           LogFailure{"ReadOnly", fileio::kEveryWrite, EROFS}),
                         [](const auto& info) { return std::string(info.param.name); });

// Expanding a node is logged without its own sync: a failing sync is not even tried for it, and
// the next durable edit takes it along.
TEST_F(TreeStoreFailureTest, ExpandStateWaitsForTheNextSync) {
    auto store = OpenStore();
    fileio::InjectFailure(fileio::kSync, EIO, "n.qm.log");
    ASSERT_TRUE(store->SetExpandState(1, true));
    EXPECT_FALSE(store->unsaved());
    EXPECT_EQ(store->GetField(1, kFieldExpandState), "2");
    EXPECT_FALSE(store->SetExpandState(3, true));
    fileio::ClearInjectedFailures();
    ASSERT_TRUE(store->UpdateNode(2, Body("durable")));
    // The durable copy is the image, expand state included.
    EXPECT_EQ(RecoveredCopy(), store->image());
}

// The periodic retry (no edit needed) brings the file up to date once writing works, and a
// retry that still fails keeps everything as it was.
TEST_F(TreeStoreFailureTest, RetryWithoutAnEditWritesTheImage) {
    auto store = OpenStore();
    fileio::InjectFailure(fileio::kEveryWrite, ENOSPC);
    ASSERT_TRUE(store->UpdateNode(2, Body("typed while full")));
    EXPECT_FALSE(store->RetryWrites());
    EXPECT_TRUE(store->unsaved());
    EXPECT_EQ(store->lastWriteError().code, ENOSPC);
    EXPECT_FALSE(std::filesystem::exists(path_ + ".new"));
    fileio::ClearInjectedFailures();
    EXPECT_TRUE(store->RetryWrites());
    EXPECT_FALSE(store->unsaved());
    EXPECT_EQ(ReadFileBytes(path_), store->image());
    EXPECT_EQ(ReadFileBytes(log_), "");
}

// A failing checkpoint loses nothing (the log holds the edits) but is reported, and a retry
// writes the file.
TEST_F(TreeStoreFailureTest, FailedCheckpointIsReportedAndRetried) {
    struct Case {
        unsigned calls;
        int error;
        std::string pathPart;
        std::string failedPath;
    };
    const Case cases[] = {
        {fileio::kWrite, ENOSPC, "n.qm.new", path_ + ".new"},
        {fileio::kRename, EIO, "n.qm", path_},
        {fileio::kOpen, EACCES, "n.qm.new", path_ + ".new"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.failedPath + " " + fileio::ErrorText(c.error));
        auto store = OpenStore();
        ASSERT_TRUE(store->UpdateNode(1, Body("in the log " + c.failedPath)));
        const std::string before = ReadFileBytes(path_);
        fileio::InjectFailure(c.calls, c.error, c.pathPart);
        EXPECT_FALSE(store->Checkpoint());
        EXPECT_FALSE(store->unsaved());
        EXPECT_TRUE(store->writeFailing());
        EXPECT_EQ(store->lastWriteError().path, c.failedPath);
        EXPECT_EQ(store->lastWriteError().code, c.error);
        EXPECT_EQ(ReadFileBytes(path_), before);
        EXPECT_EQ(RecoveredCopy(), store->image());
        fileio::ClearInjectedFailures();
        EXPECT_TRUE(store->RetryWrites());
        EXPECT_FALSE(store->writeFailing());
        EXPECT_EQ(ReadFileBytes(path_), store->image());
    }
}

// The log or the tree file removed by another program: the next edit notices, the whole
// image is written again at once, and nothing lives only in an unlinked file.
TEST_F(TreeStoreFailureTest, FilesRemovedUnderneathAreWrittenAgain) {
    for (const std::string& removed : {log_, path_}) {
        SCOPED_TRACE(removed);
        failuresReported_ = 0;
        auto store = OpenStore();
        ASSERT_TRUE(store->UpdateNode(1, Body("first")));
        std::filesystem::remove(removed);
        ASSERT_TRUE(store->UpdateNode(1, Body("after the removal")));
        EXPECT_EQ(failuresReported_, 1);
        store->RetryWrites();  // what the window's timer does
        EXPECT_FALSE(store->unsaved());
        ASSERT_TRUE(store->UpdateNode(2, Body("later")));
        EXPECT_TRUE(std::filesystem::exists(log_));
        EXPECT_EQ(RecoveredCopy(), store->image());
        const std::string image = store->image();
        store.reset();
        EXPECT_EQ(ReadFileBytes(path_), image);
    }
}

// A body file that cannot be written: the record keeps the body and shows it (never the old
// file's text); a retry writes the file and empties the record's copy.
TEST_F(TreeStoreFailureTest, BodyFileThatCannotBeWrittenKeepsTheBodyInTheRecord) {
    auto store = OpenStore();
    NodeFields outside = Body("old outside text");
    outside.externalPath = Utf8ToGb18030("外部存储\\BODY0001.txt");
    ASSERT_TRUE(store->UpdateNode(2, outside));
    const std::string file = dir_.File("外部存储/BODY0001.txt");
    ASSERT_EQ(ReadFileBytes(file), "old outside text");

    fileio::InjectFailure(fileio::kWrite, ENOSPC, "BODY0001");
    ASSERT_TRUE(store->UpdateNode(2, Body("new outside text")));
    EXPECT_TRUE(store->unsaved());
    EXPECT_EQ(store->lastWriteError().path, file);
    EXPECT_EQ(store->lastWriteError().code, ENOSPC);
    EXPECT_EQ(store->GetField(2, kFieldBody), "new outside text");
    EXPECT_EQ(ReadFileBytes(file), "old outside text");
    EXPECT_FALSE(store->RetryWrites());

    fileio::ClearInjectedFailures();
    EXPECT_TRUE(store->RetryWrites());
    EXPECT_FALSE(store->unsaved());
    EXPECT_EQ(ReadFileBytes(file), "new outside text");
    EXPECT_EQ(store->image().find("new outside text"), std::string::npos);
    EXPECT_EQ(store->GetField(2, kFieldBody), "new outside text");
}

// At open: a file that exists but cannot be read is never shown empty nor overwritten; one
// that cannot be written is shown and left alone; one held by another writer says so.
TEST_F(TreeStoreFailureTest, OpenTellsUnreadableFromReadOnlyFromLocked) {
    const std::string original = ReadFileBytes(path_);
    {
        fileio::InjectFailure(fileio::kRead, EIO, "n.qm");
        TreeStore store(dir_.path());
        EXPECT_FALSE(store.Open(path_));
        fileio::ClearInjectedFailures();
        EXPECT_EQ(store.openProblem(), TreeStore::OpenProblem::kUnreadable);
        EXPECT_EQ(store.openError().path, path_);
        EXPECT_EQ(store.openError().code, EIO);
        EXPECT_EQ(store.NodeCount(), 0);
        store.AddNode(std::nullopt);
    }
    EXPECT_EQ(ReadFileBytes(path_), original);
    EXPECT_FALSE(std::filesystem::exists(log_));
    {
        fileio::InjectFailure(fileio::kOpen, EROFS, "n.qm.log");
        TreeStore store(dir_.path());
        EXPECT_FALSE(store.Open(path_));
        fileio::ClearInjectedFailures();
        EXPECT_EQ(store.openProblem(), TreeStore::OpenProblem::kNotWritable);
        EXPECT_EQ(store.openError().code, EROFS);
        EXPECT_EQ(store.image(), original);
        store.BuildOutline();
        EXPECT_TRUE(store.UpdateNode(1, Body("cannot be saved")));
    }
    EXPECT_EQ(ReadFileBytes(path_), original);
    {
        TreeStore writer;
        ASSERT_TRUE(writer.Open(path_));
        EXPECT_EQ(writer.openProblem(), TreeStore::OpenProblem::kNone);
        TreeStore second;
        EXPECT_FALSE(second.Open(path_));
        EXPECT_EQ(second.openProblem(), TreeStore::OpenProblem::kLocked);
        EXPECT_EQ(second.image(), original);
    }
}

// A copy of the notebook saved elsewhere holds the image, edits made in memory alone included.
TEST_F(TreeStoreFailureTest, SaveCopyWritesTheImageElsewhere) {
    auto store = OpenStore();
    fileio::InjectFailure(fileio::kEveryWrite, ENOSPC, "n.qm");
    ASSERT_TRUE(store->UpdateNode(1, Body("rescued")));
    ASSERT_TRUE(store->unsaved());
    const std::string copy = dir_.File("elsewhere/copy.qm");
    ASSERT_TRUE(store->SaveCopy(copy));
    EXPECT_EQ(ReadFileBytes(copy), store->image());
    fileio::InjectFailure(fileio::kWrite, ENOSPC, "elsewhere");
    EXPECT_FALSE(store->SaveCopy(dir_.File("elsewhere/second.qm")));
    EXPECT_EQ(errno, ENOSPC);
}

}  // namespace
}  // namespace qm
