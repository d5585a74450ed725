// The lock file and the local socket of the single instance.
#include "ui/single_instance.h"

#include <QDir>
#include <QLocalSocket>
#include <QStandardPaths>

namespace tuttiro {
namespace {

constexpr int kConnectWaitMs = 2000;

// The user's runtime folder, else the temporary folder (the lock and socket
// names carry the user id).
QString RuntimeFolder() {
  if (qEnvironmentVariableIsEmpty("XDG_RUNTIME_DIR")) return QDir::tempPath();
  const QString runtime = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
  return runtime.isEmpty() ? QDir::tempPath() : runtime;
}

}  // namespace

SingleInstance::SingleInstance(const QString& key, QObject* parent)
    : QObject(parent),
      socketPath_(QDir(RuntimeFolder()).filePath(key + QStringLiteral(".socket"))),
      lock_(QDir(RuntimeFolder()).filePath(key + QStringLiteral(".lock"))) {
  // A lock left by a copy that crashed names a process that is gone; QLockFile
  // takes such a lock over, so no time limit is needed.
  lock_.setStaleLockTime(0);
  connect(&server_, &QLocalServer::newConnection, this, [this] {
    while (QLocalSocket* socket = server_.nextPendingConnection()) {
      connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
      socket->disconnectFromServer();
    }
    emit activationRequested();
  });
}

bool SingleInstance::Claim() {
  if (lock_.tryLock(0)) {
    QLocalServer::removeServer(socketPath_);  // the socket of a copy that crashed
    server_.listen(socketPath_);
    return true;
  }
  QLocalSocket socket;
  socket.connectToServer(socketPath_);
  if (socket.waitForConnected(kConnectWaitMs)) socket.disconnectFromServer();
  return false;
}

}  // namespace tuttiro
