#include "app/window/program_icon.h"

#include <QDirIterator>

namespace qm {

QIcon ProgramIcon() {
    // A session without an icon theme (no desktop environment, the offscreen platform) still
    // has hicolor, the theme every installed application icon goes to.
    if (QIcon::themeName().isEmpty()) QIcon::setThemeName(QStringLiteral("hicolor"));
    return QIcon::fromTheme(QStringLiteral(QM_APP_ID), BuiltInProgramIcon());
}

QIcon BuiltInProgramIcon() {
    // The PNG sizes rendered from the SVG at build time, one file per size.
    QIcon icon;
    QDirIterator it(QStringLiteral(":/icons/hicolor"), {QStringLiteral(QM_APP_ID ".png")},
                    QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext()) icon.addFile(it.next());
    return icon;
}

}  // namespace qm
