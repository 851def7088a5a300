#include "editor/tag_table.h"

#include <algorithm>

namespace qm {

namespace {

#define CRLF "\r\n"

TagSnippet Separator(int index) { return {index, "", TagAction::kSeparator}; }
TagSnippet Wrap(int index, const char* tip, const char* open, const char* close,
                bool quoteRule = false) {
    return {index, tip, TagAction::kWrap, open, close, quoteRule};
}
TagSnippet Insert(int index, const char* tip, const char* text, bool quoteRule = false) {
    return {index, tip, TagAction::kInsert, text, "", quoteRule};
}
TagSnippet Menu(int index, const char* tip, const char* menu) {
    return {index, tip, TagAction::kMenu, "", "", false, menu};
}

// The 99 codes as the program has always kept them: one text, one code per line; the 100th
// cell is "#606060".
constexpr std::string_view kColourText =
    "#000000" CRLF "#292421" CRLF "#C0C0C0" CRLF "#808A87" CRLF "#708069" CRLF "#808069" CRLF
    "#FFFFFF" CRLF "#FAEBD7" CRLF "#F0FFFF" CRLF "#F5F5F5" CRLF "#FFFFCD" CRLF "#FFF8DC" CRLF
    "#FCE6C9" CRLF "#FFFAF0" CRLF "#DCDCDC" CRLF "#F8F8FF" CRLF "#F0FFF0" CRLF "#FAFFF0" CRLF
    "#FAF0E6" CRLF "#FFDEAD" CRLF "#FDF5E6" CRLF "#FFF5EE" CRLF "#FFFAFA" CRLF "#FF0000" CRLF
    "#9C661F" CRLF "#E3170D" CRLF "#FF7F50" CRLF "#B22222" CRLF "#B0171F" CRLF "#B03060" CRLF
    "#FFC0CB" CRLF "#872657" CRLF "#FA8072" CRLF "#FF6347" CRLF "#FF4500" CRLF "#FF00FF" CRLF
    "#FFFF00" CRLF "#E3CF57" CRLF "#FF9912" CRLF "#EB8E55" CRLF "#FFE384" CRLF "#FFD700" CRLF
    "#DAA569" CRLF "#E3A869" CRLF "#FF6100" CRLF "#FF6103" CRLF "#ED9121" CRLF "#FF8000" CRLF
    "#F5DEB3" CRLF "#802A2A" CRLF "#A39480" CRLF "#8A360F" CRLF "#873324" CRLF "#D2691E" CRLF
    "#FF7D40" CRLF "#F0E68C" CRLF "#BC8F8F" CRLF "#C76114" CRLF "#734A12" CRLF "#5E2612" CRLF
    "#A0522D" CRLF "#8B4513" CRLF "#F4A460" CRLF "#D2B48C" CRLF "#0000FF" CRLF "#3D59AB" CRLF
    "#1E90FF" CRLF "#0B1746" CRLF "#03A89E" CRLF "#191970" CRLF "#33A1C9" CRLF "#00C78C" CRLF
    "#B0E0E6" CRLF "#4169E1" CRLF "#6A5ACD" CRLF "#87CEEB" CRLF "#00FFFF" CRLF "#385E0F" CRLF
    "#082E54" CRLF "#7FFFD4" CRLF "#40E0D0" CRLF "#00FF00" CRLF "#7FFF00" CRLF "#3D9140" CRLF
    "#00C957" CRLF "#228B22" CRLF "#7CFC00" CRLF "#32CD32" CRLF "#BDFCC9" CRLF "#6B8E23" CRLF
    "#308014" CRLF "#2E8B57" CRLF "#00FF7F" CRLF "#A020F0" CRLF "#8A2BE2" CRLF "#A066D3" CRLF
    "#9933FA" CRLF "#DA70D6" CRLF "#DDA0DD" CRLF;

constexpr int kPanelCells = 10;
constexpr int kCellPixels = 32;

}  // namespace

const std::vector<TagSnippet>& TagButtons() {
    static const std::vector<TagSnippet> buttons = {
        {0, "使用浏览器查看网页效果", TagAction::kPreview},
        Separator(1),
        Wrap(2, "加粗", "<b>", "</b>"),
        Wrap(3, "倾斜", "<em>", "</em>"),
        Wrap(4, "下划线", "<u>", "</u>"),
        Wrap(5, "字体", "<font face='''' size='''' color=''''>", "</font>", true),
        {6, "HTML 颜色", TagAction::kColourPanel},
        Separator(7),
        Insert(8, "空格", "&nbsp;"),
        Insert(9, "换行", "<br>"),
        Wrap(10, "段落", "<p>", "</p>"),
        Menu(11, "标题", "菜单标题代码插入"),
        Separator(12),
        Wrap(13, "链接", "<a href='''' target=''_blank''>", "</a>", true),
        Insert(14, "图片", "<img src='''' width='''' height='''' border=''0'' alt=''''>", true),
        Insert(15, "锚点", "<a name=''''></a>", true),
        Insert(16, "水平分隔线", "<hr>"),
        Wrap(17, "注释", "<!-- ", " -->"),
        Separator(18),
        {19, "表格", TagAction::kTablePanel},
        Wrap(20, "居中", "<center>", "</center>"),
        Wrap(21, "引用段落", "<blockquote>", "</blockquote>"),
        Wrap(22, "预格式段落", "<pre>", "</pre>"),
        Menu(23, "列表", "菜单列表代码插入"),
        Separator(24),
        Wrap(25, "样式", CRLF R"(<style type="text/css">)" CRLF, CRLF "</style>"),
        Wrap(26, "div", CRLF R"(<div id="" class="">)" CRLF, CRLF "</div>"),
        Wrap(27, "span", R"(<span class=")", R"("></span>)"),
        Separator(28),
        Wrap(29, "脚本", CRLF R"(<script type="text/javascript">)" CRLF, CRLF "</script>"),
        Insert(30, "applet", CRLF R"(<applet code="" width="" height="">)" CRLF "</applet>"),
        Insert(31, "对象",
               CRLF R"(<object id="Windows Media Player" width="" height="" )"
                    R"(classid="clsid:6BF52A52-394A-11d3-B153-00C04F79FAA6">)" CRLF "</object>"),
        Separator(32),
        Wrap(33, "表单", CRLF R"(<form method="post" action="">)" CRLF, CRLF "</form>"),
        Menu(34, "表单控件", "菜单表单控件代码插入"),
        Separator(35),
        Wrap(36, "图像地图", CRLF R"(<map name=")",
             R"(">)" CRLF R"( <area shape="" href="" coords="" alt="">)" CRLF "</map>"),
        Insert(37, "框架",
               CRLF R"(<frameset rows="," cols=",">)" CRLF "\t"
                    R"(<frame src="" name="">)" CRLF "\t"
                    R"(<frame src="" name="">)" CRLF "</frameset>"),
    };
    return buttons;
}

