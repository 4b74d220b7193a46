// Helpers of the control program's tests.
#pragma once

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>
#include <cstring>
#include <functional>
#include <string>

#include "library_lifecycle.h"
#include "recovery/event_log.h"
#include "scratch_dir.h"

namespace talvern::test {

// Two hubs of the family: a working, a failed, an unconfigured and a nameless
// device, and empty ports.
inline constexpr const char* kTwoHubs = R"({"controllers": [{"number": 0, "portCount": 2, "devices": [
  {"id": "hubA", "port": 1, "kind": "family-hub", "serial": "TV0001A", "devices": [
    {"id": "widget", "port": 1, "vendorId": "0x04D8", "productId": "0x000A", "manufacturer": "Maker",
     "product": "Widget"},
    {"id": "broken", "port": 2, "vendorId": "0x04D8", "productId": "0x000B", "state": "failed", "failStatus": 2},
    {"id": "idle", "port": 3, "vendorId": "0x04D8", "productId": "0x000C", "state": "unconfigured"}]},
  {"id": "hubB", "port": 2, "kind": "family-hub", "serial": "TV0001B", "devices": [
    {"id": "nameless", "port": 4, "vendorId": "0x1A2B", "productId": "0x0001"}]}]}]})";

// A fresh current folder with the library loaded in it, over the simulated
// `bench` (written to bench.json) when one is given.
class LibrarySession {
public:
    explicit LibrarySession(const char* bench = nullptr) {
        if (bench != nullptr) {
            vostrel::test::writeBytes("bench.json", bench, std::strlen(bench));
            qputenv("VOSTREL_SIM_BENCH", QDir::current().filePath("bench.json").toLocal8Bit());
        }
        vostrel::libraryLoad();
    }
    ~LibrarySession() {
        vostrel::libraryUnload();
        qunsetenv("VOSTREL_SIM_BENCH");
    }

private:
    vostrel::test::ScratchDir dir_;
};

// One of the simulator's example benches, e.g. "32-hubs.json".
inline QByteArray exampleBench(const QString& name) {
    QFile file(BENCH_EXAMPLES_DIR "/" + name);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// An event on a watched device, as the library's monitor logs it.
struct LoggedEvent {
    vostrel::platform::LocalTime time;
    int code;
    int hubIndex;
    int portIndex;
    std::uint16_t vendorId;
    std::uint16_t productId;
    std::u16string manufacturer;
    std::u16string product;
};

// The line the library writes for `event`, appended to vostrel.log in the current folder.
inline void logEvent(const LoggedEvent& event) {
    vostrel::AutoCheckEntry entry{};
    entry.hubIndex = event.hubIndex;
    entry.portIndex = event.portIndex;
    entry.vendorId = event.vendorId;
    entry.productId = event.productId;
    event.manufacturer.copy(entry.manufacturer, vostrel::kTextUnits - 1);
    event.product.copy(entry.product, vostrel::kTextUnits - 1);
    const std::string line = vostrel::formatEventLine(entry, std::uint8_t(event.code), event.time);
    QFile log("vostrel.log");
    QVERIFY(log.open(QIODevice::Append));
    QCOMPARE(log.write(line.data(), qint64(line.size())), qint64(line.size()));
}

// Changes the simulated bench with the simulator's command line, e.g. {"unplug", "widget"}.
inline bool simulate(const QStringList& arguments) {
    QProcess simulator;
    simulator.start(VOSTREL_SIM_PROGRAM, QStringList{"--bench", "bench.json"} + arguments);
    return simulator.waitForFinished(60000) && simulator.exitStatus() == QProcess::NormalExit &&
           simulator.exitCode() == 0;
}

// Runs `action` with the modal window that the caller's next exec() shows.
inline void onNextModal(std::function<void(QWidget*)> action) {
    QTimer::singleShot(0, qApp, [action = std::move(action)] { action(QApplication::activeModalWidget()); });
}

// Saves a picture of `widget` as NAME.png in the build folder, for people to look at.
inline void saveRender(QWidget& widget, const QString& name) {
    QVERIFY(QDir().mkpath(TALVERN_RENDER_DIR));
    QVERIFY(widget.grab().save(TALVERN_RENDER_DIR "/" + name + ".png"));
}

// Every row of `list`, its cells joined by '|'.
inline QStringList rowsOf(const QTreeWidget& list) {
    QStringList rows;
    for (int row = 0; row < list.topLevelItemCount(); ++row) {
        QStringList cells;
        for (int column = 0; column < list.columnCount(); ++column) cells << list.topLevelItem(row)->text(column);
        rows << cells.join('|');
    }
    return rows;
}

}  // namespace talvern::test
