// TreeStore::Transaction: the store operations of one command logged as one group with one sync,
// recovered all or nothing after a crash at any file call, and checkpoints started inside one.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "common/edit_log.h"
#include "common/file_calls.h"
#include "store/checkpoint_task.h"
#include "store/tree_store.h"
#include "support/crash_run.h"
#include "support/durable_bytes.h"
#include "support/record_bytes.h"
#include "support/recorded_calls.h"
#include "support/temp_dir.h"

namespace qm {
namespace {

using testing::CrashRun;
using testing::ReadFileBytes;
using testing::Rec;
using testing::RunUntilCrash;
using testing::TempDir;
using testing::WriteFileBytes;

std::string Sample() {
    std::string bytes = Rec("root", 1, "", "", 2);
    for (int i = 1; i < 20; ++i) bytes += Rec("n" + std::to_string(i), 2 + (i % 4 == 3), "body");
    return bytes;
}

// The edits of a "paste": a move, the icons of two parents, a rename; each one changes bytes.
void Command(TreeStore& s) {
    int from = 3;
    int to = 10;
    s.MoveSubtree(&from, &to, false);
    s.SetField(to - 1, kFieldImage, "0");
    s.SetField(2, kFieldImage, "0");
    s.SetField(5, kFieldTitle, "renamed");
}

class TreeStoreTransactionTest : public ::testing::Test {
protected:
    void SetUp() override { WriteFileBytes(path_, Sample()); }

    std::unique_ptr<TreeStore> OpenStore() {
        auto store = std::make_unique<TreeStore>(dir_.path());
        store->SetClock([] { return std::time_t{1714554187}; });
        EXPECT_TRUE(store->Open(path_));
        store->BuildOutline();
        return store;
    }
    // The file and its log opened elsewhere, as after a crash of the store that wrote them.
    std::string Recovered() {
        bool opened = false;
        std::string image = testing::RecoveredCopy(path_, dir_.File("copy.qm"), &opened);
        EXPECT_TRUE(opened);
        return image;
    }

    TempDir dir_;
    std::string path_ = dir_.File("n.qm");
};

TEST_F(TreeStoreTransactionTest, ACommandInOneScopeIsOneAppendAndOneSync) {
    struct Case {
        bool scoped;
        int writes;
        int syncs;
    };
    for (const Case c : {Case{false, 4, 4}, Case{true, 1, 1}}) {
        SCOPED_TRACE(c.scoped);
        WriteFileBytes(path_, Sample());
        auto store = OpenStore();
        testing::CallRecord record;
        if (c.scoped) {
            const TreeStore::Transaction scope(*store);
            Command(*store);
            EXPECT_TRUE(store->inTransaction());
        } else {
            Command(*store);
        }
        EXPECT_FALSE(store->inTransaction());
        record.Stop();
        EXPECT_EQ(record.Count(fileio::kWrite, ".log"), c.writes);
        EXPECT_EQ(record.Count(fileio::kSync, ".log"), c.syncs);
        EXPECT_EQ(record.Count(fileio::kSync, ".qm"), 0);
        EXPECT_EQ(Recovered(), store->image());
        store->Close();
    }
}

// A checkpoint started inside a scope (a backup after a save the command made) must not take
// edits into the file that the log then replays a second time.
TEST_F(TreeStoreTransactionTest, ACheckpointInsideAScopeReplaysNothingTwice) {
    struct Case {
        const char* name;
        bool runInside;  // the checkpoint runs before the scope ends
    };
    for (const Case c : {Case{"run inside", true}, Case{"run after the scope", false}}) {
        SCOPED_TRACE(c.name);
        WriteFileBytes(path_, Sample());
        std::error_code ignored;
        std::filesystem::remove(EditLog::LogPath(path_), ignored);
        auto store = OpenStore();
        std::shared_ptr<CheckpointTask> task;
        {
            const TreeStore::Transaction scope(*store);
            store->AddNode(4, NodeFields{});
            task = store->StartCheckpoint();
            ASSERT_NE(task, nullptr);
            if (c.runInside) {
                EXPECT_TRUE(task->Run());
            }
            store->AddNode(1, NodeFields{});
            store->SetField(2, kFieldTitle, "after the snapshot");
        }
        if (!c.runInside) {
            EXPECT_TRUE(task->Run());
        }
        const std::string image = store->image();
        EXPECT_EQ(Recovered(), image);
        TreeStore reader;
        ASSERT_TRUE(reader.Load(path_));
        EXPECT_EQ(reader.image(), image);
        store.reset();
        EXPECT_EQ(ReadFileBytes(path_), image);
    }
}

// The child runs one scoped command and reports when it returned; it dies just before its n-th
// file call. The file then holds the state before the command or after it, nothing between.
TEST_F(TreeStoreTransactionTest, AKilledCommandIsRecoveredWholeOrNotAtAll) {
    std::string before;
    std::string after;
    {
        auto store = OpenStore();
        store->SetField(1, kFieldTitle, "logged before");  // the log has a header already
        before = store->image();
        {
            const TreeStore::Transaction scope(*store);
            Command(*store);
        }
        after = store->image();
    }
    bool finished = false;
    for (int n = 1; !finished && n < 40; ++n) {
        SCOPED_TRACE(n);
        WriteFileBytes(path_, Sample());
        std::error_code ignored;
        std::filesystem::remove(EditLog::LogPath(path_), ignored);
        const CrashRun run = RunUntilCrash([&](const std::function<void()>& done) {
            TreeStore s(dir_.path());
            s.SetClock([] { return std::time_t{1714554187}; });
            if (!s.Open(path_)) _exit(3);
            s.BuildOutline();
            s.SetField(1, kFieldTitle, "logged before");
            fileio::SetCrashPoint(n);
            {
                const TreeStore::Transaction scope(s);
                Command(s);
            }
            done();
            s.Close();
        });
        ASSERT_TRUE(run.exited);
        ASSERT_TRUE(run.status == 0 || run.status == 86) << run.status;
        finished = run.finished();
        const bool returned = run.returned > 0;
        auto store = OpenStore();
        if (returned) {
            EXPECT_EQ(store->image(), after);
        } else {
            EXPECT_TRUE(store->image() == before || store->image() == after);
        }
    }
    EXPECT_TRUE(finished);
}

}  // namespace
}  // namespace qm
