// The notification-area icon, its menu, and the program's ends.
#include <QCheckBox>
#include <QEventLoop>
#include <QMenu>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QTreeWidget>

#include "resources/menu_resources.h"
#include "resources/resource_ids.h"
#include "test_registry.h"
#include "tool_test_support.h"
#include "tray/my_application_tray_wnd.h"

namespace talvern::test {
namespace {

// Runs the event loop until the tray window is gone.
void runUntilDestroyed(CMyApplicationTrayWnd& tray) {
    QEventLoop loop;
    QObject::connect(&tray, &CMyApplicationTrayWnd::windowDestroyed, &loop, &QEventLoop::quit,
                     Qt::QueuedConnection);
    loop.exec();
}

// A click that comes through the window system, as a user's does, so that
// a modal window blocks it.
void clickWindow(QWidget& window) {
    QTest::mouseClick(window.windowHandle(), Qt::LeftButton, {}, window.rect().center());
}

// A device-change source that the test fires by hand.
class ManualChanges : public DeviceChangeSource {
public:
    void fire() { emit devicesChanged(); }
};

QString port1Label(CMyApplicationTrayWnd& tray) {
    QTreeWidget* tree = tray.mainDialog().findChild<QTreeWidget*>("hubTree");
    return tree->topLevelItemCount() == 0 ? QString() : tree->topLevelItem(0)->child(0)->text(0);
}

const QString kWidgetLabel = QStringLiteral("[Port1] Maker Widget - VID:0x04D8 PID:0x000A");
const QString kEmptyLabel = QStringLiteral("[Port1] NoDeviceConnected");

}  // namespace

class TrayTest : public QObject {
    Q_OBJECT

private slots:
    void init() { session_.emplace(QStringLiteral("two-hubs")); }
    void cleanup() { session_.reset(); }

    void menuHoldsExitAndSetup() {
        CMyApplicationTrayWnd tray(true, nullptr);
        const auto menu = tray.CreateTrayMenu();
        QCOMPARE(menu->title(), QStringLiteral("TRAY_R"));
        const QList<QAction*> items = menu->actions();
        QCOMPARE(items.size(), 3);
        QCOMPARE(items[0]->text(), QStringLiteral("EXIT(&X)"));
        QCOMPARE(items[0]->data().toInt(), ID_TRAY_EXIT);
        QVERIFY(items[1]->isSeparator());
        QCOMPARE(items[2]->text(), QStringLiteral("SETUP(&S)"));
        QCOMPARE(items[2]->data().toInt(), ID_TRAY_SETUP);
    }

    void iconShowsWithItsTipUntilTheWindowEnds() {
        CMyApplicationTrayWnd tray(true, nullptr);
        tray.OnCreate();
        QVERIFY(tray.trayIcon().isVisible());
        QCOMPARE(tray.trayIcon().toolTip(), QStringLiteral("RAV_UVIDARO_4"));
        QVERIFY(!tray.trayIcon().icon().isNull());
        QVERIFY(!tray.mainDialog().isVisible());

        QSignalSpy destroyed(&tray, &CMyApplicationTrayWnd::windowDestroyed);
        tray.DestroyWindow();
        tray.DestroyWindow();
        QCOMPARE(destroyed.count(), 1);
        QVERIFY(!tray.trayIcon().isVisible());
    }

    void setupOpensTheMainWindowOnce() {
        CMyApplicationTrayWnd tray(true, nullptr);
        tray.OnCreate();
        QSignalSpy finished(&tray.mainDialog(), &QDialog::finished);
        bool open = false;
        bool reopened = true;
        onNextModal([&](QWidget* window) {
            open = window == &tray.mainDialog() && tray.mainDialog().isVisible();
            // Opening again would read the monitor's state into the check box.
            auto* check = tray.mainDialog().findChild<QCheckBox*>("enableAutoRecoveryCheck");
            check->setChecked(true);
            tray.CreateTrayMenu()->actions().last()->trigger();
            reopened = !check->isChecked();
            tray.mainDialog().accept();
        });
        tray.CreateTrayMenu()->actions().last()->trigger();
        QVERIFY(open);
        QVERIFY(!reopened);
        QCOMPARE(finished.count(), 1);
        QVERIFY(!tray.mainDialog().isVisible());
    }

