// The tag bar: the buttons of the HTML snippet table, the three drop-down menus and the two
// picker panels, inserting into the note editor. The preview button only reports its state;
// whoever owns a preview shows it.
#pragma once

#include <QToolBar>
#include <map>

class QMenu;

namespace qm {

class ColourPanel;
class NoteEditor;
class TablePanel;
struct TagSnippet;

class TagBar : public QToolBar {
    Q_OBJECT
public:
    static constexpr int kPreviewButton = 0;
    static constexpr int kColourButton = 6;
    static constexpr int kTableButton = 19;
    // Where the panels open, from the editor's top-left corner.
    static constexpr int kColourPanelLeft = 126;
    static constexpr int kTablePanelLeft = 342;

    explicit TagBar(NoteEditor& editor, QWidget* parent = nullptr);
    ~TagBar() override;

    // The action of button `index` (separators included); nullptr when there is none.
    QAction* button(int index) const;
    // The drop-down menu by its object name ("菜单标题代码插入", ...); nullptr when unknown.
    QMenu* menu(const QString& name) const;
    ColourPanel* colourPanel() const { return colourPanel_; }
    TablePanel* tablePanel() const { return tablePanel_; }

    // Puts the entry's snippet in place of the editor's selection; the caret ends after it and
    // the editor gets the focus.
    void insertSnippet(const TagSnippet& snippet);
    // Sets the preview button's pressed state without emitting previewToggled.
    void setPreviewPressed(bool pressed);

signals:
    // The preview button was pressed (true) or released (false) by the user.
    void previewToggled(bool pressed);

private:
    void toggleColourPanel(bool pressed);
    void showTablePanel();

    NoteEditor& editor_;
    std::map<int, QAction*> buttons_;
    std::map<QString, QMenu*> menus_;
    ColourPanel* colourPanel_;
    TablePanel* tablePanel_;
};

}  // namespace qm
