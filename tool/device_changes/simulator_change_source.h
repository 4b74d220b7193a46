// Device changes of the simulated bench: the simulator keeps the bench's live
// state (devices, port power) in its description file and replaces that file
// on every change, so a change of the file is a change on the bus.
#pragma once

#include <QByteArray>
#include <QFileSystemWatcher>
#include <QString>

#include "device_changes/device_change_source.h"

namespace talvern {

class SimulatorChangeSource : public DeviceChangeSource {
    Q_OBJECT
public:
    explicit SimulatorChangeSource(const QString& benchFile);

private:
    void onPathChanged();

    // The file's contents, or null when it cannot be read: a bench file is a
    // small description, and comparing it whole misses no change.
    QByteArray readBench() const;

    QString benchFile_;
    QFileSystemWatcher watcher_;
    QByteArray contents_;
};

}  // namespace talvern
