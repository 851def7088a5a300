// Records of megabytes: the store splits, copies and rebuilds them through its long-work runner
// (a worker), and the results must be the same bytes as on the calling thread: the body read
// exactly, the accessed time and the selection put into the record, the body moved into its
// own file with the record edited, an edit made while the worker ran kept, and a search that
// reads a body file on the worker finding a word at its very end, or stopping when asked.
#include <gtest/gtest.h>

#include <atomic>
#include <ctime>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <thread>

#include "store/record_format.h"
#include "store/time_text.h"
#include "store/tree_store.h"
#include "support/durable_bytes.h"
#include "support/record_bytes.h"
#include "support/temp_dir.h"

namespace qm {
namespace {

using testing::DurableBytes;
using testing::ReadFileBytes;
using testing::Rec;
using testing::TempDir;
using testing::WriteFileBytes;

// A body of about `bytes` bytes (GB18030 ideographs, ASCII, CR LF) ending in `tail`.
std::string LongBody(size_t bytes, const std::string& tail) {
    const std::string piece = "\xBB\xE1\xD2\xE9 notes \xBC\xC7\xC2\xBC\r\n";  // 会议 ... 记录
    std::string body;
    body.reserve(bytes + piece.size() + tail.size());
    while (body.size() < bytes) body += piece;
    return body + tail;
}

const std::string kNow = "2024-05-01 09:03:07";
constexpr int kLong = 1;  // the node of the long record

class TreeStoreLongRecordTest : public ::testing::Test {
protected:
    void SetUp() override {
        setenv("TZ", "UTC", 1);
        tzset();
        body_ = LongBody(3u << 20, "the last words");
        ASSERT_GE(body_.size(), TreeStore::kLongRecordBytes);
        WriteFileBytes(path_, Rec("root", 1) + Rec("long", 2, body_) + Rec("short", 2, "s"));
        store_ = Open();
    }

    std::unique_ptr<TreeStore> Open() {
        auto store = std::make_unique<TreeStore>(dir_.path());
        store->SetClock([] { return std::time_t{1714554187}; });  // 2024-05-01 09:03:07 UTC
        EXPECT_TRUE(store->Open(path_));
        store->BuildOutline();
        // The work runs on a thread of its own, as in the window; this thread waits.
        store->SetLongWorkRunner([this](const std::function<void()>& work) {
            ++runs_;
            if (beforeWork_) {
                auto edit = std::move(beforeWork_);
                edit();  // what the window may do while the worker runs
            }
            std::thread(work).join();
        });
        return store;
    }

    // The file and its log, as a restart reads them, hold the store's image.
    void ExpectDurable() { EXPECT_EQ(DurableBytes(path_), store_->image()); }

