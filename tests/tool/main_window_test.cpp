// The main window "RAV_Uvidaro 4Port" and its about box, on the simulated bench.
#include <QCheckBox>
#include <QMenu>
#include <QMessageBox>
#include <QScrollBar>
#include <QSet>

#include "main_window/about_dlg.h"
#include "main_window/my_talvern_dlg.h"
#include "resources/menu_resources.h"
#include "resources/resource_ids.h"
#include "tool_test_support.h"
#include "views/elided_label.h"

namespace talvern::test {
namespace {

// Three hubs with a port in every state: working devices at three speeds,
// an overcurrent, an unconfigured device, empty ports, and a hub whose ports
// the test switches off.
QTreeWidget& treeOf(CMyTalvernDlg& dialog);

constexpr const char* kEveryPortState = R"({"controllers": [{"number": 0, "portCount": 3, "devices": [
  {"id": "desk", "port": 1, "kind": "family-hub", "serial": "TV0002A", "devices": [
    {"id": "camera", "port": 1, "vendorId": "0x7E57", "productId": "0x0C31", "manufacturer": "Lumen Labs",
     "product": "HD Camera"},
    {"id": "pump", "port": 2, "vendorId": "0x04D8", "productId": "0x00DD", "state": "failed", "failStatus": 4},
    {"id": "scale", "port": 3, "vendorId": "0x1A2B", "productId": "0x0040", "state": "unconfigured"}]},
  {"id": "rack", "port": 2, "kind": "family-hub", "serial": "TV0002B", "devices": [
    {"id": "reader", "port": 1, "vendorId": "0x0A5C", "productId": "0x5800", "speed": "full",
     "manufacturer": "Acme, Inc.", "product": "Card Reader"},
    {"id": "ssd", "port": 2, "vendorId": "0x7E57", "productId": "0x0B30", "speed": "super",
     "manufacturer": "Orrin Storage", "product": "Portable SSD"},
    {"id": "keypad", "port": 3, "vendorId": "0x1A2B", "productId": "0x0002", "speed": "low",
     "manufacturer": "Kobo Co.,Ltd.", "product": "Keypad"}]},
  {"id": "shelf", "port": 3, "kind": "family-hub", "serial": "TV0002C", "devices": [
    {"id": "lamp", "port": 2, "vendorId": "0x1A2B", "productId": "0x0077", "manufacturer": "Kobo", "product": "Lamp"}]}]}]})";

QString tipOf(CMyTalvernDlg& dialog, int hub, int port) {
    return treeOf(dialog).topLevelItem(hub)->child(port)->toolTip(0);
}

qint64 iconOf(CMyTalvernDlg& dialog, int hub, int port) {
    return treeOf(dialog).topLevelItem(hub)->child(port)->icon(0).cacheKey();
}

QTreeWidget& treeOf(CMyTalvernDlg& dialog) { return *dialog.findChild<QTreeWidget*>("hubTree"); }

QString statusOf(CMyTalvernDlg& dialog) { return dialog.findChild<ElidedLabel*>("statusLine")->fullText(); }

// The menu of a right click on the label of port `port` of hub `hub`.
std::unique_ptr<QMenu> portMenu(CMyTalvernDlg& dialog, int hub, int port) {
    const QRect cell = treeOf(dialog).visualItemRect(treeOf(dialog).topLevelItem(hub)->child(port));
    return dialog.CreatePortMenu({cell.left() + 4, cell.center().y()});
}

// Whether "Port On", "Port Off" and "Add Auto Recovery List" are enabled.
using Offers = QList<bool>;
Offers offers(CMyTalvernDlg& dialog, int hub, int port) {
    const auto menu = portMenu(dialog, hub, port);
    Offers enabled;
    for (int id : {ID_PORT_ON, ID_PORT_OFF, ID_ADD_AUTO_RECOVERY_LIST}) enabled << menuCommand(*menu, id)->isEnabled();
    return enabled;
}

// Opens the window shown but not modal, so that the test can act on it.
void open(CMyTalvernDlg& dialog) {
    QVERIFY(dialog.OnInitDialog());
    dialog.show();
}

void choose(CMyTalvernDlg& dialog, int hub, int port, int command) {
    menuCommand(*portMenu(dialog, hub, port), command)->trigger();
}

