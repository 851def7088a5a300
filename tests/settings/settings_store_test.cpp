#include "settings/settings_store.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "common/charset.h"
#include "support/temp_dir.h"

namespace qm {
namespace {

using testing::ReadFileBytes;
using testing::TempDir;
using testing::WriteFileBytes;

std::string G(std::string_view utf8) { return Utf8ToGb18030(utf8); }

// A store opened on a settings file in a fresh folder, with section "主界面" current.
struct StoreOnFile {
    // `bytes`: the file's content before the store opens it; std::nullopt: no file.
    explicit StoreOnFile(const std::optional<std::string>& bytes = std::nullopt) {
        if (bytes) WriteFileBytes(path, *bytes);
        opened = store.open(path);
        store.setSection(G("主界面"));
    }
    std::string FileBytes() const { return ReadFileBytes(path); }
    const std::string& Memory() const { return store.memoryCopy(); }

    TempDir dir;
    std::string path = dir.File("Quelmar·Corvanel.ini");
    SettingsStore store;
    bool opened = false;
};

// The file must be a byte-for-byte copy of the memory copy after every write.
#define EXPECT_MIRRORED(f) EXPECT_EQ((f).FileBytes(), (f).Memory())

size_t CountOf(const std::string& text, const std::string& part) {
    size_t count = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) {
        ++count;
    }
    return count;
}

TEST(SettingsStoreTest, FirstWriteIntoEmptyOrMissingFileCreatesSectionAndEntry) {
    for (const std::optional<std::string>& initial :
         {std::optional<std::string>(), std::optional<std::string>("")}) {
        SCOPED_TRACE(initial ? "empty file" : "missing file");
        StoreOnFile f(initial);
        EXPECT_TRUE(f.opened);
        EXPECT_EQ(f.Memory(), "");
        EXPECT_TRUE(f.store.writeNumber(G("编辑框.字体大小"), 11));
        EXPECT_EQ(f.FileBytes(), G("[主界面]\r\n编辑框.字体大小=11"));
        EXPECT_MIRRORED(f);
    }
}

TEST(SettingsStoreTest, RewritingAValueReplacesOnlyItsBytes) {
    StoreOnFile f(G("[主界面]\r\na=1\r\nb=2\r\n[其他]\r\na=3"));
    const struct {
        const char* value;
        const char* file;
    } cases[] = {
        {"12345", "[主界面]\r\na=12345\r\nb=2\r\n[其他]\r\na=3"},
        {"7", "[主界面]\r\na=7\r\nb=2\r\n[其他]\r\na=3"},
        {"", "[主界面]\r\na=\r\nb=2\r\n[其他]\r\na=3"},
        {"长一些的值", "[主界面]\r\na=长一些的值\r\nb=2\r\n[其他]\r\na=3"},
        {"长一些的值", "[主界面]\r\na=长一些的值\r\nb=2\r\n[其他]\r\na=3"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.value);
        EXPECT_TRUE(f.store.writeText("a", G(c.value)));
        EXPECT_EQ(f.FileBytes(), G(c.file));
        EXPECT_MIRRORED(f);
        EXPECT_EQ(f.store.readText("a", "-"), G(c.value));
        EXPECT_EQ(f.store.readText("b", "-"), "2");
        EXPECT_EQ(f.store.readValue(G("其他"), "a"), "3");
    }
}

TEST(SettingsStoreTest, EmptyTextKeepsTheKey) {
    StoreOnFile f;
    f.store.writeText("k", "x");
    f.store.writeText("k", "");
    EXPECT_EQ(f.FileBytes(), G("[主界面]\r\nk="));
    EXPECT_EQ(f.store.readText("k", G("默认")), "");
    f.store.writeText("z", "y");
    EXPECT_EQ(f.FileBytes(), G("[主界面]\r\nk=\r\nz=y"));
    EXPECT_MIRRORED(f);
    EXPECT_EQ(f.store.readText("k", G("默认")), "");
    EXPECT_EQ(f.store.readText("z", G("默认")), "y");
}

TEST(SettingsStoreTest, MultiLineTextIsStoredOnOneLine) {
    StoreOnFile f;
    const std::string text = G("第一行\r\n第二行\r\n");
    f.store.writeText("k", text);
    f.store.writeText("n", "1");
    EXPECT_EQ(f.FileBytes(), G("[主界面]\r\nk=第一行┊*┊第二行┊*┊\r\nn=1"));
    EXPECT_MIRRORED(f);
    EXPECT_EQ(f.store.readText("k", ""), text);
    EXPECT_EQ(f.store.readText("n", ""), "1");

    // Only CR LF pairs are line breaks of the file; a lone LF stays as it is.
    f.store.writeText("k", "a\nb");
    EXPECT_EQ(f.store.readText("k", ""), "a\nb");
    EXPECT_EQ(f.store.readText("n", ""), "1");
}

TEST(SettingsStoreTest, TypedMarkReadsBackAsLineBreak) {
    StoreOnFile f(G("[主界面]\r\nk=甲┊*┊乙┊*┊"));
    EXPECT_EQ(f.store.readText("k", ""), G("甲\r\n乙\r\n"));
    EXPECT_EQ(f.store.readValue(G("主界面"), "k"), G("甲┊*┊乙┊*┊"));
}

TEST(SettingsStoreTest, KeyOnlyInALaterSectionIsNotFound) {
    StoreOnFile f(G("[主界面]\r\nx=1\r\n[其他]\r\na=5"));
    EXPECT_EQ(f.store.readNumber("a", 7), 7);
    EXPECT_EQ(f.store.readText("a", G("无")), G("无"));
    EXPECT_TRUE(f.store.writeNumber("a", 9));
    EXPECT_EQ(f.FileBytes(), G("[主界面]\r\nx=1\r\na=9\r\n[其他]\r\na=5"));
    EXPECT_MIRRORED(f);
    EXPECT_EQ(f.store.readNumber("a", 7), 9);
    EXPECT_EQ(f.store.readValue(G("其他"), "a"), "5");
    EXPECT_EQ(f.store.readValue(G("不存在"), "a"), std::nullopt);
}

TEST(SettingsStoreTest, HeaderInsideAValueIsNotAHeader) {
    StoreOnFile f(G("[其他]\r\nv=[主界面]\r\na=1"));
    EXPECT_EQ(f.store.readNumber("a", 0), 0);
    EXPECT_TRUE(f.store.writeNumber("a", 2));
    EXPECT_EQ(f.FileBytes(), G("[其他]\r\nv=[主界面]\r\na=1\r\n[主界面]\r\na=2"));
    EXPECT_MIRRORED(f);
    EXPECT_EQ(f.store.readNumber("a", 0), 2);
    EXPECT_EQ(f.store.readValue(G("其他"), "a"), "1");
}

// The search goes on right after a hit that does not start a line, so a header that
// overlaps such a hit is still found: here "[]" CR LF "[]" starts at offset 1 (inside a
// line) and again at offset 5 (at a line start).
TEST(SettingsStoreTest, HeaderOverlappingAFalseHitIsFound) {
    StoreOnFile f(std::string("x[]\r\n[]\r\n[]=\r\nk=1"));
    EXPECT_EQ(f.store.readValue("]\r\n[", "k"), "1");
    EXPECT_TRUE(f.store.writeValue("]\r\n[", "k", "2"));
    EXPECT_EQ(f.FileBytes(), "x[]\r\n[]\r\n[]=\r\nk=2");
}

// A last header with no line break after it still closes the section before it, so an entry
// added there stays in that section and is found (and replaced) by the next write.
TEST(SettingsStoreTest, HeaderAtTheEndOfTheFileEndsTheSectionBeforeIt) {
    StoreOnFile f(G("[主界面]\r\na=1\r\n[其他]"));
    f.store.writeNumber("b", 2);
    EXPECT_EQ(f.FileBytes(), G("[主界面]\r\na=1\r\nb=2\r\n[其他]"));
    EXPECT_EQ(f.store.readNumber("b", 0), 2);
    f.store.writeNumber("b", 3);
    EXPECT_EQ(f.FileBytes(), G("[主界面]\r\na=1\r\nb=3\r\n[其他]"));
    EXPECT_MIRRORED(f);
}

TEST(SettingsStoreTest, ReadBoolIsTrueOnlyForTheTrueWord) {
    const struct {
        const char* stored;
        bool expected;
    } cases[] = {
        {"真", true}, {"假", false},  {"true", false}, {"1", false},
        {"", false},  {"真 ", false}, {" 真", false},  {"真真", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.stored);
        StoreOnFile f(G(std::string("[主界面]\r\nb=") + c.stored));
        EXPECT_EQ(f.store.readBool("b", true), c.expected);
        EXPECT_EQ(f.store.readBool("b", false), c.expected);
        EXPECT_TRUE(f.store.readBool("missing", true));
        EXPECT_FALSE(f.store.readBool("missing", false));
    }
}

TEST(SettingsStoreTest, WriteBoolStoresTheWords) {
    StoreOnFile f;
    f.store.writeBool("t", true);
    f.store.writeBool("f", false);
    EXPECT_EQ(f.FileBytes(), G("[主界面]\r\nt=真\r\nf=假"));
    EXPECT_TRUE(f.store.readBool("t", false));
    EXPECT_FALSE(f.store.readBool("f", true));
}

TEST(SettingsStoreTest, ReadNumberTakesTheLeadingDecimalNumber) {
    const struct {
        const char* stored;
        double expected;
    } cases[] = {
        {"11", 11},
        {"0.5", 0.5},
        {"-3.25e+002", -325},
        {"1e+020", 1e20},
        {"1.5e-007", 1.5e-7},
        {"12abc", 12},
        {"12.5.3", 12.5},
        {" 7", 7},
        {"+4", 4},
        {".5", 0.5},
        {"5.", 5},
        {"1e", 1},
        {"2e+x", 2},
        {"abc", 0},
        {"", 0},
        {"-", 0},
        {".", 0},
        {"0x10", 0},
        {"inf", 0},
        {"nan", 0},
        {"1e999", 0},
        {"１２", 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.stored);
        StoreOnFile f(G(std::string("[主界面]\r\nn=") + c.stored));
        EXPECT_EQ(f.store.readNumber("n", 42), c.expected);
    }
    StoreOnFile f(G("[主界面]"));
    EXPECT_EQ(f.store.readNumber("n", 42), 42);
}

TEST(SettingsStoreTest, WriteNumberUsesNumberTextAndReadsBack) {
    const struct {
        double value;
        const char* text;
    } cases[] = {
        {11, "11"}, {0.5, "0.5"}, {-2.25, "-2.25"}, {1e20, "1e+020"}, {1.0 / 3, "0.3333333333333"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        StoreOnFile f;
        f.store.writeNumber("n", c.value);
        EXPECT_EQ(f.FileBytes(), G(std::string("[主界面]\r\nn=") + c.text));
        EXPECT_NEAR(f.store.readNumber("n", 0), c.value, std::fabs(c.value) * 1e-12);
    }
}

TEST(SettingsStoreTest, EntriesAppearInFirstWriteOrder) {
    StoreOnFile f;
    f.store.writeText(G("编辑框.字体名称"), G("宋体"));
    EXPECT_MIRRORED(f);
    f.store.writeBool(G("编辑框.加粗"), false);
    EXPECT_MIRRORED(f);
    f.store.writeNumber(G("编辑框.字体大小"), 11);
    EXPECT_MIRRORED(f);
    f.store.savePlacement("", WindowPlacement{0, 10, 20, 300, 400});
    EXPECT_MIRRORED(f);
    f.store.writeNumber(G("编辑框.字体大小"), 12);
    EXPECT_MIRRORED(f);
    f.store.writeNumber(G("链接动作"), 1);
    EXPECT_MIRRORED(f);
    EXPECT_EQ(f.FileBytes(),
              G("[主界面]\r\n编辑框.字体名称=宋体\r\n编辑框.加粗=假\r\n编辑框.字体大小=12\r\n"
                "链接动作=1\r\n[主界面.尺寸]\r\n位置=0\r\n左边=10\r\n顶边=20\r\n宽度=300\r\n"
                "高度=400"));
}

TEST(SettingsStoreTest, MaximizedWindowStoresOnlyItsState) {
    StoreOnFile f;
    f.store.savePlacement("", WindowPlacement{2, 1, 2, 3, 4});
    EXPECT_EQ(f.FileBytes(), G("[主界面.尺寸]\r\n位置=2"));
    EXPECT_MIRRORED(f);
}

TEST(SettingsStoreTest, PlacementGoesToTheBaseSectionAndKeepsTheCurrentSection) {
    StoreOnFile f;
    f.store.savePlacement(G("查找窗口"), WindowPlacement{1, -5, 6, 7, 8});
    f.store.writeNumber("x", 1);
    EXPECT_EQ(
        f.FileBytes(),
        G("[查找窗口.尺寸]\r\n位置=1\r\n左边=-5\r\n顶边=6\r\n宽度=7\r\n高度=8\r\n[主界面]\r\nx=1"));
    EXPECT_MIRRORED(f);
}

TEST(SettingsStoreTest, RestorePlacementFallsBackToTheCurrentValues) {
    const WindowPlacement current{0, 1, 2, 3, 4};
    const struct {
        const char* name;
        std::optional<std::string> file;
        WindowPlacement expected;
    } cases[] = {
        {"nothing stored", std::nullopt, {0, 1, 2, 3, 4}},
        {"normal",
         G("[主界面.尺寸]\r\n位置=0\r\n左边=10\r\n顶边=20\r\n宽度=300\r\n高度=400"),
         {0, 10, 20, 300, 400}},
        {"minimized",
         G("[主界面.尺寸]\r\n位置=1\r\n左边=10\r\n顶边=20\r\n宽度=300\r\n高度=400"),
         {1, 10, 20, 300, 400}},
        {"maximized ignores the stored frame",
         G("[主界面.尺寸]\r\n位置=2\r\n左边=10\r\n顶边=20\r\n宽度=300\r\n高度=400"),
         {2, 1, 2, 3, 4}},
        {"partly stored", G("[主界面.尺寸]\r\n位置=1\r\n左边=15"), {1, 15, 2, 3, 4}},
        {"state missing", G("[主界面.尺寸]\r\n左边=15"), {0, 15, 2, 3, 4}},
        {"rounded", G("[主界面.尺寸]\r\n左边=10.6\r\n顶边=-2.6"), {0, 11, -3, 3, 4}},
        {"other section only", G("[主界面]\r\n位置=2\r\n左边=10"), {0, 1, 2, 3, 4}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        StoreOnFile f(c.file);
        const WindowPlacement p = f.store.restorePlacement("", current);
        EXPECT_EQ(p.state, c.expected.state);
        EXPECT_EQ(p.left, c.expected.left);
        EXPECT_EQ(p.top, c.expected.top);
        EXPECT_EQ(p.width, c.expected.width);
        EXPECT_EQ(p.height, c.expected.height);
    }
}

TEST(SettingsStoreTest, PlacementRoundTripsThroughTheFile) {
    TempDir dir;
    const std::string path = dir.File("s.ini");
    {
        SettingsStore store;
        ASSERT_TRUE(store.open(path));
        store.savePlacement(G("窗口"), WindowPlacement{1, 11, 22, 333, 444});
    }
    SettingsStore store;
    ASSERT_TRUE(store.open(path));
    const WindowPlacement p = store.restorePlacement(G("窗口"), WindowPlacement{});
    EXPECT_EQ(p.state, 1);
    EXPECT_EQ(p.left, 11);
    EXPECT_EQ(p.top, 22);
    EXPECT_EQ(p.width, 333);
    EXPECT_EQ(p.height, 444);
}

TEST(SettingsStoreTest, ReadsNeverChangeTheFile) {
    const std::string initial = G("[主界面]\r\na=1");
    StoreOnFile f(initial);
    f.store.readText("missing", "");
    f.store.readNumber("missing", 0);
    f.store.readBool("missing", false);
    f.store.readValue(G("不存在"), "a");
    f.store.restorePlacement("", WindowPlacement{});
    EXPECT_EQ(f.Memory(), initial);
    EXPECT_EQ(f.FileBytes(), initial);
}

TEST(SettingsStoreTest, ValuesSurviveReopening) {
    TempDir dir;
    const std::string path = dir.File("s.ini");
    {
        SettingsStore store;
        ASSERT_TRUE(store.open(path));
        store.setSection(G("主界面"));
        store.writeText(G("查找历史"), G("甲\r\n乙"));
        store.writeNumber(G("保持备份数"), 30);
        store.writeBool(G("钉在最前显示"), true);
        store.writeNumber(G("保持备份数"), 100);
    }
    SettingsStore store;
    ASSERT_TRUE(store.open(path));
    store.setSection(G("主界面"));
    EXPECT_EQ(store.readText(G("查找历史"), ""), G("甲\r\n乙"));
    EXPECT_EQ(store.readNumber(G("保持备份数"), 10), 100);
    EXPECT_TRUE(store.readBool(G("钉在最前显示"), false));
}

// Deterministic bytes rich in the characters the format cares about.
std::string GarbageBytes(size_t size) {
    const char specials[] = {'\r', '\n', '[', ']', '=', '\0'};
    std::string bytes;
    uint32_t state = 12345;
    for (size_t i = 0; i < size; ++i) {
        state = state * 1103515245u + 12345u;
        const uint32_t r = state >> 16;
        bytes += (r % 4 == 0) ? specials[(r / 4) % sizeof specials] : static_cast<char>(r & 0xff);
    }
    return bytes;
}

TEST(SettingsStoreTest, GarbageIsToleratedAndKept) {
    const struct {
        const char* name;
        std::string bytes;
    } cases[] = {
        {"random bytes", GarbageBytes(400)},
        {"lines without =", G("[主界面]\r\n没有等号的行\r\n另一行")},
        {"header without line break", G("[主界面]")},
        {"header followed by text", G("[主界面]键")},
        {"NUL bytes", G("[主界面]\r\n") + std::string("k\0=1\r\n\0\0=\0", 11)},
        {"lone CR and LF", G("[主界面]\n键=1\r键=2")},
        {"broken headers", G("[主界面\r\n键=1\r\n主界面]\r\n[]\r\n[")},
    };
    const std::string key = G("键");
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        StoreOnFile f(c.bytes);
        ASSERT_TRUE(f.opened);
        EXPECT_EQ(f.store.readNumber(key, 42), 42);
        EXPECT_EQ(f.store.readText(key, "-"), "-");
        EXPECT_TRUE(f.store.readBool(key, true));
        EXPECT_EQ(f.Memory(), c.bytes);

        EXPECT_TRUE(f.store.writeNumber(key, 5));
        EXPECT_MIRRORED(f);
        EXPECT_EQ(f.store.readNumber(key, 42), 5);
        EXPECT_EQ(f.Memory().compare(0, c.bytes.size(), c.bytes), 0);
        const std::string entry = G("\r\n键=5");
        EXPECT_EQ(f.Memory().compare(f.Memory().size() - entry.size(), entry.size(), entry), 0);

        EXPECT_TRUE(f.store.writeNumber(key, 123456));
        EXPECT_MIRRORED(f);
        EXPECT_EQ(f.store.readNumber(key, 42), 123456);
        EXPECT_EQ(f.Memory().compare(0, c.bytes.size(), c.bytes), 0);
    }
}

TEST(SettingsStoreTest, FileHeldByAnotherWriterIsLeftUntouched) {
    const std::string initial = G("[主界面]\r\na=1");
    StoreOnFile owner(initial);
    ASSERT_TRUE(owner.opened);

    SettingsStore second;
    EXPECT_FALSE(second.open(owner.path));
    EXPECT_FALSE(second.writable());
    second.setSection(G("主界面"));
    EXPECT_EQ(second.readNumber("a", 0), 1);
    EXPECT_TRUE(second.writeNumber("a", 2));
    EXPECT_TRUE(second.writeText("b", "x"));
    EXPECT_EQ(second.memoryCopy(), G("[主界面]\r\na=2\r\nb=x"));
    EXPECT_EQ(second.readNumber("a", 0), 2);
    EXPECT_EQ(owner.FileBytes(), initial);

    EXPECT_EQ(owner.store.readNumber("a", 0), 1);
    owner.store.writeNumber("a", 3);
    EXPECT_EQ(owner.FileBytes(), G("[主界面]\r\na=3"));
}

TEST(SettingsStoreTest, UnopenableFileWorksFromMemory) {
    TempDir dir;
    const std::string path = dir.File("no such folder/s.ini");
    SettingsStore store;
    EXPECT_FALSE(store.open(path));
    store.setSection(G("主界面"));
    EXPECT_TRUE(store.writeNumber("a", 1));
    EXPECT_EQ(store.readNumber("a", 0), 1);
    EXPECT_EQ(store.memoryCopy(), G("[主界面]\r\na=1"));
    EXPECT_FALSE(std::filesystem::exists(path));
}

// The section lookup caches one section; edits that move its header or put another header
// of the same name before it must not leave reads and writes on stale positions.
TEST(SettingsStoreTest, SectionLookupFollowsEditsThatMoveHeaders) {
    StoreOnFile f;
    const std::string a = G("甲");
    const std::string b = G("乙");
    f.store.writeValue(a, "k", "1");
    f.store.writeValue(b, "k", "2");
    EXPECT_EQ(f.store.readValue(b, "k"), "2");
    f.store.writeValue(a, "k", G("一个长得多的值"));
    EXPECT_EQ(f.store.readValue(b, "k"), "2");
    f.store.writeValue(b, "k", "3");
    EXPECT_EQ(f.FileBytes(), G("[甲]\r\nk=一个长得多的值\r\n[乙]\r\nk=3"));

    f.store.writeValue(a, "k", "");
    EXPECT_EQ(f.store.readValue(b, "k"), "3");
    f.store.writeValue(b, "m", "4");
    EXPECT_EQ(f.FileBytes(), G("[甲]\r\nk=\r\n[乙]\r\nk=3\r\nm=4"));
    EXPECT_EQ(f.store.readValue(a, "k"), "");

    // A raw value can carry a header line: the first "[乙]" of the file wins from then on.
    f.store.writeValue(a, "j", G("x\r\n[乙]\r\nk=早"));
    EXPECT_EQ(f.store.readValue(b, "k"), G("早"));
    EXPECT_EQ(f.store.readValue(b, "m"), std::nullopt);
    EXPECT_MIRRORED(f);
}

TEST(SettingsStoreTest, WriteIsAbandonedWhenTheSectionNeverMatches) {
    const std::string initial = G("[主界面]\r\na=1");
    StoreOnFile f(initial);
    const std::string bad = G("坏");
    f.store.setUnmatchableSectionForTesting(bad);
    int calls = 0;
    std::string reported;
    f.store.setFailureHandler([&](const std::string& memory_copy) {
        ++calls;
        reported = memory_copy;
    });

    EXPECT_FALSE(f.store.writeValue(bad, "k", "v"));
    EXPECT_EQ(calls, 1);
    EXPECT_EQ(reported, f.Memory());
    std::string expected = initial;
    for (int i = 0; i < 11; ++i) expected += G("\r\n[坏]");
    EXPECT_EQ(f.Memory(), expected);
    EXPECT_MIRRORED(f);

    // The other sections still work, and so does this one once its header matches.
    EXPECT_TRUE(f.store.writeNumber("a", 2));
    f.store.setUnmatchableSectionForTesting("");
    EXPECT_TRUE(f.store.writeValue(bad, "k", "v"));
    EXPECT_EQ(f.store.readValue(bad, "k"), "v");
    EXPECT_EQ(calls, 1);
    EXPECT_MIRRORED(f);
}

TEST(SettingsStoreTest, AbandonedWriteWithoutHandlerOnlyReturnsFalse) {
    StoreOnFile f;
    f.store.setUnmatchableSectionForTesting(G("坏"));
    EXPECT_FALSE(f.store.writeValue(G("坏"), "k", "v"));
    EXPECT_EQ(CountOf(f.Memory(), G("[坏]")), 11u);
    EXPECT_EQ(f.Memory().find("k="), std::string::npos);
    EXPECT_MIRRORED(f);
    EXPECT_TRUE(f.store.writeNumber("a", 1));
    EXPECT_EQ(f.store.readNumber("a", 0), 1);
}

// The failure handler runs while a write is being applied (the GUI's message box runs an
// event loop that can deliver more writes): those writes wait and are applied afterwards,
// in the order requested.
TEST(SettingsStoreTest, WritesFromTheFailureHandlerAreQueuedInOrder) {
    const std::string initial = G("[主界面]\r\na=1");
    StoreOnFile f(initial);
    const std::string bad = G("坏");
    f.store.setUnmatchableSectionForTesting(bad);
    std::string bad_headers;
    for (int i = 0; i < 11; ++i) bad_headers += G("\r\n[坏]");

    int calls = 0;
    std::vector<bool> nested_results;
    f.store.setFailureHandler([&](const std::string& memory_copy) {
        ++calls;
        if (calls == 1) {
            EXPECT_EQ(memory_copy, initial + bad_headers);
            nested_results.push_back(f.store.writeNumber(G("甲"), 1));
            nested_results.push_back(f.store.writeValue(bad, "k", "again"));
            nested_results.push_back(f.store.writeNumber(G("乙"), 2));
            // Nothing nested has been applied yet.
            EXPECT_EQ(f.store.memoryCopy(), initial + bad_headers);
        } else {
            // The second failure comes after the write queued before it.
            EXPECT_EQ(memory_copy, G("[主界面]\r\na=1\r\n甲=1") + bad_headers + bad_headers);
        }
    });

    EXPECT_FALSE(f.store.writeValue(bad, "k", "v"));
    EXPECT_EQ(calls, 2);
    EXPECT_EQ(nested_results, (std::vector<bool>{true, true, true}));
    EXPECT_EQ(f.Memory(), G("[主界面]\r\na=1\r\n甲=1\r\n乙=2") + bad_headers + bad_headers);
    EXPECT_MIRRORED(f);
}

}  // namespace
}  // namespace qm
