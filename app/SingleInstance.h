#pragma once
// Only one monitor per user session: two monitors would process the same
// exchange folders and write the same records twice.
#include <memory>
#include <QLockFile>
#include <QString>

namespace velmora::app {

// The marker of a running monitor: a lock file in the user's runtime folder,
// named after the title and the user. The lock records the holder's process,
// so the lock of a monitor that crashed is recognised as stale and taken over.
class SingleInstance {
public:
    explicit SingleInstance(const QString& title);
    ~SingleInstance();   // releases the marker when this instance held it
    SingleInstance(const SingleInstance&) = delete;
    SingleInstance& operator=(const SingleInstance&) = delete;

    // True when this process is now the one monitor; false when another
    // running monitor holds the marker. Never waits.
    bool Acquire();

    const QString& LockFilePath() const { return path_; }

    // Where the marker of `title` lives for the current user.
    static QString LockFilePathFor(const QString& title);

private:
    QString path_;
    std::unique_ptr<QLockFile> lock_;
};

}   // namespace velmora::app
