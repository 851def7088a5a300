// The editor's place in the window: the note editor filling the editor area, the font panel as
// the tool bar of button 8 "字体", and the buttons 4 "粘贴", 5 "复制" and 6 "清空" that work on
// the whole text.
#pragma once

#include <QObject>

class QWidget;

namespace qm {

class FontBar;
class MainToolBar;
class NoteEditor;
class SettingsStore;
class WindowLayout;

class EditorPane : public QObject {
    Q_OBJECT
public:
    static constexpr int kPasteButton = 4;
    static constexpr int kCopyButton = 5;
    static constexpr int kClearButton = 6;
    static constexpr int kFontButton = 8;
    static constexpr int kFontBarHeight = 26;

    // Puts a new editor into `editorArea`, adds the buttons to `toolBar` and registers the font
    // panel with `layout` (placed beside the editor area's parent, hidden until its button is
    // checked). The panel is restored from `settings` (current section "主界面") and applied
    // once. Everything passed in must outlive the pane.
    EditorPane(MainToolBar* toolBar, WindowLayout& layout, QWidget* editorArea,
               SettingsStore& settings, QObject* parent = nullptr);

    NoteEditor* editor() const { return editor_; }
    FontBar* fontBar() const { return fontBar_; }

private:
    NoteEditor* editor_;
    FontBar* fontBar_;
};

}  // namespace qm
