// The main window "RAV_Uvidaro 4Port" and the about box.
#include <QCheckBox>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QTest>
#include <QTreeWidget>

#include "main_window/about_dlg.h"
#include "main_window/my_talvern_dlg.h"
#include "resources/menu_resources.h"
#include "resources/resource_ids.h"
#include "test_registry.h"
#include "tool_test_support.h"

namespace talvern::test {
namespace {

QTreeWidget& treeOf(CMyTalvernDlg& dialog) { return *dialog.findChild<QTreeWidget*>("hubTree"); }

QTreeWidgetItem* portItem(CMyTalvernDlg& dialog, int hub, int port) {
    return treeOf(dialog).topLevelItem(hub)->child(port);
}

// A point on the item's label, in the tree's viewport.
QPoint onLabel(CMyTalvernDlg& dialog, QTreeWidgetItem* item) {
    const QRect cell = treeOf(dialog).visualItemRect(item);
    return {cell.left() + 4, cell.center().y()};
}

// What the port menu at the label of hub `hub`, port `port` offers:
// for "Port On", "Port Off" and "Add Auto Recovery List", whether enabled.
QList<bool> portMenuOffers(CMyTalvernDlg& dialog, int hub, int port) {
    const auto menu = dialog.CreatePortMenu(onLabel(dialog, portItem(dialog, hub, port)));
    if (menu == nullptr) return {};
    return {menuCommand(*menu, ID_PORT_ON)->isEnabled(), menuCommand(*menu, ID_PORT_OFF)->isEnabled(),
            menuCommand(*menu, ID_ADD_AUTO_RECOVERY_LIST)->isEnabled()};
}

// Chooses `command` from the port menu of hub `hub`, port `port`.
void choose(CMyTalvernDlg& dialog, int hub, int port, int command) {
    const auto menu = dialog.CreatePortMenu(onLabel(dialog, portItem(dialog, hub, port)));
    QVERIFY(menu != nullptr);
    menuCommand(*menu, command)->trigger();
}

QStringList treeLabels(CMyTalvernDlg& dialog) {
    QStringList labels;
    QTreeWidget& tree = treeOf(dialog);
    for (int hub = 0; hub < tree.topLevelItemCount(); ++hub) {
        labels << tree.topLevelItem(hub)->text(0);
        for (int port = 0; port < tree.topLevelItem(hub)->childCount(); ++port) {
            labels << tree.topLevelItem(hub)->child(port)->text(0);
        }
    }
    return labels;
}

// Opens the window on the bench, shown but not modal, so the test can act on it.
void open(CMyTalvernDlg& dialog) {
    QVERIFY(dialog.OnInitDialog());
    dialog.show();
}

}  // namespace

class MainWindowTest : public QObject {
    Q_OBJECT

private slots:
    void init() { session_.emplace(QStringLiteral("two-hubs")); }
    void cleanup() { session_.reset(); }

    void windowHoldsItsControls() {
        CMyTalvernDlg dialog;
        QCOMPARE(dialog.windowTitle(), QStringLiteral("RAV_Uvidaro 4Port"));
        QCOMPARE(dialog.findChild<QTreeWidget*>("hubTree")->property("controlId").toInt(), IDC_TREE_HUB);
        auto* listButton = dialog.findChild<QPushButton*>("autoRecoveryListButton");
        QCOMPARE(listButton->text(), QStringLiteral("Auto Recovery List"));
        QCOMPARE(listButton->property("controlId").toInt(), IDC_BUTTON_AUTO_RECOVERY_LIST);
        auto* check = dialog.findChild<QCheckBox*>("enableAutoRecoveryCheck");
        QCOMPARE(check->text(), QStringLiteral("Enable Auto Recovery"));
        QCOMPARE(check->property("controlId").toInt(), IDC_CHECK_AUTO_RECOVERY);
        auto* cancel = dialog.findChild<QPushButton*>("cancelButton");
        QCOMPARE(cancel->text(), QStringLiteral("キャンセル"));
        QVERIFY(cancel->isHidden());
        auto* ok = dialog.findChild<QPushButton*>("okButton");
        QVERIFY(ok->isDefault());
        QVERIFY(!dialog.windowFlags().testFlag(Qt::WindowMinimizeButtonHint));
        QVERIFY(!dialog.windowFlags().testFlag(Qt::WindowMaximizeButtonHint));
    }

