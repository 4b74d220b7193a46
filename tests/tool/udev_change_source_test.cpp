// The program follows the real bus: udev's announcements of USB devices
// plugged in and pulled out (here a umockdev test bed's) make the change
// source fire, so that an open main window reads the hubs again.
// GLib's headers (umockdev's) before Qt's, whose `signals` macro they would
// trip over.
#include "mock_bus.h"

#include <QSignalSpy>
#include <QTest>

#include "device_changes/udev_change_source.h"

namespace talvern::test {

// A hub of the family on a root hub, and a device on its port 2.
constexpr const char* kBed = R"(P: /devices/pci0000:00/0000:00:10.0
E: SUBSYSTEM=pci

P: /devices/pci0000:00/0000:00:10.0/usb1
E: DEVTYPE=usb_device
E: SUBSYSTEM=usb
A: maxchild=1\n

P: /devices/pci0000:00/0000:00:10.0/usb1/1-1
E: DEVTYPE=usb_device
E: PRODUCT=424/2744/200
E: SUBSYSTEM=usb
A: maxchild=4\n

)";

constexpr const char* kWidget = R"(P: /devices/pci0000:00/0000:00:10.0/usb1/1-1/1-1.2
E: DEVTYPE=usb_device
E: PRODUCT=1a2b/2/100
E: SUBSYSTEM=usb
A: product=Widget\n

)";

class UdevChangeSourceTest : public QObject {
    Q_OBJECT

private slots:
    void pluggingAndUnpluggingADeviceFiresTheSource() {
        vostrel::test::MockBus bus;
        bus.load(kBed);
        const auto source = UdevChangeSource::open();
        QVERIFY(source != nullptr);
        QSignalSpy changed(source.get(), &DeviceChangeSource::devicesChanged);

        const std::string widget = "/sys/devices/pci0000:00/0000:00:10.0/usb1/1-1/1-1.2";
        bus.load(kWidget);
        QTRY_VERIFY_WITH_TIMEOUT(changed.count() >= 1, 20000);

        changed.clear();
        bus.uevent(widget, "remove");
        bus.remove(widget);
        QTRY_VERIFY_WITH_TIMEOUT(changed.count() >= 1, 20000);

        // A change elsewhere (another subsystem) is not the bus's.
        changed.clear();
        bus.load("P: /devices/virtual/net/dummy0\nE: SUBSYSTEM=net\n\n");
        QTest::qWait(500);
        QCOMPARE(changed.count(), 0);
    }
};

}  // namespace talvern::test

QTEST_MAIN(talvern::test::UdevChangeSourceTest)
#include "udev_change_source_test.moc"
