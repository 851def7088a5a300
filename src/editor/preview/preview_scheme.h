// Serves the note's page to the preview under its own scheme, so that a page of any size
// shows (setHtml stops at 2 MB) and the page is no local file with a local file's rights.
#pragma once

#include <QByteArray>
#include <QWebEngineUrlSchemeHandler>

#include "editor/preview/preview_snapshot.h"

class QUrl;

namespace qm {

// Declares the preview scheme to the web engine. Must run before the engine's first profile is
// made; cheap, it starts no browser. Also adds Chromium's no-sandbox switch when the program runs
// as root (the sandbox cannot start there), and only then.
void PrepareWebPreview();

// Holds one snapshot and serves it at the address it hands out; every other address of the
// scheme is answered "not found".
class PreviewSchemeHandler : public QWebEngineUrlSchemeHandler {
    Q_OBJECT
public:
    using QWebEngineUrlSchemeHandler::QWebEngineUrlSchemeHandler;

    // Keeps `snapshot` and returns the address that serves it (a new one each time, so the
    // view never shows an older copy).
    QUrl publish(PreviewSnapshot snapshot);
    void requestStarted(QWebEngineUrlRequestJob* job) override;

private:
    QByteArray path_;
    QByteArray bytes_;
    QByteArray contentType_;
    int serial_ = 0;
};

}  // namespace qm