    TempDir dir_;
    std::string path_ = dir_.File("n.qm");
    std::string body_;
    std::unique_ptr<TreeStore> store_;
    int runs_ = 0;
    std::function<void()> beforeWork_;
};

// The long record as the program writes it: fields as in Rec, some of them replaced.
std::string LongRec(const std::string& body, const std::string& path, const std::string& selStart,
                    const std::string& modified, const std::string& accessed) {
    const std::string bytes = Rec("long", 2, body, path);
    RecordFields f = SplitRecord(std::string_view(bytes).substr(0, bytes.size() - 1));
    f[kFieldSelStart - 1] = selStart;
    f[kFieldModified - 1] = modified;
    f[kFieldAccessed - 1] = accessed;
    return JoinRecord(f);
}

TEST_F(TreeStoreLongRecordTest, ReadingTheBodyGivesItExactlyAndWritesTheAccessedTime) {
    NodeRecord record;
    store_->ReadNode(kLong, 0, &record, true, true);
    EXPECT_TRUE(record.body == body_);  // not EXPECT_EQ: no megabytes in a failure message
    EXPECT_TRUE(record.bodyFile.empty());
    EXPECT_EQ(record.accessed, kNow);
    EXPECT_EQ(record.title, "long");
    EXPECT_EQ(record.depth, 2);
    EXPECT_GE(runs_, 2);  // the record rebuilt, then the body copied, both on the worker
    EXPECT_TRUE(store_->image() == Rec("root", 1) +
                                       LongRec(body_, "", "0", testing::kRecordTime, kNow) +
                                       Rec("short", 2, "s"));
    ExpectDurable();

    // Field 7 alone, asked again at the same time: the same text, nothing more to write.
    EXPECT_TRUE(store_->ReadNode(kLong, kFieldBody) == body_);
    ExpectDurable();
}

TEST_F(TreeStoreLongRecordTest, ASelectionIsWrittenIntoTheLongRecord) {
    EXPECT_TRUE(store_->SetField(kLong, kFieldSelStart, "123456"));
    EXPECT_EQ(runs_, 1);
    EXPECT_TRUE(store_->image() ==
                Rec("root", 1) +
                    LongRec(body_, "", "123456", testing::kRecordTime, testing::kRecordTime) +
                    Rec("short", 2, "s"));
    ExpectDurable();
    store_->Close();
    store_ = Open();  // the edit log replayed
    EXPECT_EQ(store_->GetField(kLong, kFieldSelStart), "123456");
}

// The window may edit the record while the worker builds the new one from the old bytes: that
// edit is kept, and the field is then written the ordinary way.
TEST_F(TreeStoreLongRecordTest, AnEditMadeWhileTheWorkerRanIsKept) {
    beforeWork_ = [this] { EXPECT_TRUE(store_->SetField(kLong, kFieldTitle, "renamed")); };
    EXPECT_TRUE(store_->SetField(kLong, kFieldSelStart, "77"));
    EXPECT_EQ(store_->GetField(kLong, kFieldTitle), "renamed");
    EXPECT_EQ(store_->GetField(kLong, kFieldSelStart), "77");
    EXPECT_TRUE(store_->GetField(kLong, kFieldBody) == body_);
    ExpectDurable();
}

struct MoveCase {
    const char* name;
    bool writtenByCaller;  // the session writes the file on a worker first (bodyInFile)
};

class LongBodyMovesToItsFile : public TreeStoreLongRecordTest,
                               public ::testing::WithParamInterface<MoveCase> {};

TEST_P(LongBodyMovesToItsFile, WithTheExactBytesAndTheRecordEdited) {
    const std::string path = "\xCD\xE2\xB2\xBF\xB4\xE6\xB4\xA2\\ABCD1234.txt";  // 外部存储\...
    const std::string text = body_ + "typed";
    NodeFields fields;
    fields.externalPath = path;
    fields.selStart = 9;
    if (GetParam().writtenByCaller) {
        ASSERT_TRUE(store_->WriteExternalFile(path, text));
        fields.body = std::string();
        fields.bodyInFile = true;
    } else {
        fields.body = text;
    }
    ASSERT_TRUE(store_->UpdateNode(kLong, fields));
    EXPECT_TRUE(ReadFileBytes(store_->ResolvePath(path)) == text);
    EXPECT_EQ(store_->image(), Rec("root", 1) + LongRec("", path, "9", kNow, testing::kRecordTime) +
                                   Rec("short", 2, "s"));
    ExpectDurable();
    store_->Close();
    store_ = Open();
    EXPECT_TRUE(store_->GetField(kLong, kFieldBody) == text);
}

INSTANTIATE_TEST_SUITE_P(Saves, LongBodyMovesToItsFile,
                         ::testing::Values(MoveCase{"WrittenFirst", true},
                                           MoveCase{"WrittenByTheStore", false}),
                         [](const auto& info) { return std::string(info.param.name); });

struct SearchCase {
    const char* name;
    bool inFile;  // the body in its own file, else in its record
};

class LongBodySearch : public TreeStoreLongRecordTest,
                       public ::testing::WithParamInterface<SearchCase> {
protected:
    void SetUp() override {
        TreeStoreLongRecordTest::SetUp();
        if (GetParam().inFile) {
            NodeFields fields;
            fields.body = body_;
            fields.externalPath = "\\ext\\long.txt";
            ASSERT_TRUE(store_->UpdateNode(kLong, fields));
            ASSERT_TRUE(store_->GetField(kLong, kFieldBody) == body_);
        }
        query_.pattern = "last words";
        query_.ignoreCase = false;
        query_.stop = &stop_;
        query_.runLong = [this](const std::function<void()>& work) {
            ++searchRuns_;
            if (stopInside_) stop_ = true;  // the stop button clicked while the worker reads
            std::thread(work).join();
        };
    }
    SearchQuery query_;
    std::atomic<bool> stop_{false};
    bool stopInside_ = false;
    int searchRuns_ = 0;
};

TEST_P(LongBodySearch, FindsAWordAtTheVeryEndOnTheWorker) {
    const SearchResult result = store_->SearchNodes(query_);
    EXPECT_EQ(result.status, SearchResult::Status::kFound);
    EXPECT_EQ(result.index, kLong);
    EXPECT_EQ(result.matchedPart, 2);
    EXPECT_TRUE(result.matchedText == body_);
    EXPECT_EQ(searchRuns_, 1);

    query_.pattern = "not there";
    EXPECT_EQ(store_->SearchNodes(query_).status, SearchResult::Status::kNotFound);
}

TEST_P(LongBodySearch, StopsWhenAskedWhileTheWorkerReads) {
    stopInside_ = true;
    const SearchResult result = store_->SearchNodes(query_);
    EXPECT_EQ(result.status, SearchResult::Status::kStopped);
    EXPECT_EQ(result.index, -1);
    EXPECT_EQ(searchRuns_, 1);
}

INSTANTIATE_TEST_SUITE_P(Bodies, LongBodySearch,
                         ::testing::Values(SearchCase{"InItsFile", true},
                                           SearchCase{"InItsRecord", false}),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace qm
