#include "store/tree_store.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <ctime>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "common/charset.h"
#include "common/journaled_file.h"
#include "store/outline.h"
#include "store/record_format.h"
#include "store/time_text.h"
#include "support/record_bytes.h"
#include "support/temp_dir.h"

namespace qm {
namespace {

using testing::ReadFileBytes;
using testing::TempDir;
using testing::WriteFileBytes;

using testing::kEnd;
using testing::kSep;
using testing::Rec;
const char* const kOldTime = testing::kRecordTime;

int CountOf(const std::string& text, const std::string& what) {
    int n = 0;
    for (size_t pos = text.find(what); pos != std::string::npos;
         pos = text.find(what, pos + what.size())) {
        ++n;
    }
    return n;
}

class TreeStoreTest : public ::testing::Test {
protected:
    void SetUp() override {
        setenv("TZ", "UTC", 1);
        tzset();
    }

    // Every test ends with the file and its log giving the image, byte for byte, and, after
    // a checkpoint, with the file alone equal to it.
    void TearDown() override {
        if (store_ && store_->writable()) {
            EXPECT_EQ(FileBytes(), store_->image());
            EXPECT_TRUE(store_->Checkpoint());
            EXPECT_EQ(ReadFileBytes(path_), store_->image());
            EXPECT_FALSE(store_->HasLoggedEdits());
        }
    }

    void OpenWith(const std::string& bytes, bool buildOutline = true) {
        store_.reset();  // its clean close would bring the file up to date over our bytes
        WriteFileBytes(path_, bytes);
        Reopen(buildOutline);
    }

    void Reopen(bool buildOutline = true) {
        store_.reset();
        store_ = std::make_unique<TreeStore>(dir_.path());
        store_->SetClock([this] { return now_; });
        ASSERT_TRUE(store_->Open(path_));
        if (buildOutline) store_->BuildOutline();
    }

    std::vector<OutlineRow> Rows() {
        std::vector<OutlineRow> rows;
        EXPECT_TRUE(ParseOutline(store_->BuildOutline(), &rows));
        return rows;
    }

    std::string Titles() {
        std::string titles;
        for (const OutlineRow& row : Rows()) titles += row.title + std::to_string(row.depth) + " ";
        return titles;
    }

    // What is durable: the file with its log applied, as a reader that cannot write sees it.
    std::string FileBytes() const {
        TreeStore reader;
        EXPECT_TRUE(reader.Load(path_));
        return reader.image();
    }

    // Field k of record `index` as the image holds it, without any side effect.
    std::string StoredField(int index, int k) const {
        const std::string& image = store_->image();
        size_t start = 0;
        for (int i = 0; i < index; ++i) start = image.find(kEnd, start) + 1;
        return SplitRecord(image.substr(start, image.find(kEnd, start) - start))[k - 1];
    }

    // root, a, b (with child b1), c, d, e.
    void OpenSampleTree() {
        OpenWith(Rec("root", 1, "", "", 2) + Rec("a", 2) + Rec("b", 2, "", "", 0) + Rec("b1", 3) +
                 Rec("c", 2) + Rec("d", 2) + Rec("e", 2));
    }

