#include "common/edit_log.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>
#include <string>
#include <vector>

#include "common/file_calls.h"
#include "support/temp_dir.h"

namespace qm {
namespace {

using testing::ReadFileBytes;
using testing::TempDir;

struct Group {
    std::vector<EditLog::Edit> edits;
};

std::string Apply(std::string file, const std::vector<EditLog::Edit>& edits) {
    for (const EditLog::Edit& e : edits) file.replace(e.offset, e.removed, e.inserted);
    return file;
}

uint32_t SampleOf(const std::string& file) {
    const size_t n = std::min(EditLog::kSampleSize, file.size());
    return EditLog::SampleCrc(std::string_view(file).substr(0, n),
                              std::string_view(file).substr(file.size() - n));
}

class EditLogTest : public ::testing::Test {
protected:
    // Writes three groups (the second of two edits) for the file "base text" and returns the
    // log's bytes and the end of each group in it.
    std::string ThreeGroups(std::vector<size_t>* ends) {
        EditLog log;
        EXPECT_EQ(log.Open(path_), EditLog::OpenResult::kWritable);
        const std::vector<std::vector<EditLog::Edit>> groups = {
            {{0, 4, "BASE"}},
            {{9, 0, " and more"}, {0, 0, ">"}},
            {{1, 4, ""}},
        };
        for (const auto& group : groups) {
            EXPECT_TRUE(log.Append(group, true, base_.size(), SampleOf(base_)));
            ends->push_back(log.size());
        }
        log.Close(false);
        return ReadFileBytes(EditLog::LogPath(path_));
    }

    // A log's bytes and what recovering them over the base file must give.
    struct RecoveryCase {
        const char* name;
        std::string bytes;
        std::string expected;
        size_t validEnd;
    };
    void ExpectRecovers(const RecoveryCase& c) const {
        const EditLog::Recovery r = EditLog::Recover(c.bytes, base_);
        EXPECT_TRUE(r.belongs) << c.name;
        EXPECT_EQ(Apply(base_, r.edits), c.expected) << c.name;
        EXPECT_EQ(r.validEnd, c.validEnd) << c.name;
    }

