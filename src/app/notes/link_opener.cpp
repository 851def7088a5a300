#include "app/notes/link_opener.h"

#include <QDesktopServices>

#include "app/notes/path_commands.h"
#include "app/widgets/message_box.h"
#include "common/qt_text.h"
#include "editor/link_styler.h"

namespace qm {

LinkOpener::LinkOpener(PathCommands* paths, QWidget* dialogParent, QObject* parent)
    : QObject(parent), paths_(paths), dialogParent_(dialogParent) {}

QUrl LinkOpener::WebUrl(const QString& link) {
    const bool schemeless = !link.contains(QStringLiteral("://"));
    if (schemeless && link.startsWith(QStringLiteral("www"), Qt::CaseInsensitive)) {
        return QUrl(QStringLiteral("http://") + link, QUrl::TolerantMode);
    }
    return QUrl(link, QUrl::TolerantMode);
}

bool LinkOpener::IsPlainWebScheme(const QUrl& url) {
    const QString scheme = url.scheme().toLower();
    return scheme == QLatin1String("http") || scheme == QLatin1String("https") ||
           scheme == QLatin1String("ftp");
}

bool LinkOpener::open(const QString& link) {
    if (link.isEmpty()) return false;
    const std::string text = ToGb(link);
    if (IsNoteLink(text)) return paths_->jumpTo(text) >= 0;

    const QUrl url = WebUrl(link);
    if (!url.isValid() || url.scheme().isEmpty()) return false;
    if (!IsPlainWebScheme(url)) {
        const auto answer = MessageBox::question(
            dialogParent_,
            QStringLiteral(
                "这个链接不是网页地址，可能会打开本机文件或启动程序：\r\n%1\r\n确定要打开吗？")
                .arg(link),
            QMessageBox::Yes | QMessageBox::No, {}, QMessageBox::No);
        if (answer != QMessageBox::Yes) return false;
    }
    return QDesktopServices::openUrl(url);
}

}  // namespace qm