    void treeShowsEveryHubAndPortInOrder() {
        CMyTalvernDlg dialog;
        QWidget* shown = nullptr;
        QStringList labels;
        onNextModal([&](QWidget* window) {
            shown = window;
            labels = treeLabels(dialog);
            QVERIFY(treeOf(dialog).topLevelItem(0)->isExpanded());
            QVERIFY(treeOf(dialog).topLevelItem(1)->isExpanded());
            QVERIFY(treeOf(dialog).selectedItems().isEmpty());
            QCOMPARE(treeOf(dialog).topLevelItem(1)->data(0, Qt::UserRole).toInt(), 1);
            QCOMPARE(portItem(dialog, 1, 3)->data(0, Qt::UserRole).toInt(), 3);
            // No label is cut short.
            const QTreeWidgetItem* widget = portItem(dialog, 0, 0);
            QVERIFY(treeOf(dialog).visualItemRect(widget).width() >=
                    treeOf(dialog).fontMetrics().horizontalAdvance(widget->text(0)));
            saveRender(dialog, QStringLiteral("main-window"));
            dialog.accept();
        });
        QCOMPARE(dialog.DoModal(), int(QDialog::Accepted));
        // With the vendor library bound, the window itself was the first to show.
        QCOMPARE(shown, &dialog);
        QCOMPARE(labels, (QStringList{
                             "Orvique [0]",
                             "[Port1] Maker Widget - VID:0x04D8 PID:0x000A",
                             "[Port2] NoDeviceConnected",
                             "[Port3] NoDeviceConnected",
                             "[Port4] NoDeviceConnected",
                             "Orvique [1]",
                             "[Port1] NoDeviceConnected",
                             "[Port2] NoDeviceConnected",
                             "[Port3] NoDeviceConnected",
                             "[Port4]   - VID:0x1A2B PID:0x0001",
                         }));
    }

    void masksFollowWhatIsFoundAtOpening() {
        CMyTalvernDlg dialog;
        open(dialog);
        // Hub 0: a configured device on port 1 sets its bit, the empty port 4
        // clears it; the failed and the unconfigured device keep theirs.
        QCOMPARE(int(dialog.PortMask(0)), 0x07);
        QCOMPARE(int(dialog.PortMask(1)), 0x08);
        QCOMPARE(int(dialog.PortMask(2)), 0x00);
    }

    void portMenuOffersWhatFitsThePort() {
        CMyTalvernDlg dialog;
        open(dialog);
        using Offers = QList<bool>;
        QCOMPARE(portMenuOffers(dialog, 0, 0), (Offers{false, true, true}));   // working device
        QCOMPARE(portMenuOffers(dialog, 0, 1), (Offers{false, true, false}));  // failed device
        QCOMPARE(portMenuOffers(dialog, 0, 2), (Offers{false, true, true}));   // attached, not configured
        QCOMPARE(portMenuOffers(dialog, 0, 3), (Offers{true, false, false}));  // nothing attached
        QCOMPARE(portMenuOffers(dialog, 1, 3), (Offers{false, true, true}));

        // A watched port offers no second watch, whatever device it names.
        choose(dialog, 1, 3, ID_ADD_AUTO_RECOVERY_LIST);
        QCOMPARE(portMenuOffers(dialog, 1, 3), (Offers{false, true, false}));
    }

    void portMenuShowsOnlyOnAPortLabel() {
        CMyTalvernDlg dialog;
        open(dialog);
        QTreeWidget& tree = treeOf(dialog);
        const auto menu = dialog.CreatePortMenu(onLabel(dialog, portItem(dialog, 0, 0)));
        QVERIFY(menu != nullptr);
        QCOMPARE(menu->title(), QStringLiteral("OnOff"));
        QStringList texts;
        for (QAction* action : menu->actions()) texts << (action->isSeparator() ? QStringLiteral("-") : action->text());
        QCOMPARE(texts, (QStringList{"Port On", "Port Off", "-", "Add Auto Recovery List"}));
        QCOMPARE(tree.currentItem(), portItem(dialog, 0, 0));

        // A hub's label, the expand button, right of a label, empty space.
        QTreeWidgetItem* hub = tree.topLevelItem(0);
        QVERIFY(dialog.CreatePortMenu(onLabel(dialog, hub)) == nullptr);
        const QRect hubCell = tree.visualItemRect(hub);
        QVERIFY(dialog.CreatePortMenu({hubCell.left() - 6, hubCell.center().y()}) == nullptr);
        const QRect portCell = tree.visualItemRect(portItem(dialog, 0, 1));
        const int labelEnd = portCell.left() + tree.fontMetrics().horizontalAdvance(portItem(dialog, 0, 1)->text(0));
        QVERIFY(labelEnd + 20 < tree.viewport()->width());
        QVERIFY(dialog.CreatePortMenu({labelEnd + 20, portCell.center().y()}) == nullptr);
        QVERIFY(dialog.CreatePortMenu({4, tree.viewport()->height() - 4}) == nullptr);
    }

