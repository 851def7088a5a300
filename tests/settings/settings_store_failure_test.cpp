// The settings store when its file cannot be written: the memory copy keeps every value, the
// failure names the file and the reason, the file on disk stays a state that was whole, and
// the next edit or a retry writes the whole copy again once the disk allows.
#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>
#include <string>

#include "common/charset.h"
#include "common/file_calls.h"
#include "common/journaled_file.h"
#include "settings/settings_store.h"
#include "support/temp_dir.h"

namespace qm {
namespace {

using testing::ReadFileBytes;
using testing::TempDir;

std::string G(std::string_view utf8) { return Utf8ToGb18030(utf8); }

struct Failure {
    const char* name;
    unsigned calls;
    int error;
    const char* pathPart;
};

class SettingsWriteFails : public ::testing::TestWithParam<Failure> {
protected:
    void SetUp() override {
        ASSERT_TRUE(store_.open(path_));
        store_.setSection(G("主界面"));
        ASSERT_TRUE(store_.writeNumber(G("分隔条左边"), 250));
        ASSERT_TRUE(store_.writeText(G("查找历史"), G("第一次")));
    }
    void TearDown() override { fileio::ClearInjectedFailures(); }
    // What the next start would read: the file with an interrupted edit undone.
    std::string Recovered() const {
        JournaledFile file;
        EXPECT_TRUE(file.Load(path_));
        return file.data();
    }

    TempDir dir_;
    std::string path_ = dir_.File("Quelmar·Corvanel.ini");
    SettingsStore store_;
};

TEST_P(SettingsWriteFails, ValuesStayInMemoryAndTheNextEditWritesThemAll) {
    const std::string whole = store_.memoryCopy();
    fileio::InjectFailure(GetParam().calls, GetParam().error, GetParam().pathPart);
    store_.writeText(G("查找历史"), G("写不进去的一段更长的文字"));
    store_.writeNumber(G("新的键"), 7);
    EXPECT_TRUE(store_.writeFailing());
    EXPECT_NE(store_.lastWriteError().path.find("Quelmar·Corvanel.ini"), std::string::npos);
    EXPECT_EQ(store_.lastWriteError().code, GetParam().error);
    EXPECT_EQ(store_.readText(G("查找历史"), ""), G("写不进去的一段更长的文字"));
    EXPECT_EQ(store_.readNumber(G("新的键"), 0), 7);
    EXPECT_EQ(Recovered(), whole);  // a crash now finds the last whole state
    EXPECT_FALSE(store_.retryWrites());
    EXPECT_TRUE(store_.writeFailing());

    fileio::ClearInjectedFailures();
    store_.writeNumber(G("分隔条左边"), 300);
    EXPECT_FALSE(store_.writeFailing());
    EXPECT_EQ(ReadFileBytes(path_), store_.memoryCopy());
    EXPECT_EQ(Recovered(), store_.memoryCopy());
    EXPECT_FALSE(std::filesystem::exists(path_ + ".journal") &&
                 !ReadFileBytes(path_ + ".journal").empty());
}

INSTANTIATE_TEST_SUITE_P(Kinds, SettingsWriteFails,
                         ::testing::Values(Failure{"JournalFull", fileio::kWrite, ENOSPC,
                                                   ".journal"},
                                           Failure{"FileWriteIoError", fileio::kWrite, EIO, ""},
                                           Failure{"SyncFails", fileio::kSync, EIO, ""},
                                           Failure{"ReadOnly", fileio::kEveryWrite, EROFS, ""}),
                         [](const auto& info) { return std::string(info.param.name); });

// The file removed underneath: noticed at the next edit, written again by the retry.
TEST(SettingsStoreFailureTest, RemovedFileIsWrittenAgain) {
    TempDir dir;
    const std::string path = dir.File("Quelmar·Corvanel.ini");
    SettingsStore store;
    ASSERT_TRUE(store.open(path));
    store.setSection(G("主界面"));
    store.writeNumber(G("a"), 1);
    std::filesystem::remove(path);
    store.writeNumber(G("a"), 22);
    EXPECT_TRUE(store.writeFailing());
    EXPECT_EQ(store.lastWriteError().code, ENOENT);
    EXPECT_TRUE(store.retryWrites());
    EXPECT_FALSE(store.writeFailing());
    EXPECT_EQ(ReadFileBytes(path), store.memoryCopy());
    store.writeNumber(G("b"), 3);
    EXPECT_EQ(ReadFileBytes(path), store.memoryCopy());
}

}  // namespace
}  // namespace qm
