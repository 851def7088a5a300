// What a previewed note may reach: the page the preview serves and data or blob addresses
// made inside it. Files on the disk, the network and every other scheme are refused.
#pragma once

#include <QWebEngineUrlRequestInterceptor>

class QUrl;

namespace qm {

// The preview's own scheme, through which the note's page is served.
inline constexpr char kPreviewScheme[] = "qmpreview";

// True for addresses a previewed page may load: the preview scheme, data: and blob:.
bool PreviewMayLoad(const QUrl& url);

// Blocks every request of the preview's profile that PreviewMayLoad refuses.
class PreviewGuard : public QWebEngineUrlRequestInterceptor {
    Q_OBJECT
public:
    using QWebEngineUrlRequestInterceptor::QWebEngineUrlRequestInterceptor;
    void interceptRequest(QWebEngineUrlRequestInfo& info) override;
    // How many requests were refused (for a look at what a note tried to reach).
    int blockedCount() const { return blocked_; }

private:
    int blocked_ = 0;
};

}  // namespace qm
