// The HTML snippets of the tag bar as one table of data: every button, its tool tip and what it
// inserts, the entries of its three drop-down menus, and the texts built from a selection.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace qm {

// What a tag-bar button or menu entry does.
enum class TagAction {
    kSeparator,
    kPreview,  // toggles the preview of the whole text
    kColourPanel,
    kTablePanel,
    kMenu,    // opens the drop-down menu named in `menu`
    kInsert,  // inserts `open`
    kWrap,    // inserts `open` + selected text + `close`
};

// One entry. Texts are UTF-8; `quoteRule` turns every '' of the composed text (selection
// included) into one double quote.
struct TagSnippet {
    int index = -1;  // button index on the bar; -1 for a menu entry
    const char* toolTip = "";
    TagAction action = TagAction::kSeparator;
    const char* open = "";
    const char* close = "";
    bool quoteRule = false;
    const char* menu = "";  // kMenu: the menu's object name
};

// The 38 buttons of the bar, index 0 to 37, in order.
const std::vector<TagSnippet>& TagButtons();

// A drop-down menu: its object name, the button that opens it and its entries (the entry's
// caption is its toolTip).
struct TagMenu {
    const char* name;
    int button;
    std::vector<TagSnippet> entries;
};
const std::vector<TagMenu>& TagMenus();

// The text an insert or wrap entry puts in place of `selection` (both GB18030). Other actions
// give an empty text.
std::string ComposeSnippet(const TagSnippet& snippet, std::string_view selection);

// The 100 colour codes of the colour panel, "#RRGGBB", in panel order.
const std::vector<std::string>& PanelColours();

// The table panel's choice for a pointer at `coordinate` pixels along one axis of the panel:
// ceil((coordinate + 1) / 32), kept within 1..10 so that the panel's edges can never ask for
// an empty table or an eleventh column.
int TableCellCount(int coordinate);

// The table snippet for `rows` x `cols` (each kept within 1..10), GB18030 (ASCII) text.
std::string TableSnippet(int rows, int cols);

}  // namespace qm
