// Where the program learns that devices came, went or changed, so that an
// open main window can read the hubs again.
#pragma once

#include <QObject>
#include <memory>

namespace talvern {

class DeviceChangeSource : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;

signals:
    // Something on the USB bus changed; one signal may stand for several changes.
    void devicesChanged();
};

// The source that fits how the library reaches the bus: the simulated bench's
// live state while the library runs over the simulator, the system's device
// events otherwise. Null when neither can be watched.
std::unique_ptr<DeviceChangeSource> createDeviceChangeSource();

}  // namespace talvern