    TempDir dir_;
    std::string path_ = dir_.File("notes.qm");
    std::time_t now_ = 1714554187;  // 2024-05-01 09:03:07 UTC
    std::unique_ptr<TreeStore> store_;
};

// --- file bytes and format rules ---

TEST_F(TreeStoreTest, RootRecordIsWrittenByteForByte) {
    OpenWith("");
    NodeFields root;
    root.title = Utf8ToGb18030("笔记本");
    root.image = 2;
    ASSERT_EQ(store_->AddNode(std::nullopt, root), 0);
    const std::string t = "2024-05-01 09:03:07";
    const std::string expected = std::string("\xB1\xCA\xBC\xC7\xB1\xBE") + kSep + "2" + kSep + "2" +
                                 kSep + "0" + kSep + "0" + kSep + "1" + kSep + kSep + kSep + "0" +
                                 kSep + "0" + kSep + t + kSep + t + kSep + t + kEnd;
    EXPECT_EQ(store_->image(), expected);
    EXPECT_EQ(FileBytes(), expected);
}

TEST_F(TreeStoreTest, EmptyFileHasNoNodesAndTakesItsFirstRecordAtDepthOne) {
    OpenWith("");
    EXPECT_EQ(store_->BuildOutline(), "");
    EXPECT_EQ(store_->NodeCount(), 0);
    EXPECT_EQ(store_->ReadNode(0, 1), "");
    EXPECT_EQ(store_->AddNode(std::nullopt), 0);
    EXPECT_EQ(store_->AddNode(0), 1);
    EXPECT_EQ(Titles(), "1 2 ");
    NodeRecord record;
    store_->ReadNode(0, 1, &record);
    EXPECT_EQ(record.image, -1);
    EXPECT_EQ(record.selectedImage, -1);
}

TEST_F(TreeStoreTest, BytesWithoutTerminatorAreNoNodeAndGoWithTheFirstRecord) {
    OpenWith("leftover bytes");
    EXPECT_EQ(store_->NodeCount(), 0);
    EXPECT_EQ(store_->BuildOutline(), "");
    NodeFields fields;
    fields.title = "n";
    EXPECT_EQ(store_->AddNode(std::nullopt, fields), 0);
    EXPECT_EQ(store_->image().find("leftover"), std::string::npos);
    EXPECT_EQ(Titles(), "n1 ");
}

TEST_F(TreeStoreTest, BytesAfterTheLastTerminatorStayInTheFile) {
    const std::string tail = "\x1E\x1Etorn";
    OpenWith(Rec("root", 1) + Rec("a", 2) + tail);
    EXPECT_EQ(store_->NodeCount(), 2);
    EXPECT_EQ(Titles(), "root1 a2 ");
    NodeFields fields;
    fields.title = "top";
    EXPECT_EQ(store_->AddNode(std::nullopt, fields), 2);  // behind the last record, before the tail
    EXPECT_EQ(store_->AddNode(1), 2);
    EXPECT_EQ(Titles(), "root1 a2 3 top1 ");
    EXPECT_EQ(store_->image().substr(store_->image().size() - tail.size()), tail);
}

TEST_F(TreeStoreTest, DepthJumpBelongsToTheSubtreeBefore) {
    OpenWith(Rec("r", 1) + Rec("deep", 3) + Rec("child", 2) + Rec("r2", 1));
    EXPECT_EQ(Titles(), "r1 deep3 child2 r21 ");
    SubtreeSpan span;
    EXPECT_EQ(store_->LocateSubtree(0, &span), 3);
    EXPECT_EQ(span.lastIndex, 2);
    EXPECT_EQ(span.depth, 1);
    EXPECT_EQ(store_->LocateSubtree(1), 1);
}

TEST_F(TreeStoreTest, BodyBytesAreStoredVerbatim) {
    OpenWith(Rec("r", 1));
    const std::string body = "\xFF\xFE\xA3\xAC\xA1\xA3line\r\nnext\r\n\xFF";
    NodeFields fields;
    fields.body = body;
    ASSERT_TRUE(store_->UpdateNode(0, fields));
    EXPECT_EQ(store_->GetField(0, 7), body);
    Reopen();
    NodeRecord record;
    EXPECT_EQ(store_->ReadNode(0, 7, &record, true), body);
    EXPECT_EQ(record.body, body);
}

// Records damaged in several ways: each must read, get its missing separators before its
// terminator once a missing field is located, and keep the bytes around it.
TEST_F(TreeStoreTest, ShortRecordsAreRepairedInPlace) {
    struct Case {
        const char* name;
        std::string bytes;
        std::string titles;  // outline titles and depths
        int index;           // the short record
        int locate;          // a field located afterwards (0: the outline alone)
    };
    const std::string cutInField9 = "x" + kSep + "1" + kSep + "1" + kSep + "0" + kSep + "0" + kSep +
                                    "2" + kSep + "body" + kSep + kSep + "1" + kEnd;
    const Case cases[] = {
        {"five separators",
         "t" + kSep + "1" + kSep + "1" + kSep + "0" + kSep + "2" + kSep + "2" + kEnd, "t2 ", 0, 0},
        {"title only", "only" + kEnd, "only0 ", 0, 0},
        {"empty record", Rec("r", 1) + kEnd + Rec("z", 2), "r1 0 z2 ", 1, 0},
        {"cut in field 9, field 11 read", Rec("r", 1) + cutInField9, "r1 x2 ", 1, 11},
        {"cut in field 9, field 13 read", Rec("r", 1) + cutInField9 + "garbage", "r1 x2 ", 1, 13},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        OpenWith(c.bytes);
        EXPECT_EQ(Titles(), c.titles);
        if (c.locate != 0) {
            const std::string before = store_->image();
            EXPECT_EQ(store_->GetField(c.index, 6), "2");  // ended by a separator: no repair
            EXPECT_EQ(store_->GetField(c.index, 8), "");
            EXPECT_EQ(store_->image(), before);
            EXPECT_EQ(store_->GetField(c.index, c.locate), "");
            EXPECT_EQ(store_->GetField(c.index, 9), "1");
        }
        EXPECT_EQ(FileBytes(), store_->image());
        size_t start = 0;
        size_t oldStart = 0;
        for (int i = 0; i < c.index; ++i) {
            start = store_->image().find(kEnd, start) + 1;
            oldStart = c.bytes.find(kEnd, oldStart) + 1;
        }
        const size_t end = store_->image().find(kEnd, start);
        EXPECT_EQ(CountOf(store_->image().substr(start, end - start), kSep), 12);
        EXPECT_EQ(store_->image().substr(0, start), c.bytes.substr(0, oldStart));
        EXPECT_EQ(store_->image().substr(end + 1),
                  c.bytes.substr(c.bytes.find(kEnd, oldStart) + 1));
    }
}

TEST_F(TreeStoreTest, RecordWithFiveSeparatorsShowsItsFirstFieldsAndEmptyRest) {
    OpenWith("t" + kSep + "2" + kSep + "2" + kSep + "0" + kSep + "2" + kSep + "3" + kEnd);
    const std::vector<OutlineRow> rows = Rows();
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0].image, 2);
    EXPECT_EQ(rows[0].state, 2);
    EXPECT_EQ(rows[0].depth, 3);
    NodeRecord record;
    EXPECT_EQ(store_->ReadNode(0, 13, &record, true), "2024-05-01 09:03:07");
    EXPECT_EQ(record.body, "");
    EXPECT_EQ(record.externalPath, "");
    EXPECT_EQ(record.created, "");
    EXPECT_EQ(store_->GetField(0, 12), "");
}

TEST_F(TreeStoreTest, BuildOutlineQuickRepairsNothing) {
    const std::string bytes = "t" + kSep + "1" + kEnd;
    OpenWith(bytes, false);
    std::vector<OutlineRow> rows;
    ASSERT_TRUE(ParseOutline(store_->BuildOutlineQuick(), &rows));
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0].image, 1);
    EXPECT_EQ(store_->image(), bytes);
    EXPECT_EQ(store_->NodeCount(), 1);  // counts (and repairs) through BuildOutline
    EXPECT_NE(store_->image(), bytes);
}

