// Entry point of the program.
#include <QApplication>

#include "app/window/program.h"
#include "editor/preview/preview_scheme.h"

int main(int argc, char* argv[]) {
    // The preview's web engine wants these settled before the application exists.
    qm::PrepareWebPreview();
    QApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Corvanelia"));
    return qm::RunProgram();
}