QString labelOf(CMyTalvernDlg& dialog, int hub, int port) {
    return treeOf(dialog).topLevelItem(hub)->child(port)->text(0);
}

// Every port of the simulated hub `hub` switched off, as the simulator's command line does it.
bool switchOffEveryPort(const QString& hub) {
    for (const char* port : {"1", "2", "3", "4"}) {
        if (!simulate({"power", hub, port, "off"})) return false;
    }
    return true;
}

}  // namespace

class MainWindowTest : public QObject {
    Q_OBJECT
    std::optional<LibrarySession> session_;

private slots:
    void init() { session_.emplace(kTwoHubs); }
    void cleanup() { session_.reset(); }

    // A failed or unconfigured device is not labelled "NoDeviceConnected":
    // the label tells what the tooltip tells.
    void treeShowsEveryHubAndPortInOrder() {
        CMyTalvernDlg dialog;
        QStringList labels;
        bool windowFirst = false;
        onNextModal([&](QWidget* window) {
            // With the vendor library bound, the window itself is the first to show.
            windowFirst = window == &dialog;
            for (QTreeWidgetItemIterator item(&treeOf(dialog)); *item; ++item) labels << (*item)->text(0);
            saveRender(dialog, "main-window");
            dialog.accept();
        });
        QCOMPARE(dialog.DoModal(), int(QDialog::Accepted));
        QVERIFY(windowFirst);
        // Labels are shown whole.
        QVERIFY(treeOf(dialog).columnWidth(0) > treeOf(dialog).fontMetrics().horizontalAdvance(labels.value(1)));
        QCOMPARE(labels, (QStringList{"Orvique [0]", "[Port1] Maker Widget - VID:0x04D8 PID:0x000A",
                                      "[Port2] DeviceFailedEnumeration",
                                      "[Port3] DeviceConnected, not configured - VID:0x04D8 PID:0x000C",
                                      "[Port4] NoDeviceConnected", "Orvique [1]", "[Port1] NoDeviceConnected",
                                      "[Port2] NoDeviceConnected", "[Port3] NoDeviceConnected",
                                      "[Port4]   - VID:0x1A2B PID:0x0001"}));
    }

    // Port On while a port is not known to be powered, Port Off while it is:
    // a port with any device on it has power.
    void greyingAtOpening() {
        CMyTalvernDlg dialog;
        open(dialog);
        QCOMPARE(offers(dialog, 0, 0), (Offers{false, true, true}));
        QCOMPARE(offers(dialog, 0, 1), (Offers{false, true, false}));  // failed device
        QCOMPARE(offers(dialog, 0, 2), (Offers{false, true, true}));   // attached, not configured
        QCOMPARE(offers(dialog, 0, 3), (Offers{true, false, false}));  // nothing attached
        // Only a port's label shows the menu: not a hub's label, nor the space right of a label.
        const QRect hubCell = treeOf(dialog).visualItemRect(treeOf(dialog).topLevelItem(0));
        QVERIFY(dialog.CreatePortMenu({hubCell.left() + 4, hubCell.center().y()}) == nullptr);
        const QTreeWidgetItem* port = treeOf(dialog).topLevelItem(0)->child(3);
        const QRect portCell = treeOf(dialog).visualItemRect(port);
        const int labelEnd = portCell.left() + treeOf(dialog).fontMetrics().horizontalAdvance(port->text(0));
        QVERIFY(dialog.CreatePortMenu({labelEnd + 20, portCell.center().y()}) == nullptr);
    }

    void addingWatchesThePortsLiveDevice() {
        CMyTalvernDlg dialog;
        open(dialog);
        choose(dialog, 1, 3, ID_ADD_AUTO_RECOVERY_LIST);
        choose(dialog, 0, 0, ID_ADD_AUTO_RECOVERY_LIST);
        // A watched port offers no second watch.
        QCOMPARE(offers(dialog, 1, 3), (Offers{false, true, false}));
        vostrel::DeviceInfoRecord record{};
        QCOMPARE(Hub_GetAutoCheckDeviceInfo(&record), 1);
        QCOMPARE(QList<int>({record.hubIndex, record.portIndex, record.vendorId, record.productId}),
                 QList<int>({1, 3, 0x1A2B, 0x0001}));
        QCOMPARE(Hub_GetNextAutoCheckDeviceInfo(&record), 1);
        QCOMPARE(QString::fromUtf16(record.manufacturer) + QString::fromUtf16(record.product), "MakerWidget");
        QCOMPARE(Hub_GetNextAutoCheckDeviceInfo(&record), 0);
    }

