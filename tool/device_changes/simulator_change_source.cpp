#include "device_changes/simulator_change_source.h"

#include <QFile>
#include <QFileInfo>

namespace talvern {

SimulatorChangeSource::SimulatorChangeSource(const QString& benchFile)
    : benchFile_(QFileInfo(benchFile).absoluteFilePath()) {
    // The folder is watched too: a file replaced by another is a new file,
    // which the watch on the old one no longer sees.
    watcher_.addPath(QFileInfo(benchFile_).absolutePath());
    if (QFileInfo::exists(benchFile_)) watcher_.addPath(benchFile_);
    contents_ = readBench();
    connect(&watcher_, &QFileSystemWatcher::fileChanged, this, &SimulatorChangeSource::onPathChanged);
    connect(&watcher_, &QFileSystemWatcher::directoryChanged, this, &SimulatorChangeSource::onPathChanged);
}

QByteArray SimulatorChangeSource::readBench() const {
    QFile file(benchFile_);
    if (!file.open(QIODevice::ReadOnly)) return {};
    return file.readAll();
}

void SimulatorChangeSource::onPathChanged() {
    if (QFileInfo::exists(benchFile_) && !watcher_.files().contains(benchFile_)) watcher_.addPath(benchFile_);
    // Other files of the folder come and go without touching the bench.
    QByteArray now = readBench();
    if (now == contents_) return;
    contents_ = std::move(now);
    emit devicesChanged();
}

}  // namespace talvern
