#include "editor/preview/preview_guard.h"

#include <QUrl>
#include <QWebEngineUrlRequestInfo>

namespace qm {

bool PreviewMayLoad(const QUrl& url) {
    const QString scheme = url.scheme().toLower();
    return scheme == QLatin1String(kPreviewScheme) || scheme == QLatin1String("data") ||
           scheme == QLatin1String("blob");
}

void PreviewGuard::interceptRequest(QWebEngineUrlRequestInfo& info) {
    if (PreviewMayLoad(info.requestUrl())) return;
    info.block(true);
    ++blocked_;
}

}  // namespace qm
