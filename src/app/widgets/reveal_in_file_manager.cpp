#include "app/widgets/reveal_in_file_manager.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QUrl>

namespace qm {

namespace {

std::function<void(const QString&)>& FolderOpener() {
    static std::function<void(const QString&)> opener;
    return opener;
}

void OpenFolder(const QString& folder) {
    // Only ever a folder: handing a file to the desktop's "open" would open or run it.
    if (!QFileInfo(folder).isDir()) return;
    if (FolderOpener()) {
        FolderOpener()(folder);
        return;
    }
    QDesktopServices::openUrl(QUrl::fromLocalFile(folder));
}

}  // namespace

RevealPlan PlanReveal(const QString& path) {
    RevealPlan plan;
    if (path.isEmpty() || QDir::isRelativePath(path)) return plan;
    const QFileInfo item(QDir::cleanPath(path));
    if (item.exists()) {
        plan.method = QStringLiteral("ShowItems");
        plan.uri = QUrl::fromLocalFile(item.absoluteFilePath()).toString();
        plan.folder = item.isDir() ? item.absoluteFilePath() : item.absolutePath();
        return plan;
    }
    QString folder = item.absolutePath();
    while (!QFileInfo(folder).isDir() && folder != QLatin1String("/")) {
        folder = QFileInfo(folder).absolutePath();
    }
    plan.method = QStringLiteral("ShowFolders");
    plan.folder = folder;
    plan.uri = QUrl::fromLocalFile(plan.folder).toString();
    return plan;
}

bool RevealInFileManager(const QString& path, int timeoutMs) {
    const RevealPlan plan = PlanReveal(path);
    if (plan.method.isEmpty()) return false;
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
        OpenFolder(plan.folder);
        return true;
    }
    QDBusMessage call =
        QDBusMessage::createMethodCall(QStringLiteral("org.freedesktop.FileManager1"),
                                       QStringLiteral("/org/freedesktop/FileManager1"),
                                       QStringLiteral("org.freedesktop.FileManager1"), plan.method);
    call << QStringList{plan.uri} << QString();
    auto* watcher = new QDBusPendingCallWatcher(bus.asyncCall(call, timeoutMs));
    const QString folder = plan.folder;
    QObject::connect(watcher, &QDBusPendingCallWatcher::finished, watcher,
                     [folder](QDBusPendingCallWatcher* done) {
                         if (done->isError()) OpenFolder(folder);
                         done->deleteLater();
                     });
    return true;
}

void SetFolderOpenerForTesting(std::function<void(const QString& folder)> opener) {
    FolderOpener() = std::move(opener);
}

}  // namespace qm
