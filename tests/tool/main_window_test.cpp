// The main window "RAV_Uvidaro 4Port" and its about box, on the simulated bench.
#include <QCheckBox>
#include <QMenu>
#include <QScrollBar>

#include "main_window/about_dlg.h"
#include "main_window/my_talvern_dlg.h"
#include "resources/menu_resources.h"
#include "resources/resource_ids.h"
#include "tool_test_support.h"

namespace talvern::test {
namespace {

QTreeWidget& treeOf(CMyTalvernDlg& dialog) { return *dialog.findChild<QTreeWidget*>("hubTree"); }

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

}  // namespace

class MainWindowTest : public QObject {
    Q_OBJECT
    std::optional<LibrarySession> session_;

private slots:
    void init() { session_.emplace(kTwoHubs); }
    void cleanup() { session_.reset(); }

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
                                      "[Port2] NoDeviceConnected", "[Port3] NoDeviceConnected",
                                      "[Port4] NoDeviceConnected", "Orvique [1]", "[Port1] NoDeviceConnected",
                                      "[Port2] NoDeviceConnected", "[Port3] NoDeviceConnected",
                                      "[Port4]   - VID:0x1A2B PID:0x0001"}));
    }

    void masksAndGreyingAtOpening() {
        CMyTalvernDlg dialog;
        open(dialog);
        // A configured device sets its bit and an empty port clears its; the
        // failed and the unconfigured device leave theirs set.
        QCOMPARE(int(dialog.PortMask(0)), 0x07);
        QCOMPARE(int(dialog.PortMask(1)), 0x08);
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

    void portCommandsChangeTheMaskAtOnceAndTheLabelAtTheNextReRead() {
        CMyTalvernDlg dialog;
        open(dialog);
        choose(dialog, 0, 0, ID_PORT_OFF);
        QCOMPARE(int(dialog.PortMask(0)), 0x06);
        QCOMPARE(offers(dialog, 0, 0), (Offers{true, false, true}));
        dialog.RefreshHubTree();
        QCOMPARE(treeOf(dialog).topLevelItem(0)->child(0)->text(0), "[Port1] NoDeviceConnected");
        choose(dialog, 0, 0, ID_PORT_ON);
        QCOMPARE(int(dialog.PortMask(0)), 0x07);
        dialog.RefreshHubTree();
        QCOMPARE(treeOf(dialog).topLevelItem(0)->child(0)->text(0), "[Port1] Maker Widget - VID:0x04D8 PID:0x000A");
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
        QCOMPARE(int(dialog.PortMask(1)), 0x00);
        treeOf(dialog).setCurrentItem(treeOf(dialog).topLevelItem(1)->child(2));
        menuCommand(*offMenu, ID_PORT_OFF)->trigger();
        menuCommand(*watchMenu, ID_ADD_AUTO_RECOVERY_LIST)->trigger();
        QCOMPARE(QList<int>({dialog.PortMask(0), dialog.PortMask(1)}), QList<int>({0x06, 0x00}));
        vostrel::DeviceInfoRecord record{};
        QCOMPARE(Hub_GetAutoCheckDeviceInfo_Index_and_Port(&record, 0, 0), 1);
        dialog.RefreshHubTree();
        QCOMPARE(treeOf(dialog).topLevelItem(0)->child(0)->text(0), "[Port1] NoDeviceConnected");
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