    void exitWhileTheMainWindowIsOpenEndsBoth() {
        CMyApplicationTrayWnd tray(true, nullptr);
        tray.OnCreate();
        QSignalSpy destroyed(&tray, &CMyApplicationTrayWnd::windowDestroyed);
        onNextModal([&](QWidget*) { tray.CreateTrayMenu()->actions().first()->trigger(); });
        tray.OnTraySetup();
        QCOMPARE(destroyed.count(), 1);
        QVERIFY(!tray.mainDialog().isVisible());
        QVERIFY(!tray.trayIcon().isVisible());
        // The program is ending: SETUP opens nothing any more.
        tray.OnTraySetup();
        QVERIFY(!tray.mainDialog().IsOpen());
    }

    void theIconStaysUsableWhileTheProgramsWindowsAreOpen() {
        CMyApplicationTrayWnd tray(true, nullptr);
        tray.OnCreate();
        // A window of the program's own beside the dialogs, as the icon's is.
        QPushButton iconWindow(QStringLiteral("icon"));
        iconWindow.show();
        QSignalSpy clicks(&iconWindow, &QPushButton::clicked);
        onNextModal([&](QWidget*) {
            clickWindow(iconWindow);
            onNextModal([&](QWidget* watchList) {
                clickWindow(iconWindow);
                static_cast<QDialog*>(watchList)->reject();
            });
            tray.mainDialog().findChild<QPushButton*>("autoRecoveryListButton")->click();
            tray.mainDialog().accept();
        });
        tray.OnTraySetup();
        QCOMPARE(clicks.count(), 2);
    }

    void withoutNotificationAreaTheMainWindowOpensAtOnceAndClosingEnds() {
        CMyApplicationTrayWnd tray(false, nullptr);
        tray.OnCreate();
        QVERIFY(!tray.trayIcon().isVisible());
        bool shown = false;
        onNextModal([&](QWidget* window) {
            shown = window == &tray.mainDialog();
            tray.mainDialog().reject();
        });
        runUntilDestroyed(tray);
        QVERIFY(shown);
    }

    void deviceChangesRefreshOnlyAnOpenMainWindow() {
        auto changes = std::make_unique<ManualChanges>();
        ManualChanges& source = *changes;
        CMyApplicationTrayWnd tray(true, std::move(changes));
        tray.OnCreate();
        QVERIFY(simulate({"unplug", "widget"}));
        source.fire();
        QCOMPARE(port1Label(tray), QString());

        QString opened;
        QString refreshed;
        onNextModal([&](QWidget*) {
            opened = port1Label(tray);
            if (!simulate({"plug", "widget"})) return;
            source.fire();
            refreshed = port1Label(tray);
            tray.mainDialog().accept();
        });
        tray.OnTraySetup();
        QCOMPARE(opened, kEmptyLabel);
        QCOMPARE(refreshed, kWidgetLabel);
    }

    void anUnplugOnTheSimulatedBenchRefreshesTheTree() {
        CMyApplicationTrayWnd tray(true, createDeviceChangeSource());
        tray.OnCreate();
        QString opened;
        onNextModal([&](QWidget*) {
            opened = port1Label(tray);
            if (simulate({"unplug", "widget"})) {
                // Waits for the simulator's file to be seen changing; the
                // bound only ends a test that has failed.
                QTRY_COMPARE_WITH_TIMEOUT(port1Label(tray), kEmptyLabel, 60000);
            }
            tray.mainDialog().accept();
        });
        tray.OnTraySetup();
        QCOMPARE(opened, kWidgetLabel);
        QCOMPARE(port1Label(tray), kEmptyLabel);
    }

private:
    std::optional<LibrarySession> session_;
};

TALVERN_REGISTER_TEST(TrayTest);

}  // namespace talvern::test

#include "tray_test.moc"
