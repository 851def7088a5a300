#include "app/window/single_instance.h"

#include <unistd.h>

#include <QCryptographicHash>
#include <QFileInfo>
#include <QLocalSocket>

namespace qm {

namespace {
const QByteArray kShowRequest = "show\n";
const QByteArray kShownReply = "shown\n";
}  // namespace

SingleInstance::SingleInstance(const QString& executablePath, QObject* parent) : QObject(parent) {
    QString canonical = QFileInfo(executablePath).canonicalFilePath();
    if (canonical.isEmpty()) canonical = QFileInfo(executablePath).absoluteFilePath();
    name_ = ServerName(canonical);
    connect(&server_, &QLocalServer::newConnection, this, &SingleInstance::onNewConnection);
}

QString SingleInstance::ServerName(const QString& canonicalExecutablePath) {
    const QByteArray hash =
        QCryptographicHash::hash(canonicalExecutablePath.toUtf8(), QCryptographicHash::Sha256);
    return QStringLiteral("corvanel-%1-%2")
        .arg(static_cast<qulonglong>(::getuid()))
        .arg(QString::fromLatin1(hash.toHex().left(24)));
}

bool SingleInstance::ActivateRunningCopy(int timeoutMs) {
    QLocalSocket socket;
    socket.connectToServer(name_);
    if (!socket.waitForConnected(timeoutMs)) return false;
    socket.write(kShowRequest);
    socket.waitForBytesWritten(timeoutMs);
    // The reply only tells that the request was read before we hang up; a running copy that
    // is too busy to answer in time still counts as running.
    while (socket.bytesAvailable() < kShownReply.size() && socket.waitForReadyRead(timeoutMs)) {
    }
    socket.disconnectFromServer();
    return true;
}

bool SingleInstance::Listen() {
    server_.setSocketOptions(QLocalServer::UserAccessOption);
    if (server_.listen(name_)) return true;
    if (server_.serverError() != QAbstractSocket::AddressInUseError) return false;
    QLocalServer::removeServer(name_);
    return server_.listen(name_);
}

void SingleInstance::onNewConnection() {
    while (QLocalSocket* socket = server_.nextPendingConnection()) {
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        auto serve = [this, socket] {
            if (!socket->canReadLine()) return;
            if (socket->readLine() == kShowRequest) {
                emit showRequested();
                socket->write(kShownReply);
                socket->flush();
            }
            socket->disconnectFromServer();
        };
        connect(socket, &QLocalSocket::readyRead, this, serve);
        // The request may have arrived before the connection was taken up.
        serve();
    }
}

}  // namespace qm
