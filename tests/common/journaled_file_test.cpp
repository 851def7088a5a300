#include "common/journaled_file.h"

#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <functional>
#include <string>

#include <gtest/gtest.h>

#include "support/temp_dir.h"

namespace qm {
namespace {

using testing::ReadFileBytes;
using testing::TempDir;
using testing::WriteFileBytes;

std::string Pattern(size_t size, char seed) {
    std::string s(size, '\0');
    for (size_t i = 0; i < size; ++i) s[i] = static_cast<char>(seed + i % 23);
    return s;
}

TEST(JournaledFileTest, EditsReachTheFileByteForByte) {
    TempDir dir;
    const std::string path = dir.File("a.qm");
    JournaledFile file;
    ASSERT_EQ(file.Open(path), JournaledFile::OpenResult::kWritable);
    EXPECT_EQ(file.size(), 0u);
    EXPECT_TRUE(file.Append("hello world"));
    EXPECT_TRUE(file.Insert(5, ","));
    EXPECT_TRUE(file.Replace(0, 5, "HELLO"));          // same length
    EXPECT_TRUE(file.Replace(7, 5, "there, friend"));  // longer
    EXPECT_TRUE(file.Erase(5, 1));                     // shorter
    EXPECT_TRUE(file.Replace(600, 0, "") == false);    // past the end
    EXPECT_EQ(file.data(), "HELLO there, friend");
    EXPECT_EQ(ReadFileBytes(path), file.data());

    const std::string big = Pattern(5000, 'a');
    EXPECT_TRUE(file.Append(big));
    EXPECT_TRUE(file.Replace(1000, 1200, Pattern(1200, 'k')));  // same length, many sectors
    EXPECT_EQ(ReadFileBytes(path), file.data());
    file.Clear();
    EXPECT_EQ(ReadFileBytes(path), "");
}

TEST(JournaledFileTest, CleanCloseRemovesTheJournal) {
    TempDir dir;
    const std::string path = dir.File("a.qm");
    {
        JournaledFile file;
        ASSERT_EQ(file.Open(path), JournaledFile::OpenResult::kWritable);
        file.Append("x");
        EXPECT_TRUE(std::filesystem::exists(path + ".journal"));
    }
    EXPECT_FALSE(std::filesystem::exists(path + ".journal"));
    EXPECT_EQ(ReadFileBytes(path), "x");
}

TEST(JournaledFileTest, SecondOpenIsLockedAndNeverWrites) {
    TempDir dir;
    const std::string path = dir.File("a.qm");
    WriteFileBytes(path, "content");
    JournaledFile owner;
    ASSERT_EQ(owner.Open(path), JournaledFile::OpenResult::kWritable);

    JournaledFile second;
    EXPECT_EQ(second.Open(path), JournaledFile::OpenResult::kLocked);
    EXPECT_FALSE(second.writable());
    EXPECT_EQ(second.data(), "content");
    EXPECT_TRUE(second.Append(" and more"));
    EXPECT_EQ(second.data(), "content and more");
    EXPECT_EQ(ReadFileBytes(path), "content");
}

TEST(JournaledFileTest, UnopenableFileWorksFromMemory) {
    TempDir dir;
    JournaledFile file;
    EXPECT_EQ(file.Open(dir.File("missing-folder/a.qm")), JournaledFile::OpenResult::kFailed);
    EXPECT_TRUE(file.Append("kept in memory"));
    EXPECT_EQ(file.data(), "kept in memory");
    EXPECT_FALSE(std::filesystem::exists(dir.File("missing-folder")));
}

TEST(JournaledFileTest, TornOrGarbageJournalIsIgnored) {
    const std::string journals[] = {"", "QMJ", "QMJ1\x05\x00\x00", std::string(100, '\xAB'),
                                    std::string("QMJ1") + std::string(40, '\0')};
    for (const std::string& journal : journals) {
        TempDir dir;
        const std::string path = dir.File("a.qm");
        WriteFileBytes(path, "intact content");
        WriteFileBytes(path + ".journal", journal);
        JournaledFile file;
        ASSERT_EQ(file.Open(path), JournaledFile::OpenResult::kWritable);
        EXPECT_EQ(file.data(), "intact content") << "journal of " << journal.size() << " bytes";
        EXPECT_EQ(ReadFileBytes(path), "intact content");
    }
}

// Runs `edit` on a file holding `before` in a child process that dies just before its
// n-th file call. Returns true when the child finished the edit without dying.
bool RunEditInChild(const std::string& path, int n, const std::function<void(JournaledFile&)>& edit) {
    const pid_t pid = fork();
    if (pid == 0) {
        JournaledFile file;
        if (file.Open(path) != JournaledFile::OpenResult::kWritable) _exit(3);
        JournaledFile::SetCrashPointForTesting(n);
        edit(file);
        _exit(0);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    EXPECT_TRUE(WIFEXITED(status));
    EXPECT_TRUE(WEXITSTATUS(status) == 0 || WEXITSTATUS(status) == 86) << WEXITSTATUS(status);
    return WEXITSTATUS(status) == 0;
}

TEST(JournaledFileTest, CrashAtAnyFileCallLeavesTheStateBeforeOrAfter) {
    const std::string before = Pattern(3000, 'A');
    struct Case {
        const char* name;
        std::function<void(JournaledFile&)> edit;
    } cases[] = {
        {"insert in the middle", [](JournaledFile& f) { f.Insert(1000, Pattern(700, 'x')); }},
        {"delete in the middle", [](JournaledFile& f) { f.Erase(100, 2000); }},
        {"replace longer", [](JournaledFile& f) { f.Replace(10, 5, Pattern(900, 'q')); }},
        {"replace shorter", [](JournaledFile& f) { f.Replace(10, 900, "short"); }},
        {"same length over sectors", [](JournaledFile& f) { f.Replace(400, 800, Pattern(800, 'm')); }},
        {"same length in a sector", [](JournaledFile& f) { f.Replace(520, 19, Pattern(19, 'z')); }},
        {"clear", [](JournaledFile& f) { f.Clear(); }},
    };
    for (const Case& c : cases) {
        std::string after = before;
        {
            TempDir dir;
            const std::string path = dir.File("a.qm");
            WriteFileBytes(path, before);
            JournaledFile reference;
            ASSERT_EQ(reference.Open(path), JournaledFile::OpenResult::kWritable);
            c.edit(reference);
            after = reference.data();
        }
        ASSERT_NE(after, before) << c.name;

        bool saw_rollback = false;  // a changed file brought back to its old state
        bool finished = false;
        for (int n = 1; !finished && n < 50; ++n) {
            TempDir dir;
            const std::string path = dir.File("a.qm");
            WriteFileBytes(path, before);
            finished = RunEditInChild(path, n, c.edit);
            const std::string raw = ReadFileBytes(path);

            JournaledFile recovered;
            ASSERT_EQ(recovered.Open(path), JournaledFile::OpenResult::kWritable);
            if (finished) {
                EXPECT_EQ(recovered.data(), after) << c.name << ", finished";
            } else {
                EXPECT_TRUE(recovered.data() == before || recovered.data() == after)
                    << c.name << ", died before file call " << n;
            }
            EXPECT_EQ(ReadFileBytes(path), recovered.data()) << c.name << ", call " << n;
            if (raw != before && recovered.data() == before) saw_rollback = true;
        }
        EXPECT_TRUE(finished) << c.name;
        // Journaled edits change the file before they are complete, so some crash point
        // must have been undone; the single-sector write needs no undo.
        EXPECT_EQ(saw_rollback, std::string(c.name) != "same length in a sector") << c.name;
    }
}

TEST(JournaledFileTest, LoadUndoesAnInterruptedEditInMemoryOnly) {
    TempDir dir;
    const std::string path = dir.File("a.qm");
    const std::string before = Pattern(2000, 'a');
    WriteFileBytes(path, before);
    // Die after the file was written but before the journal was emptied.
    for (int n = 1; n < 50; ++n) {
        WriteFileBytes(path, before);
        std::filesystem::remove(path + ".journal");
        if (RunEditInChild(path, n, [](JournaledFile& f) { f.Insert(10, Pattern(300, 'k')); })) break;
        const std::string raw = ReadFileBytes(path);
        if (raw == before) continue;
        const std::string journal = ReadFileBytes(path + ".journal");

        JournaledFile reader;
        ASSERT_TRUE(reader.Load(path));
        EXPECT_EQ(reader.data(), before);
        EXPECT_EQ(ReadFileBytes(path), raw);
        EXPECT_EQ(ReadFileBytes(path + ".journal"), journal);
        return;
    }
    FAIL() << "no crash point left the file changed";
}

}  // namespace
}  // namespace qm