const std::vector<TagMenu>& TagMenus() {
    static const std::vector<TagMenu> menus = {
        {"菜单标题代码插入",
         11,
         {Wrap(-1, "H1", "<h1>", "</h1>"), Wrap(-1, "H2", "<h2>", "</h2>"),
          Wrap(-1, "H3", "<h3>", "</h3>"), Wrap(-1, "H4", "<h4>", "</h4>"),
          Wrap(-1, "H5", "<h5>", "</h5>"), Wrap(-1, "H6", "<h6>", "</h6>")}},
        {"菜单列表代码插入",
         23,
         {Insert(-1, "普通列表", CRLF "<ul>" CRLF " <li></li>" CRLF " <li></li>" CRLF "</ul>"),
          Insert(-1, "序号列表", CRLF "<ol>" CRLF " <li></li>" CRLF " <li></li>" CRLF "</ol>"),
          Insert(-1, "定义列表", CRLF "<dl>" CRLF " <dt></dt>" CRLF " <dd></dd>" CRLF "</dl>")}},
        {"菜单表单控件代码插入",
         34,
         {Wrap(-1, "文本框", CRLF R"(<input type="text" name=")", R"(">)"),
          Wrap(-1, "多行文本框", CRLF R"(<textarea name=")", R"(" rows="" cols=""></textarea>)"),
          Wrap(-1, "密码文本框", CRLF R"(<input type="password" name=")", R"(">)"),
          Wrap(-1, "列表框", CRLF R"(<select name=")",
               R"(">)" CRLF R"( <option value="" selected>)" CRLF R"( <option value="">)" CRLF
               "</select>"),
          Wrap(-1, "单选框", CRLF R"(<input type="radio" name=")", R"(">)"),
          Wrap(-1, "复选框", CRLF R"(<input type="checkbox" name=")", R"(">)"),
          Insert(-1, "重置按钮", CRLF R"(<input type="reset">)"),
          Insert(-1, "提交按钮", CRLF R"(<input type="submit">)"),
          Insert(-1, "图像按钮", CRLF R"(<input type="image" src="">)"),
          Insert(-1, "普通按钮", CRLF R"(<input type="button" value="" onclick="">)"),
          Wrap(-1, "隐藏字段", CRLF R"(<input type="hidden" name=")", R"(">)")}},
    };
    return menus;
}

std::string ComposeSnippet(const TagSnippet& snippet, std::string_view selection) {
    std::string text;
    if (snippet.action == TagAction::kInsert) {
        text = snippet.open;
    } else if (snippet.action == TagAction::kWrap) {
        text = std::string(snippet.open) + std::string(selection) + snippet.close;
    } else {
        return {};
    }
    if (snippet.quoteRule) {
        // A quote byte (0x27) is never part of a multi-byte GB18030 character, so the bytes
        // can be rewritten as they stand.
        std::string out;
        out.reserve(text.size());
        for (size_t i = 0; i < text.size(); ++i) {
            if (text[i] == '\'' && i + 1 < text.size() && text[i + 1] == '\'') {
                out += '"';
                ++i;
            } else {
                out += text[i];
            }
        }
        text.swap(out);
    }
    // The snippets themselves are ASCII; only the selection may hold Chinese text, and it
    // came in as GB18030 already.
    return text;
}

const std::vector<std::string>& PanelColours() {
    static const std::vector<std::string> colours = [] {
        std::vector<std::string> list;
        size_t from = 0;
        for (size_t end = kColourText.find(CRLF); end != std::string_view::npos;
             from = end + 2, end = kColourText.find(CRLF, from)) {
            list.emplace_back(kColourText.substr(from, end - from));
        }
        list.emplace_back("#606060");
        return list;
    }();
    return colours;
}

int TableCellCount(int coordinate) {
    // ceil((c + 1) / 32) for c >= -1; below that the panel was never entered.
    const int count = coordinate < 0 ? 0 : (coordinate + kCellPixels) / kCellPixels;
    return std::clamp(count, 1, kPanelCells);
}

std::string TableSnippet(int rows, int cols) {
    rows = std::clamp(rows, 1, kPanelCells);
    cols = std::clamp(cols, 1, kPanelCells);
    std::string text = CRLF "<table>" CRLF;
    for (int r = 0; r < rows; ++r) {
        text += "<tr>" CRLF;
        for (int c = 0; c < cols; ++c) text += "<td></td>" CRLF;
        text += "</tr>" CRLF;
    }
    text += "</table>" CRLF;
    return text;
}

#undef CRLF

}  // namespace qm
