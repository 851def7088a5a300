#include "app/window/autostart_entry.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

namespace qm {

namespace {

// An argument of an Exec line in double quotes: inside the quotes the desktop-entry rules put
// a backslash before each of the characters " ` $ and backslash, "%" is doubled, and the
// file's string escape then doubles every backslash once more.
QString QuoteExecArgument(const QString& argument) {
    QString quoted;
    for (const QChar c : argument) {
        if (c == u'"' || c == u'`' || c == u'$' || c == u'\\') quoted += u'\\';
        if (c == u'%') quoted += u'%';
        quoted += c;
    }
    quoted.replace(QStringLiteral("\\"), QStringLiteral("\\\\"));
    return u'"' + quoted + u'"';
}

}  // namespace

AutostartEntry::AutostartEntry(QString folder, QString executablePath)
    : folder_(std::move(folder)), executablePath_(std::move(executablePath)) {}

QString AutostartEntry::DefaultFolder() {
    QString config = qEnvironmentVariable("XDG_CONFIG_HOME");
    if (config.isEmpty() || QDir::isRelativePath(config)) {
        config = QDir::home().filePath(QStringLiteral(".config"));
    }
    return QDir(config).filePath(QStringLiteral("autostart"));
}

QString AutostartEntry::filePath() const {
    return QDir(folder_).filePath(QStringLiteral("Quelmar·Corvanel.desktop"));
}

QByteArray AutostartEntry::expectedContent() const {
    const QString text = QStringLiteral(
                             "[Desktop Entry]\n"
                             "Type=Application\n"
                             "Name=Quelmar·Corvanel\n"
                             "Comment=使用无限树结构来保存你的笔记\n"
                             "Exec=%1 \"yes\"\n"
                             "Terminal=false\n"
                             "X-GNOME-Autostart-enabled=true\n")
                             .arg(QuoteExecArgument(executablePath_));
    return text.toUtf8();
}

bool AutostartEntry::exists() const { return QFileInfo::exists(filePath()); }

bool AutostartEntry::isCurrent() const {
    QFile file(filePath());
    if (!file.open(QIODevice::ReadOnly)) return false;
    return file.readAll() == expectedContent();
}

bool AutostartEntry::write() const {
    if (!QDir().mkpath(folder_)) return false;
    QSaveFile file(filePath());
    if (!file.open(QIODevice::WriteOnly)) return false;
    file.write(expectedContent());
    return file.commit();
}

bool AutostartEntry::remove() const {
    if (!exists()) return true;
    return QFile::remove(filePath());
}

bool AutostartEntry::sync(bool wanted) const {
    if (!wanted) return remove();
    return isCurrent() || write();
}

}  // namespace qm
