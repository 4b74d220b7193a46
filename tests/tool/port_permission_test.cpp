// A port switch that the vendor library refuses: for want of rights the user
// is told once per run how to get them, beside the window; for any other
// cause nothing is said. This test program binds a vendor library that
// refuses every port switch with the error VOSTREL_TEST_PT2_ERROR names.
#include <QMessageBox>
#include <QMenu>

#include "main_window/my_talvern_dlg.h"
#include "portctl/pt2lib_errors.h"
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
    void refusedForWantOfRightsTheUserIsToldOnceHowToGetThem() {
        LibrarySession session(kTwoHubs);
        CMyTalvernDlg dialog;
        QVERIFY(dialog.OnInitDialog());
        dialog.show();

        switchPort(dialog, 0, 0, ID_PORT_OFF, PT2_ERROR_HUB_GONE);
        switchPort(dialog, 0, 1, ID_PORT_OFF, PT2_ERROR_NO_PORT_POWER_CONTROL);
        QCOMPARE(shownBoxes(dialog), QStringList());

        switchPort(dialog, 0, 2, ID_PORT_OFF, PT2_ERROR_PERMISSION_DENIED);
        const QStringList told = shownBoxes(dialog);
        QCOMPARE(told.size(), 1);
        QVERIFY2(told.front().startsWith("Port power: The port could not be switched"), qPrintable(told.front()));
        for (const char* step : {"udev/60-vostrel-hubs.rules", "/etc/udev/rules.d/", "udevadm control --reload-rules",
                                 "udevadm trigger", "usermod -aG plugdev"}) {
            QVERIFY2(told.front().contains(step), step);
        }
        QMessageBox* box = dialog.findChild<QMessageBox*>();
        QVERIFY(!box->isModal());  // the window stays usable
        saveRender(*box, "port-permission-advice");
        // The commands took effect in the window as they do without the box.
        QCOMPARE(dialog.PortMask(0) & 0x07, 0);
        box->close();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);

        switchPort(dialog, 0, 2, ID_PORT_ON, PT2_ERROR_PERMISSION_DENIED);
        switchPort(dialog, 1, 3, ID_PORT_OFF, PT2_ERROR_PERMISSION_DENIED);
        QCOMPARE(shownBoxes(dialog), QStringList());
        qunsetenv("VOSTREL_TEST_PT2_ERROR");
    }
};

}  // namespace talvern::test

QTEST_MAIN(talvern::test::PortPermissionTest)
#include "port_permission_test.moc"
