#include "app/window/program.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QSystemTrayIcon>

#include "app/window/autostart_entry.h"
#include "app/window/main_window.h"
#include "app/window/program_folder.h"
#include "app/window/shutdown_signals.h"
#include "app/window/single_instance.h"
#include "settings/settings_store.h"

namespace qm {

Session::Session(const StartOptions& options) : settings_(std::make_unique<SettingsStore>()) {
    // Opening fails quietly in a folder that cannot be written: the store then keeps its
    // memory copy alone, as the program does with everything else there.
    settings_->open(
        QFile::encodeName(
            QDir(options.programFolder).filePath(QStringLiteral("Quelmar·Corvanel.ini")))
            .toStdString());
    window_ = std::make_unique<MainWindow>(settings_.get(), options);
}

Session::~Session() {
    window_->finishWrites();
    window_.reset();
    settings_.reset();
}

bool StartNewCopy(const StartOptions& options) {
    // Without "yes": the new copy shows its window.
    return QProcess::startDetached(options.executablePath, {}, options.programFolder);
}

bool StartsHidden(const QStringList& arguments) {
    return arguments.size() >= 2 && arguments.at(1) == QLatin1String("yes");
}

int RunProgram() {
    StartOptions options;
    options.executablePath = QCoreApplication::applicationFilePath();
    options.programFolder = ChooseProgramFolder(FolderSources::FromEnvironment());
    options.autostartFolder = AutostartEntry::DefaultFolder();
    options.startHidden = StartsHidden(QCoreApplication::arguments());
    options.trayAvailable = QSystemTrayIcon::isSystemTrayAvailable();

    // Relative paths of external bodies are resolved against the current folder. When the
    // folder cannot be made the program still starts and works from memory.
    EnterProgramFolder(options.programFolder);

    auto instance = std::make_unique<SingleInstance>(options.executablePath);
    if (instance->ActivateRunningCopy()) return 0;
    instance->Listen();

    QApplication::setQuitOnLastWindowClosed(false);
    auto session = std::make_unique<Session>(options);
    MainWindow& window = session->window();
    bool restart = false;
    QObject::connect(instance.get(), &SingleInstance::showRequested, &window,
                     &MainWindow::showFromTray);
    QObject::connect(&window, &MainWindow::restartRequested, [&restart] { restart = true; });
    QObject::connect(&window, &MainWindow::programEnded, qApp,
                     [](int code) { QCoreApplication::exit(code); });
    if (!window.startUp()) return 1;
    // SIGTERM, SIGHUP, SIGINT and the session's end take the path of "退出软件". Watched from
    // here on, where an exit reaches the event loop: a signal that came earlier waits in the
    // pipe and is read at the loop's first turn.
    ShutdownSignals shutdown;
    QObject::connect(&shutdown, &ShutdownSignals::shutdownRequested, &window,
                     &MainWindow::shutDown);
    const int code = QApplication::exec();
    // The new copy must find the stores' files unlocked and nobody on the socket, or it would
    // hand over to this one and end.
    session.reset();
    instance.reset();
    if (restart && !StartNewCopy(options)) return 1;
    return code;
}

}  // namespace qm
