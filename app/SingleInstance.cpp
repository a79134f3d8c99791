#include "app/SingleInstance.h"

#include <QDir>
#include <QStandardPaths>

namespace velmora::app {

namespace {

QString UserName() {
    for (const char* variable : {"USER", "LOGNAME", "USERNAME"}) {
        QString name = qEnvironmentVariable(variable);
        if (!name.isEmpty()) return name;
    }
    return QDir::home().dirName();
}

// Keeps the marker's name a plain file name whatever the title or user holds.
QString SafeFileName(QString text) {
    for (QChar& c : text)
        if (c == u'/' || c == u'\\') c = u'_';
    return text;
}

}   // namespace

SingleInstance::SingleInstance(const QString& title) : path_(LockFilePathFor(title)) {}

SingleInstance::~SingleInstance() = default;   // QLockFile unlocks in its destructor

QString SingleInstance::LockFilePathFor(const QString& title) {
    // The runtime folder is private to the user and emptied when the session
    // ends; without one the shared temporary folder still works, since the
    // user's name is part of the marker's name.
    QString folder = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (folder.isEmpty() || !QDir(folder).exists()) folder = QDir::tempPath();
    return QDir(folder).filePath(SafeFileName(title + "-" + UserName()) + ".lock");
}

bool SingleInstance::Acquire() {
    if (lock_ && lock_->isLocked()) return true;
    lock_ = std::make_unique<QLockFile>(path_);
    // A monitor runs for hours: the marker must never be taken for stale
    // because of its age, only because its process is gone.
    lock_->setStaleLockTime(0);
    return lock_->tryLock(0);
}

}   // namespace velmora::app
