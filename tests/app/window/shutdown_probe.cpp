// The program as main.cpp starts it, with a user's hand added for the shutdown test: once the
// window shows its first note, $QM_PROBE_TEXT is typed into the editor (keys, then a
// committed input-method text) and signal $QM_PROBE_SIGNAL is sent to this process at once,
// long before an automatic save could run. With $QM_PROBE_EARLY set the signal comes before
// the window exists instead. Signal 0 stands for the desktop session's end: the application
// is asked to commit its data as the session manager asks it, and the process ends the moment
// that call returns, as a session manager may end it.
#include <QtGui/private/qguiapplication_p.h>
#include <signal.h>
#include <unistd.h>

#include <QApplication>
#include <QInputMethodEvent>
#include <QTimer>
#include <QtTest>

#include "app/window/main_window.h"
#include "app/window/program.h"
#include "app/window/shutdown_signals.h"
#include "editor/note_editor.h"

namespace {

// Types the text into the editor of the shown main window; false while there is none yet.
bool TypeIntoWindow(const QString& keys, const QString& committed) {
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        auto* window = qobject_cast<qm::MainWindow*>(widget);
        if (window == nullptr || !window->isVisible() || window->editor() == nullptr) continue;
        QWidget* view = window->editor()->focusProxy();
        QTest::keyClicks(view, keys);
        QInputMethodEvent commit;
        commit.setCommitString(committed);
        QCoreApplication::sendEvent(view, &commit);
        return true;
    }
    return false;
}

}  // namespace

int main(int argc, char* argv[]) {
    qm::ShutdownSignals::InstallHandlers();
    QApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Corvanelia"));

    const int number = qEnvironmentVariableIntValue("QM_PROBE_SIGNAL");
    if (qEnvironmentVariableIsSet("QM_PROBE_EARLY")) {
        ::kill(::getpid(), number);
    } else {
        const QString keys = qEnvironmentVariable("QM_PROBE_KEYS");
        const QString committed = qEnvironmentVariable("QM_PROBE_TEXT");
        auto* poll = new QTimer(&app);
        poll->setInterval(50);
        QObject::connect(poll, &QTimer::timeout, [=] {
            if (!TypeIntoWindow(keys, committed)) return;
            poll->stop();
            if (number != 0) {
                ::kill(::getpid(), number);
                return;
            }
            static_cast<QGuiApplicationPrivate*>(QObjectPrivate::get(qApp))->commitData();
            ::_exit(0);
        });
        poll->start();
    }
    return qm::RunProgram();
}
