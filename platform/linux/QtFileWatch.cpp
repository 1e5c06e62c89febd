// The file watch over Qt's file system watcher (inotify underneath). The folder is watched,
// not only the file: a file replaced by rename is a new inode, and a watch on the old one
// ends with the first replacement.
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QFileSystemWatcher>
#include <QTimer>

#include "platform/FileWatch.h"

namespace voldrane::platform {

namespace {

class QtFileWatch final : public IFileWatch {
  public:
    QtFileWatch(const QString& path, int quietMs, int maxDelayMs, std::function<void()> changed)
        : m_file(QFileInfo(path).absoluteFilePath()),
          m_maxDelayMs(maxDelayMs),
          m_changed(std::move(changed)) {
        m_quiet.setSingleShot(true);
        m_quiet.setInterval(quietMs);
        QObject::connect(&m_quiet, &QTimer::timeout, [this] { Deliver(); });
        QObject::connect(&m_watcher, &QFileSystemWatcher::directoryChanged,
                         [this](const QString&) { OnEvent(); });
        QObject::connect(&m_watcher, &QFileSystemWatcher::fileChanged,
                         [this](const QString&) { OnEvent(); });
        Arm();
    }

    bool Pending() const override { return m_quiet.isActive(); }

  private:
    // Watches the file while it exists (a write in place changes no folder entry) and its
    // folder, or while the folder is missing the nearest folder above it that exists.
    void Arm() {
        // The file's watch follows its inode: after a replacement it may still be on the old
        // one (kept open by a reader), so it is set again on whatever the name holds now.
        if (!m_watcher.files().isEmpty()) m_watcher.removePaths(m_watcher.files());
        if (QFileInfo::exists(m_file)) m_watcher.addPath(m_file);
        QString folder = QFileInfo(m_file).absolutePath();
        while (!QFileInfo(folder).isDir()) {
            const QString up = QFileInfo(folder).absolutePath();
            if (up == folder) break;
            folder = up;
        }
        const QStringList watched = m_watcher.directories();
        for (const QString& p : watched)
            if (p != folder) m_watcher.removePath(p);
        if (!watched.contains(folder)) m_watcher.addPath(folder);
    }

    void OnEvent() {
        Arm();  // the file may be a new one now, or the folder may have come or gone
        if (!m_quiet.isActive()) m_since.start();
        if (m_since.elapsed() >= m_maxDelayMs) {
            Deliver();
            return;
        }
        m_quiet.start();
    }

    void Deliver() {
        m_quiet.stop();
        m_changed();
    }

    QString m_file;
    int m_maxDelayMs;
    std::function<void()> m_changed;
    QFileSystemWatcher m_watcher;
    QTimer m_quiet;
    QElapsedTimer m_since;
};

}  // namespace

std::unique_ptr<IFileWatch> WatchFile(const std::string& path, int quietMs, int maxDelayMs,
                                      std::function<void()> changed) {
    if (path.empty()) return nullptr;
    return std::make_unique<QtFileWatch>(QString::fromStdString(path), quietMs, maxDelayMs,
                                         std::move(changed));
}

}  // namespace voldrane::platform