    TempDir dir_;
    std::string path_ = dir_.File("a.qm");
    std::string base_ = "base text";
};

TEST_F(EditLogTest, GroupsReplayInOrderOverTheFileTheyWereWrittenFor) {
    std::vector<size_t> ends;
    const std::string log = ThreeGroups(&ends);
    const EditLog::Recovery r = EditLog::Recover(log, base_);
    EXPECT_TRUE(r.belongs);
    EXPECT_EQ(r.validEnd, log.size());
    EXPECT_EQ(r.lastSeq, 4u);
    EXPECT_EQ(Apply(base_, r.edits), "> text and more");
}

TEST_F(EditLogTest, DamagedTailsLoseOnlyTheGroupTheyTouch) {
    std::vector<size_t> ends;
    const std::string log = ThreeGroups(&ends);
    const std::string afterTwo = ">BASE text and more";
    const std::string afterThree = "> text and more";
    const RecoveryCase cases[] = {
        {"torn by one byte", log.substr(0, log.size() - 1), afterTwo, ends[1]},
        {"torn inside the header of the last record", log.substr(0, ends[1] + 3), afterTwo,
         ends[1]},
        {"second record of a group torn", log.substr(0, ends[1] - 2), "BASE text", ends[0]},
        {"bad checksum in the last record",
         [&] {
             std::string b = log;
             b[b.size() - 6] ^= 0x40;
             return b;
         }(),
         afterTwo, ends[1]},
        {"garbage after the last record", log + std::string(37, '\xA5'), afterThree, ends[2]},
        {"zeros after the last record", log + std::string(4096, '\0'), afterThree, ends[2]},
        {"torn header", log.substr(0, 10), base_, 0},
        {"empty", "", base_, 0},
    };
    for (const RecoveryCase& c : cases) ExpectRecovers(c);
}

TEST_F(EditLogTest, LogOfAnotherFileIsNotApplied) {
    std::vector<size_t> ends;
    const std::string log = ThreeGroups(&ends);
    for (const std::string& other :
         {std::string("base texT"), std::string("base text!"), std::string()}) {
        const EditLog::Recovery r = EditLog::Recover(log, other);
        EXPECT_FALSE(r.belongs) << other;
        EXPECT_TRUE(r.edits.empty());
    }
}

// A checkpoint marker names the file that holds every edit up to it: over that file only the
// edits numbered after it replay; over the old file all of them.
TEST_F(EditLogTest, CheckpointMarkerSaysWhichEditsTheFileHolds) {
    EditLog log;
    ASSERT_EQ(log.Open(path_), EditLog::OpenResult::kWritable);
    ASSERT_TRUE(log.Append({{0, 0, "1"}}, true, base_.size(), SampleOf(base_)));
    ASSERT_TRUE(log.Append({{0, 0, "2"}}, true, 0, 0));
    const std::string checkpointed = "21" + base_;
    const uint64_t seq = log.lastSeq();
    ASSERT_TRUE(log.Append({{0, 0, "3"}}, true, 0, 0));  // came while the checkpoint ran
    ASSERT_TRUE(log.AppendMarker(seq, checkpointed.size(),
                                 fileio::Crc(checkpointed.data(), checkpointed.size())));
    ASSERT_TRUE(log.Append({{0, 0, "4"}}, true, 0, 0));
    const std::string bytes = ReadFileBytes(EditLog::LogPath(path_));

    EXPECT_EQ(Apply(base_, EditLog::Recover(bytes, base_).edits), "4321" + base_);
    EXPECT_EQ(Apply(checkpointed, EditLog::Recover(bytes, checkpointed).edits), "4321" + base_);

    // Not emptied while edits after the snapshot are only in the log.
    EXPECT_TRUE(log.ResetIfNothingAfter(seq));
    EXPECT_EQ(log.size(), bytes.size());
    EXPECT_TRUE(log.ResetIfNothingAfter(log.lastSeq()));
    EXPECT_EQ(log.size(), 0u);
    EXPECT_EQ(ReadFileBytes(EditLog::LogPath(path_)), "");
}

TEST_F(EditLogTest, OneWriterAtATimeAndACleanCloseRemovesAnEmptyLog) {
    EditLog first;
    ASSERT_EQ(first.Open(path_), EditLog::OpenResult::kWritable);
    EditLog second;
    EXPECT_EQ(second.Open(path_), EditLog::OpenResult::kLocked);
    EXPECT_FALSE(second.Append({{0, 0, "x"}}, true, 0, 0));
    first.Close(true);
    EXPECT_FALSE(std::filesystem::exists(EditLog::LogPath(path_)));
    ASSERT_EQ(second.Open(path_), EditLog::OpenResult::kWritable);
    ASSERT_TRUE(second.Append({{0, 0, "x"}}, true, 0, 0));
    second.Close(true);  // not empty: kept for the next Open
    EXPECT_TRUE(std::filesystem::exists(EditLog::LogPath(path_)));
    EditLog unwritable;
    EXPECT_EQ(unwritable.Open(dir_.File("missing/a.qm")), EditLog::OpenResult::kFailed);
}

// A batch: pieces written while a group goes on between them, then the seal. The pieces
// replay as one insertion at the seal's place in the log, after the group that came first.
class EditLogBatchTest : public EditLogTest {
protected:
    // Writes the batch and returns the log's bytes and where each record ends.
    std::string Batch(std::vector<size_t>* ends) {
        EditLog log;
        EXPECT_EQ(log.Open(path_), EditLog::OpenResult::kWritable);
        EXPECT_TRUE(log.Append({{0, 4, "BASE"}}, true, base_.size(), SampleOf(base_)));
        ends->push_back(log.size());
        EXPECT_TRUE(log.OpenBatch(0, 0));
        EXPECT_TRUE(log.AppendPiece("[one]"));
        ends->push_back(log.size());
        EXPECT_TRUE(log.Append({{0, 0, ">"}}, true, 0, 0));
        ends->push_back(log.size());
        EXPECT_TRUE(log.AppendPiece("[two]"));
        ends->push_back(log.size());
        // The pieces are no edit yet: a checkpoint would have nothing to do for them.
        EXPECT_EQ(log.editBytes(), (*ends)[2] - ((*ends)[1] - (*ends)[0]));
        const uint64_t beforeSeal = log.size();
        EXPECT_TRUE(log.SealBatch(10));  // behind ">BASE text"
        ends->push_back(log.size());
        EXPECT_LT(log.size() - beforeSeal, 64u);  // the seal is small
        EXPECT_EQ(log.editBytes(), log.size());
        log.Close(false);
        return ReadFileBytes(EditLog::LogPath(path_));
    }
};

TEST_F(EditLogBatchTest, SealedPiecesReplayAsOneInsertion) {
    std::vector<size_t> ends;
    const std::string log = Batch(&ends);
    const EditLog::Recovery r = EditLog::Recover(log, base_);
    EXPECT_TRUE(r.belongs);
    EXPECT_EQ(r.validEnd, log.size());
    EXPECT_EQ(Apply(base_, r.edits), ">BASE text[one][two]");
}

// Pieces without their seal replay nothing: a crash while the batch was read, or a seal torn
// or damaged. Unsealed pieces at the end are torn tail (validEnd stops before them); a piece
// followed by an edit stays in the log, ignored.
TEST_F(EditLogBatchTest, PiecesWithoutTheirSealReplayNothing) {
    std::vector<size_t> ends;
    const std::string log = Batch(&ends);
    const std::string groupsOnly = ">BASE text";
    const RecoveryCase cases[] = {
        {"ended after the first piece", log.substr(0, ends[1]), "BASE text", ends[0]},
        {"ended after the second piece", log.substr(0, ends[3]), groupsOnly, ends[2]},
        {"seal torn", log.substr(0, log.size() - 3), groupsOnly, ends[2]},
        {"seal damaged",
         [&] {
             std::string b = log;
             b[b.size() - 10] ^= 0x08;
             return b;
         }(),
         groupsOnly, ends[2]},
        {"second piece damaged",
         [&] {
             std::string b = log;
             b[ends[3] - 6] ^= 0x01;
             return b;
         }(),
         groupsOnly, ends[2]},
    };
    for (const RecoveryCase& c : cases) ExpectRecovers(c);
}

// While a batch is open a checkpoint never empties the log (its pieces wait for the seal); a
// batch given up takes its pieces off the end of the log again.
TEST_F(EditLogBatchTest, OpenBatchKeepsTheLogAndAnAbandonedOneLeavesNothing) {
    EditLog log;
    ASSERT_EQ(log.Open(path_), EditLog::OpenResult::kWritable);
    ASSERT_TRUE(log.OpenBatch(base_.size(), SampleOf(base_)));  // writes the header
    EXPECT_FALSE(log.OpenBatch(0, 0));                          // one at a time
    ASSERT_TRUE(log.AppendPiece("[piece]"));
    EXPECT_GT(log.size(), 0u);
    EXPECT_EQ(log.editBytes(), 0u);
    EXPECT_TRUE(log.ResetIfNothingAfter(log.lastSeq()));
    EXPECT_GT(log.size(), 0u);
    log.AbandonBatch();
    EXPECT_EQ(log.size(), 0u);
    EXPECT_EQ(ReadFileBytes(EditLog::LogPath(path_)), "");
    EXPECT_FALSE(log.SealBatch(0));

    // With an edit behind them the pieces stay, replaying nothing; the log empties at the
    // next checkpoint.
    ASSERT_TRUE(log.OpenBatch(base_.size(), SampleOf(base_)));
    ASSERT_TRUE(log.AppendPiece("[piece]"));
    ASSERT_TRUE(log.Append({{0, 0, "1"}}, true, 0, 0));
    log.AbandonBatch();
    const std::string bytes = ReadFileBytes(EditLog::LogPath(path_));
    EXPECT_EQ(bytes.size(), log.size());
    EXPECT_EQ(Apply(base_, EditLog::Recover(bytes, base_).edits), "1" + base_);
    EXPECT_TRUE(log.ResetIfNothingAfter(log.lastSeq()));
    EXPECT_EQ(log.size(), 0u);
}

// A piece that cannot be written, or pieces that cannot be synced, make the batch unsealable;
// the log goes on for edits and replays nothing of the batch.
TEST_F(EditLogBatchTest, AFailedPieceOrSyncLeavesABatchThatCannotBeSealed) {
    for (const bool syncFails : {false, true}) {
        SCOPED_TRACE(syncFails ? "sync fails" : "write fails");
        std::filesystem::remove(EditLog::LogPath(path_));
        EditLog log;
        ASSERT_EQ(log.Open(path_), EditLog::OpenResult::kWritable);
        ASSERT_TRUE(log.Append({{0, 0, "1"}}, true, base_.size(), SampleOf(base_)));
        ASSERT_TRUE(log.OpenBatch(0, 0));
        ASSERT_TRUE(log.AppendPiece("[one]"));
        ASSERT_TRUE(log.SyncBatch());
        fileio::InjectFailure(syncFails ? fileio::kSync : fileio::kWrite, EIO, ".log");
        EXPECT_EQ(log.AppendPiece("[two]"), syncFails);
        EXPECT_FALSE(log.SyncBatch());
        fileio::ClearInjectedFailures();
        EXPECT_FALSE(log.AppendPiece("[three]"));
        EXPECT_FALSE(log.SealBatch(0));
        ASSERT_TRUE(log.Append({{0, 0, "2"}}, true, 0, 0));
        const std::string bytes = ReadFileBytes(EditLog::LogPath(path_));
        EXPECT_EQ(Apply(base_, EditLog::Recover(bytes, base_).edits), "21" + base_);
        log.Close(false);
    }
}

// Pieces left unsealed before a checkpoint marker stay in the log after a crash; a batch
// opened after recovery gets a number of its own and its seal replays its pieces alone.
TEST_F(EditLogBatchTest, ABatchAfterRecoveryNeverJoinsOldPieces) {
    const std::string checkpointed = "1" + base_;
    {
        EditLog log;
        ASSERT_EQ(log.Open(path_), EditLog::OpenResult::kWritable);
        ASSERT_TRUE(log.Append({{0, 0, "1"}}, true, base_.size(), SampleOf(base_)));
        const uint64_t snapshot = log.lastSeq();
        ASSERT_TRUE(log.OpenBatch(0, 0));
        ASSERT_TRUE(log.AppendPiece("[old]"));
        ASSERT_TRUE(log.AppendMarker(snapshot, checkpointed.size(),
                                     fileio::Crc(checkpointed.data(), checkpointed.size())));
        log.Close(false);  // dies with the batch open
    }
    const EditLog::Recovery r =
        EditLog::Recover(ReadFileBytes(EditLog::LogPath(path_)), checkpointed);
    EXPECT_TRUE(r.edits.empty());
    EditLog log;
    ASSERT_EQ(log.Open(path_), EditLog::OpenResult::kWritable);
    ASSERT_TRUE(log.Continue(r.validEnd, r.lastSeq));
    ASSERT_TRUE(log.OpenBatch(0, 0));
    ASSERT_TRUE(log.AppendPiece("[new]"));
    ASSERT_TRUE(log.SealBatch(0));
    const std::string bytes = ReadFileBytes(EditLog::LogPath(path_));
    EXPECT_EQ(Apply(checkpointed, EditLog::Recover(bytes, checkpointed).edits),
              "[new]" + checkpointed);
}

}  // namespace
}  // namespace qm