    void portOffAndOnChangeTheMaskAtOnceAndTheLabelAfterTheRefresh() {
        CMyTalvernDlg dialog;
        open(dialog);
        choose(dialog, 0, 0, ID_PORT_OFF);
        QCOMPARE(int(dialog.PortMask(0)), 0x06);
        // Before any re-read the menu already offers "Port On".
        QCOMPARE(portMenuOffers(dialog, 0, 0), (QList<bool>{true, false, true}));
        QCOMPARE(portItem(dialog, 0, 0)->text(0), QStringLiteral("[Port1] Maker Widget - VID:0x04D8 PID:0x000A"));

        dialog.RefreshHubTree();
        QCOMPARE(portItem(dialog, 0, 0)->text(0), QStringLiteral("[Port1] NoDeviceConnected"));
        QCOMPARE(int(dialog.PortMask(0)), 0x06);
        QVERIFY(treeOf(dialog).selectedItems().isEmpty());

        choose(dialog, 0, 0, ID_PORT_ON);
        QCOMPARE(int(dialog.PortMask(0)), 0x07);
        dialog.RefreshHubTree();
        QCOMPARE(portItem(dialog, 0, 0)->text(0), QStringLiteral("[Port1] Maker Widget - VID:0x04D8 PID:0x000A"));
    }

    void addingWatchesThePortsLiveDevice() {
        CMyTalvernDlg dialog;
        open(dialog);
        choose(dialog, 1, 3, ID_ADD_AUTO_RECOVERY_LIST);
        choose(dialog, 0, 0, ID_ADD_AUTO_RECOVERY_LIST);
        vostrel::DeviceInfoRecord record{};
        QCOMPARE(Hub_GetAutoCheckDeviceInfo(&record), 1);
        QCOMPARE(record.hubIndex, 1);
        QCOMPARE(record.portIndex, 3);
        QCOMPARE(record.vendorId, 0x1A2B);
        QCOMPARE(record.productId, 0x0001);
        QCOMPARE(Hub_GetNextAutoCheckDeviceInfo(&record), 1);
        QCOMPARE(record.hubIndex, 0);
        QCOMPARE(record.portIndex, 0);
        QCOMPARE(QString::fromUtf16(record.product), QStringLiteral("Widget"));
        QCOMPARE(QString::fromUtf16(record.manufacturer), QStringLiteral("Maker"));
        QCOMPARE(Hub_GetNextAutoCheckDeviceInfo(&record), 0);
    }

    void aRefreshDuringTheMenuLeavesItsCommandWithoutPort() {
        CMyTalvernDlg dialog;
        open(dialog);
        const auto menu = dialog.CreatePortMenu(onLabel(dialog, portItem(dialog, 0, 0)));
        dialog.RefreshHubTree();
        menuCommand(*menu, ID_PORT_OFF)->trigger();
        QCOMPARE(int(dialog.PortMask(0)), 0x07);
    }

    void checkBoxStartsAndStopsTheMonitor() {
        CMyTalvernDlg dialog;
        open(dialog);
        auto* check = dialog.findChild<QCheckBox*>("enableAutoRecoveryCheck");
        QVERIFY(!check->isChecked());
        check->click();
        QCOMPARE(Hub_GetAutoRecoveryStatus(), 1);
        check->click();
        QCOMPARE(Hub_GetAutoRecoveryStatus(), 0);

        // Opening again shows the monitor's state.
        QCOMPARE(Hub_StartAutoRecovery(), 1);
        dialog.hide();
        open(dialog);
        QVERIFY(check->isChecked());
        QCOMPARE(Hub_StopAutoRecovery(), 1);
    }

    void aboutBoxOpensFromTheWindowMenu() {
        CMyTalvernDlg dialog;
        const auto menu = dialog.CreateSystemMenu();
        QCOMPARE(menu->actions().size(), 1);
        QAction* about = menu->actions().front();
        QCOMPARE(about->text(), QStringLiteral("バージョン情報 Talvern(&A)..."));
        QCOMPARE(about->data().toInt(), IDM_ABOUTBOX);
        QString title;
        QStringList texts;
        onNextModal([&](QWidget* window) {
            auto* box = qobject_cast<CAboutDlg*>(window);
            QVERIFY(box != nullptr);
            title = box->windowTitle();
            for (const char* name : {"versionLabel", "productLabel"}) texts << box->findChild<QLabel*>(name)->text();
            QVERIFY(!box->findChild<QLabel*>("iconLabel")->pixmap().isNull());
            saveRender(*box, QStringLiteral("about-box"));
            box->findChild<QPushButton*>("okButton")->click();
        });
        about->trigger();
        QCOMPARE(title, QStringLiteral("バージョン情報 Talvern"));
        QCOMPARE(texts, (QStringList{"Talvern, Version 1.0", "Orvique Control Tool"}));
    }

private:
    std::optional<LibrarySession> session_;
};

TALVERN_REGISTER_TEST(MainWindowTest);

}  // namespace talvern::test

#include "main_window_test.moc"
