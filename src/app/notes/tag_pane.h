// The tag bar's place in the window: the bar of toolbar button 9 "标签" above the editor, and
// the note's preview laid over the editor area, made on the first preview and refreshed when
// another note is loaded and after "粘贴" and "清空".
#pragma once

#include <QObject>

class QUrl;
class QWidget;

namespace qm {

class MainToolBar;
class NoteEditor;
class NoteSession;
class PreviewSurface;
class TagBar;
class WindowLayout;

class TagPane : public QObject {
    Q_OBJECT
public:
    static constexpr int kTagButton = 9;
    static constexpr int kTagBarHeight = 26;

    // Adds button 9 to `toolBar`, registers the bar with `layout` (hidden until the button is
    // checked) and lays the preview over `editorArea` when it is first asked for. Everything
    // passed in must outlive the pane.
    TagPane(MainToolBar* toolBar, WindowLayout& layout, QWidget* editorArea, NoteEditor* editor,
            QObject* parent = nullptr);

    // Refreshes a shown preview whenever `session` loads a note.
    void followSession(NoteSession* session);

    TagBar* bar() const { return bar_; }
    // nullptr until the first preview (and while the preview library cannot be loaded).
    PreviewSurface* preview() const { return preview_; }
    bool previewShown() const;

    // Shows the editor's whole text as a page over the editor (which is hidden, so that no
    // keystroke reaches it), or hides the page and gives the editor back. The first preview
    // loads the preview library; when it cannot be loaded a message tells why and the editor
    // stays shown.
    void setPreviewShown(bool shown);
    // Shows the editor's text again in a preview that is showing.
    void refreshPreview();

signals:
    // A link in the preview was clicked.
    void previewLinkClicked(const QUrl& url);

private:
    QWidget* editorArea_;
    NoteEditor* editor_;
    TagBar* bar_;
    PreviewSurface* preview_ = nullptr;
};

}  // namespace qm