TEST_F(TreeStoreTest, ExtraSeparatorsStayUntilTheRecordIsRewritten) {
    std::string record = Rec("r", 1);
    record.insert(record.size() - 1, kSep + "extra");
    OpenWith(record);
    EXPECT_EQ(store_->GetField(0, 13), std::string(kOldTime) + kSep + "extra");
    EXPECT_EQ(store_->ReadNode(0, 13), kOldTime);
    EXPECT_EQ(store_->image(), record);
    NodeFields fields;
    fields.title = "s";
    ASSERT_TRUE(store_->UpdateNode(0, fields));
    EXPECT_EQ(store_->image(), "s" + Rec("r", 1).substr(1));
}

TEST_F(TreeStoreTest, TextFieldsNeverCarryASeparatorOrATerminator) {
    OpenWith(Rec("r", 1));
    const std::string hostile = std::string(
        "a\x1E\x1E"
        "b\0c\x1E",
        7);
    NodeFields fields;
    fields.title = hostile;
    fields.body = hostile;
    ASSERT_EQ(store_->AddNode(0, fields), 1);
    ASSERT_TRUE(store_->SetField(0, 1,
                                 std::string("\x1E"
                                             "x\0",
                                             3)));
    fields = {};
    fields.body = "\x1E";
    ASSERT_TRUE(store_->UpdateNode(1, fields));
    ASSERT_TRUE(store_->SetField(1, 8, "\x1E\x1E"));  // no file there: body copied out, path kept
    EXPECT_EQ(CountOf(store_->image(), kEnd), 2);
    Reopen();
    EXPECT_EQ(store_->NodeCount(), 2);
    EXPECT_EQ(store_->ReadNode(0, 1), " x");
    EXPECT_EQ(store_->ReadNode(1, 1), "a  bc ");
    EXPECT_EQ(store_->ReadNode(1, 7), " ");
    EXPECT_EQ(store_->ReadNode(1, 8), "  ");
    EXPECT_EQ(store_->ReadNode(1, 6), "2");
}

// --- reading ---

TEST_F(TreeStoreTest, AccessedTimeIsWrittenOnlyWhenTheBodyIsRead) {
    OpenWith(Rec("r", 1, "body"));
    const std::string before = FileBytes();
    NodeRecord record;
    EXPECT_EQ(store_->ReadNode(0, 1, &record), "r");
    EXPECT_EQ(record.body, "");
    EXPECT_EQ(store_->GetField(0, 13), kOldTime);
    EXPECT_EQ(store_->GetField(0, 8), "");
    PathAndTimes times;
    ASSERT_TRUE(store_->GetPathAndTimes(0, &times));
    EXPECT_EQ(times.accessed, kOldTime);
    EXPECT_EQ(FileBytes(), before);

    EXPECT_EQ(store_->ReadNode(0, 1, &record, true), "r");
    EXPECT_EQ(record.body, "body");
    EXPECT_EQ(record.accessed, "2024-05-01 09:03:07");
    EXPECT_EQ(record.modified, kOldTime);
    EXPECT_EQ(FileBytes().size(), before.size());
    EXPECT_NE(FileBytes().find("2024-05-01 09:03:07"), std::string::npos);

    now_ += 3600;
    EXPECT_EQ(store_->GetField(0, 7), "body");
    EXPECT_EQ(store_->GetField(0, 13), "2024-05-01 10:03:07");
    EXPECT_EQ(store_->ReadNode(0, 7), "body");  // field 7 asked: a body read too
    EXPECT_EQ(FileBytes(),
              Rec("r", 1, "body").substr(0, before.size() - 20) + "2024-05-01 10:03:07" + kEnd);
}

TEST_F(TreeStoreTest, OutOfRangeReadsGiveEmptyAndChangeNothing) {
    OpenSampleTree();
    const std::string before = store_->image();
    NodeRecord record;
    record.title = "untouched";
    for (const int index : {-1, 7, 100}) {
        EXPECT_EQ(store_->ReadNode(index, 7, &record, true), "");
        EXPECT_EQ(store_->GetField(index, 7), "");
        EXPECT_FALSE(store_->SetField(index, 1, "x"));
        EXPECT_FALSE(store_->UpdateNode(index, NodeFields{}));
        EXPECT_EQ(store_->DeleteSubtree(index), -1);
        EXPECT_EQ(store_->LocateSubtree(index), -1);
        EXPECT_EQ(store_->AddNode(index), -1);
        EXPECT_EQ(store_->BeginBatch(index), -1);
    }
    EXPECT_EQ(record.title, "untouched");
    EXPECT_FALSE(store_->SetField(0, 0, "x"));
    EXPECT_FALSE(store_->SetField(0, 14, "x"));
    EXPECT_EQ(store_->GetField(0, 14), "");
    EXPECT_EQ(store_->ReadNode(0, 0), "");
    EXPECT_EQ(store_->image(), before);
}

TEST_F(TreeStoreTest, IndexesBeyondTheNodeCountFailUntilTheOutlineIsBuilt) {
    OpenWith(Rec("r", 1) + Rec("a", 2), false);
    EXPECT_EQ(store_->ReadNode(0, 1), "");
    EXPECT_EQ(store_->NodeCount(), 2);
    EXPECT_EQ(store_->ReadNode(1, 1), "a");
}

// --- adding and updating ---

TEST_F(TreeStoreTest, AddNodeBecomesTheLastChildOfItsParent) {
    OpenSampleTree();
    EXPECT_EQ(store_->AddNode(2), 4);  // parent 2 has b1 below it
    NodeFields fields;
    fields.title = "new";
    fields.image = 1;
    fields.selectedImage = 5;
    fields.expandState = 2;
    fields.selStart = 3;
    fields.selLength = 4;
    fields.body = "text";
    EXPECT_EQ(store_->AddNode(0, fields), 8);  // root's subtree has 8 records now
    EXPECT_EQ(Titles(), "root1 a2 b2 b13 3 c2 d2 e2 new2 ");
    NodeRecord record;
    EXPECT_EQ(store_->ReadNode(8, 3, &record, true), "5");
    EXPECT_EQ(record.expandState, 2);
    EXPECT_EQ(record.selStart, 3);
    EXPECT_EQ(record.selLength, 4);
    EXPECT_EQ(record.body, "text");
    EXPECT_EQ(record.created, "2024-05-01 09:03:07");
    EXPECT_EQ(store_->NodeCount(), 9);
}

