// The note's preview as the rest of the program sees it: a widget laid over the editor that
// shows a note's text as a web page. The web engine behind it lives in the preview library,
// opened on the first preview (editor/preview_loader.h).
#pragma once

#include <QWidget>
#include <string_view>

class QUrl;

namespace qm {

// The preview library keeps its own copy of this class's meta-object: tell a surface by its
// class name (QObject::inherits), never by qobject_cast across the library's border.
class PreviewSurface : public QWidget {
    Q_OBJECT
public:
    using QWidget::QWidget;
    ~PreviewSurface() override;

    // Shows `gb18030` (the note's whole text) as a page, fills the parent, comes to the front
    // and takes the keyboard focus.
    virtual void showText(std::string_view gb18030) = 0;
    // Shows `gb18030` in place of the page shown, when the preview is visible.
    virtual void refresh(std::string_view gb18030) = 0;
    // Whether the web engine has been started.
    virtual bool started() const = 0;

signals:
    // The page finished loading a snapshot (ok: without error).
    void pageLoaded(bool ok);
    // A link of the page was clicked.
    void linkClicked(const QUrl& url);
};

}  // namespace qm
