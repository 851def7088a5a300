// The preview of a note as a web page, laid over the editor. The web engine is started the
// first time a page is shown, so a program that never previews never pays for it.
#pragma once

#include <QWidget>
#include <string_view>

class QUrl;
class QWebEngineProfile;
class QWebEngineView;

namespace qm {

class PreviewGuard;
class PreviewPage;
class PreviewSchemeHandler;

class NotePreview : public QWidget {
    Q_OBJECT
public:
    // Hidden, and without a browser until the first showText().
    explicit NotePreview(QWidget* parent = nullptr);
    ~NotePreview() override;

    // Shows `gb18030` (the note's whole text) as a page, fills the parent, comes to the front
    // and takes the keyboard focus.
    void showText(std::string_view gb18030);
    // Shows `gb18030` in place of the page shown, when the preview is visible.
    void refresh(std::string_view gb18030);

    // Whether the web engine has been started.
    bool started() const { return view_ != nullptr; }
    QWebEngineView* view() const { return view_; }
    PreviewGuard* guard() const { return guard_; }

signals:
    // The page finished loading a snapshot (ok: without error).
    void pageLoaded(bool ok);
    // A link of the page was clicked.
    void linkClicked(const QUrl& url);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void start();
    void fitParent();

    QWebEngineProfile* profile_ = nullptr;
    PreviewGuard* guard_ = nullptr;
    PreviewSchemeHandler* handler_ = nullptr;
    PreviewPage* page_ = nullptr;
    QWebEngineView* view_ = nullptr;
};

}  // namespace qm