TEST_F(TreeStoreTest, AddNodeUnderAParentWithFiveRecordsReturnsParentPlusFive) {
    OpenWith(Rec("root", 1) + Rec("p", 2) + Rec("x", 3) + Rec("y", 4) + Rec("z", 3) + Rec("w", 4) +
             Rec("after", 2));
    EXPECT_EQ(store_->AddNode(1), 6);
    EXPECT_EQ(store_->ReadNode(6, 6), "3");
    EXPECT_EQ(store_->ReadNode(7, 1), "after");
}

TEST_F(TreeStoreTest, UpdateNodeRewritesOnlyGivenFieldsAndNeverTheDepth) {
    OpenWith(Rec("r", 1) + Rec("a", 2, "old body"));
    NodeFields fields;
    fields.selStart = 12;
    fields.selLength = 3;
    ASSERT_TRUE(store_->UpdateNode(1, fields));
    NodeRecord record;
    store_->ReadNode(1, 1, &record);
    EXPECT_EQ(record.selStart, 12);
    EXPECT_EQ(record.selLength, 3);
    EXPECT_EQ(record.modified, kOldTime);  // no body given: the modified time stays
    EXPECT_EQ(record.depth, 2);

    fields = {};
    fields.title = "renamed";
    fields.body = "a much longer body than before";
    fields.image = 0;
    ASSERT_TRUE(store_->UpdateNode(1, fields));
    store_->ReadNode(1, 1, &record, true);
    EXPECT_EQ(record.title, "renamed");
    EXPECT_EQ(record.image, 0);
    EXPECT_EQ(record.selectedImage, 1);
    EXPECT_EQ(record.body, "a much longer body than before");
    EXPECT_EQ(record.modified, "2024-05-01 09:03:07");
    EXPECT_EQ(record.created, kOldTime);
    EXPECT_EQ(record.depth, 2);
    EXPECT_EQ(Titles(), "r1 renamed2 ");
}

TEST_F(TreeStoreTest, SetFieldReplacesOneFieldOfAnyLength) {
    OpenSampleTree();
    ASSERT_TRUE(store_->SetField(3, 1, "a longer title"));
    ASSERT_TRUE(store_->SetField(3, 5, "2"));
    ASSERT_TRUE(store_->SetField(2, 1, ""));
    ASSERT_TRUE(store_->SetField(3, 7, "body"));
    EXPECT_EQ(store_->GetField(3, 12), "2024-05-01 09:03:07");  // the body sets the modified time
    EXPECT_EQ(store_->GetField(2, 12), kOldTime);
    EXPECT_EQ(Titles(), "root1 a2 2 a longer title3 c2 d2 e2 ");
    EXPECT_EQ(Rows()[3].state, 2);
    EXPECT_EQ(store_->GetField(4, 1), "c");
}

// --- structure ---

TEST_F(TreeStoreTest, ADepthWrittenByHandChangesTheStructureAtOnce) {
    OpenSampleTree();
    EXPECT_EQ(store_->LocateSubtree(2), 2);
    ASSERT_TRUE(store_->SetField(4, 6, "3"));  // c becomes b's second child
    EXPECT_EQ(store_->LocateSubtree(2), 3);
    ASSERT_TRUE(store_->SetField(4, 6, "12"));
    EXPECT_EQ(store_->LocateSubtree(3), 2);
    ASSERT_TRUE(store_->SetField(2, 6, "\xA3\xB2"));  // full-width 2
    EXPECT_EQ(store_->LocateSubtree(2), 3);
    EXPECT_EQ(Rows()[4].depth, 12);
}

TEST_F(TreeStoreTest, DeleteSubtreeHandsBackItsRecords) {
    OpenSampleTree();
    std::string removed;
    int depth = 0;
    EXPECT_EQ(store_->DeleteSubtree(2, &removed, &depth), 2);
    EXPECT_EQ(removed, Rec("b", 2, "", "", 0) + Rec("b1", 3));
    EXPECT_EQ(depth, 2);
    EXPECT_EQ(store_->NodeCount(), 5);
    EXPECT_EQ(store_->ReadNode(2, 1), "c");
    EXPECT_EQ(store_->DeleteSubtree(0), 5);
    EXPECT_EQ(store_->image(), "");
}

TEST_F(TreeStoreTest, GetSubtreeBytesChangesNothing) {
    OpenSampleTree();
    const std::string before = store_->image();
    std::string bytes;
    int count = 0;
    int depth = 0;
    ASSERT_TRUE(store_->GetSubtreeBytes(2, &bytes, &count, &depth));
    EXPECT_EQ(bytes, Rec("b", 2, "", "", 0) + Rec("b1", 3));
    EXPECT_EQ(count, 2);
    EXPECT_EQ(depth, 2);
    EXPECT_FALSE(store_->GetSubtreeBytes(7, &bytes, &count));
    EXPECT_EQ(store_->image(), before);
}

TEST_F(TreeStoreTest, MoveSubtreeAsSibling) {
    struct Case {
        int from;
        int to;
        std::string titles;
        int newTo;
    };
    const Case cases[] = {
        {2, 5, "root1 a2 c2 d2 b2 b13 e2 ", 4},  // down: lands after d
        {5, 2, "root1 a2 d2 b2 b13 c2 e2 ", 2},  // up: lands before b
        {3, 6, "root1 a2 b2 c2 d2 e2 b12 ", 6},  // a child leaves its parent
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.from);
        OpenSampleTree();
        int from = c.from;
        int to = c.to;
        int count = 0;
        ASSERT_TRUE(store_->MoveSubtree(&from, &to, true, &count));
        EXPECT_EQ(to, c.newTo);
        EXPECT_EQ(Titles(), c.titles);
        EXPECT_EQ(store_->NodeCount(), 7);
        EXPECT_EQ(FileBytes(), store_->image());
    }
}

