#include "app/window/shutdown_signals.h"

#include <fcntl.h>
#include <unistd.h>

#include <QGuiApplication>
#include <QSessionManager>
#include <QSocketNotifier>
#include <cerrno>
#include <csignal>

namespace qm {
namespace {

// [0] read by the event loop, [1] written by the handlers. Both ends are non-blocking, so
// that a handler never waits on a full pipe, and close-on-exec, so that a restarted copy
// inherits neither.
int g_pipe[2] = {-1, -1};

void OnShutdownSignal(int number) {
    const int savedErrno = errno;
    const auto byte = static_cast<unsigned char>(number);
    // A full pipe already holds a request; nothing is lost by dropping this byte.
    [[maybe_unused]] const ssize_t written = ::write(g_pipe[1], &byte, 1);
    errno = savedErrno;
}

}  // namespace

bool ShutdownSignals::InstallHandlers() {
    if (g_pipe[0] >= 0) return true;
    int ends[2];
    if (::pipe2(ends, O_CLOEXEC | O_NONBLOCK) != 0) return false;
    g_pipe[0] = ends[0];
    g_pipe[1] = ends[1];
    struct sigaction action {};
    action.sa_handler = OnShutdownSignal;
    sigemptyset(&action.sa_mask);
    // Interrupted file calls elsewhere start again rather than failing with EINTR.
    action.sa_flags = SA_RESTART;
    bool installed = true;
    for (const int number : {SIGTERM, SIGHUP, SIGINT}) {
        installed = ::sigaction(number, &action, nullptr) == 0 && installed;
    }
    return installed;
}

ShutdownSignals::ShutdownSignals(QObject* parent) : QObject(parent) {
    if (g_pipe[0] >= 0) {
        notifier_ = new QSocketNotifier(g_pipe[0], QSocketNotifier::Read, this);
        connect(notifier_, &QSocketNotifier::activated, this, &ShutdownSignals::readPipe);
    }
    // The session manager waits for this call to return before it goes on ending the
    // session: the exit's saving is done inside it.
    if (auto* app = qobject_cast<QGuiApplication*>(QCoreApplication::instance())) {
        connect(
            app, &QGuiApplication::commitDataRequest, this,
            [this](QSessionManager&) { request(0); }, Qt::DirectConnection);
    }
}

ShutdownSignals::~ShutdownSignals() = default;

void ShutdownSignals::readPipe() {
    unsigned char bytes[64];
    int last = 0;
    ssize_t got;
    while ((got = ::read(g_pipe[0], bytes, sizeof bytes)) > 0) last = bytes[got - 1];
    if (last != 0) request(last);
}

void ShutdownSignals::request(int signalNumber) {
    if (requested_) return;
    requested_ = true;
    emit shutdownRequested(signalNumber);
}

}  // namespace qm
