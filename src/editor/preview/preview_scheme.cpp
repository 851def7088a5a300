#include "editor/preview/preview_scheme.h"

#include <unistd.h>

#include <QBuffer>
#include <QUrl>
#include <QWebEngineUrlRequestJob>
#include <QWebEngineUrlScheme>

#include "editor/preview/preview_guard.h"

namespace qm {

void PrepareWebPreview() {
    if (geteuid() == 0) {
        QByteArray flags = qgetenv("QTWEBENGINE_CHROMIUM_FLAGS");
        if (!flags.contains("--no-sandbox")) {
            qputenv("QTWEBENGINE_CHROMIUM_FLAGS", (flags + " --no-sandbox").trimmed());
        }
        qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
    }
    // Schemes can only be declared before the engine's first profile exists: the library is
    // opened on the first preview and calls this before making one. A later call leaves the
    // scheme as declared, or undeclared (a test without its own main), which the engine still
    // serves.
    if (QWebEngineUrlScheme::schemeByName(kPreviewScheme).name().isEmpty()) {
        // No local-scheme or secure flags: the page gets no rights beyond an ordinary page.
        QWebEngineUrlScheme scheme(kPreviewScheme);
        scheme.setSyntax(QWebEngineUrlScheme::Syntax::Path);
        QWebEngineUrlScheme::registerScheme(scheme);
    }
}

QUrl PreviewSchemeHandler::publish(PreviewSnapshot snapshot) {
    path_ = "note/" + QByteArray::number(++serial_);
    bytes_ = QByteArray::fromStdString(snapshot.bytes);
    contentType_ = QByteArray::fromStdString(snapshot.contentType);
    return QUrl(QString::fromLatin1(kPreviewScheme) + QLatin1Char(':') +
                QString::fromLatin1(path_));
}

void PreviewSchemeHandler::requestStarted(QWebEngineUrlRequestJob* job) {
    if (job->requestUrl().path().toLatin1() != path_ || path_.isEmpty()) {
        job->fail(QWebEngineUrlRequestJob::UrlNotFound);
        return;
    }
    // The job reads the buffer after this returns; it owns it and deletes it with itself.
    auto* buffer = new QBuffer(job);
    buffer->setData(bytes_);
    buffer->open(QIODevice::ReadOnly);
    job->reply(contentType_, buffer);
}

}  // namespace qm