TEST_F(TreeStoreTest, MoveSubtreeAsChildShiftsDepths) {
    OpenSampleTree();
    int from = 2;
    int to = 1;
    ASSERT_TRUE(store_->MoveSubtree(&from, &to, false));
    EXPECT_EQ(to, 2);
    EXPECT_EQ(from, 4);  // the old place, shifted by the insertion before it
    EXPECT_EQ(Titles(), "root1 a2 b3 b14 c2 d2 e2 ");

    from = 0;  // into its own subtree
    to = 6;
    EXPECT_FALSE(store_->MoveSubtree(&from, &to, false));
    from = 5;
    to = 1;
    ASSERT_TRUE(store_->MoveSubtree(&from, &to, false));
    EXPECT_EQ(to, 4);
    EXPECT_EQ(Titles(), "root1 a2 b3 b14 d3 c2 e2 ");
}

TEST_F(TreeStoreTest, MoveIntoItsOwnSubtreeFailsAndChangesNothing) {
    OpenSampleTree();
    const std::string before = store_->image();
    struct Case {
        int from;
        int to;
    };
    for (const Case c : {Case{2, 3}, Case{2, 2}, Case{0, 4}, Case{-1, 2}, Case{2, 7}, Case{9, 1}}) {
        int from = c.from;
        int to = c.to;
        EXPECT_FALSE(store_->MoveSubtree(&from, &to, true)) << c.from << "->" << c.to;
        EXPECT_FALSE(store_->MoveSubtree(&from, &to, false)) << c.from << "->" << c.to;
        EXPECT_EQ(from, c.from);
        EXPECT_EQ(to, c.to);
    }
    EXPECT_EQ(store_->image(), before);
    EXPECT_EQ(FileBytes(), before);
    EXPECT_EQ(store_->NodeCount(), 7);
}

TEST_F(TreeStoreTest, PastedBlockWithARootInsertsOnlyItsDescendants) {
    const std::string block = Rec("R", 1) + Rec("x", 2) + Rec("x1", 3);
    struct Case {
        bool asSibling;
        std::string titles;
        int newTo;
    };
    const Case cases[] = {
        {false, "root1 a2 b2 b13 c2 x3 x14 d2 e2 ", 5},
        {true, "root1 a2 b2 b13 x2 x13 c2 d2 e2 ", 4},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.asSibling);
        OpenSampleTree();
        int to = 4;
        ASSERT_TRUE(store_->MoveSubtree(block, 3, 1, &to, c.asSibling));
        EXPECT_EQ(to, c.newTo);
        EXPECT_EQ(Titles(), c.titles);
    }
    OpenSampleTree();
    int to = 4;
    EXPECT_FALSE(store_->MoveSubtree(Rec("R", 1), 1, 1, &to, false));  // nothing below the root
    to = 7;
    EXPECT_FALSE(store_->MoveSubtree(Rec("x", 2), 1, 2, &to, false));  // no such target
    EXPECT_EQ(Titles(), "root1 a2 b2 b13 c2 d2 e2 ");
}

TEST_F(TreeStoreTest, BlockFromTheOtherStoreKeepsItsFieldsAndDropsTrailingBytes) {
    OpenSampleTree();
    int to = 0;
    const std::string block = Rec("moved", 5, "body") + "partial";
    ASSERT_TRUE(store_->MoveSubtree(block, 1, 5, &to, false));
    EXPECT_EQ(to, 7);
    EXPECT_EQ(store_->GetField(7, 7), "body");
    EXPECT_EQ(store_->GetField(7, 6), "2");
    EXPECT_EQ(store_->image().find("partial"), std::string::npos);
    EXPECT_EQ(store_->NodeCount(), 8);
}

TEST_F(TreeStoreTest, ShiftDepthRepairsShortRecordsInTheBlockOnly) {
    OpenSampleTree();
    const std::string before = store_->image();
    std::string block = Rec("a", 2) + "s" + kSep + "1" + kEnd + "tail";
    TreeStore::ShiftDepth(&block, 3);
    EXPECT_EQ(block, Rec("a", 5) + "s" + kSep + "1" + kSep + kSep + kSep + kSep + "3" + kSep +
                         kSep + kSep + kSep + kSep + kSep + kSep + kEnd + "tail");
    EXPECT_EQ(store_->image(), before);
}

TEST_F(TreeStoreTest, LocateFieldRepairsTheBufferItIsGiven) {
    OpenWith(Rec("r", 1));
    std::string buffer = "a" + kSep + "b" + kEnd;
    size_t start = 0;
    size_t end = 0;
    size_t recordEnd = buffer.size() - 1;
    size_t dataEnd = buffer.size();
    ASSERT_TRUE(store_->LocateField(4, &start, &end, &recordEnd, &dataEnd, &buffer));
    EXPECT_EQ(start, end);
    EXPECT_EQ(recordEnd, buffer.size() - 1);
    EXPECT_EQ(dataEnd, buffer.size());
    EXPECT_EQ(CountOf(buffer, kSep), 12);
    EXPECT_EQ(store_->image(), Rec("r", 1));

    size_t offset = 3;
    EXPECT_TRUE(store_->FindRecordEnd(&offset));
    EXPECT_EQ(offset, Rec("r", 1).size() - 1);
    offset = Rec("r", 1).size();
    EXPECT_FALSE(store_->FindRecordEnd(&offset));
    EXPECT_EQ(offset, Rec("r", 1).size());
}

