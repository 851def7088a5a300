// Link styling in a real editor: what the pattern styles, the incremental rules as the user
// types, switching highlighting off and on, and the link under a position.
#include "editor/link_styler.h"

#include <gtest/gtest.h>

#include <string>

#include "editor/wrap_limit.h"
#include "editor_test_support.h"

namespace qm {
namespace {

using testing::Gb;
using testing::Repaint;
using testing::ShownEditor;
using testing::ViewOf;

constexpr int P = NoteEditor::kPlainStyle;
constexpr int W = NoteEditor::kWebLinkStyle;
constexpr int N = NoteEditor::kNoteLinkStyle;

// One style digit per byte of the document: what the styling looks like.
std::string StylesOf(const NoteEditor& editor, int from = 0, int to = -1) {
    if (to < 0) to = editor.textLength();
    std::string styles;
    for (int i = from; i < to; ++i) styles += static_cast<char>('0' + editor.styleAt(i));
    return styles;
}

// The expected styles: `link` (UTF-8) inside `line` (UTF-8) has `style`, all else plain.
std::string Expected(const std::string& line, const std::string& link, int style) {
    std::string styles(line.size(), '0');
    if (link.empty()) return styles;
    const size_t at = line.find(link);
    if (at == std::string::npos) return "<link not in line>";
    for (size_t i = at; i < at + link.size(); ++i) styles[i] = static_cast<char>('0' + style);
    return styles;
}

struct StyleCase {
    const char* line;
    const char* link;  // "" for none
    int style;
};

class LinkStylerTest : public ::testing::TestWithParam<StyleCase> {};

TEST_P(LinkStylerTest, LineIsStyledExactlyAtItsLink) {
    const StyleCase& c = GetParam();
    NoteEditor editor;
    LinkStyler styler(editor);
    editor.setText(Gb(c.line));  // a whole new text is styled at once
    EXPECT_EQ(StylesOf(editor), Expected(c.line, c.link, c.style)) << c.line;
}

INSTANTIATE_TEST_SUITE_P(
    Editor, LinkStylerTest,
    ::testing::Values(StyleCase{"see abc://d.e/f?g=1 here", "abc://d.e/f?g=1", W},
                      StyleCase{"中文www.example.com（说明）", "www.example.com", W},
                      StyleCase{"qm:\\a\\b c", "qm:\\a\\b c", N}, StyleCase{"QM:\\a", "QM:\\a", N},
                      StyleCase{"x1://y", "x1://y", W}, StyleCase{"abc://", "", P},
                      StyleCase{"abc://d.e，说明", "abc://d.e，", W}, StyleCase{"end www.", "", P},
                      StyleCase{"HTTPS://Q.cn/\"x\"", "HTTPS://Q.cn/", W},
                      StyleCase{"<http://a.b>", "http://a.b", W},
                      StyleCase{"链接 qm:\\笔记本\\笔记%5C1 尾", "qm:\\笔记本\\笔记%5C1 尾", N},
                      StyleCase{"plain words only", "", P}));

TEST(LinkStylerRulesTest, EveryLineOfANewTextIsStyled) {
    NoteEditor editor;
    LinkStyler styler(editor);
    std::string text;
    for (int i = 0; i < 50; ++i) text += i % 7 == 3 ? "go www.a.b now\r\n" : "line\r\n";
    editor.setText(text);
    for (int line = 0; line < 50; ++line) {
        const int start = editor.lineStartPosition(line);
        const int end = editor.lineEndPosition(line);
        EXPECT_EQ(StylesOf(editor, start, end),
                  line % 7 == 3 ? Expected("go www.a.b now", "www.a.b", W) : "0000")
            << "line " << line;
    }
}

TEST(LinkStylerRulesTest, TypingStylesTheCaretLine) {
    auto editor = ShownEditor();
    ASSERT_NE(editor, nullptr);
    LinkStyler styler(*editor);
    editor->focus();
    editor->setText("first\r\nsee ");
    editor->showRange(editor->textLength(), 0);
    Repaint(*editor);

    QTest::keyClicks(ViewOf(*editor), "abc://x.y");
    Repaint(*editor);
    EXPECT_EQ(StylesOf(*editor, editor->lineStartPosition(1)), "0000111111111");
    QTest::keyClick(ViewOf(*editor), Qt::Key_Space);
    QTest::keyClicks(ViewOf(*editor), "z");
    Repaint(*editor);
    EXPECT_EQ(StylesOf(*editor, editor->lineStartPosition(1)),
              "00001111111110"
              "0");
}

TEST(LinkStylerRulesTest, EnterInsideALinkRestylesOnlyTheNewLine) {
    auto editor = ShownEditor();
    ASSERT_NE(editor, nullptr);
    LinkStyler styler(*editor);
    editor->focus();
    editor->setText("abc://def/ghi");
    editor->showRange(7, 0);  // right after "abc://d"
    Repaint(*editor);
    // Mark the first three bytes plain: a restyle of this line would make them a link again.
    editor->setStyling(0, 3, P);

    QTest::keyClick(ViewOf(*editor), Qt::Key_Return);
    Repaint(*editor);
    ASSERT_EQ(editor->getText(), "abc://d\r\nef/ghi");
    EXPECT_EQ(StylesOf(*editor, editor->lineStartPosition(1)), "000000") << "no link left";
    EXPECT_EQ(StylesOf(*editor, 0, 7), "0001111") << "the line above was not restyled";
}

TEST(LinkStylerRulesTest, FullRestyleRequestStylesEveryLineAtTheNextUpdate) {
    NoteEditor editor;
    LinkStyler styler(editor);
    editor.setText("www.a.b\r\nx\r\nqm:\\c");
    editor.setStyling(0, editor.textLength(), P);
    styler.onUpdateUI();
    EXPECT_EQ(StylesOf(editor, 0, 7), "0000000") << "nothing changed, nothing restyled";

    styler.requestFullRestyle();
    styler.onUpdateUI();
    EXPECT_EQ(StylesOf(editor),
              "1111111"
              "00"
              "0"
              "00"
              "22222");
}

TEST(LinkStylerRulesTest, HighlightingOffIsPlainAtOnceAndOnRestylesAll) {
    NoteEditor editor;
    LinkStyler styler(editor);
    editor.setText("a www.b.c\r\nqm:\\d");
    ASSERT_EQ(StylesOf(editor),
              "001111111"
              "00"
              "22222");

    styler.setLinkHighlighting(true);
    EXPECT_EQ(StylesOf(editor), std::string(16, '0'));
    styler.restyleLine(0);
    styler.onUpdateUI();
    EXPECT_EQ(StylesOf(editor), std::string(16, '0')) << "nothing is styled while off";

    styler.setLinkHighlighting(false);
    EXPECT_EQ(StylesOf(editor),
              "001111111"
              "00"
              "22222");

    styler.setLinkHighlighting(true, true);
    EXPECT_TRUE(styler.linksOff());
    EXPECT_EQ(StylesOf(editor),
              "001111111"
              "00"
              "22222")
        << "deferred: only recorded";
}

TEST(LinkStylerRulesTest, LinkAtIncludesThePositionRightAfterTheLink) {
    NoteEditor editor;
    LinkStyler styler(editor);
    const std::string line = "中 abc://d.e 尾\r\nqm:\\笔记";
    editor.setText(Gb(line.c_str()));
    const int start = 4;  // "中" is three bytes, then a blank
    const int end = start + 9;
    struct Case {
        int position;
        std::string link;
    } cases[] = {{start - 1, ""},
                 {start, "abc://d.e"},
                 {start + 4, "abc://d.e"},
                 {end, "abc://d.e"},
                 {end + 1, ""},
                 {editor.lineStartPosition(1), Gb("qm:\\笔记")},
                 {editor.textLength(), Gb("qm:\\笔记")},
                 {-5, ""}};
    for (const Case& c : cases) EXPECT_EQ(styler.linkAt(c.position), c.link) << c.position;
}

TEST(LinkStylerLazyTest, ALargeTextIsStyledWhereItIsShown) {
    auto editor = ShownEditor();
    ASSERT_NE(editor, nullptr);
    LinkStyler styler(*editor);
    // Past the line limit: a link on the first line, in the middle and on the last line.
    std::string text = "www.first.cn\r\n";
    for (size_t i = 0; i < kWrapLineLimit + 10; ++i) {
        text += i == kWrapLineLimit / 2 ? "www.mid.cn\r\n" : "plain line\r\n";
    }
    text += "www.last.cn";
    editor->loadText(text);
    Repaint(*editor);
    ASSERT_TRUE(styler.lazy());
    const int middle = editor->lineStartPosition(static_cast<int>(kWrapLineLimit / 2) + 1);
    const int last = editor->lineStartPosition(editor->lineCount() - 1);
    EXPECT_EQ(StylesOf(*editor, 0, 12), "111111111111");
    EXPECT_EQ(StylesOf(*editor, last), "00000000000") << "out of view: not styled yet";

    editor->showRange(last, 0);
    Repaint(*editor);
    EXPECT_EQ(StylesOf(*editor, last), "11111111111") << "scrolled into view";
    EXPECT_EQ(StylesOf(*editor, middle, middle + 10), "0000000000") << "never shown";

    styler.setLinkHighlighting(true);
    EXPECT_EQ(StylesOf(*editor, 0, 12), "000000000000");
    EXPECT_EQ(StylesOf(*editor, last), "00000000000");
}

TEST(LinkStylerLazyTest, ATextGrowingPastTheLimitsTurnsLazy) {
    auto editor = ShownEditor();
    ASSERT_NE(editor, nullptr);
    LinkStyler styler(*editor);
    editor->loadText("www.a.cn");
    Repaint(*editor);
    EXPECT_FALSE(styler.lazy());
    editor->appendText("\r\n" + std::string(kWrapByteLimit, 'x'));
    Repaint(*editor);
    EXPECT_TRUE(styler.lazy());
    EXPECT_EQ(StylesOf(*editor, 0, 8), "11111111");
}

}  // namespace
}  // namespace qm
