// Opens a link clicked in a note: a "qm:\" link jumps to the note its path names, a web
// address goes to the desktop's browser. Addresses of other schemes could open local files or
// start programs, so the user is asked first.
#pragma once

#include <QObject>
#include <QString>
#include <QUrl>

class QWidget;

namespace qm {

class PathCommands;

class LinkOpener : public QObject {
    Q_OBJECT
public:
    // `paths` and `dialogParent` must outlive the opener.
    LinkOpener(PathCommands* paths, QWidget* dialogParent, QObject* parent = nullptr);

    // The address handed to the desktop: "http://" in front of a link that starts with "www"
    // and has no scheme; otherwise the link as written.
    static QUrl WebUrl(const QString& link);
    // http, https and ftp open without a question.
    static bool IsPlainWebScheme(const QUrl& url);

    // Opens the link; returns true when it went to the notebook or the desktop, false when it
    // was empty, refused by the user or not accepted by the desktop.
    bool open(const QString& link);

private:
    PathCommands* paths_;
    QWidget* dialogParent_;
};

}  // namespace qm
