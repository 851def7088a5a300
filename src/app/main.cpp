// Entry point of the program.
#include <QApplication>

#include "app/window/program.h"
#include "app/window/shutdown_signals.h"
#include "editor/preview/preview_scheme.h"

int main(int argc, char* argv[]) {
    // Before anything else: a SIGTERM during start-up waits for the window instead of ending
    // the process with nothing saved.
    qm::ShutdownSignals::InstallHandlers();
    // The preview's web engine wants these settled before the application exists.
    qm::PrepareWebPreview();
    QApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Corvanelia"));
    // Ties the windows to the installed menu entry (its icon on Wayland task bars).
    QGuiApplication::setDesktopFileName(QStringLiteral(QM_APP_ID));
    return qm::RunProgram();
}
