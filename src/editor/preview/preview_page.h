// The preview's web page: shows the note's page and nothing else. It opens no windows, shows
// no script dialogs or file pickers, denies every permission and hands clicked links to its
// owner instead of following them.
#pragma once

#include <QWebEnginePage>

namespace qm {

class PreviewPage : public QWebEnginePage {
    Q_OBJECT
public:
    explicit PreviewPage(QWebEngineProfile* profile, QObject* parent = nullptr);

signals:
    // A link of the page was clicked (or a script or form tried to leave the page).
    void linkClicked(const QUrl& url);

protected:
    bool acceptNavigationRequest(const QUrl& url, NavigationType type, bool isMainFrame) override;
    QWebEnginePage* createWindow(WebWindowType type) override;
    QStringList chooseFiles(FileSelectionMode mode, const QStringList& oldFiles,
                            const QStringList& acceptedMimeTypes) override;
    void javaScriptAlert(const QUrl& securityOrigin, const QString& msg) override;
    bool javaScriptConfirm(const QUrl& securityOrigin, const QString& msg) override;
    bool javaScriptPrompt(const QUrl& securityOrigin, const QString& msg,
                          const QString& defaultValue, QString* result) override;
};

}  // namespace qm
