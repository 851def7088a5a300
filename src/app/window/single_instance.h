// One running copy per executable: a local socket named after the executable's canonical path.
// A later launch of the same executable connects, asks the running copy to show its window and
// ends; a copy of the program in another folder gets another name and runs on its own.
#pragma once

#include <QLocalServer>
#include <QObject>
#include <QString>

namespace qm {

class SingleInstance : public QObject {
    Q_OBJECT
public:
    // `executablePath` is resolved to its canonical form (symbolic links followed).
    explicit SingleInstance(const QString& executablePath, QObject* parent = nullptr);

    // The socket name for an executable: a hash of its canonical path and the user id, so
    // that neither a path's length nor another user's copy gets in the way.
    static QString ServerName(const QString& canonicalExecutablePath);
    const QString& serverName() const { return name_; }

    // Asks a running copy to show its window. Returns true when a copy accepted the request
    // (this launch should then end); false when none is listening.
    bool ActivateRunningCopy(int timeoutMs = 3000);

    // Starts answering later launches. A socket left behind by a crashed copy (nobody
    // answered ActivateRunningCopy) is removed first. Returns false when the name cannot be
    // taken; the program then runs without the single-instance guard.
    bool Listen();

signals:
    // A later launch asked for the window.
    void showRequested();

private:
    void onNewConnection();

    QString name_;
    QLocalServer server_;
};

}  // namespace qm