TEST_F(TreeStoreTest, RawByteEditsKeepTheIndexRight) {
    OpenSampleTree();
    ASSERT_TRUE(store_->InsertBytes(0, Rec("first", 1)));
    ASSERT_TRUE(store_->ReplaceBytes(store_->image().size(), 0, Rec("last", 1)));
    EXPECT_FALSE(store_->InsertBytes(store_->image().size() + 1, "x"));
    std::string buffer = "abc";
    ASSERT_TRUE(store_->ReplaceBytes(1, 1, "XY", &buffer));
    EXPECT_EQ(buffer, "aXYc");
    EXPECT_EQ(Titles(), "first1 root1 a2 b2 b13 c2 d2 e2 last1 ");
    EXPECT_EQ(store_->ReadNode(8, 1), "last");
}

TEST_F(TreeStoreTest, BatchGoesBehindTheSubtreeAndLeavesTheCountAlone) {
    OpenSampleTree();
    EXPECT_EQ(store_->BeginBatch(2), 2);
    store_->AppendBatchBytes(Rec("n1", 3) + Rec("n2", 3));
    store_->CommitBatch();
    EXPECT_EQ(store_->ReadNode(6, 1), "c");
    EXPECT_EQ(store_->ReadNode(7, 1), "");  // the count is still 7
    EXPECT_EQ(store_->NodeCount(), 7);
    EXPECT_EQ(Titles(), "root1 a2 b2 b13 n13 n23 c2 d2 e2 ");
    EXPECT_EQ(store_->NodeCount(), 9);
    store_->CommitBatch();  // an empty batch changes nothing
    EXPECT_EQ(store_->NodeCount(), 9);
}

// Many edits in a row; after each one the store must agree with a fresh reading of the file.
TEST_F(TreeStoreTest, EveryOperationLeavesTheFileEqualToTheImage) {
    OpenSampleTree();
    const auto check = [&](const char* step) {
        SCOPED_TRACE(step);
        ASSERT_EQ(FileBytes(), store_->image());
        TreeStore fresh;
        ASSERT_TRUE(fresh.Load(path_));
        ASSERT_EQ(fresh.BuildOutline(), store_->BuildOutlineQuick());
        for (int i = 0; i < fresh.NodeCount(); ++i) {
            std::string a;
            std::string b;
            int ca = 0;
            int cb = 0;
            ASSERT_TRUE(fresh.GetSubtreeBytes(i, &a, &ca));
            ASSERT_TRUE(store_->GetSubtreeBytes(i, &b, &cb));
            ASSERT_EQ(a, b) << i;
            ASSERT_EQ(ca, cb) << i;
        }
    };
    NodeFields fields;
    fields.title = "n";
    fields.body = std::string(700, 'x');
    store_->AddNode(3, fields);
    check("add");
    store_->SetField(1, 9, "123456");
    check("set field longer");
    store_->SetField(1, 9, "654321");
    check("set field same length");
    fields.body = "short";
    store_->UpdateNode(4, fields);
    check("update shorter");
    store_->ReadNode(5, 7);
    check("read body");
    int from = 2;
    int to = 6;
    store_->MoveSubtree(&from, &to, false);
    check("move down as child");
    from = 6;
    to = 1;
    store_->MoveSubtree(&from, &to, true);
    check("move up as sibling");
    store_->DeleteSubtree(1);
    check("delete");
    store_->BeginBatch(0);
    store_->AppendBatchBytes(Rec("batch", 2));
    store_->CommitBatch();
    store_->BuildOutline();
    check("batch");
    int target = 0;
    store_->MoveSubtree(Rec("R", 1) + Rec("k", 2), 2, 1, &target, false);
    check("paste");
}

// --- external body files ---

TEST_F(TreeStoreTest, ExternalFileContentWinsOverTheRecordsBody) {
    OpenWith(Rec("r", 1) + Rec("a", 2, "older text", "ext\\a.txt"));
    std::filesystem::create_directories(dir_.File("ext"));
    WriteFileBytes(dir_.File("ext/a.txt"), "file text");
    EXPECT_EQ(store_->GetField(1, 7), "file text");
    NodeRecord record;
    EXPECT_EQ(store_->ReadNode(1, 7, &record, true), "file text");
    std::filesystem::remove(dir_.File("ext/a.txt"));
    EXPECT_EQ(store_->GetField(1, 7), "older text");  // a missing file: the record's own body
}

TEST_F(TreeStoreTest, ClearingTheExternalPathBringsTheBodyBack) {
    OpenWith(Rec("r", 1) + Rec("a", 2, "", "\\ext\\a.txt"));
    std::filesystem::create_directories(dir_.File("ext"));
    WriteFileBytes(dir_.File("ext/a.txt"), "file text");
    ASSERT_TRUE(store_->SetField(1, 8, ""));
    EXPECT_FALSE(std::filesystem::exists(dir_.File("ext/a.txt")));
    EXPECT_EQ(store_->GetField(1, 8), "");
    EXPECT_EQ(store_->GetField(1, 7), "file text");
}

