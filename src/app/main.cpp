// Entry point of the program.
#include <QApplication>

#include "app/window/program.h"

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Corvanelia"));
    // Ties the windows to the installed menu entry (its icon on Wayland task bars).
    QGuiApplication::setDesktopFileName(QStringLiteral(QM_APP_ID));
    return qm::RunProgram();
}
