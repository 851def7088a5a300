#include "store/record_format.h"

#include <gtest/gtest.h>

#include <memory>
#include <random>

#include <string>

#include "common/charset.h"
#include "store/external_file.h"
#include "store/outline.h"
#include "store/record_image.h"
#include "store/time_text.h"

namespace qm {
namespace {

const std::string kSep = "\x1E\x1E";

TEST(RecordFormatTest, IntegerFieldsReadByTheFileRule) {
    struct Case {
        std::string text;
        int32_t value;
    };
    const Case cases[] = {
        {"", 0},
        {"2", 2},
        {"-1", -1},
        {"+7", 7},
        {"  12", 12},
        {"\t\r\n3", 3},
        {"12abc", 12},
        {"abc", 0},
        {"-", 0},
        {"1 2", 1},
        {"- 5", 0},                   // no space between sign and digits
        {"\xA3\xB1\xA3\xB2", 12},     // full-width digits
        {"\xA3\xAD\xA3\xB5", -5},     // full-width minus
        {"\xA1\xA1\xA3\xB3", 3},      // ideographic space in front
        {"\xB0\xA3\xB3", 0},          // 0xA3 as a trail byte is no digit
        {"99999999999", 2147483647},  // clamped
        {"-99999999999", -2147483647 - 1},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ParseIntField(c.text), c.value) << "text: " << c.text;
    }
}

TEST(RecordFormatTest, SplitFillsMissingFieldsAndDropsExtraParts) {
    RecordFields f = SplitRecord("a" + kSep + "b" + kSep + "c");
    EXPECT_EQ(f[0], "a");
    EXPECT_EQ(f[2], "c");
    EXPECT_EQ(f[3], "");
    EXPECT_EQ(f[12], "");

    std::string many;
    for (int i = 1; i <= 15; ++i) many += (i > 1 ? kSep : "") + std::to_string(i);
    f = SplitRecord(many);
    EXPECT_EQ(f[12], "13");  // parts after the 13th are dropped

    // A lone 0x1E is field content; three in a row are a separator and a content byte.
    f = SplitRecord("x\x1Ey" + kSep + "\x1Ez");
    EXPECT_EQ(f[0], "x\x1Ey");
    EXPECT_EQ(f[1], "\x1Ez");

    // Long fields, and a lone 0x1E far from the field's start or at the record's last byte.
    const std::string longField = std::string(40, 'x') + "\x1E" + std::string(70, 'y');
    f = SplitRecord(longField + kSep + std::string(33, 'z') + kSep + "\x1E");
    EXPECT_EQ(f[0], longField);
    EXPECT_EQ(f[1], std::string(33, 'z'));
    EXPECT_EQ(f[2], "\x1E");
    EXPECT_EQ(f[3], "");
}

TEST(RecordFormatTest, FindFieldTakesEverythingAfterTheTwelfthSeparatorAsFieldThirteen) {
    std::string record;
    for (int i = 1; i <= 14; ++i) record += (i > 1 ? kSep : "") + std::to_string(i);
    const FieldSpan span = FindField(record, 0, record.size(), 13);
    ASSERT_TRUE(span.found);
    EXPECT_EQ(record.substr(span.start, span.end - span.start), "13" + kSep + "14");

    const std::string shortRecord = "a" + kSep + "b" + kSep + "c";
    const FieldSpan missing = FindField(shortRecord, 0, shortRecord.size(), 6);
    EXPECT_FALSE(missing.found);
    EXPECT_EQ(missing.separators, 2);
    const FieldSpan last = FindField(shortRecord, 0, shortRecord.size(), 2);
    ASSERT_TRUE(last.found);
    EXPECT_EQ(shortRecord.substr(last.start, last.end - last.start), "b");
}

TEST(RecordFormatTest, JoinWritesThirteenFieldsAndATerminator) {
    RecordFields f;
    f[0] = "t";
    f[12] = "z";
    EXPECT_EQ(JoinRecord(f), "t" + kSep + kSep + kSep + kSep + kSep + kSep + kSep + kSep + kSep +
                                 kSep + kSep + kSep + "z" + std::string(1, '\0'));
}

TEST(RecordFormatTest, SanitizeRemovesEverythingThatCouldSplitARecord) {
    EXPECT_EQ(SanitizeField(std::string("a\x1E\x1E"
                                        "b",
                                        4)),
              "a  b");
    EXPECT_EQ(SanitizeField(std::string("\x1E"
                                        "a\x1E",
                                        3)),
              " a ");
    EXPECT_EQ(SanitizeField(std::string("a\0b", 3)), "ab");
    EXPECT_EQ(SanitizeField("\xB1\xCA\r\n\xFF"), "\xB1\xCA\r\n\xFF");  // other bytes kept
}

TEST(RecordFormatTest, TimeTextHasNineteenBytesWithLeadingZeros) {
    setenv("TZ", "UTC", 1);
    tzset();
    EXPECT_EQ(TimeText(0), "1970-01-01 00:00:00");
    EXPECT_EQ(TimeText(1714554187), "2024-05-01 09:03:07");
}

TEST(RecordFormatTest, OutlineRowsRoundTrip) {
    std::string rows;
    AppendOutlineRow(&rows, "ab", 2, 0, 3, 1);
    AppendOutlineRow(&rows, "", -1, 7, 0, 12);
    EXPECT_EQ(rows.size(), 2u + 1 + 20 + 1 + 20);
    EXPECT_EQ(rows.substr(0, 3 + 8), std::string("ab\0\2\0\0\0\2\0\0\0", 11));
    std::vector<OutlineRow> parsed;
    ASSERT_TRUE(ParseOutline(rows, &parsed));
    ASSERT_EQ(parsed.size(), 2u);
    EXPECT_EQ(parsed[1].image, -1);
    EXPECT_EQ(parsed[1].selectedImage, -1);
    EXPECT_EQ(parsed[1].itemValue, 7);
    EXPECT_EQ(parsed[1].depth, 12);
    EXPECT_FALSE(ParseOutline(rows.substr(0, rows.size() - 1), &parsed));
}

TEST(RecordFormatTest, StoredPathsResolveAgainstTheProgramFolder) {
    struct Case {
        std::string folder;
        std::string path;
        std::string resolved;
    };
    const Case cases[] = {
        {"/p", "/abs/a.txt", "/abs/a.txt"},
        {"/p", "D:\\notes\\a.txt", "D:\\notes\\a.txt"},
        {"/p", "\\ext\\a.txt", "/p/ext/a.txt"},
        {"/p/", "ext\\sub\\a.txt", "/p/ext/sub/a.txt"},
        {"/p", "a.txt", "/p/a.txt"},
        {"", "a\\b.txt", "./a/b.txt"},
        {"/p", "", ""},
        // Stored text is GB18030, names on disk UTF-8; the trail byte 0x5C of 淺 (9C 5C) is
        // part of the character, not a separator.
        {"/p", Utf8ToGb18030("外部存储\\淺.txt"), "/p/外部存储/淺.txt"},
        {"/p", Utf8ToGb18030("/用户/笔记.txt"), "/用户/笔记.txt"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ResolveStoredPath(c.folder, c.path), c.resolved) << c.folder << " " << c.path;
    }
    EXPECT_TRUE(IsDrivePath("c:\\x"));
    EXPECT_FALSE(IsDrivePath("c:/x"));
}

class TestBuffer : public ImageBuffer {
public:
    explicit TestBuffer(std::string bytes) : bytes_(std::move(bytes)) {}
    std::string_view bytes() const override { return bytes_; }

private:
    std::string bytes_;
};

// The records of an image after an edit must equal those of the edited bytes loaded afresh.
TEST(RecordImageTest, ReplaceAgreesWithAFreshLoad) {
    const std::string base = std::string("aa\0bbb\0c\0dddd\0tail", 18);
    struct Case {
        size_t offset;
        size_t removed;
        std::string inserted;
    };
    const Case cases[] = {
        {0, 0, std::string("new\0", 4)},   // records in front
        {3, 0, "xx"},                      // inside a record
        {2, 1, ""},                        // a terminator removed: two records merge
        {1, 8, "y"},                       // several records removed
        {7, 0, std::string("q\0r\0", 4)},  // records at a boundary
        {18, 0, std::string("\0", 1)},     // the tail becomes a record
        {9, 9, ""},                        // everything from record 3 on
        {4, 1, "B"},                       // same length
        {13, 2, std::string("\0X", 2)},    // a terminator moved into the tail
        {0, 18, ""},                       // everything
        {15, 0, "in the tail"},            // inside the tail
        {19, 0, "x"},                      // past the end: refused
    };
    for (const Case& c : cases) {
        RecordImage image;
        image.Assign(std::make_shared<TestBuffer>(base));
        std::string edited = base;
        const bool inside = c.offset <= base.size();
        if (inside) edited.replace(c.offset, c.removed, c.inserted);
        EXPECT_EQ(image.Replace(c.offset, c.removed, c.inserted), inside);
        RecordImage fresh;
        fresh.Assign(std::make_shared<TestBuffer>(edited));
        EXPECT_EQ(image.Flatten(), edited) << "edit at " << c.offset;
        EXPECT_EQ(image.size(), edited.size());
        EXPECT_EQ(image.tail(), fresh.tail()) << "edit at " << c.offset;
        ASSERT_EQ(image.count(), fresh.count()) << "edit at " << c.offset;
        for (int i = 0; i < fresh.count(); ++i) {
            EXPECT_EQ(image.start(i), fresh.start(i)) << "edit at " << c.offset << " record " << i;
            EXPECT_EQ(image.end(i), fresh.end(i)) << "edit at " << c.offset << " record " << i;
            EXPECT_EQ(image.Record(i), fresh.Record(i));
        }
    }
}

// Many records over many chunks: random edits against a plain string, and a snapshot that
// keeps the bytes it was taken with while edits go on.
TEST(RecordImageTest, RandomEditsOverChunksAndSnapshots) {
    std::mt19937 rng(7);
    std::string plain;
    for (int i = 0; i < 3000; ++i) plain += "record " + std::to_string(i) + std::string(1, '\0');
    RecordImage image;
    image.Assign(std::make_shared<TestBuffer>(plain));
    const std::string atSnapshot = plain;
    const ImageSnapshot snapshot = image.Snapshot();
    for (int step = 0; step < 400; ++step) {
        const size_t offset = rng() % (plain.size() + 1);
        const size_t removed = std::min<size_t>(rng() % (step % 10 == 0 ? 5000 : 40),
                                                plain.size() - offset);
        std::string inserted;
        const int n = static_cast<int>(rng() % (step % 7 == 0 ? 2000 : 30));
        for (int k = 0; k < n; ++k) inserted.push_back(rng() % 9 == 0 ? '\0' : 'a' + rng() % 26);
        plain.replace(offset, removed, inserted);
        ASSERT_TRUE(image.Replace(offset, removed, inserted));
        ASSERT_EQ(image.size(), plain.size()) << step;
        const int probe = image.count() == 0 ? 0 : static_cast<int>(rng() % image.count());
        if (image.count() > 0) {
            const size_t start = image.start(probe);
            EXPECT_EQ(image.Record(probe), plain.substr(start, plain.find('\0', start) - start));
            EXPECT_EQ(image.RecordAt(start), probe);
        }
        const size_t from = rng() % (plain.size() + 1);
        EXPECT_EQ(image.Copy(from, 100), plain.substr(from, 100));
    }
    EXPECT_EQ(image.Flatten(), plain);
    std::string fromSnapshot;
    snapshot.ForEachPiece([&](std::string_view piece) { fromSnapshot.append(piece); });
    EXPECT_EQ(fromSnapshot, atSnapshot);
}

}  // namespace
}  // namespace qm
