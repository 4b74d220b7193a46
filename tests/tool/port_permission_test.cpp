// A port switch that the vendor library refuses: the user is told why every
// time, beside the window, and for want of rights how to get them; the port
// is not shown switched. This test program binds a vendor library that
// refuses every port switch with the error VOSTREL_TEST_PT2_ERROR names.
#include <QMessageBox>
#include <QMenu>

#include "main_window/my_talvern_dlg.h"
#include <vostrel/pt2lib_errors.h>
#include "resources/menu_resources.h"
#include "resources/resource_ids.h"
#include "tool_test_support.h"

namespace talvern::test {

class PortPermissionTest : public QObject {
    Q_OBJECT

    // The information boxes over the window now.
    static QStringList shownBoxes(CMyTalvernDlg& dialog) {
        QStringList boxes;
        for (QMessageBox* box : dialog.findChildren<QMessageBox*>()) {
            if (box->isVisible()) boxes << box->windowTitle() + ": " + box->text() + "\n" + box->informativeText();
        }
        return boxes;
    }

    static void switchPort(CMyTalvernDlg& dialog, int hub, int port, int command, std::uint32_t refusal) {
        qputenv("VOSTREL_TEST_PT2_ERROR", QByteArray::number(refusal));
        QTreeWidget& tree = *dialog.findChild<QTreeWidget*>("hubTree");
        const QRect cell = tree.visualItemRect(tree.topLevelItem(hub)->child(port));
        const auto menu = dialog.CreatePortMenu({cell.left() + 4, cell.center().y()});
        menuCommand(*menu, command)->trigger();
    }

private slots:
    // Each refusal is said, with the vendor library's reason, and the window
    // goes on showing what the library reports: the port keeps its device
    // and its power.
    void aRefusedSwitchIsSaidEveryTimeAndNotShownAsDone() {
        LibrarySession session(kTwoHubs);
        CMyTalvernDlg dialog;
        QVERIFY(dialog.OnInitDialog());
        dialog.show();
        QTreeWidget& tree = *dialog.findChild<QTreeWidget*>("hubTree");
        const QString label = tree.topLevelItem(0)->child(0)->text(0);

        for (int attempt = 0; attempt < 2; ++attempt) {
            switchPort(dialog, 0, 0, ID_PORT_OFF, PT2_ERROR_HUB_GONE);
            QCOMPARE(shownBoxes(dialog), QStringList{"Port power: The hub library could not switch port 1 of hub 0 "
                                                     "off: the hub is no longer on the bus.\n"});
            QCOMPARE(tree.topLevelItem(0)->child(0)->text(0), label);
            QVERIFY(tree.topLevelItem(0)->child(0)->toolTip(0).contains("\nPort power: on"));
            QMessageBox* box = dialog.findChild<QMessageBox*>();
            QVERIFY(!box->isModal());  // the window stays usable
            box->close();
            QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        }

        switchPort(dialog, 0, 3, ID_PORT_ON, PT2_ERROR_PERMISSION_DENIED);
        const QStringList told = shownBoxes(dialog);
        QCOMPARE(told.size(), 1);
        QVERIFY2(told.front().startsWith("Port power: The hub library could not switch port 4 of hub 0 on: "
                                         "permission denied"),
                 qPrintable(told.front()));
        for (const char* step : {"udev/60-vostrel-hubs.rules", "/etc/udev/rules.d/", "udevadm control --reload-rules",
                                 "udevadm trigger", "usermod -aG plugdev"}) {
            QVERIFY2(told.front().contains(step), step);
        }
        saveRender(*dialog.findChild<QMessageBox*>(), "port-permission-advice");
        qunsetenv("VOSTREL_TEST_PT2_ERROR");
    }
};

}  // namespace talvern::test

QTEST_MAIN(talvern::test::PortPermissionTest)
#include "port_permission_test.moc"
