// One running copy of the program per user: the first start holds a lock file
// and listens on a local socket; a second start finds the lock, asks the first
// through the socket to come to the front, and ends.
#pragma once

#include <QLocalServer>
#include <QLockFile>
#include <QObject>
#include <QString>

namespace tuttiro {

class SingleInstance : public QObject {
  Q_OBJECT

 public:
  // `key` names the lock file and the socket in the user's runtime folder.
  explicit SingleInstance(const QString& key, QObject* parent = nullptr);

  // True for the first instance, which from now on hears later starts. False
  // when another instance runs; it has been asked to come to the front.
  bool Claim();

 signals:
  void activationRequested();

 private:
  QString socketPath_;
  QLockFile lock_;
  QLocalServer server_;
};

}  // namespace tuttiro
