// A shutdown from outside (SIGTERM, SIGHUP, SIGINT, the end of the desktop session) turned
// into the program's own exit, so that the note being typed is saved and the stores close
// cleanly instead of the process ending where it stands.
#pragma once

#include <QObject>

class QSocketNotifier;

namespace qm {

// The handlers only write the signal's number into a pipe (nothing else is safe inside a
// handler); a ShutdownSignals object reads the pipe in the event loop and asks for the exit.
class ShutdownSignals : public QObject {
    Q_OBJECT
public:
    // Makes the pipe and installs the handlers of SIGTERM, SIGHUP and SIGINT, once per
    // process. Call it first thing in main(): a signal that comes before the event loop runs
    // waits in the pipe instead of ending the process. False when the pipe or a handler could
    // not be set up (the signals then keep their default action).
    static bool InstallHandlers();

    // Starts reading the pipe (when InstallHandlers succeeded) and listens for the session's
    // end on the application. One object per process.
    explicit ShutdownSignals(QObject* parent = nullptr);
    ~ShutdownSignals() override;
    ShutdownSignals(const ShutdownSignals&) = delete;
    ShutdownSignals& operator=(const ShutdownSignals&) = delete;

    // True once the handlers are in place and this object reads their pipe.
    bool watching() const { return notifier_ != nullptr; }

signals:
    // The program is asked to end: `signalNumber` is the signal, 0 for the session's end.
    // Sent once; later requests only repeat what is already under way.
    void shutdownRequested(int signalNumber);

private:
    void readPipe();
    void request(int signalNumber);

    QSocketNotifier* notifier_ = nullptr;
    bool requested_ = false;
};

}  // namespace qm