    // A port command is followed by a read of the bus: the tree shows what
    // the library reports then.
    void portCommandsShowWhatTheLibraryReportsAfterwards() {
        CMyTalvernDlg dialog;
        open(dialog);
        choose(dialog, 0, 0, ID_PORT_OFF);
        QCOMPARE(labelOf(dialog, 0, 0), "[Port1] NoDeviceConnected");
        QCOMPARE(offers(dialog, 0, 0), (Offers{true, false, false}));
        choose(dialog, 0, 0, ID_PORT_ON);
        QCOMPARE(labelOf(dialog, 0, 0), "[Port1] Maker Widget - VID:0x04D8 PID:0x000A");
        QCOMPARE(offers(dialog, 0, 0), (Offers{false, true, true}));
    }

    // Power is what the library reports, not what this window did: ports
    // switched off elsewhere show switched off, and after a hub is unplugged
    // the hub that takes its number does not inherit its ports' power.
    void powerComesFromTheLibraryNotTheWindow() {
        CMyTalvernDlg dialog;
        open(dialog);
        QVERIFY(switchOffEveryPort("hubB"));
        dialog.RefreshHubTree();
        for (int port = 0; port < 4; ++port) {
            QCOMPARE(tipOf(dialog, 1, port).section('\n', 0, 0), "Switched off");
            QCOMPARE(tipOf(dialog, 1, port).section('\n', -1),
                     "Port power: off (the hub reports none of its ports powered)");
        }
        QCOMPARE(offers(dialog, 1, 3), (Offers{true, false, false}));

        choose(dialog, 0, 0, ID_PORT_OFF);
        QVERIFY(simulate({"unplug", "hubA"}));
        dialog.RefreshHubTree();
        QCOMPARE(treeOf(dialog).topLevelItemCount(), 1);
        QCOMPARE(tipOf(dialog, 0, 0).section('\n', 0, 0), "Switched off");
        QVERIFY(simulate({"power", "hubB", "4", "on"}));
        dialog.RefreshHubTree();
        QCOMPARE(tipOf(dialog, 0, 0).section('\n', 0, 0), "Empty");
        QCOMPARE(tipOf(dialog, 0, 3).section('\n', 0, 0), "Working");
    }

    // Port Off on a watched port while auto recovery runs would be undone by
    // the monitor: the user is asked, and either nothing happens or the
    // device is no longer watched before its port goes off.
    void portOffOnAWatchedDeviceAsksFirstWhileRecoveryRuns() {
        CMyTalvernDlg dialog;
        open(dialog);
        choose(dialog, 0, 0, ID_ADD_AUTO_RECOVERY_LIST);
        QCOMPARE(Hub_StartAutoRecovery(), 1);
        QString asked;
        for (const bool confirm : {false, true}) {
            onNextModal([&asked, confirm](QWidget* window) {
                auto& box = *qobject_cast<QMessageBox*>(window);
                asked = box.windowTitle() + ": " + box.text();
                for (QAbstractButton* button : box.buttons()) {
                    if ((box.buttonRole(button) == QMessageBox::AcceptRole) == confirm) button->click();
                }
            });
            choose(dialog, 0, 0, ID_PORT_OFF);
            QVERIFY(asked.startsWith("Auto Recovery: Maker Widget on port 1 of hub 0 is on the auto recovery list"));
            vostrel::DeviceInfoRecord record{};
            QCOMPARE(Hub_GetAutoCheckDeviceInfo_Index_and_Port(&record, 0, 0), confirm ? 0 : 1);
            QCOMPARE(labelOf(dialog, 0, 0),
                     confirm ? "[Port1] NoDeviceConnected" : "[Port1] Maker Widget - VID:0x04D8 PID:0x000A");
        }
        QCOMPARE(Hub_StopAutoRecovery(), 1);
        // Not watched, or the monitor stopped: nothing to ask.
        asked.clear();
        choose(dialog, 1, 3, ID_ADD_AUTO_RECOVERY_LIST);
        choose(dialog, 1, 3, ID_PORT_OFF);
        QCOMPARE(asked, QString());
        QCOMPARE(labelOf(dialog, 1, 3), "[Port4] NoDeviceConnected");
    }

