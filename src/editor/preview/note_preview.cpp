#include "editor/preview/note_preview.h"

#include <QEvent>
#include <QVBoxLayout>
#include <QWebEngineDownloadRequest>
#include <QWebEngineProfile>
#include <QWebEngineView>

#include "editor/preview/preview_guard.h"
#include "editor/preview/preview_page.h"
#include "editor/preview/preview_scheme.h"
#include "editor/preview/preview_snapshot.h"

namespace qm {

NotePreview::NotePreview(QWidget* parent) : PreviewSurface(parent) {
    setObjectName(QStringLiteral("网页预览"));
    hide();
    if (parent != nullptr) parent->installEventFilter(this);
}

NotePreview::~NotePreview() {
    // The page must go before the profile it was made with.
    delete view_;
    delete page_;
}

void NotePreview::start() {
    PrepareWebPreview();
    // A profile without a storage name keeps nothing on the disk (off the record).
    profile_ = new QWebEngineProfile(this);
    profile_->setHttpCacheType(QWebEngineProfile::MemoryHttpCache);
    profile_->setPersistentCookiesPolicy(QWebEngineProfile::NoPersistentCookies);
    profile_->setSpellCheckEnabled(false);
    guard_ = new PreviewGuard(profile_);
    profile_->setUrlRequestInterceptor(guard_);
    handler_ = new PreviewSchemeHandler(profile_);
    profile_->installUrlSchemeHandler(kPreviewScheme, handler_);
    connect(profile_, &QWebEngineProfile::downloadRequested, this,
            [](QWebEngineDownloadRequest* download) { download->cancel(); });

    page_ = new PreviewPage(profile_);
    connect(page_, &PreviewPage::linkClicked, this, &NotePreview::linkClicked);
    connect(page_, &QWebEnginePage::loadFinished, this, &NotePreview::pageLoaded);
    view_ = new QWebEngineView(this);
    view_->setPage(page_);
    // No menu with "save page" or "view source".
    view_->setContextMenuPolicy(Qt::NoContextMenu);
    auto* fill = new QVBoxLayout(this);
    fill->setContentsMargins(0, 0, 0, 0);
    fill->addWidget(view_);
    setFocusProxy(view_);
}

void NotePreview::showText(std::string_view gb18030) {
    if (view_ == nullptr) start();
    view_->setUrl(handler_->publish(MakePreviewSnapshot(gb18030)));
    fitParent();
    show();
    raise();
    view_->setFocus();
}

void NotePreview::refresh(std::string_view gb18030) {
    if (isVisible()) showText(gb18030);
}

void NotePreview::fitParent() {
    if (parentWidget() != nullptr) setGeometry(parentWidget()->rect());
}

bool NotePreview::eventFilter(QObject* watched, QEvent* event) {
    if (watched == parentWidget() && event->type() == QEvent::Resize) fitParent();
    return PreviewSurface::eventFilter(watched, event);
}

}  // namespace qm
