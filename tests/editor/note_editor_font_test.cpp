// setFont: defaults, the plain style and the two link styles that follow it.
#include <gtest/gtest.h>

#include <string>

#include "editor_test_support.h"

namespace qm {
namespace {

using testing::Gb;
using testing::ViewOf;
using Sci = QsciScintillaBase;

struct StyleState {
    std::string face;  // UTF-8, as Scintilla holds it
    long size;
    long fore;  // Scintilla's order: blue in the high byte
    long back;
    bool bold;
    bool italic;
    bool underline;
};

StyleState ReadStyle(NoteEditor& editor, int style) {
    QsciScintillaBase* view = ViewOf(editor);
    char face[128] = {};
    view->SendScintilla(Sci::SCI_STYLEGETFONT, static_cast<unsigned long>(style), face);
    const auto get = [&](unsigned int message) {
        return view->SendScintilla(message, static_cast<unsigned long>(style));
    };
    return StyleState{face,
                      get(Sci::SCI_STYLEGETSIZE),
                      get(Sci::SCI_STYLEGETFORE),
                      get(Sci::SCI_STYLEGETBACK),
                      get(Sci::SCI_STYLEGETBOLD) != 0,
                      get(Sci::SCI_STYLEGETITALIC) != 0,
                      get(Sci::SCI_STYLEGETUNDERLINE) != 0};
}

void ExpectStyle(NoteEditor& editor, int style, const StyleState& want) {
    const StyleState got = ReadStyle(editor, style);
    EXPECT_EQ(got.face, want.face) << "style " << style;
    EXPECT_EQ(got.size, want.size) << "style " << style;
    EXPECT_EQ(got.fore, want.fore) << "style " << style;
    EXPECT_EQ(got.back, want.back) << "style " << style;
    EXPECT_EQ(got.bold, want.bold) << "style " << style;
    EXPECT_EQ(got.italic, want.italic) << "style " << style;
    EXPECT_EQ(got.underline, want.underline) << "style " << style;
}

TEST(NoteEditorFontTest, EmptySpecGetsTheDefaults) {
    NoteEditor editor;  // created with an empty FontSpec
    const FontSpec font = editor.getFont();
    EXPECT_EQ(font.name, Gb("宋体"));
    EXPECT_EQ(font.size, 11);
    EXPECT_EQ(font.fore, Rgb{0x000000});
    EXPECT_EQ(font.back, Rgb{0xFFFFFF});
    EXPECT_FALSE(font.bold);
    EXPECT_FALSE(font.underline);
    EXPECT_FALSE(font.italic);

    ExpectStyle(editor, NoteEditor::kPlainStyle,
                {"宋体", 11, 0x000000, 0xFFFFFF, false, false, false});
    ExpectStyle(editor, NoteEditor::kWebLinkStyle,
                {"宋体", 11, 0xFF0000, 0xFFFFFF, false, false, true});
    ExpectStyle(editor, NoteEditor::kNoteLinkStyle,
                {"宋体", 11, 0xFF0090, 0xFFFFFF, false, false, true});
}

TEST(NoteEditorFontTest, LinkStylesFollowFaceSizeAndBoldness) {
    NoteEditor editor;
    FontSpec font;
    font.name = Gb("Noto Sans Mono");
    font.size = 1;
    font.bold = true;
    font.italic = true;
    font.fore = 0x123456;
    font.back = 0xFEDCBA;
    editor.setFont(font);

    EXPECT_EQ(editor.getFont(), font);
    ExpectStyle(editor, NoteEditor::kPlainStyle,
                {"Noto Sans Mono", 1, 0x563412, 0xBADCFE, true, true, false});
    ExpectStyle(editor, NoteEditor::kWebLinkStyle,
                {"Noto Sans Mono", 1, 0xFF0000, 0xBADCFE, true, true, true});
    ExpectStyle(editor, NoteEditor::kNoteLinkStyle,
                {"Noto Sans Mono", 1, 0xFF0090, 0xBADCFE, true, true, true});
}

TEST(NoteEditorFontTest, ChineseFaceNamesReachScintillaAsUtf8) {
    NoteEditor editor;
    FontSpec font;
    font.name = Gb("微软雅黑");
    font.size = 20;
    editor.setFont(font);
    EXPECT_EQ(editor.getFont().name, Gb("微软雅黑"));
    EXPECT_EQ(ReadStyle(editor, NoteEditor::kPlainStyle).face, "微软雅黑");
    EXPECT_EQ(ReadStyle(editor, NoteEditor::kNoteLinkStyle).face, "微软雅黑");
    EXPECT_EQ(ReadStyle(editor, NoteEditor::kWebLinkStyle).size, 20);
}

TEST(NoteEditorFontTest, ZeroSizeFallsBackToEleven) {
    NoteEditor editor;
    FontSpec font;
    font.name = "Arial";
    editor.setFont(font);
    EXPECT_EQ(editor.getFont().size, 11);
    EXPECT_EQ(ReadStyle(editor, NoteEditor::kPlainStyle).size, 11);
}

TEST(NoteEditorFontTest, StylingRangesUsesTheLinkStyles) {
    NoteEditor editor;
    editor.setText(Gb("见 www.a.cn 和 qm:\\笔记"));
    editor.setStyling(4, 8, NoteEditor::kWebLinkStyle);
    editor.setStyling(17, 10, NoteEditor::kNoteLinkStyle);
    EXPECT_EQ(editor.styleAt(3), NoteEditor::kPlainStyle);
    EXPECT_EQ(editor.styleAt(4), NoteEditor::kWebLinkStyle);
    EXPECT_EQ(editor.styleAt(11), NoteEditor::kWebLinkStyle);
    EXPECT_EQ(editor.styleAt(12), NoteEditor::kPlainStyle);
    EXPECT_EQ(editor.styleAt(16), NoteEditor::kPlainStyle);
    EXPECT_EQ(editor.styleAt(17), NoteEditor::kNoteLinkStyle);
    EXPECT_EQ(editor.styleAt(26), NoteEditor::kNoteLinkStyle);
}

}  // namespace
}  // namespace qm