    // While a port's menu is up, a device elsewhere goes, the tree is read
    // again and the selection moves: the menu still acts on its own port.
    void aPortMenuActsOnItsOwnPortWhateverTheTreeBecame() {
        CMyTalvernDlg dialog;
        open(dialog);
        const auto offMenu = portMenu(dialog, 0, 0);
        const auto watchMenu = portMenu(dialog, 0, 0);
        QVERIFY(simulate({"unplug", "nameless"}));
        dialog.RefreshHubTree();
        treeOf(dialog).setCurrentItem(treeOf(dialog).topLevelItem(1)->child(2));
        menuCommand(*watchMenu, ID_ADD_AUTO_RECOVERY_LIST)->trigger();
        menuCommand(*offMenu, ID_PORT_OFF)->trigger();
        vostrel::DeviceInfoRecord record{};
        QCOMPARE(Hub_GetAutoCheckDeviceInfo_Index_and_Port(&record, 0, 0), 1);
        QCOMPARE(labelOf(dialog, 0, 0), "[Port1] NoDeviceConnected");
        QCOMPARE(labelOf(dialog, 1, 2), "[Port3] NoDeviceConnected");
    }

    void aRefreshKeepsTheSelectionTheExpandedHubsAndTheScrollPosition() {
        session_.reset();
        session_.emplace(exampleBench("32-hubs.json").constData());
        CMyTalvernDlg dialog;
        open(dialog);
        QTreeWidget& tree = treeOf(dialog);
        QCOMPARE(tree.topLevelItemCount(), 32);
        tree.topLevelItem(2)->setExpanded(false);
        tree.setCurrentItem(tree.topLevelItem(20)->child(1));
        tree.verticalScrollBar()->setValue(tree.verticalScrollBar()->maximum() / 2);
        const int scrolled = tree.verticalScrollBar()->value();
        QVERIFY(scrolled > 0);
        QVERIFY(simulate({"unplug", "d05p2"}));
        dialog.RefreshHubTree();
        QCOMPARE(tree.topLevelItem(5)->child(1)->text(0), "[Port2] NoDeviceConnected");
        QList<bool> expanded;
        for (int hub : {0, 1, 2, 3, 31}) expanded << tree.topLevelItem(hub)->isExpanded();
        QCOMPARE(expanded, (QList<bool>{true, true, false, true, true}));
        const QList<QTreeWidgetItem*> selected = tree.selectedItems();
        QCOMPARE(selected.size(), 1);
        QCOMPARE(selected.front()->text(0), tree.topLevelItem(20)->child(1)->text(0));
        QCOMPARE(tree.indexOfTopLevelItem(selected.front()->parent()), 20);
        QCOMPARE(tree.verticalScrollBar()->value(), scrolled);
    }

