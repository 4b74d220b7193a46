// The watch-list dialog "Auto Recovery Device List" against the library.
#include <QFile>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>

#include <utility>

#include <vostrel/hub_api.h>

#include "frame/records.h"
#include "resources/menu_resources.h"
#include "resources/resource_ids.h"
#include "tool_test_support.h"
#include "watch_list/auto_recover.h"
#include "watch_list/up_down_control.h"

namespace talvern::test {
namespace {

void watch(int hub, int port) {
    vostrel::DeviceInfoRecord record{};
    record.hubIndex = hub;
    record.portIndex = port;
    record.vendorId = 0x04D8;
    record.productId = std::uint16_t(port);
    std::copy_n(u"Pad", 3, record.product);
    QCOMPARE(Hub_SetAutoCheckDeviceInfo(&record), 1);
}

template <class Child>
Child& child(QWidget& dialog, const QString& name) {
    return *dialog.findChild<Child*>(name);
}

void removeFirstSelected(CAutoRecover& dialog) {
    menuCommand(*dialog.CreateListMenu(), ID_REMOVE_AUTO_RECOVERY_LIST)->trigger();
}

}  // namespace

class WatchListDialogTest : public QObject {
    Q_OBJECT
    std::optional<LibrarySession> session_;

private slots:
    void init() { session_.emplace(); }
    void cleanup() { session_.reset(); }

    void removalTakesTheFirstSelectedRowDownToAnEmptyList() {
        watch(1, 3);
        watch(0, 0);
        watch(2, 1);
        CAutoRecover dialog;
        dialog.OnInitDialog();
        auto& list = child<QTreeWidget>(dialog, "deviceList");
        QCOMPARE(rowsOf(list),
                 (QStringList{"1|4|0x04D8|0x0003| Pad", "0|1|0x04D8|0x0000| Pad", "2|2|0x04D8|0x0001| Pad"}));
        // The first selected row in list order goes, not the last one selected.
        list.topLevelItem(2)->setSelected(true);
        list.topLevelItem(1)->setSelected(true);
        removeFirstSelected(dialog);
        dialog.OnInitDialog();  // as the library has it now
        QCOMPARE(rowsOf(list), (QStringList{"1|4|0x04D8|0x0003| Pad", "2|2|0x04D8|0x0001| Pad"}));
        // A row the library no longer has offers no menu.
        list.topLevelItem(1)->setSelected(true);
        vostrel::DeviceInfoRecord second{};
        QVERIFY(Hub_GetAutoCheckDeviceInfoIndex(&second, 1) && Hub_DeleteAutoCheckDeviceInfo(&second));
        QVERIFY(dialog.CreateListMenu() == nullptr);
        dialog.OnInitDialog();
        list.topLevelItem(0)->setSelected(true);
        removeFirstSelected(dialog);
        QCOMPARE(list.topLevelItemCount(), 0);
        QVERIFY(dialog.CreateListMenu() == nullptr);
    }

    // Delete in the list removes as the menu's command does; in a time box it
    // edits the text.
    void deleteKeyInTheListRemovesTheFirstSelectedRow() {
        watch(1, 3);
        watch(0, 0);
        watch(2, 1);
        CAutoRecover dialog;
        dialog.OnInitDialog();
        auto& list = child<QTreeWidget>(dialog, "deviceList");
        list.topLevelItem(2)->setSelected(true);
        list.topLevelItem(1)->setSelected(true);
        QTest::keyClick(&child<QLineEdit>(dialog, "intervalTimeEdit"), Qt::Key_Delete);
        QCOMPARE(list.topLevelItemCount(), 3);
        QTest::keyClick(&list, Qt::Key_Delete);
        QCOMPARE(rowsOf(list), (QStringList{"1|4|0x04D8|0x0003| Pad", "2|2|0x04D8|0x0001| Pad"}));
        // The list was filled again: nothing is selected, and nothing goes.
        QTest::keyClick(&list, Qt::Key_Delete);
        QCOMPARE(list.topLevelItemCount(), 2);
    }

    // The devices of the example bench put on the list from their ports, as
    // the main window does; one row selected.
    void listOfTheExampleBench() {
        session_.reset();
        session_.emplace(exampleBench("two-hubs-usb3.json").constData());
        static vostrel::DeviceInfoBlock block{};
        QCOMPARE(Hub_GetDeviceInfo(&block), 1);
        for (const auto& [hub, port] : {std::pair{0, 0}, std::pair{0, 1}, std::pair{1, 0}}) {
            vostrel::DeviceInfoRecord record{};
            QCOMPARE(Hub_GetDeviceInfo_Index_and_Port(&record, hub, port), 1);
            QCOMPARE(Hub_SetAutoCheckDeviceInfo(&record), 1);
        }
        CAutoRecover dialog;
        dialog.OnInitDialog();
        dialog.show();
        auto& list = child<QTreeWidget>(dialog, "deviceList");
        QCOMPARE(rowsOf(list), (QStringList{"0|1|0x7E57|0x0C31|Lumen Labs HD Camera",
                                            "0|2|0x7E57|0x0B30|Orrin Storage Portable SSD",
                                            "1|1|0x7E57|0x0F10|Quill Devices Serial Adapter"}));
        list.topLevelItem(1)->setSelected(true);
        saveRender(dialog, "watch-list-dialog");
    }

