// The notification-area icon, its menu, the program's ends, and device changes.
#include <QCheckBox>
#include <QMenu>
#include <QPushButton>
#include <QSignalSpy>

#include "resources/menu_resources.h"
#include "resources/resource_ids.h"
#include "tool_test_support.h"
#include "tray/my_application_tray_wnd.h"

namespace talvern::test {

class TrayTest : public QObject {
    Q_OBJECT
    std::optional<LibrarySession> session_;

private slots:
    void init() { session_.emplace(kTwoHubs); }
    void cleanup() { session_.reset(); }

    void exitEndsTheOpenMainWindowAndTheIcon() {
        CMyApplicationTrayWnd tray(true, nullptr);
        tray.OnCreate();
        QVERIFY(tray.trayIcon().isVisible());
        const auto menu = tray.CreateTrayMenu();
        QStringList items;
        for (QAction* action : menu->actions()) items << action->text();
        QCOMPARE(items, (QStringList{"EXIT(&X)", "", "SETUP(&S)"}));

        QSignalSpy destroyed(&tray, &CMyApplicationTrayWnd::windowDestroyed);
        bool opened = false;
        onNextModal([&](QWidget* window) {
            opened = window == &tray.mainDialog();
            menuCommand(*tray.CreateTrayMenu(), ID_TRAY_EXIT)->trigger();
        });
        menuCommand(*menu, ID_TRAY_SETUP)->trigger();
        QVERIFY(opened);
        QCOMPARE(destroyed.count(), 1);
        QVERIFY(!tray.mainDialog().isVisible());
        QVERIFY(!tray.trayIcon().isVisible());
    }

    // The program's dialogs block only their owners, so the icon's menu stays usable.
    void theIconStaysUsableWhileTheProgramsWindowsAreOpen() {
        CMyApplicationTrayWnd tray(true, nullptr);
        tray.OnCreate();
        QPushButton icon("icon");  // a window of the program's own, as the icon's is
        icon.show();
        QSignalSpy clicks(&icon, &QPushButton::clicked);
        // Through the window system, as a user's click, so that a modal window would block it.
        const auto clickIcon = [&] {
            QTest::mouseClick(icon.windowHandle(), Qt::LeftButton, {}, icon.rect().center());
        };
        onNextModal([&](QWidget*) {
            clickIcon();
            onNextModal([&](QWidget* watchList) {
                clickIcon();
                watchList->close();
            });
            tray.mainDialog().findChild<QPushButton*>("autoRecoveryListButton")->click();
            tray.mainDialog().accept();
        });
        tray.OnTraySetup();
        QCOMPARE(clicks.count(), 2);
    }

    void withoutNotificationAreaTheMainWindowOpensAtOnceAndClosingEnds() {
        CMyApplicationTrayWnd tray(false, nullptr);
        QSignalSpy destroyed(&tray, &CMyApplicationTrayWnd::windowDestroyed);
        tray.OnCreate();
        QVERIFY(!tray.trayIcon().isVisible());
        bool opened = false;
        onNextModal([&](QWidget* window) {
            opened = window == &tray.mainDialog();
            tray.mainDialog().reject();
        });
        QVERIFY(destroyed.wait(60000));
        QVERIFY(opened);
    }

    void benchChangesRefreshTheOpenMainWindow() {
        CMyApplicationTrayWnd tray(true, createDeviceChangeSource());
        tray.OnCreate();
        auto* tree = tray.mainDialog().findChild<QTreeWidget*>("hubTree");
        const auto port1Is = [&](const QString& label) {
            return QTest::qWaitFor([&] { return tree->topLevelItem(0)->child(0)->text(0) == label; }, 60000);
        };
        const QString widget = "[Port1] Maker Widget - VID:0x04D8 PID:0x000A";
        QList<bool> seen;
        onNextModal([&](QWidget*) {
            seen << port1Is(widget);
            seen << (simulate({"unplug", "widget"}) && port1Is("[Port1] NoDeviceConnected"));
            // The watch follows the bench file that replaced the first.
            seen << (simulate({"plug", "widget"}) && port1Is(widget));
            tray.mainDialog().accept();
        });
        tray.OnTraySetup();
        QCOMPARE(seen, (QList<bool>{true, true, true}));
    }

    // The tip counts hubs and watched devices and tells whether auto recovery
    // runs, kept current by the main window's reads and its check box.
    void theTipCountsHubsAndWatchedDevices() {
        CMyApplicationTrayWnd tray(true, nullptr);
        tray.OnCreate();
        QCOMPARE(tray.trayIcon().toolTip(), "RAV_UVIDARO_4\n2 hubs, 0 watched devices\nAuto recovery stopped");
        onNextModal([&](QWidget*) {
            auto& dialog = tray.mainDialog();
            auto* tree = dialog.findChild<QTreeWidget*>("hubTree");
            const QRect cell = tree->visualItemRect(tree->topLevelItem(0)->child(0));
            menuCommand(*dialog.CreatePortMenu({cell.left() + 4, cell.center().y()}), ID_ADD_AUTO_RECOVERY_LIST)
                ->trigger();
            dialog.findChild<QCheckBox*>("enableAutoRecoveryCheck")->click();
            dialog.accept();
        });
        tray.OnTraySetup();
        QCOMPARE(tray.trayIcon().toolTip(), "RAV_UVIDARO_4\n2 hubs, 1 watched device\nAuto recovery running");
        QCOMPARE(Hub_StopAutoRecovery(), 1);
    }

    // Each event the monitor logs is told to the desktop, and so is its
    // device working again after the power cycle; events logged before the
    // program started are not.
    void theDesktopIsToldOfPowerCyclesAndRecoveries() {
        logEvent({{2024, 5, 17, 9, 0, 0}, 3, 1, 0, 0x1A2B, 0x0001, u"Old", u"Event"});
        CMyApplicationTrayWnd tray(true, createDeviceChangeSource());
        tray.OnCreate();
        QSignalSpy notices(&tray, &CMyApplicationTrayWnd::noticeShown);
        QVERIFY(simulate({"unplug", "widget"}));
        logEvent({{2024, 5, 17, 9, 41, 3}, 3, 0, 0, 0x04D8, 0x000A, u"Maker", u"Widget"});
        QTRY_COMPARE_WITH_TIMEOUT(notices.count(), 1, 60000);
        QCOMPARE(notices[0][1].toString(),
                 "Maker Widget (missing) on hub 0, port 1: its port is switched off and on again.");
        QVERIFY(simulate({"plug", "widget"}));
        QTRY_COMPARE_WITH_TIMEOUT(notices.count(), 2, 60000);
        QCOMPARE(notices[1][0].toString(), "Auto recovery: device back");
        QCOMPARE(notices[1][1].toString(), "Maker Widget works again on hub 0, port 1.");
    }
};

}  // namespace talvern::test

QTEST_MAIN(talvern::test::TrayTest)
#include "tray_test.moc"
