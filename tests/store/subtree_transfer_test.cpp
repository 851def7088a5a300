// Moving a subtree between two stores (delete into the recycle bin, restore from it): where the
// notes land, one sync per store, a failing target that keeps them in the source, and a process
// killed at any file call that never leaves them in neither store.
#include "store/subtree_transfer.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <memory>
#include <string>

#include "common/edit_log.h"
#include "common/file_calls.h"
#include "store/tree_store.h"
#include "support/crash_run.h"
#include "support/record_bytes.h"
#include "support/recorded_calls.h"
#include "support/temp_dir.h"

namespace qm {
namespace {

using testing::CrashRun;
using testing::Rec;
using testing::RunUntilCrash;
using testing::TempDir;
using testing::WriteFileBytes;

// Notebook: root, a, a1 (child of a), a2 (child of a), b. Recycle bin: its root and one note.
std::string NotebookBytes() {
    return Rec("笔记本", 1, "", "", 2) + Rec("a", 2, "", "", 0) + Rec("a1", 3, "x") +
           Rec("a2", 3, "y") + Rec("b", 2);
}
std::string RecycleBytes() { return Rec("回收站", 1, "", "", 2) + Rec("old", 2); }

int CountTitle(TreeStore& s, const std::string& title) {
    int found = 0;
    for (int i = 0; i < s.NodeCount(); ++i) found += s.GetField(i, kFieldTitle) == title;
    return found;
}

class SubtreeTransferTest : public ::testing::Test {
protected:
    void SetUp() override {
        WriteFileBytes(notebookPath_, NotebookBytes());
        WriteFileBytes(binPath_, RecycleBytes());
        std::error_code ignored;
        std::filesystem::remove(EditLog::LogPath(notebookPath_), ignored);
        std::filesystem::remove(EditLog::LogPath(binPath_), ignored);
    }
    void TearDown() override { fileio::ClearInjectedFailures(); }

    std::unique_ptr<TreeStore> Open(const std::string& path) {
        auto store = std::make_unique<TreeStore>(dir_.path());
        EXPECT_TRUE(store->Open(path));
        store->BuildOutline();
        return store;
    }