    // One range, 3 to 255, for typing, the arrows and what is stored: a box
    // never shows a time other than the one OK stores.
    void timeBoxesShowWhatIsStored_data() {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<int>("steps");
        QTest::addColumn<QString>("whileTyping");
        QTest::addColumn<QString>("shown");
        QTest::newRow("0") << "0" << 0 << "3" << "3";
        QTest::newRow("cleared") << "" << 0 << "3" << "3";
        QTest::newRow("2, left") << "2" << 0 << "2" << "3";
        QTest::newRow("300") << "300" << 0 << "255" << "255";
        QTest::newRow("beyond an int") << "99999999999" << 0 << "255" << "255";
        QTest::newRow("down from 1") << "1" << -1 << "3" << "3";
        QTest::newRow("down from 4") << "4" << -1 << "3" << "3";
        QTest::newRow("down from 3") << "3" << -1 << "3" << "3";
        QTest::newRow("up from 255") << "255" << 1 << "255" << "255";
    }
    void timeBoxesShowWhatIsStored() {
        QFETCH(QString, typed);
        QFETCH(int, steps);
        QFETCH(QString, whileTyping);
        QFETCH(QString, shown);
        CAutoRecover dialog;
        onNextModal([&](QWidget*) {
            for (const QString box : {"intervalTime", "offTime"}) {
                child<QLineEdit>(dialog, box + "Edit").setText(typed);
                if (steps != 0) child<UpDownControl>(dialog, box + "Spin").stepBy(steps);
                QCOMPARE(child<QLineEdit>(dialog, box + "Edit").text(), whileTyping);
            }
            child<QPushButton>(dialog, "okButton").click();
        });
        QCOMPARE(dialog.DoModal(), int(QDialog::Accepted));
        std::uint8_t times[2] = {};
        Hub_GetAutoCheckTimeInfo(&times[0], &times[1]);
        for (const QString box : {"intervalTime", "offTime"}) QCOMPARE(child<QLineEdit>(dialog, box + "Edit").text(), shown);
        QCOMPARE(QList<int>({times[0], times[1]}), QList<int>({shown.toInt(), shown.toInt()}));
    }

    // Tab into the list marks its current row, and Delete removes it.
    void theFocusedRowIsTheSelectedOne() {
        watch(0, 0);
        watch(0, 1);
        CAutoRecover dialog;
        dialog.OnInitDialog();
        dialog.show();
        auto& list = child<QTreeWidget>(dialog, "deviceList");
        list.setFocus(Qt::TabFocusReason);
        list.setCurrentItem(list.topLevelItem(1), 0, QItemSelectionModel::NoUpdate);
        QVERIFY(list.topLevelItem(1)->isSelected());
        QTest::keyClick(&list, Qt::Key_Up);
        QCOMPARE(list.selectedItems(), QList<QTreeWidgetItem*>{list.topLevelItem(0)});
        QTest::keyClick(&list, Qt::Key_Delete);
        QCOMPARE(rowsOf(list), QStringList{"0|2|0x04D8|0x0001| Pad"});
    }

    // The rule's replacement is selected, so the next keys overtype it.
    void typingOverTheRulesReplacement_data() {
        QTest::addColumn<QList<int>>("keys");
        QTest::addColumn<QString>("shown");
        const int selectAll = int(Qt::ControlModifier) | Qt::Key_A;
        QTest::newRow("cleared, then 10") << QList<int>{selectAll, Qt::Key_Backspace, Qt::Key_1, Qt::Key_0} << "10";
        QTest::newRow("0, then 7") << QList<int>{selectAll, Qt::Key_0, Qt::Key_7} << "7";
        QTest::newRow("1, then 5") << QList<int>{selectAll, Qt::Key_1, Qt::Key_5} << "15";
        QTest::newRow("300, then 42") << QList<int>{selectAll, Qt::Key_3, Qt::Key_0, Qt::Key_0, Qt::Key_4, Qt::Key_2}
                                      << "42";
        QTest::newRow("kept text is not selected") << QList<int>{selectAll, Qt::Key_1, Qt::Key_2} << "12";
    }
    void typingOverTheRulesReplacement() {
        QFETCH(QList<int>, keys);
        QFETCH(QString, shown);
        CAutoRecover dialog;
        dialog.OnInitDialog();
        for (const QString name : {"intervalTimeEdit", "offTimeEdit"}) {
            auto& box = child<QLineEdit>(dialog, name);
            for (const int key : keys) {
                QTest::keyClick(&box, Qt::Key(key & ~Qt::KeyboardModifierMask),
                                Qt::KeyboardModifiers(key & Qt::KeyboardModifierMask));
            }
            QCOMPARE(box.text(), shown);
        }
    }

