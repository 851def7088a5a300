#include "app/window/program_folder.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

namespace qm {

FolderSources FolderSources::FromEnvironment() {
    FolderSources sources;
    sources.executableFolder = QCoreApplication::applicationDirPath();
    sources.xdgDataHome = qEnvironmentVariable("XDG_DATA_HOME");
    sources.home = QDir::homePath();
    return sources;
}

QString ChooseProgramFolder(const FolderSources& sources) {
    const QDir exeDir(sources.executableFolder);
    if (!sources.executableFolder.isEmpty() &&
        (QFileInfo::exists(exeDir.filePath(QStringLiteral("portable"))) ||
         QFileInfo::exists(exeDir.filePath(QStringLiteral("笔记本.qm"))))) {
        return QDir::cleanPath(exeDir.absolutePath());
    }
    // The XDG rule: a relative $XDG_DATA_HOME is invalid and must be ignored.
    QString dataHome = sources.xdgDataHome;
    if (dataHome.isEmpty() || QDir::isRelativePath(dataHome)) {
        dataHome = QDir(sources.home).filePath(QStringLiteral(".local/share"));
    }
    return QDir::cleanPath(QDir(dataHome).filePath(QStringLiteral("Quelmar·Corvanel")));
}

bool EnterProgramFolder(const QString& folder) {
    if (folder.isEmpty() || !QDir().mkpath(folder)) return false;
    return QDir::setCurrent(folder);
}

}  // namespace qm
