// The store's durability through its edit log: replay after reopening, damaged logs, readers
// that cannot write, checkpoints on another thread, and a process killed at every file call of
// the log and of the checkpoint.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <iterator>
#include <memory>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "common/edit_log.h"
#include "common/file_calls.h"
#include "store/checkpoint_task.h"
#include "store/folder_import.h"
#include "store/record_format.h"
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

std::string Sample(int notes) {
    std::string bytes = Rec("root", 1);
    for (int i = 1; i < notes; ++i) {
        bytes +=
            Rec("n" + std::to_string(i), 2 + (i % 3 == 2), std::string(40 + i % 7, 'a' + i % 26));
    }
    return bytes;
}

class TreeStoreLogTest : public ::testing::Test {
protected:
    std::unique_ptr<TreeStore> OpenStore() {
        auto store = std::make_unique<TreeStore>(dir_.path());
        store->SetClock([this] { return ++now_; });
        EXPECT_TRUE(store->Open(path_));
        store->BuildOutline();
        return store;
    }
    // What a reader that cannot write sees: the file with its log applied.
    std::string Loaded() {
        TreeStore reader;
        EXPECT_TRUE(reader.Load(path_));
        return reader.image();
    }
    // Copies the file and its log elsewhere and opens the copy as a writer would after a
    // crash (the original store stays open, its log not emptied).
    std::string RecoveredCopy() {
        bool opened = false;
        std::string image = qm::testing::RecoveredCopy(path_, dir_.File("copy.qm"), &opened);
        EXPECT_TRUE(opened);
        return image;
    }

    TempDir dir_;
    std::string path_ = dir_.File("n.qm");
    std::time_t now_ = 1714554187;
};

// Random edits of every kind, with checkpoints between some of them: after every step the
// image reopened from the file and its log, the image a reader loads, and (after a
// checkpoint) the file itself are the image in memory byte for byte. Raw byte edits are also
// mirrored into a plain string.
TEST_F(TreeStoreLogTest, RandomEditsReplayToTheSameBytes) {
    WriteFileBytes(path_, Sample(60));
    auto store = OpenStore();
    std::string plain = store->image();
    std::mt19937 rng(14);
    for (int step = 0; step < 160; ++step) {
        SCOPED_TRACE(step);
        const int count = store->NodeCount();
        const int a = static_cast<int>(rng() % count);
        const int b = static_cast<int>(rng() % count);
        bool raw = false;
        switch (rng() % 8) {
            case 0: {
                NodeFields f;
                f.body = std::string(rng() % 300, static_cast<char>('A' + step % 26));
                store->UpdateNode(a, f);
                break;
            }
            case 1:
                store->AddNode(a, NodeFields{});
                break;
            case 2:
                if (a > 0) store->DeleteSubtree(a);
                break;
            case 3: {
                int from = std::max(a, 1);
                int to = std::max(b, 1);
                store->MoveSubtree(&from, &to, rng() % 2 == 0);
                break;
            }
            case 4:
                store->SetField(a, kFieldTitle, "t" + std::to_string(step));
                break;
            case 5:
                store->ReadNode(a, kFieldBody);
                break;
            case 6: {
                const size_t at = store->image().rfind('\0', rng() % store->image().size());
                const size_t offset = at == std::string::npos ? 0 : at + 1;
                const std::string record = Rec("raw" + std::to_string(step), 2);
                ASSERT_TRUE(store->InsertBytes(offset, record));
                plain.insert(offset, record);
                raw = true;
                break;
            }
            default:
                EXPECT_TRUE(store->Checkpoint());
                break;
        }
        store->BuildOutline();
        if (raw) {
            EXPECT_EQ(store->image(), plain);
        }
        plain = store->image();
        if (step % 9 == 0) {
            EXPECT_EQ(Loaded(), plain);
            EXPECT_EQ(RecoveredCopy(), plain);
        }
    }
    EXPECT_EQ(Loaded(), plain);
    ASSERT_TRUE(store->Checkpoint());
    EXPECT_EQ(ReadFileBytes(path_), plain);
    EXPECT_FALSE(store->HasLoggedEdits());
    store.reset();
    EXPECT_FALSE(std::filesystem::exists(EditLog::LogPath(path_)));
    auto reopened = OpenStore();
    EXPECT_EQ(reopened->image(), plain);
}