    TempDir dir_;
    std::string notebookPath_ = dir_.File("nb.qm");
    std::string binPath_ = dir_.File("bin.qm");
};

TEST_F(SubtreeTransferTest, PlacesTheNotesAndCostsOneSyncPerStore) {
    struct Case {
        const char* name;
        int index;  // in the notebook
        int to;     // in the recycle bin
        bool asSibling;
        int first;     // expected index of the first record inserted, -1 for none
        int binCount;  // recycle-bin nodes afterwards
        int notebookCount;
    };
    const Case cases[] = {
        {"subtree as the last child of the root", 1, 0, false, 2, 5, 2},
        {"leaf as the sibling before a note", 4, 1, true, 1, 3, 4},
        {"a root brings its children only", 0, 0, false, 2, 6, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SetUp();
        auto notebook = Open(notebookPath_);
        auto bin = Open(binPath_);
        testing::CallRecord record;
        SubtreeTransfer moved;
        ASSERT_TRUE(TransferSubtree(*notebook, c.index, *bin, c.to, c.asSibling, &moved));
        record.Stop();
        EXPECT_EQ(record.Count(fileio::kSync, "bin.qm.log"), 1);
        EXPECT_EQ(record.Count(fileio::kSync, "nb.qm.log"), 1);
        EXPECT_EQ(record.Count(fileio::kWrite, "bin.qm.log"), 1);
        EXPECT_EQ(record.Count(fileio::kWrite, "nb.qm.log"), 1);
        EXPECT_EQ(moved.first, c.first);
        EXPECT_EQ(bin->NodeCount(), c.binCount);
        EXPECT_EQ(notebook->NodeCount(), c.notebookCount);
        if (c.first >= 0) {
            NodeRecord record;
            bin->ReadNode(c.first, 0, &record);
            EXPECT_EQ(record.depth, 2);
        }
        const std::string notebookImage = notebook->image();
        const std::string binImage = bin->image();
        notebook.reset();
        bin.reset();
        EXPECT_EQ(Open(notebookPath_)->image(), notebookImage);
        EXPECT_EQ(Open(binPath_)->image(), binImage);
    }
}

TEST_F(SubtreeTransferTest, ARootWithoutChildrenLeavesTheTargetAlone) {
    WriteFileBytes(notebookPath_, Rec("笔记本", 1, "", "", 2));
    auto notebook = Open(notebookPath_);
    auto bin = Open(binPath_);
    SubtreeTransfer moved;
    ASSERT_TRUE(TransferSubtree(*notebook, 0, *bin, 0, false, &moved));
    EXPECT_EQ(moved.first, -1);
    EXPECT_EQ(moved.inserted, 0);
    EXPECT_EQ(notebook->NodeCount(), 0);
    EXPECT_EQ(bin->image(), RecycleBytes());
}

TEST_F(SubtreeTransferTest, RefusesWhatItCannotPlace) {
    auto notebook = Open(notebookPath_);
    auto bin = Open(binPath_);
    EXPECT_FALSE(TransferSubtree(*notebook, 9, *bin, 0, false, nullptr));
    EXPECT_FALSE(TransferSubtree(*notebook, 1, *bin, 7, false, nullptr));
    {
        // The target's sync would come after the source's.
        const TreeStore::Transaction scope(*bin);
        EXPECT_FALSE(TransferSubtree(*notebook, 1, *bin, 0, false, nullptr));
    }
    EXPECT_EQ(notebook->image(), NotebookBytes());
    EXPECT_EQ(bin->image(), RecycleBytes());
}

// The recycle bin's log cannot be synced (a full disk): the notes stay in the notebook, which
// logs nothing, and the recycle bin shows nothing new.
TEST_F(SubtreeTransferTest, ATargetThatCannotBeWrittenKeepsTheNotesInTheSource) {
    struct Case {
        const char* name;
        bool failingBefore;  // an earlier write of the recycle bin failed already
    };
    for (const Case c : {Case{"this write fails", false}, Case{"writes were failing", true}}) {
        SCOPED_TRACE(c.name);
        SetUp();
        auto notebook = Open(notebookPath_);
        auto bin = Open(binPath_);
        fileio::InjectFailure(fileio::kWrite | fileio::kSync, ENOSPC, "bin.qm");
        if (c.failingBefore) {
            bin->SetField(1, kFieldTitle, "renamed in memory");
            ASSERT_FALSE(bin->editsDurable());
        }
        const int binNodes = bin->NodeCount();
        EXPECT_FALSE(TransferSubtree(*notebook, 1, *bin, 0, false, nullptr));
        EXPECT_EQ(notebook->image(), NotebookBytes());
        EXPECT_EQ(bin->NodeCount(), binNodes);
        EXPECT_EQ(CountTitle(*bin, "a1"), 0);
        fileio::ClearInjectedFailures();
        // Nothing of the notebook reached its log.
        notebook.reset();
        EXPECT_EQ(Open(notebookPath_)->image(), NotebookBytes());
    }
}

// The child moves note "a" with its children into the recycle bin, as a delete does (the
// notebook's side in a scope with the old parent's icon), and reports when it returned; it dies
// just before its n-th file call. Then the notes are in the recycle bin, or in the notebook, or
// in both; never in neither, and after the call returned no longer in the notebook.
TEST_F(SubtreeTransferTest, AKillAtAnyFileCallNeverLosesTheNotes) {
    struct Case {
        const char* name;
        bool restore;  // from the recycle bin back into the notebook
        bool scoped;   // the source's side in a scope with another edit of the command
    };
    for (const Case c : {Case{"delete", false, true}, Case{"delete alone", false, false},
                         Case{"restore", true, true}}) {
        bool finished = false;
        for (int n = 1; !finished && n < 60; ++n) {
            SCOPED_TRACE(std::string(c.name) + " at call " + std::to_string(n));
            SetUp();
            if (c.restore) {
                // The notes to restore sit in the recycle bin.
                WriteFileBytes(binPath_, RecycleBytes() + Rec("a", 2, "", "", 0) +
                                             Rec("a1", 3, "x") + Rec("a2", 3, "y"));
                WriteFileBytes(notebookPath_, Rec("笔记本", 1, "", "", 2) + Rec("b", 2));
            }
            const std::string sourcePath = c.restore ? binPath_ : notebookPath_;
            const std::string targetPath = c.restore ? notebookPath_ : binPath_;
            const int index = c.restore ? 2 : 1;
            const CrashRun run = RunUntilCrash([&](const std::function<void()>& done) {
                TreeStore source(dir_.path());
                TreeStore target(dir_.path());
                if (!source.Open(sourcePath) || !target.Open(targetPath)) _exit(3);
                source.BuildOutline();
                target.BuildOutline();
                fileio::SetCrashPoint(n);
                {
                    std::unique_ptr<TreeStore::Transaction> scope;
                    if (c.scoped) scope = std::make_unique<TreeStore::Transaction>(source);
                    if (!TransferSubtree(source, index, target, 0, false, nullptr, [&target](int) {
                            target.SetField(0, kFieldTitle, "t");
                        })) {
                        _exit(5);
                    }
                    if (c.scoped) source.SetField(0, kFieldTitle, "s");
                }
                done();
                source.Close();
                target.Close();
            });
            ASSERT_TRUE(run.exited);
            ASSERT_TRUE(run.status == 0 || run.status == 86) << run.status;
            finished = run.finished();
            const bool returned = run.returned > 0;

            auto source = Open(sourcePath);
            auto target = Open(targetPath);
            for (const char* title : {"a", "a1", "a2"}) {
                const int inSource = CountTitle(*source, title);
                const int inTarget = CountTitle(*target, title);
                EXPECT_LE(inSource, 1);
                EXPECT_LE(inTarget, 1);
                EXPECT_GE(inSource + inTarget, 1) << title << " is in neither store";
                if (returned) {
                    EXPECT_EQ(inSource, 0) << title;
                    EXPECT_EQ(inTarget, 1) << title;
                }
            }
            // The source lets go only after the target holds the notes.
            if (CountTitle(*source, "a") == 0) {
                EXPECT_EQ(CountTitle(*target, "a"), 1);
            }
        }
        EXPECT_TRUE(finished) << c.name;
    }
}

}  // namespace
}  // namespace qm
