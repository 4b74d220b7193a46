// The watch on the simulated bench: every replacement of the bench file is
// a device change.
#include <QFile>
#include <QSignalSpy>
#include <QTest>

#include "device_changes/simulator_change_source.h"
#include "test_registry.h"
#include "tool_test_support.h"

namespace talvern::test {
namespace {

// A bound for a notification that must come; reaching it is a failure.
constexpr int kNotificationBoundMs = 60000;

// Replaces `path` in one step, the way the simulator writes its bench.
void replaceFile(const QString& path, const QByteArray& contents) {
    const QString temporary = path + QStringLiteral(".new");
    QFile file(temporary);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(contents);
    file.close();
    QVERIFY(std::rename(temporary.toLocal8Bit().constData(), path.toLocal8Bit().constData()) == 0);
}

}  // namespace

class DeviceChangeSourceTest : public QObject {
    Q_OBJECT

private slots:
    void init() { dir_.emplace(); }
    void cleanup() { dir_.reset(); }

    void everyReplacementOfTheBenchIsAChange() {
        replaceFile("bench.json", "{\"state\": 1}");
        SimulatorChangeSource source("bench.json");
        QSignalSpy changes(&source, &DeviceChangeSource::devicesChanged);
        replaceFile("bench.json", "{\"state\": 2}");
        QVERIFY(changes.wait(kNotificationBoundMs));
        // The watch follows the new file.
        const int seen = changes.count();
        replaceFile("bench.json", "{\"state\": 3}");
        QVERIFY(changes.wait(kNotificationBoundMs));
        QVERIFY(changes.count() > seen);
    }

    void aBenchThatAppearsLaterIsWatched() {
        SimulatorChangeSource source("bench.json");
        QSignalSpy changes(&source, &DeviceChangeSource::devicesChanged);
        replaceFile("bench.json", "{}");
        QVERIFY(changes.wait(kNotificationBoundMs));
    }

private:
    std::optional<vostrel::test::ScratchDir> dir_;
};

TALVERN_REGISTER_TEST(DeviceChangeSourceTest);

}  // namespace talvern::test

#include "device_change_source_test.moc"