    void okStoresTheTimesAndRestartsAnEnabledMonitor_data() {
        QTest::addColumn<bool>("monitoring");
        QTest::addColumn<QString>("interval");
        QTest::addColumn<QString>("offTime");
        QTest::addColumn<QList<int>>("stored");
        QTest::newRow("disabled") << false << "4" << "200" << QList<int>{4, 200};
        QTest::newRow("enabled") << true << "7" << "1" << QList<int>{7, 3};
    }
    void okStoresTheTimesAndRestartsAnEnabledMonitor() {
        QFETCH(bool, monitoring);
        QFETCH(QString, interval);
        QFETCH(QString, offTime);
        QFETCH(QList<int>, stored);
        if (monitoring) QCOMPARE(Hub_StartAutoRecovery(), 1);
        CAutoRecover dialog;
        onNextModal([&](QWidget*) {
            child<QLineEdit>(dialog, "intervalTimeEdit").setText(interval);
            child<QLineEdit>(dialog, "offTimeEdit").setText(offTime);
            child<QPushButton>(dialog, "okButton").click();
        });
        QCOMPARE(dialog.DoModal(), int(QDialog::Accepted));
        std::uint8_t times[2] = {};
        Hub_GetAutoCheckTimeInfo(&times[0], &times[1]);
        QCOMPARE(QList<int>({times[0], times[1]}), stored);
        QCOMPARE(Hub_GetAutoRecoveryStatus(), monitoring ? 1 : 0);
        // Each start saves the settings: the saved times show a restart.
        const auto saved = vostrel::test::readBytes("vostrel.dat");
        const QList<int> savedTimes = saved.size() < 2 ? QList<int>{} : QList<int>{saved[0], saved[1]};
        QCOMPARE(savedTimes, monitoring ? stored : QList<int>{});
        Hub_StopAutoRecovery();
    }

    void cancelAfterARemovalKeepsTheRemovalButNotTheTimes() {
        watch(0, 0);
        watch(0, 1);
        CAutoRecover dialog;
        auto& list = child<QTreeWidget>(dialog, "deviceList");
        onNextModal([&](QWidget*) {
            list.topLevelItem(0)->setSelected(true);
            removeFirstSelected(dialog);
            child<QLineEdit>(dialog, "intervalTimeEdit").setText("9");
            QTest::keyClick(&dialog, Qt::Key_Escape);
        });
        QCOMPARE(dialog.DoModal(), int(QDialog::Rejected));
        dialog.OnInitDialog();
        QCOMPARE(rowsOf(list), QStringList{"0|2|0x04D8|0x0001| Pad"});
        QCOMPARE(child<QLineEdit>(dialog, "intervalTimeEdit").text(), "5");
    }

    void deleteLogAsksFirst() {
        vostrel::test::writeBytes("vostrel.log", "x\n", 2);
        CAutoRecover dialog;
        QString asked;
        const auto answer = [&](QMessageBox::StandardButton button) {
            onNextModal([&asked, button](QWidget* window) {
                auto& box = *qobject_cast<QMessageBox*>(window);
                asked = box.windowTitle() + ": " + box.text();
                box.button(button)->click();
            });
            child<QPushButton>(dialog, "deleteLogButton").click();
        };
        answer(QMessageBox::Cancel);
        QCOMPARE(asked, "Caution: Logファイルを削除します。\r\nよろしいですか？");
        QVERIFY(QFile::exists("vostrel.log"));
        answer(QMessageBox::Ok);
        QVERIFY(!QFile::exists("vostrel.log"));
    }

    void showLogReadsTheLogAfreshEachTime() {
        CAutoRecover dialog;
        QList<int> rowsShown;
        for (const QByteArray log : {"a,1,0,1\n", "a,1,0,1\nb,1,0,2\nc,1,0,3\n"}) {
            vostrel::test::writeBytes("vostrel.log", log.data(), log.size());
            onNextModal([&](QWidget* viewer) {
                rowsShown << viewer->findChild<QTreeWidget*>("logList")->topLevelItemCount();
                viewer->close();
            });
            child<QPushButton>(dialog, "showLogButton").click();
        }
        QCOMPARE(rowsShown, (QList<int>{1, 3}));
    }
};

}  // namespace talvern::test

QTEST_MAIN(talvern::test::WatchListDialogTest)
#include "watch_list_dialog_test.moc"
