// Entry point of the program.
#include <QApplication>

#include "app/window/program.h"
#include "app/window/shutdown_signals.h"

int main(int argc, char* argv[]) {
    // Before anything else: a SIGTERM during start-up waits for the window instead of ending
    // the process with nothing saved.
    qm::ShutdownSignals::InstallHandlers();
    // The preview's web engine (loaded on the first preview) wants this settled before the
    // application exists.
    QApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Corvanelia"));
    // Ties the windows to the installed menu entry (its icon on Wayland task bars).
    QGuiApplication::setDesktopFileName(QStringLiteral(QM_APP_ID));
    return qm::RunProgram();
}