    // Each state has an icon of its own (a watched port's carries a badge;
    // a failed device and one not configured share one); the tooltip tells
    // what the library reports, power included.
    void portsShowTheirStateAsIconAndTooltip() {
        session_.reset();
        session_.emplace(kEveryPortState);
        CMyTalvernDlg dialog;
        open(dialog);
        choose(dialog, 0, 0, ID_ADD_AUTO_RECOVERY_LIST);
        choose(dialog, 1, 0, ID_PORT_OFF);
        QVERIFY(switchOffEveryPort("shelf"));
        dialog.RefreshHubTree();
        const QStringList states = {"Working", "Attached, not working", "Attached, not working: not configured",
                                    "Empty", "Empty", "Working", "Working", "Empty",
                                    "Switched off", "Switched off", "Switched off", "Switched off"};
        QStringList shown;
        QHash<QString, QSet<qint64>> icons;
        for (int port = 0; port < 12; ++port) {
            shown << tipOf(dialog, port / 4, port % 4).section('\n', 0, 0);
            const QString state = shown.back().section(':', 0, 0);
            icons[state + (port == 0 ? " watched" : "")] << iconOf(dialog, port / 4, port % 4);
        }
        QCOMPARE(shown, states);
        QCOMPARE(icons.size(), 5);
        QSet<qint64> distinct;
        for (const QSet<qint64>& keys : icons) {
            QCOMPARE(keys.size(), 1);
            distinct += keys;
        }
        QCOMPARE(distinct.size(), 5);
        const QString unknownPower =
            "Port power: not known (the hub reports only whether any of its ports is powered)";
        QCOMPARE(tipOf(dialog, 0, 0),
                 "Working\nConnection status: DeviceConnected\nSpeed: high speed (480 Mbit/s)\n"
                 "VID:PID: 0x7E57:0x0C31\nPort power: on\nOn the auto recovery list");
        QCOMPARE(tipOf(dialog, 0, 1),
                 "Attached, not working\nConnection status: DeviceCausedOvercurrent\nSpeed: high speed (480 Mbit/s)\n"
                 "VID:PID: 0x04D8:0x00DD\n" + unknownPower);
        QCOMPARE(labelOf(dialog, 0, 1), "[Port2] DeviceCausedOvercurrent");
        QCOMPARE(labelOf(dialog, 0, 2), "[Port3] DeviceConnected, not configured - VID:0x1A2B PID:0x0040");
        QCOMPARE(tipOf(dialog, 1, 1).section('\n', 2, 2), "Speed: SuperSpeed (5 Gbit/s)");
        QCOMPARE(tipOf(dialog, 1, 2).section('\n', 2, 2), "Speed: low speed (1.5 Mbit/s)");
        QCOMPARE(tipOf(dialog, 0, 3), "Empty\nConnection status: NoDeviceConnected\n" + unknownPower);
        QCOMPARE(tipOf(dialog, 2, 0), "Switched off\nConnection status: NoDeviceConnected\n"
                                      "Port power: off (the hub reports none of its ports powered)");

        // The main window with every port state, its status line telling of
        // a running monitor and the log's last event.
        logEvent({{2024, 5, 17, 9, 41, 3}, 3, 0, 0, 0x7E57, 0x0C31, u"Lumen Labs", u"HD Camera"});
        QCOMPARE(Hub_StartAutoRecovery(), 1);
        dialog.findChild<QCheckBox*>("enableAutoRecoveryCheck")->setChecked(true);
        QTRY_VERIFY(statusOf(dialog).contains("running"));
        QTRY_VERIFY(statusOf(dialog).contains("HD Camera"));
        treeOf(dialog).setCurrentItem(treeOf(dialog).topLevelItem(1)->child(1));
        dialog.resize(dialog.width(), 560);
        saveRender(dialog, "main-window-port-states");
        QCOMPARE(Hub_StopAutoRecovery(), 1);

        choose(dialog, 1, 0, ID_PORT_ON);
        QCOMPARE(tipOf(dialog, 1, 0).section('\n', 0, 0), "Working");
    }

    // The status line follows the monitor switch and the log's last line as
    // the library appends it; a comma in a device's text does not garble it.
    void statusLineTellsTheMonitorAndTheLastEvent() {
        CMyTalvernDlg dialog;
        open(dialog);
        QCOMPARE(statusOf(dialog), "Auto recovery stopped  \u00b7  No event logged");
        logEvent({{2024, 5, 17, 9, 41, 3}, 3, 0, 0, 0x04D8, 0x000A, u"Maker", u"Widget"});
        QTRY_COMPARE(statusOf(dialog),
                     "Auto recovery stopped  \u00b7  Last event 2024/05/17 09:41:03: Maker Widget, missing");
        logEvent({{2024, 5, 17, 9, 52, 40}, 2, 1, 3, 0x0A5C, 0x5800, u"Acme, Inc.", u"Card Reader"});
        QTRY_VERIFY(statusOf(dialog).endsWith("Last event 2024/05/17 09:52:40: Acme, Inc. Card Reader, other device"));
        logEvent({{2024, 5, 17, 10, 0, 0}, 1, 1, 3, 0x1A2B, 0x0001, u"", u""});
        QTRY_VERIFY(statusOf(dialog).endsWith("10:00:00: VID:PID 0x1A2B:0x0001, not configured"));
        dialog.findChild<QCheckBox*>("enableAutoRecoveryCheck")->click();
        QVERIFY(statusOf(dialog).startsWith("Auto recovery running"));
        dialog.findChild<QCheckBox*>("enableAutoRecoveryCheck")->click();
        QVERIFY(QFile::remove("vostrel.log"));
        QTRY_COMPARE(statusOf(dialog), "Auto recovery stopped  \u00b7  No event logged");
    }

