// The tag bar's snippet table checked against the texts each button and menu entry must
// insert, written out in full here rather than built the way the table builds them.
#include "editor/tag_table.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

#include "editor_test_support.h"

namespace qm {
namespace {

using testing::Gb;

struct ButtonCase {
    int index;
    const char* toolTip;
    const char* selection;
    const char* expected;
};

// Every inserting button, with a selection where the snippet wraps one.
const ButtonCase kButtonCases[] = {
    {2, "加粗", "abc", "<b>abc</b>"},
    {3, "倾斜", "x", "<em>x</em>"},
    {4, "下划线", "", "<u></u>"},
    {5, "字体", "it''s", "<font face=\"\" size=\"\" color=\"\">it\"s</font>"},
    {8, "空格", "gone", "&nbsp;"},
    {9, "换行", "", "<br>"},
    {10, "段落", "中文", "<p>中文</p>"},
    {13, "链接", "", "<a href=\"\" target=\"_blank\"></a>"},
    {14, "图片", "", "<img src=\"\" width=\"\" height=\"\" border=\"0\" alt=\"\">"},
    {15, "锚点", "", "<a name=\"\"></a>"},
    {16, "水平分隔线", "", "<hr>"},
    {17, "注释", "note", "<!-- note -->"},
    {20, "居中", "c", "<center>c</center>"},
    {21, "引用段落", "q", "<blockquote>q</blockquote>"},
    {22, "预格式段落", "p", "<pre>p</pre>"},
    {25, "样式", "b{}", "\r\n<style type=\"text/css\">\r\nb{}\r\n</style>"},
    {26, "div", "d", "\r\n<div id=\"\" class=\"\">\r\nd\r\n</div>"},
    {27, "span", "red", "<span class=\"red\"></span>"},
    {29, "脚本", "f()", "\r\n<script type=\"text/javascript\">\r\nf()\r\n</script>"},
    {30, "applet", "", "\r\n<applet code=\"\" width=\"\" height=\"\">\r\n</applet>"},
    {31, "对象", "",
     "\r\n<object id=\"Windows Media Player\" width=\"\" height=\"\" "
     "classid=\"clsid:6BF52A52-394A-11d3-B153-00C04F79FAA6\">\r\n</object>"},
    {33, "表单", "", "\r\n<form method=\"post\" action=\"\">\r\n\r\n</form>"},
    {36, "图像地图", "m",
     "\r\n<map name=\"m\">\r\n <area shape=\"\" href=\"\" coords=\"\" alt=\"\">\r\n</map>"},
    {37, "框架", "",
     "\r\n<frameset rows=\",\" cols=\",\">\r\n\t<frame src=\"\" name=\"\">\r\n\t<frame "
     "src=\"\" name=\"\">\r\n</frameset>"},
};

class TagButtonTest : public ::testing::TestWithParam<ButtonCase> {};

TEST_P(TagButtonTest, InsertsTheQuotedText) {
    const ButtonCase& c = GetParam();
    const auto& buttons = TagButtons();
    ASSERT_LT(c.index, static_cast<int>(buttons.size()));
    const TagSnippet& snippet = buttons[c.index];
    EXPECT_EQ(snippet.index, c.index);
    EXPECT_STREQ(snippet.toolTip, c.toolTip);
    EXPECT_EQ(ComposeSnippet(snippet, Gb(c.selection)), Gb(c.expected));
}

INSTANTIATE_TEST_SUITE_P(AllInsertingButtons, TagButtonTest, ::testing::ValuesIn(kButtonCases));

TEST(TagButtonsTest, OtherButtonsHaveTheirActionsAndTips) {
    const auto& b = TagButtons();
    ASSERT_EQ(b.size(), 38u);
    for (int i = 0; i < 38; ++i) EXPECT_EQ(b[i].index, i);
    const std::set<int> separators = {1, 7, 12, 18, 24, 28, 32, 35};
    for (int i = 0; i < 38; ++i) {
        EXPECT_EQ(b[i].action == TagAction::kSeparator, separators.count(i) == 1) << i;
    }
    EXPECT_EQ(b[0].action, TagAction::kPreview);
    EXPECT_STREQ(b[0].toolTip, "使用浏览器查看网页效果");
    EXPECT_EQ(b[6].action, TagAction::kColourPanel);
    EXPECT_STREQ(b[6].toolTip, "HTML 颜色");
    EXPECT_EQ(b[19].action, TagAction::kTablePanel);
    EXPECT_STREQ(b[19].toolTip, "表格");
    EXPECT_STREQ(b[11].menu, "菜单标题代码插入");
    EXPECT_STREQ(b[11].toolTip, "标题");
    EXPECT_STREQ(b[23].menu, "菜单列表代码插入");
    EXPECT_STREQ(b[23].toolTip, "列表");
    EXPECT_STREQ(b[34].menu, "菜单表单控件代码插入");
    EXPECT_STREQ(b[34].toolTip, "表单控件");
    // A button that neither inserts nor wraps gives no text.
    EXPECT_EQ(ComposeSnippet(b[0], "x"), "");
}

struct MenuCase {
    const char* menu;
    const char* entry;
    const char* selection;
    const char* expected;
};

const MenuCase kMenuCases[] = {
    {"菜单标题代码插入", "H1", "", "<h1></h1>"},
    {"菜单标题代码插入", "H3", "x", "<h3>x</h3>"},
    {"菜单标题代码插入", "H6", "y", "<h6>y</h6>"},
    {"菜单列表代码插入", "普通列表", "", "\r\n<ul>\r\n <li></li>\r\n <li></li>\r\n</ul>"},
    {"菜单列表代码插入", "序号列表", "", "\r\n<ol>\r\n <li></li>\r\n <li></li>\r\n</ol>"},
    {"菜单列表代码插入", "定义列表", "", "\r\n<dl>\r\n <dt></dt>\r\n <dd></dd>\r\n</dl>"},
    {"菜单表单控件代码插入", "文本框", "n", "\r\n<input type=\"text\" name=\"n\">"},
    {"菜单表单控件代码插入", "多行文本框", "n",
     "\r\n<textarea name=\"n\" rows=\"\" cols=\"\"></textarea>"},
    {"菜单表单控件代码插入", "密码文本框", "", "\r\n<input type=\"password\" name=\"\">"},
    {"菜单表单控件代码插入", "列表框", "s",
     "\r\n<select name=\"s\">\r\n <option value=\"\" selected>\r\n <option "
     "value=\"\">\r\n</select>"},
    {"菜单表单控件代码插入", "单选框", "r", "\r\n<input type=\"radio\" name=\"r\">"},
    {"菜单表单控件代码插入", "复选框", "c", "\r\n<input type=\"checkbox\" name=\"c\">"},
    {"菜单表单控件代码插入", "重置按钮", "", "\r\n<input type=\"reset\">"},
    {"菜单表单控件代码插入", "提交按钮", "", "\r\n<input type=\"submit\">"},
    {"菜单表单控件代码插入", "图像按钮", "", "\r\n<input type=\"image\" src=\"\">"},
    {"菜单表单控件代码插入", "普通按钮", "", "\r\n<input type=\"button\" value=\"\" onclick=\"\">"},
    {"菜单表单控件代码插入", "隐藏字段", "h", "\r\n<input type=\"hidden\" name=\"h\">"},
};

class TagMenuTest : public ::testing::TestWithParam<MenuCase> {};

TEST_P(TagMenuTest, EntryInsertsTheQuotedText) {
    const MenuCase& c = GetParam();
    const TagSnippet* found = nullptr;
    for (const TagMenu& menu : TagMenus()) {
        if (std::string(menu.name) != c.menu) continue;
        for (const TagSnippet& entry : menu.entries) {
            if (std::string(entry.toolTip) == c.entry) found = &entry;
        }
    }
    ASSERT_NE(found, nullptr) << c.menu << " " << c.entry;
    EXPECT_EQ(ComposeSnippet(*found, Gb(c.selection)), Gb(c.expected));
}

INSTANTIATE_TEST_SUITE_P(AllMenuEntries, TagMenuTest, ::testing::ValuesIn(kMenuCases));

TEST(TagMenusTest, ThreeMenusWithTheirButtonsAndEntryCounts) {
    const auto& menus = TagMenus();
    ASSERT_EQ(menus.size(), 3u);
    EXPECT_EQ(menus[0].button, 11);
    EXPECT_EQ(menus[0].entries.size(), 6u);
    EXPECT_EQ(menus[1].button, 23);
    EXPECT_EQ(menus[1].entries.size(), 3u);
    EXPECT_EQ(menus[2].button, 34);
    EXPECT_EQ(menus[2].entries.size(), 11u);
}

TEST(PanelColoursTest, HundredCodesInPanelOrder) {
    const auto& colours = PanelColours();
    ASSERT_EQ(colours.size(), 100u);
    EXPECT_EQ(colours[0], "#000000");
    EXPECT_EQ(colours[26], "#FF7F50");
    EXPECT_EQ(colours[64], "#0000FF");
    EXPECT_EQ(colours[98], "#DDA0DD");
    EXPECT_EQ(colours[99], "#606060");
    for (const std::string& code : colours) {
        ASSERT_EQ(code.size(), 7u) << code;
        EXPECT_EQ(code[0], '#');
        EXPECT_EQ(code.find_first_not_of("0123456789ABCDEF", 1), std::string::npos) << code;
    }
}

struct CountCase {
    int coordinate;
    int expected;
};

class TableCellCountTest : public ::testing::TestWithParam<CountCase> {};

TEST_P(TableCellCountTest, StaysWithinOneToTen) {
    EXPECT_EQ(TableCellCount(GetParam().coordinate), GetParam().expected);
}

// -1 is the starting state; 320 and 321 are the panel's last pixels, past the tenth cell.
INSTANTIATE_TEST_SUITE_P(Edges, TableCellCountTest,
                         ::testing::Values(CountCase{-5, 1}, CountCase{-1, 1}, CountCase{0, 1},
                                           CountCase{31, 1}, CountCase{32, 2}, CountCase{95, 3},
                                           CountCase{319, 10}, CountCase{320, 10},
                                           CountCase{321, 10}, CountCase{5000, 10}));

TEST(TableSnippetTest, RowsOfCellsBetweenTableTags) {
    EXPECT_EQ(TableSnippet(1, 1), "\r\n<table>\r\n<tr>\r\n<td></td>\r\n</tr>\r\n</table>\r\n");
    EXPECT_EQ(TableSnippet(2, 3),
              "\r\n<table>\r\n"
              "<tr>\r\n<td></td>\r\n<td></td>\r\n<td></td>\r\n</tr>\r\n"
              "<tr>\r\n<td></td>\r\n<td></td>\r\n<td></td>\r\n</tr>\r\n"
              "</table>\r\n");
    EXPECT_EQ(TableSnippet(0, 11), TableSnippet(1, 10));
}

}  // namespace
}  // namespace qm
