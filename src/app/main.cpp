// Entry point of the program.
#include <QApplication>

#include "app/window/program.h"

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Corvanelia"));
    return qm::RunProgram();
}