TEST_F(TreeStoreTest, ChangingTheExternalPathMovesOrWritesTheFile) {
    OpenWith(Rec("r", 1) + Rec("a", 2, "", "ext\\a.txt") + Rec("b", 2, "b body"));
    std::filesystem::create_directories(dir_.File("ext"));
    WriteFileBytes(dir_.File("ext/a.txt"), "a text");
    ASSERT_TRUE(store_->SetField(1, 8, "moved\\deep\\a.txt"));
    EXPECT_FALSE(std::filesystem::exists(dir_.File("ext/a.txt")));
    EXPECT_EQ(ReadFileBytes(dir_.File("moved/deep/a.txt")), "a text");
    EXPECT_EQ(store_->GetField(1, 7), "a text");

    ASSERT_TRUE(store_->SetField(2, 8, "ext\\b.txt"));  // no old file: the body is written out
    EXPECT_EQ(ReadFileBytes(dir_.File("ext/b.txt")), "b body");
    EXPECT_EQ(store_->ReadNode(2, 7), "b body");

    ASSERT_TRUE(store_->SetField(2, 7, "new b"));  // a body goes to the file, the record empties
    EXPECT_EQ(ReadFileBytes(dir_.File("ext/b.txt")), "new b");
    EXPECT_EQ(store_->ReadNode(2, 7), "new b");
    EXPECT_EQ(StoredField(2, 7), "");
}

TEST_F(TreeStoreTest, SetBodyAndPathTouchesNoFile) {
    OpenWith(Rec("r", 1) + Rec("a", 2, "old body", "mine\\a.txt") + Rec("b", 2, "b body"));
    std::filesystem::create_directories(dir_.File("mine"));
    WriteFileBytes(dir_.File("mine/a.txt"), "user text");
    WriteFileBytes(dir_.File("other.txt"), "other text");

    // Untied from its file: the file stays, the record holds the text it was given.
    ASSERT_TRUE(store_->SetBodyAndPath(1, "user text", ""));
    EXPECT_EQ(ReadFileBytes(dir_.File("mine/a.txt")), "user text");
    EXPECT_EQ(StoredField(1, 7), "user text");
    EXPECT_EQ(StoredField(1, 8), "");
    EXPECT_EQ(StoredField(1, 12), "2024-05-01 09:03:07");

    // Tied to a file that is already there: neither file nor body is written over.
    ASSERT_TRUE(store_->SetBodyAndPath(2, "", "other.txt"));
    EXPECT_EQ(ReadFileBytes(dir_.File("other.txt")), "other text");
    EXPECT_EQ(store_->ReadNode(2, 7), "other text");
    EXPECT_EQ(StoredField(2, 7), "");

    EXPECT_FALSE(store_->SetBodyAndPath(9, "x", ""));
    EXPECT_EQ(StoredField(2, 1), "b");
}

TEST_F(TreeStoreTest, AddNodeWithAnExternalPath) {
    OpenWith(Rec("r", 1));
    WriteFileBytes(dir_.File("existing.txt"), "already there");
    struct Case {
        std::string path;
        std::string fileText;    // what the file holds afterwards
        std::string recordBody;  // field 7 of the record
        std::string shownBody;
    };
    const Case cases[] = {
        {"new\\n.txt", "given", "", "given"},
        {"existing.txt", "already there", "", "already there"},
        {"D:\\notes\\n.txt", "", "given", "given"},  // names no file here
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        NodeFields fields;
        fields.body = "given";
        fields.externalPath = c.path;
        const int index = store_->AddNode(0, fields);
        ASSERT_GT(index, 0);
        EXPECT_EQ(ReadFileBytes(store_->ResolvePath(c.path)), c.fileText);
        EXPECT_EQ(store_->ReadNode(index, 7), c.shownBody);
        EXPECT_EQ(StoredField(index, 7), c.recordBody);
    }
    EXPECT_FALSE(std::filesystem::exists(dir_.File("D:\\notes\\n.txt")));
    EXPECT_FALSE(std::filesystem::exists("D:\\notes\\n.txt"));
}

