// The preview of a note as a web page, laid over the editor: the preview surface on Qt
// WebEngine. The browser is started the first time a page is shown.
#pragma once

#include <string_view>

#include "editor/preview_surface.h"

class QWebEngineProfile;
class QWebEngineView;

namespace qm {

class PreviewGuard;
class PreviewPage;
class PreviewSchemeHandler;

class NotePreview : public PreviewSurface {
    Q_OBJECT
public:
    // Hidden, and without a browser until the first showText().
    explicit NotePreview(QWidget* parent = nullptr);
    ~NotePreview() override;

    void showText(std::string_view gb18030) override;
    void refresh(std::string_view gb18030) override;
    bool started() const override { return view_ != nullptr; }

    QWebEngineView* view() const { return view_; }
    PreviewGuard* guard() const { return guard_; }

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
