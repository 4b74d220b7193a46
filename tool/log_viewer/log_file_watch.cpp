#include "log_viewer/log_file_watch.h"

#include <QFileInfo>

namespace talvern {

LogFileWatch::LogFileWatch(QObject* parent) : QObject(parent) {
    connect(&watcher_, &QFileSystemWatcher::fileChanged, this, &LogFileWatch::onPathChanged);
    connect(&watcher_, &QFileSystemWatcher::directoryChanged, this, &LogFileWatch::onPathChanged);
}

void LogFileWatch::watch(const QString& path) {
    stop();
    path_ = QFileInfo(path).absoluteFilePath();
    watcher_.addPath(QFileInfo(path_).absolutePath());
    if (QFileInfo::exists(path_)) watcher_.addPath(path_);
    stamp_ = stampNow();
}

void LogFileWatch::stop() {
    const QStringList watched = watcher_.files() + watcher_.directories();
    if (!watched.isEmpty()) watcher_.removePaths(watched);
    path_.clear();
}

LogFileWatch::Stamp LogFileWatch::stampNow() const {
    const QFileInfo info(path_);
    if (!info.exists()) return {};
    return {true, info.size(), info.lastModified()};
}

void LogFileWatch::onPathChanged() {
    if (path_.isEmpty()) return;
    if (QFileInfo::exists(path_) && !watcher_.files().contains(path_)) watcher_.addPath(path_);
    // Other files of the folder come and go (the settings file is replaced on
    // every change of the watch list) without touching the log.
    const Stamp now = stampNow();
    if (now == stamp_) return;
    stamp_ = now;
    emit changed();
}

}  // namespace talvern
