#include "editor/preview/preview_page.h"

#include <QWebEngineFileSystemAccessRequest>
#include <QWebEngineFullScreenRequest>
#include <QWebEngineRegisterProtocolHandlerRequest>
#include <QWebEngineSettings>

#include "editor/preview/preview_guard.h"

namespace qm {

PreviewPage::PreviewPage(QWebEngineProfile* profile, QObject* parent)
    : QWebEnginePage(profile, parent) {
    QWebEngineSettings* s = settings();
    s->setAttribute(QWebEngineSettings::LocalContentCanAccessFileUrls, false);
    s->setAttribute(QWebEngineSettings::LocalContentCanAccessRemoteUrls, false);
    s->setAttribute(QWebEngineSettings::LocalStorageEnabled, false);
    s->setAttribute(QWebEngineSettings::JavascriptCanOpenWindows, false);
    s->setAttribute(QWebEngineSettings::JavascriptCanAccessClipboard, false);
    s->setAttribute(QWebEngineSettings::JavascriptCanPaste, false);
    s->setAttribute(QWebEngineSettings::PluginsEnabled, false);
    s->setAttribute(QWebEngineSettings::PdfViewerEnabled, false);
    s->setAttribute(QWebEngineSettings::ScreenCaptureEnabled, false);
    s->setAttribute(QWebEngineSettings::WebRTCPublicInterfacesOnly, true);
    s->setAttribute(QWebEngineSettings::AllowRunningInsecureContent, false);
    s->setAttribute(QWebEngineSettings::AllowGeolocationOnInsecureOrigins, false);
    s->setAttribute(QWebEngineSettings::DnsPrefetchEnabled, false);
    s->setAttribute(QWebEngineSettings::NavigateOnDropEnabled, false);
    s->setAttribute(QWebEngineSettings::AutoLoadIconsForPage, false);
    s->setAttribute(QWebEngineSettings::FullScreenSupportEnabled, false);

    connect(this, &QWebEnginePage::featurePermissionRequested, this,
            [this](const QUrl& origin, Feature feature) {
                setFeaturePermission(origin, feature, PermissionDeniedByUser);
            });
    connect(this, &QWebEnginePage::fileSystemAccessRequested, this,
            [](QWebEngineFileSystemAccessRequest request) { request.reject(); });
    connect(this, &QWebEnginePage::registerProtocolHandlerRequested, this,
            [](QWebEngineRegisterProtocolHandlerRequest request) { request.reject(); });
    connect(this, &QWebEnginePage::fullScreenRequested, this,
            [](QWebEngineFullScreenRequest request) { request.reject(); });
}

bool PreviewPage::acceptNavigationRequest(const QUrl& url, NavigationType type, bool isMainFrame) {
    if (type == NavigationTypeLinkClicked || type == NavigationTypeFormSubmitted) {
        emit linkClicked(url);
        return false;
    }
    if (isMainFrame) return url.scheme() == QLatin1String(kPreviewScheme);
    return PreviewMayLoad(url);
}

QWebEnginePage* PreviewPage::createWindow(WebWindowType) { return nullptr; }

QStringList PreviewPage::chooseFiles(FileSelectionMode, const QStringList&, const QStringList&) {
    return {};
}

void PreviewPage::javaScriptAlert(const QUrl&, const QString&) {}

bool PreviewPage::javaScriptConfirm(const QUrl&, const QString&) { return false; }

bool PreviewPage::javaScriptPrompt(const QUrl&, const QString&, const QString&, QString*) {
    return false;
}

}  // namespace qm