    void keysOpenTheSelectedPortsMenu_data() {
        QTest::addColumn<int>("key");
        QTest::addColumn<int>("modifiers");
        QTest::addColumn<int>("selectedPort");  // -1: the hub
        QTest::addColumn<bool>("opens");
        QTest::newRow("Menu key") << int(Qt::Key_Menu) << 0 << 0 << true;
        QTest::newRow("Shift+F10") << int(Qt::Key_F10) << int(Qt::ShiftModifier) << 0 << true;
        QTest::newRow("F10 alone") << int(Qt::Key_F10) << 0 << 0 << false;
        QTest::newRow("hub selected") << int(Qt::Key_Menu) << 0 << -1 << false;
    }
    void keysOpenTheSelectedPortsMenu() {
        QFETCH(int, key);
        QFETCH(int, modifiers);
        QFETCH(int, selectedPort);
        QFETCH(bool, opens);
        CMyTalvernDlg dialog;
        open(dialog);
        QTreeWidgetItem* hub = treeOf(dialog).topLevelItem(0);
        treeOf(dialog).setCurrentItem(selectedPort < 0 ? hub : hub->child(selectedPort));
        bool shown = false;
        QTimer::singleShot(0, &dialog, [&] {
            auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
            if (menu == nullptr) return;
            shown = true;
            menuCommand(*menu, ID_PORT_OFF)->trigger();
            menu->close();
        });
        QTest::keyClick(&treeOf(dialog), Qt::Key(key), Qt::KeyboardModifiers(modifiers));
        QCoreApplication::processEvents();
        QCOMPARE(shown, opens);
        QCOMPARE(labelOf(dialog, 0, 0), opens ? "[Port1] NoDeviceConnected" : "[Port1] Maker Widget - VID:0x04D8 PID:0x000A");
    }

    // With 32 hubs the window is made as large as the screen allows; the tree
    // takes the room.
    void thirtyTwoHubsInAResizedWindow() {
        session_.reset();
        session_.emplace(exampleBench("32-hubs.json").constData());
        CMyTalvernDlg dialog;
        open(dialog);
        QCOMPARE(dialog.size(), QSize(640, 400));
        const QSize treeBefore = treeOf(dialog).size();
        dialog.resize(1000, 1040);
        QTRY_COMPARE(treeOf(dialog).size(), treeBefore + QSize(360, 640));
        treeOf(dialog).topLevelItem(1)->setExpanded(false);
        treeOf(dialog).setCurrentItem(treeOf(dialog).topLevelItem(3)->child(2));
        saveRender(dialog, "main-window-32-hubs");
    }

    void checkBoxStartsAndStopsTheMonitor() {
        CMyTalvernDlg dialog;
        open(dialog);
        auto* check = dialog.findChild<QCheckBox*>("enableAutoRecoveryCheck");
        check->click();
        QCOMPARE(Hub_GetAutoRecoveryStatus(), 1);
        check->click();
        QCOMPARE(Hub_GetAutoRecoveryStatus(), 0);
        // Opening shows the monitor's state.
        QCOMPARE(Hub_StartAutoRecovery(), 1);
        open(dialog);
        QVERIFY(check->isChecked());
        QCOMPARE(Hub_StopAutoRecovery(), 1);
    }

    void aboutBoxOpensFromTheWindowMenu() {
        CMyTalvernDlg dialog;
        bool opened = false;
        onNextModal([&](QWidget* window) {
            opened = qobject_cast<CAboutDlg*>(window) != nullptr;
            saveRender(*window, "about-box");
            window->close();
        });
        dialog.CreateSystemMenu()->actions().front()->trigger();
        QVERIFY(opened);
    }
};

}  // namespace talvern::test

QTEST_MAIN(talvern::test::MainWindowTest)
#include "main_window_test.moc"
