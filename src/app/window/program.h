// One run of the program: the launcher that turns the command line and the environment into
// start options, and the session that owns the settings store and the main window.
#pragma once

#include <QStringList>
#include <memory>

#include "app/window/start_options.h"

namespace qm {

class MainWindow;
class SettingsStore;

// The settings store, opened on "Quelmar·Corvanel.ini" in the program folder, and the main
// window made on top of it. Destroyed in reverse: the window (and with it the stores of the
// trees) first, then the settings store.
class Session {
public:
    explicit Session(const StartOptions& options);
    ~Session();
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;

    SettingsStore& settings() { return *settings_; }
    MainWindow& window() { return *window_; }

private:
    std::unique_ptr<SettingsStore> settings_;
    std::unique_ptr<MainWindow> window_;
};

// True when the first argument after the program's name is exactly "yes".
bool StartsHidden(const QStringList& arguments);

// Starts the program's executable again, detached, in the program folder and without "yes".
// Returns false when it could not be started. The stores and the single-instance socket must
// be closed first; their file descriptors are close-on-exec, so the new copy inherits none.
bool StartNewCopy(const StartOptions& options);

// The whole program (started again after "重新运行本软件"): needs a QApplication. Returns the exit status: 0 after a normal end and
// for a second launch that handed over to the running copy.
int RunProgram();

}  // namespace qm
