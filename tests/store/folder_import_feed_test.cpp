// The folder walk on a worker thread: it hands over the same items, in the same order, as a
// walk on the caller's thread, and a stop ends it with nothing more handed over.
#include "store/folder_import_feed.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "common/charset.h"
#include "support/temp_dir.h"

namespace qm {
namespace {

namespace fs = std::filesystem;

// An item as text: kind, parent depth, title, body, kept path, whether it has children.
std::string Describe(const ImportItem& item) {
    return std::to_string(static_cast<int>(item.kind)) + "|" + std::to_string(item.parentDepth) +
           "|" + Gb18030ToUtf8(item.title) + "|" + Gb18030ToUtf8(item.body) + "|" +
           item.externalPath + "|" + (item.hasChildren ? "1" : "0");
}

class ImportFeedTest : public ::testing::Test {
protected:
    void Put(const std::string& name, const std::string& bytes) {
        const fs::path path = fs::path(src_) / name;
        fs::create_directories(path.parent_path());
        testing::WriteFileBytes(path.string(), bytes);
    }
    // Everything the feed hands over until its walk has ended.
    static std::vector<std::string> Drain(ImportFeed& feed) {
        std::vector<std::string> items;
        ImportItem item;
        while (!feed.done()) {
            if (feed.Next(&item, 100)) items.push_back(Describe(item));
        }
        return items;
    }

    testing::TempDir dir_;
    std::string src_ = dir_.File("资料");
};

TEST_F(ImportFeedTest, HandsOverWhatTheWalkFindsInItsOrder) {
    Put(".dirtxt", Utf8ToGb18030("说明"));
    Put("b.TXT", "bee");
    Put("A.txt",
        "\xEF\xBB\xBF"
        "甲");
    Put("c.htm", "<p>c</p>");
    Put("skip.doc", "not taken");
    Put("子/深.txt", Utf8ToGb18030("深处"));
    Put("子/孙/x.txt", "x");
    for (const bool keep : {false, true}) {
        ImportWalkOptions options;
        options.keepFilePaths = keep;
        std::vector<std::string> expected;
        ImportWalk walk(options, [&](ImportItem&& item) { expected.push_back(Describe(item)); });
        ASSERT_TRUE(walk.Folder(3, src_));
        ASSERT_EQ(expected.size(), 15u) << "3 folders, 5 files with their steps, 2 subfolder steps";

        ImportFeed feed(options, [&](ImportWalk& w) { w.Folder(3, src_); });
        EXPECT_EQ(Drain(feed), expected) << (keep ? "paths kept" : "bodies read");
    }
}

TEST_F(ImportFeedTest, StopEndsTheWalkAndNothingMoreIsHandedOver) {
    for (int i = 0; i < 400; ++i)
        Put("f" + std::to_string(1000 + i) + ".txt", std::string(2000, 'x'));
    int walked = 0;
    ImportFeed feed({}, [&](ImportWalk& w) {
        w.Folder(0, src_);
        walked = 1;
    });
    ImportItem item;
    ASSERT_TRUE(feed.Next(&item, 5000));
    EXPECT_EQ(item.kind, ImportItem::Kind::kFolder);
    feed.Stop();
    // The walk ends at its next step; until then, and after, nothing comes out.
    for (int i = 0; i < 500 && !feed.done(); ++i) {
        EXPECT_FALSE(feed.Next(&item, 10));
    }
    EXPECT_TRUE(feed.done());
    EXPECT_EQ(walked, 1);
}

}  // namespace
}  // namespace qm