// A log damaged at its end loses at most the edit it was writing; the writer cuts the damage
// off, so edits made after recovery survive the next open too.
TEST_F(TreeStoreLogTest, DamagedLogTailsLoseOnlyTheTornEdit) {
    struct Case {
        const char* name;
        std::function<void(std::string*)> damage;
        bool lastSurvives;
    } cases[] = {
        {"torn record", [](std::string* b) { b->resize(b->size() - 5); }, false},
        {"bad checksum", [](std::string* b) { (*b)[b->size() - 9] ^= 0x11; }, false},
        {"garbage tail", [](std::string* b) { b->append(std::string(300, '\x5A')); }, true},
        {"zero tail", [](std::string* b) { b->append(std::string(8192, '\0')); }, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        WriteFileBytes(path_, Sample(10));
        std::error_code ignored;
        std::filesystem::remove(EditLog::LogPath(path_), ignored);
        std::string beforeLast;
        std::string afterLast;
        std::string log;
        {
            auto store = OpenStore();
            store->SetField(3, kFieldTitle, "first edit");
            beforeLast = store->image();
            store->SetField(5, kFieldTitle, "last edit");
            afterLast = store->image();
            log = ReadFileBytes(EditLog::LogPath(path_));
            // Dies here: the log stays (a clean close would checkpoint it away).
            const std::string file = ReadFileBytes(path_);
            store.reset();
            WriteFileBytes(path_, file);
        }
        c.damage(&log);
        WriteFileBytes(EditLog::LogPath(path_), log);
        EXPECT_EQ(Loaded(), c.lastSurvives ? afterLast : beforeLast);
        auto store = OpenStore();
        EXPECT_EQ(store->image(), c.lastSurvives ? afterLast : beforeLast);
        store->SetField(1, kFieldTitle, "after recovery");
        const std::string expected = store->image();
        const std::string file = ReadFileBytes(path_);
        const std::string logNow = ReadFileBytes(EditLog::LogPath(path_));
        store.reset();
        WriteFileBytes(path_, file);
        WriteFileBytes(EditLog::LogPath(path_), logNow);
        EXPECT_EQ(Loaded(), expected);
        std::filesystem::remove(EditLog::LogPath(path_), ignored);
    }
}

// A log that names another file (the file was replaced behind the program's back) is kept
// aside, never applied.
TEST_F(TreeStoreLogTest, LogOfAnotherFileIsSetAside) {
    WriteFileBytes(path_, Sample(5));
    std::string log;
    {
        auto store = OpenStore();
        store->SetField(2, kFieldTitle, "edit");
        log = ReadFileBytes(EditLog::LogPath(path_));
    }
    const std::string other = Sample(7);
    WriteFileBytes(path_, other);
    WriteFileBytes(EditLog::LogPath(path_), log);
    EXPECT_EQ(Loaded(), other);
    auto store = OpenStore();
    EXPECT_EQ(store->image(), other);
    EXPECT_EQ(ReadFileBytes(EditLog::LogPath(path_) + ".unmatched"), log);
}

// Readers that cannot write (a second copy of the program, tools) see the edits the writer
// has only in its log.
TEST_F(TreeStoreLogTest, ReadersSeeEditsThatAreOnlyInTheLog) {
    WriteFileBytes(path_, Sample(8));
    auto writer = OpenStore();
    writer->SetField(4, kFieldTitle, "only in the log");
    writer->AddNode(2, NodeFields{});
    ASSERT_TRUE(writer->HasLoggedEdits());
    EXPECT_NE(ReadFileBytes(path_), writer->image());

    TreeStore second(dir_.path());
    EXPECT_FALSE(second.Open(path_));
    EXPECT_EQ(second.image(), writer->image());
    TreeStore tool;
    ASSERT_TRUE(tool.Load(path_));
    EXPECT_EQ(tool.image(), writer->image());
    tool.BuildOutline();
    EXPECT_EQ(tool.ReadNode(5, kFieldTitle), "only in the log");  // behind the new child of 2

    // Neither wrote anything: the writer's log goes on.
    second.SetField(1, kFieldTitle, "memory only");
    writer->SetField(6, kFieldTitle, "later");
    EXPECT_EQ(Loaded(), writer->image());
}

// A checkpoint on another thread while the store goes on editing: the file gets the snapshot,
// the later edits stay in the log, and nothing is lost either way.
TEST_F(TreeStoreLogTest, CheckpointOnAnotherThreadWhileEditing) {
    WriteFileBytes(path_, Sample(400));
    auto store = OpenStore();
    for (int i = 1; i < 50; ++i) store->SetField(i, kFieldTitle, "before " + std::to_string(i));
    const std::string snapshot = store->image();
    std::shared_ptr<CheckpointTask> task = store->StartCheckpoint();
    ASSERT_NE(task, nullptr);
    bool ok = false;
    std::thread worker([&] { ok = task->Run(); });
    for (int i = 1; i < 200; ++i) {
        NodeFields f;
        f.body = "during " + std::to_string(i);
        store->UpdateNode(i, f);
        if (i % 20 == 0) store->AddNode(i, NodeFields{});
    }
    worker.join();
    EXPECT_TRUE(ok);
    store->BuildOutline();
    const std::string final = store->image();
    EXPECT_EQ(ReadFileBytes(path_), snapshot);  // the file holds the snapshot
    EXPECT_TRUE(store->HasLoggedEdits());       // and the log what came after
    EXPECT_EQ(Loaded(), final);
    EXPECT_EQ(RecoveredCopy(), final);
    store.reset();  // a clean close checkpoints the rest
    EXPECT_EQ(ReadFileBytes(path_), final);
    EXPECT_FALSE(std::filesystem::exists(EditLog::LogPath(path_)));
}

TEST_F(TreeStoreLogTest, CheckpointIsDueWhenTheLogPassesItsLimit) {
    WriteFileBytes(path_, Sample(20));
    auto store = OpenStore();
    store->SetCheckpointLogLimit(2000);
    EXPECT_FALSE(store->HasLoggedEdits());
    EXPECT_EQ(store->StartCheckpoint(), nullptr);
    store->SetField(1, kFieldTitle, "x");
    EXPECT_TRUE(store->HasLoggedEdits());
    EXPECT_FALSE(store->NeedsCheckpoint());
    NodeFields f;
    f.body = std::string(3000, 'b');
    store->UpdateNode(2, f);
    EXPECT_TRUE(store->NeedsCheckpoint());
    EXPECT_TRUE(store->Checkpoint());
    EXPECT_FALSE(store->NeedsCheckpoint());
    EXPECT_EQ(store->LogSize(), 0u);
    EXPECT_EQ(ReadFileBytes(path_), store->image());
}

// Imports large enough to be written into the log while they are made (pieces of 1 MB on a
// thread of their own) and sealed at the commit, against the same import as one edit: the
// same image, which a reader and a recovering writer see too. A checkpoint while the pieces
// wait takes none of them into the file; a batch never committed leaves nothing.
TEST_F(TreeStoreLogTest, ImportsLoggedWhileMadeEndAsOneEditWould) {
    struct Case {
        const char* name;
        int target;       // the node the records go below
        bool builtForIt;  // made for the target's depth (else for a shallower one)
        bool commit;
    } cases[] = {
        {"sealed", 3, true, true},
        {"target deeper than the records were made for", 5, false, true},
        {"never committed", 3, true, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        auto run = [&](const std::string& path, bool logAhead, std::string* fileDuring) {
            WriteFileBytes(path, Sample(30));
            std::error_code ignored;
            std::filesystem::remove(EditLog::LogPath(path), ignored);
            auto store = std::make_unique<TreeStore>(dir_.path());
            std::time_t now = 1714554187;
            store->SetClock([&now] { return ++now; });
            EXPECT_TRUE(store->Open(path));
            store->BuildOutline();
            ImportOptions options;
            options.logAhead = logAhead;
            options.now = [] { return std::time_t{1714554187}; };
            auto batch = std::make_unique<ImportBatch>(*store, options);
            const int depth = store->BeginBatch(c.target) - (c.builtForIt ? 0 : 1);
            for (int i = 0; i < 300; ++i) {
                batch->AppendBatchRecord(depth, "imported " + std::to_string(i),
                                         std::string(9000, static_cast<char>('a' + i % 26)));
                if (i == 150) {
                    store->SetField(1, kFieldTitle, "edited while importing");
                    EXPECT_TRUE(store->Checkpoint());
                    *fileDuring = ReadFileBytes(path);
                    EXPECT_EQ(*fileDuring, store->image());
                }
            }
            if (c.commit) {
                EXPECT_TRUE(batch->Commit(c.target, depth));
            }
            batch.reset();
            return store;
        };
        std::string fileDuring;
        std::string referenceDuring;
        const auto reference = run(dir_.File("reference.qm"), false, &referenceDuring);
        const auto store = run(path_, true, &fileDuring);
        EXPECT_EQ(fileDuring, referenceDuring);
        EXPECT_EQ(store->image(), reference->image());
        EXPECT_EQ(store->NodeCount(), c.commit ? 330 : 30);
        EXPECT_EQ(store->BuildOutline(), reference->BuildOutlineQuick());
        EXPECT_EQ(Loaded(), store->image());
        EXPECT_EQ(RecoveredCopy(), store->image());
        // The records are in the store's image as they were made.
        if (c.commit) {
            EXPECT_EQ(store->ReadNode(c.target + 1, kFieldTitle), "imported 0");
            EXPECT_EQ(store->ReadNode(c.target + 300, kFieldBody), std::string(9000, 'n'));
        }
    }
}

// A checkpoint writes its snapshot in slices; records of any size around the slice's size (a
// large record is written from where it lies, a slice at a time) reach the file byte for byte.
TEST_F(TreeStoreLogTest, CheckpointWritesRecordsOfAnySizeWhole) {
    constexpr size_t kSlice = 128 * 1024;
    WriteFileBytes(path_, Sample(12));
    auto store = OpenStore();
    const size_t sizes[] = {kSlice - 1, kSlice, kSlice + 1, 3 * kSlice + 17, 1, 2 * kSlice};
    for (size_t i = 0; i < std::size(sizes); ++i) {
        NodeFields f;
        f.body = std::string(sizes[i], static_cast<char>('a' + i));
        ASSERT_TRUE(store->UpdateNode(static_cast<int>(i + 1), f));
    }
    ASSERT_TRUE(store->Checkpoint());
    EXPECT_EQ(ReadFileBytes(path_), store->image());
    EXPECT_EQ(store->LogSize(), 0u);
}

// A checkpoint that frees the file it replaced in steps cuts that file down only when nothing
// else holds it: a reader's mapping, another name or an open descriptor keep its bytes whole (a
// mapping cut under a reader would fault when the reader touches it).
TEST_F(TreeStoreLogTest, ReplacedFileIsCutInStepsOnlyWhenNobodyHoldsIt) {
    enum class Holder { kNone, kMappedReader, kOtherName, kOpenFile };
    struct Case {
        Holder holder;
        uint64_t step;  // 0: freed at its close, as by default
        bool cut;
    };
    const Case cases[] = {
        {Holder::kNone, 4096, true},          {Holder::kNone, 0, false},
        {Holder::kMappedReader, 4096, false}, {Holder::kOtherName, 4096, false},
        {Holder::kOpenFile, 4096, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(static_cast<int>(c.holder) * 10 + (c.step > 0));
        std::error_code ignored;
        std::filesystem::remove(EditLog::LogPath(path_), ignored);
        const std::string otherName = dir_.File("link.qm");
        std::filesystem::remove(otherName, ignored);
        const std::string before = Sample(400);
        ASSERT_GT(before.size(), 4 * 4096u);
        WriteFileBytes(path_, before);
        auto store = OpenStore();
        std::unique_ptr<TreeStore> reader;
        int fd = -1;
        switch (c.holder) {
            case Holder::kNone:
                break;
            case Holder::kMappedReader:
                reader = std::make_unique<TreeStore>();
                ASSERT_TRUE(reader->Load(path_));
                break;
            case Holder::kOtherName:
                ASSERT_EQ(link(path_.c_str(), otherName.c_str()), 0);
                break;
            case Holder::kOpenFile:
                fd = open(path_.c_str(), O_RDONLY | O_CLOEXEC);
                ASSERT_GE(fd, 0);
                break;
        }
        store->SetField(1, kFieldTitle, "changed");
        std::shared_ptr<CheckpointTask> task = store->StartCheckpoint();
        ASSERT_NE(task, nullptr);
        task->FreeReplacedFileInSteps(c.step);
        testing::CallRecord record;
        ASSERT_TRUE(task->Run());
        record.Stop();
        // The old file has no name left: its calls are on "... (deleted)".
        const int cuts = record.Count(fileio::kTruncate, " (deleted)");
        const int syncs = record.Count(fileio::kSync, " (deleted)");
        const int steps = c.cut ? static_cast<int>((before.size() + c.step - 1) / c.step) : 0;
        EXPECT_EQ(cuts, steps);
        EXPECT_EQ(syncs, steps);
        EXPECT_EQ(ReadFileBytes(path_), store->image());
        EXPECT_EQ(store->LogSize(), 0u);
        EXPECT_EQ(RecoveredCopy(), store->image());
        switch (c.holder) {
            case Holder::kNone:
                break;
            case Holder::kMappedReader:
                EXPECT_EQ(reader->image(), before);
                break;
            case Holder::kOtherName:
                EXPECT_EQ(ReadFileBytes(otherName), before);
                break;
            case Holder::kOpenFile: {
                std::string held;
                EXPECT_TRUE(fileio::ReadAll(fd, &held));
                EXPECT_EQ(held, before);
                close(fd);
                break;
            }
        }
    }
}

// The child runs the edits and reports each one that returned through a pipe; it dies just
// before its n-th file call. The parent then opens the file: it must hold the state after the
// last edit reported, or after the one that was running.
TEST_F(TreeStoreLogTest, AKilledStoreKeepsEveryEditThatReturned) {
    const std::string start = Sample(30);
    const auto steps = [](TreeStore& s, const std::function<void()>& done) {
        NodeFields f;
        f.body = std::string(500, 'L');
        s.UpdateNode(1, f);
        done();
        s.AddNode(3, NodeFields{});
        done();
        s.Checkpoint();
        done();
        int from = 2;
        int to = 20;
        s.MoveSubtree(&from, &to, true);
        done();
        // A checkpoint whose snapshot is older than the log: the edit made meanwhile must be
        // replayed after it, once.
        // It frees the file it replaces in steps: a crash may come between them too.
        std::shared_ptr<CheckpointTask> task = s.StartCheckpoint();
        if (task) task->FreeReplacedFileInSteps(512);
        s.SetField(7, kFieldTitle, "made during the checkpoint");
        done();
        if (task) task->Run();
        done();
        s.DeleteSubtree(10);
        done();
        s.ReadNode(12, kFieldBody);  // the accessed time, logged without a sync
        done();
        s.SetField(5, kFieldSelStart, "1234");
        done();
        {
            // An import of three pieces, written into the log while it is made, with an edit
            // and a checkpoint meanwhile (which must not take the pieces into the file), then
            // sealed. Before the seal returned nothing of it may replay.
            ImportOptions options;
            options.now = [] { return std::time_t{1714554187}; };
            ImportBatch batch(s, options);
            const int depth = s.BeginBatch(4);
            for (int i = 0; i < 250; ++i) {
                batch.AppendBatchRecord(depth, "imported", std::string(9000, 'i'));
                if (i == 120) {
                    s.SetField(6, kFieldTitle, "edited while importing");
                    done();
                    s.Checkpoint();
                    done();
                }
            }
            batch.Commit(4, depth);
            done();
        }
        s.Close();
        done();
    };
    std::vector<std::string> states = {start};
    {
        WriteFileBytes(path_, start);
        auto store = OpenStore();
        steps(*store, [&] { states.push_back(store->image()); });
    }
    bool finished = false;
    for (int n = 1; !finished && n < 400; ++n) {
        SCOPED_TRACE(n);
        WriteFileBytes(path_, start);
        std::error_code ignored;
        std::filesystem::remove(EditLog::LogPath(path_), ignored);
        const CrashRun run = RunUntilCrash([&](const std::function<void()>& done) {
            TreeStore s(dir_.path());
            std::time_t now = 1714554187;
            s.SetClock([&now] { return ++now; });
            if (!s.Open(path_)) _exit(3);
            s.BuildOutline();
            fileio::SetCrashPoint(n);
            steps(s, done);
        });
        ASSERT_TRUE(run.exited);
        ASSERT_TRUE(run.status == 0 || run.status == 86) << run.status;
        finished = run.finished();
        const int returned = run.returned;

        const std::string loaded = Loaded();
        auto store = OpenStore();
        const std::string recovered = store->image();
        EXPECT_EQ(loaded, recovered);
        ASSERT_LT(static_cast<size_t>(returned), states.size());
        const bool atLast = recovered == states[returned];
        const bool atRunning =
            static_cast<size_t>(returned) + 1 < states.size() && recovered == states[returned + 1];
        EXPECT_TRUE(atLast || atRunning) << returned << " edits returned";
        // The recovered store writes on: its edit survives the next open.
        store->SetField(1, kFieldTitle, "after");
        const std::string expected = store->image();
        store.reset();
        EXPECT_EQ(ReadFileBytes(path_), expected);
        EXPECT_FALSE(std::filesystem::exists(CheckpointTask::NewFilePath(path_)));
    }
    EXPECT_TRUE(finished);
}

}  // namespace
}  // namespace qm