TEST_F(TreeStoreTest, UpdateNodeFollowsTheExternalFileRules) {
    struct Case {
        const char* name;
        bool fileExists;  // a file at "old.txt" before the update
        std::optional<std::string> body;
        std::string newPath;
        std::string recordBody;  // field 7 afterwards
        bool oldFileAfter;
        std::string newFileAfter;  // content of the file at the new path ("" = none)
    };
    const Case cases[] = {
        {"fold back", true, std::nullopt, "", "file", false, ""},
        {"move", true, std::nullopt, "new.txt", "rec", false, "file"},
        {"write out", false, std::nullopt, "new.txt", "rec", false, "rec"},
        {"body, no path", true, std::string("given"), "", "given", false, ""},
        {"body to path", true, std::string("given"), "new.txt", "", true, "given"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::filesystem::remove(dir_.File("old.txt"));
        std::filesystem::remove(dir_.File("new.txt"));
        if (c.fileExists) WriteFileBytes(dir_.File("old.txt"), "file");
        OpenWith(Rec("r", 1) + Rec("a", 2, "rec", "old.txt"));
        NodeFields fields;
        fields.body = c.body;
        fields.externalPath = c.newPath;
        ASSERT_TRUE(store_->UpdateNode(1, fields));
        EXPECT_EQ(store_->ReadNode(1, 8), c.newPath);
        EXPECT_EQ(StoredField(1, 7), c.recordBody);
        EXPECT_EQ(std::filesystem::exists(dir_.File("old.txt")), c.oldFileAfter);
        EXPECT_EQ(ReadFileBytes(dir_.File("new.txt")), c.newFileAfter);
    }
}

// --- search ---

TEST_F(TreeStoreTest, SearchFindsTitlesBeforeBodiesInIndexOrder) {
    OpenWith(Rec("root", 1) + Rec("Alpha", 2, "nothing") + Rec("b", 2, "has alpha inside") +
             Rec("c", 2, "", "c.txt") + Rec("alpha", 2));
    WriteFileBytes(dir_.File("c.txt"), "external ALPHA");
    struct Case {
        int after;
        bool ignoreCase;
        bool wholeText;
        bool bodies;
        int index;
        int part;
    };
    const Case cases[] = {
        {-1, true, false, true, 1, 1}, {1, true, false, true, 2, 2},
        {2, true, false, true, 3, 2},  {3, true, false, true, 4, 1},
        {4, true, false, true, -1, 0}, {-1, false, false, true, 2, 2},
        {-1, false, true, true, 4, 1}, {1, true, false, false, 4, 1},
    };
    for (const Case& c : cases) {
        SearchQuery query;
        query.pattern = "alpha";
        query.afterIndex = c.after;
        query.ignoreCase = c.ignoreCase;
        query.wholeText = c.wholeText;
        query.includeBodies = c.bodies;
        const SearchResult result = store_->SearchNodes(query);
        EXPECT_EQ(result.index, c.index) << "after " << c.after;
        EXPECT_EQ(result.matchedPart, c.part) << "after " << c.after;
    }
    SearchQuery query;
    query.pattern = "ALPHA";
    query.afterIndex = 2;
    query.ignoreCase = false;
    const SearchResult result = store_->SearchNodes(query);
    EXPECT_EQ(result.status, SearchResult::Status::kFound);
    EXPECT_EQ(result.matchedText, "external ALPHA");
}

TEST_F(TreeStoreTest, SearchReportsABadExpressionApartFromNotFound) {
    OpenWith(Rec("root", 1) + Rec("a1", 2));
    SearchQuery query;
    query.useRegex = true;
    query.pattern = "a(";
    SearchResult result = store_->SearchNodes(query);
    EXPECT_EQ(result.status, SearchResult::Status::kInvalidPattern);
    EXPECT_FALSE(result.error.empty());
    EXPECT_EQ(result.index, -1);
    query.pattern = "a\\d";
    result = store_->SearchNodes(query);
    EXPECT_EQ(result.index, 1);
    query.pattern = "z\\d";
    result = store_->SearchNodes(query);
    EXPECT_EQ(result.status, SearchResult::Status::kNotFound);
    EXPECT_TRUE(result.error.empty());
    query.pattern = "?1";
    query.escapePattern = true;
    EXPECT_EQ(store_->SearchNodes(query).index, 1);
}

TEST_F(TreeStoreTest, SearchStopsWhenTheFlagIsSetBetweenRecords) {
    OpenWith(Rec("root", 1) + Rec("a", 2) + Rec("b", 2) + Rec("target", 2));
    std::atomic<bool> stop{false};
    int calls = 0;
    SearchQuery query;
    query.pattern = "target";
    query.stop = &stop;
    query.betweenRecords = [&] {
        if (++calls == 2) stop = true;
    };
    SearchResult result = store_->SearchNodes(query);
    EXPECT_EQ(result.status, SearchResult::Status::kStopped);
    EXPECT_EQ(result.index, -1);
    EXPECT_EQ(calls, 2);

    stop = false;
    calls = -100;
    result = store_->SearchNodes(query);
    EXPECT_EQ(result.index, 3);
    EXPECT_EQ(calls, -96);  // once before each of the four records
}

// --- crash safety ---

// A store process killed before any of its file calls during a run of edits leaves, after the
// next Open, exactly the file as it was after one of the edits (or before the first).
TEST_F(TreeStoreTest, AKilledStoreLeavesTheFileAtAnEditBoundary) {
    std::string start;
    for (int i = 0; i < 12; ++i)
        start += Rec("n" + std::to_string(i), i == 0 ? 1 : 2,
                     std::string(90, static_cast<char>('a' + i)));
    const auto edits = [](TreeStore& store, const std::function<void()>& after) {
        NodeFields fields;
        fields.body = std::string(300, 'L');
        store.UpdateNode(1, fields);  // longer, near the start
        after();
        store.ReadNode(6, 7);  // the accessed time only
        after();
        store.Checkpoint();  // the file rewritten from the image
        after();
        int from = 2;
        int to = 9;
        store.MoveSubtree(&from, &to, false);
        after();
        store.DeleteSubtree(4);
        after();
    };
    // The states after each edit, from a run that is not killed.
    std::vector<std::string> states = {start};
    OpenWith(start);
    edits(*store_, [&] { states.push_back(store_->image()); });

    for (int n = 1;; ++n) {
        SCOPED_TRACE(n);
        store_.reset();  // the child must get the file
        WriteFileBytes(path_, start);
        const pid_t pid = fork();
        if (pid == 0) {
            TreeStore store(dir_.path());
            store.SetClock([this] { return now_; });
            if (!store.Open(path_)) _exit(3);
            store.BuildOutline();
            JournaledFile::SetCrashPointForTesting(n);
            edits(store, [] {});
            _exit(0);
        }
        int status = 0;
        waitpid(pid, &status, 0);
        ASSERT_TRUE(WIFEXITED(status));
        ASSERT_TRUE(WEXITSTATUS(status) == 0 || WEXITSTATUS(status) == 86);
        Reopen();
        EXPECT_NE(std::find(states.begin(), states.end(), store_->image()), states.end());
        EXPECT_EQ(FileBytes(), store_->image());
        if (WEXITSTATUS(status) == 0) {
            EXPECT_EQ(store_->image(), states.back());
            break;
        }
    }
}

// --- exclusion ---

TEST_F(TreeStoreTest, SecondOpenOfTheSameFileWorksInMemoryOnly) {
    OpenWith(Rec("root", 1));
    TreeStore second(dir_.path());
    EXPECT_FALSE(second.Open(path_));
    EXPECT_FALSE(second.writable());
    EXPECT_EQ(second.NodeCount(), 1);
    EXPECT_EQ(second.AddNode(0), 1);
    EXPECT_TRUE(second.SetField(0, 1, "changed"));
    EXPECT_EQ(second.ReadNode(0, 1), "changed");
    EXPECT_EQ(FileBytes(), Rec("root", 1));
    EXPECT_EQ(store_->AddNode(0), 1);  // the first store still writes
    EXPECT_EQ(FileBytes(), store_->image());
}

}  // namespace
}  // namespace qm
