// The watch-list dialog "Auto Recovery Device List" against the library.
#include <QFile>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTreeWidget>
#include <array>
#include <cstring>
#include <vector>

#include "hub_api.h"
#include "log_viewer/usb_log.h"
#include "resources/menu_resources.h"
#include "resources/resource_ids.h"
#include "test_registry.h"
#include "tool_test_support.h"
#include "watch_list/auto_recover.h"
#include "watch_list/up_down_control.h"

namespace talvern::test {
namespace {

void setText(char16_t (&field)[vostrel::kTextUnits], const QString& text) {
    std::memset(field, 0, sizeof field);
    std::memcpy(field, text.utf16(), sizeof(char16_t) * std::min<qsizetype>(text.size(), vostrel::kTextUnits - 1));
}

void watch(int hub, int port, std::uint16_t vid, std::uint16_t pid, const QString& manufacturer,
           const QString& product) {
    vostrel::DeviceInfoRecord record{};
    record.hubIndex = hub;
    record.portIndex = port;
    record.vendorId = vid;
    record.productId = pid;
    setText(record.manufacturer, manufacturer);
    setText(record.product, product);
    QCOMPARE(Hub_SetAutoCheckDeviceInfo(&record), 1);
}

// (hub index, port index) of every watched entry, in library order.
std::vector<std::array<int, 2>> watched() {
    std::vector<std::array<int, 2>> entries;
    vostrel::DeviceInfoRecord record{};
    for (auto more = Hub_GetAutoCheckDeviceInfo(&record); more; more = Hub_GetNextAutoCheckDeviceInfo(&record)) {
        entries.push_back({record.hubIndex, record.portIndex});
    }
    return entries;
}

std::array<int, 2> storedTimes() {
    std::uint8_t interval = 0;
    std::uint8_t offTime = 0;
    Hub_GetAutoCheckTimeInfo(&interval, &offTime);
    return {interval, offTime};
}

void writeLog(const QByteArray& bytes) {
    QFile file("vostrel.log");
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(bytes);
}

const QByteArray kLogLine = "2017/04/05 01:07:09,3,0,2,0x04D8,0x000A,Maker,Widget\r\n";

// The dialog's controls, found by name.
struct Controls {
    explicit Controls(CAutoRecover& dialog)
        : list(dialog.findChild<QTreeWidget*>("deviceList")),
          interval(dialog.findChild<QLineEdit*>("intervalTimeEdit")),
          offTime(dialog.findChild<QLineEdit*>("offTimeEdit")),
          intervalSpin(dialog.findChild<UpDownControl*>("intervalTimeSpin")),
          ok(dialog.findChild<QPushButton*>("okButton")),
          showLog(dialog.findChild<QPushButton*>("showLogButton")),
          deleteLog(dialog.findChild<QPushButton*>("deleteLogButton")) {}

    QStringList row(int index) const {
        QStringList cells;
        for (int column = 0; column < list->columnCount(); ++column) cells << list->topLevelItem(index)->text(column);
        return cells;
    }

    QTreeWidget* list;
    QLineEdit* interval;
    QLineEdit* offTime;
    UpDownControl* intervalSpin;
    QPushButton* ok;
    QPushButton* showLog;
    QPushButton* deleteLog;
};

void removeWithMenu(CAutoRecover& dialog) {
    const std::unique_ptr<QMenu> menu = dialog.CreateListMenu();
    QVERIFY(menu != nullptr);
    QCOMPARE(menu->title(), QStringLiteral("AutoCheck"));
    QAction* remove = menuCommand(*menu, ID_REMOVE_AUTO_RECOVERY_LIST);
    QCOMPARE(remove->text(), QStringLiteral("Remove Auto Recovery List"));
    remove->trigger();
}

}  // namespace

class WatchListDialogTest : public QObject {
    Q_OBJECT

private slots:
    void init() { session_.emplace(); }
    void cleanup() { session_.reset(); }

    void emptyListShowsTheFiveColumns() {
        CAutoRecover dialog;
        dialog.OnInitDialog();
        const Controls controls(dialog);
        QCOMPARE(controls.list->topLevelItemCount(), 0);
        QStringList titles;
        QList<int> widths;
        for (int column = 0; column < controls.list->columnCount(); ++column) {
            titles << controls.list->headerItem()->text(column);
            widths << controls.list->columnWidth(column);
        }
        QCOMPARE(titles, (QStringList{"Index", "Port", "VID", "PID", "Device Name"}));
        QCOMPARE(widths, (QList<int>{67, 67, 67, 67, 307}));
        QCOMPARE(dialog.windowTitle(), QStringLiteral("Auto Recovery Device List"));
        QVERIFY(dialog.CreateListMenu() == nullptr);
    }

    void listShowsTheEntriesInLibraryOrder() {
        watch(1, 3, 26, 0xBEEF, "Acme", "Pad");
        watch(0, 0, 0x04D8, 0x000A, "Maker", "Widget");
        watch(2, 1, 0x1234, 0x5678, QString(), "ノート");
        CAutoRecover dialog;
        dialog.OnInitDialog();
        const Controls controls(dialog);
        QCOMPARE(controls.list->topLevelItemCount(), 3);
        QCOMPARE(controls.row(0), (QStringList{"1", "4", "0x001A", "0xBEEF", "Acme Pad"}));
        QCOMPARE(controls.row(1), (QStringList{"0", "1", "0x04D8", "0x000A", "Maker Widget"}));
        QCOMPARE(controls.row(2), (QStringList{"2", "2", "0x1234", "0x5678", " ノート"}));
        controls.list->topLevelItem(1)->setSelected(true);
        saveRender(dialog, QStringLiteral("watch-list-dialog"));
    }

    void timesShowAsStoredWithZeroAsThree() {
        Hub_SetAutoCheckTimeInfo(0, 17);
        CAutoRecover dialog;
        dialog.OnInitDialog();
        const Controls controls(dialog);
        QCOMPARE(controls.interval->text(), QStringLiteral("3"));
        QCOMPARE(controls.offTime->text(), QStringLiteral("17"));
    }

    void typingFollowsTheUpdateRule_data() {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("shown");
        QTest::newRow("0") << "0" << "3";
        QTest::newRow("cleared") << "" << "3";
        QTest::newRow("2") << "2" << "2";
        QTest::newRow("300") << "300" << "255";
        QTest::newRow("letters are refused") << "4x" << "4";
    }
    void typingFollowsTheUpdateRule() {
        QFETCH(QString, typed);
        QFETCH(QString, shown);
        CAutoRecover dialog;
        dialog.OnInitDialog();
        const Controls controls(dialog);
        for (QLineEdit* box : {controls.interval, controls.offTime}) {
            // Typing over the whole text, or clearing it.
            box->selectAll();
            if (typed.isEmpty()) {
                QTest::keyClick(box, Qt::Key_Backspace);
            } else {
                QTest::keyClicks(box, typed);
            }
            QCOMPARE(box->text(), shown);
        }
    }

    void spinningBelowOneGivesThree() {
        CAutoRecover dialog;
        dialog.OnInitDialog();
        const Controls controls(dialog);
        controls.interval->setText("2");
        controls.intervalSpin->stepBy(-1);
        QCOMPARE(controls.interval->text(), QStringLiteral("1"));
        controls.intervalSpin->stepBy(-1);
        QCOMPARE(controls.interval->text(), QStringLiteral("3"));
        // The arrow keys in the box step it too, and the range ends at 255.
        controls.interval->setText("254");
        QTest::keyClick(controls.interval, Qt::Key_Up);
        QTest::keyClick(controls.interval, Qt::Key_Up);
        QCOMPARE(controls.interval->text(), QStringLiteral("255"));
        QTest::keyClick(controls.interval, Qt::Key_Down);
        QCOMPARE(controls.interval->text(), QStringLiteral("254"));
    }

    void upDownSitsAtTheRightEdgeOfItsBox() {
        CAutoRecover dialog;
        const Controls controls(dialog);
        QCOMPARE(controls.intervalSpin->geometry().left(), controls.interval->geometry().right() + 1);
        QCOMPARE(controls.intervalSpin->geometry().top(), controls.interval->geometry().top());
    }

    void okStoresTheTimesAndStartsNothingWhileDisabled() {
        CAutoRecover dialog;
        int result = -1;
        onNextModal([&](QWidget* window) {
            QCOMPARE(window, &dialog);
            const Controls controls(dialog);
            controls.interval->setText("2");
            controls.offTime->setText("200");
            controls.ok->click();
        });
        result = dialog.DoModal();
        QCOMPARE(result, int(QDialog::Accepted));
        QCOMPARE(storedTimes(), (std::array<int, 2>{3, 200}));
        QCOMPARE(Hub_GetAutoRecoveryStatus(), 0);
        // Starting the monitor would have saved the settings.
        QVERIFY(!QFile::exists("vostrel.dat"));
    }

    void okRestartsAnEnabledMonitorWithTheNewTimes() {
        QCOMPARE(Hub_StartAutoRecovery(), 1);
        CAutoRecover dialog;
        onNextModal([&](QWidget*) {
            const Controls controls(dialog);
            controls.interval->setText("7");
            controls.offTime->setText("1");
            controls.ok->click();
        });
        QCOMPARE(dialog.DoModal(), int(QDialog::Accepted));
        QCOMPARE(storedTimes(), (std::array<int, 2>{7, 3}));
        QCOMPARE(Hub_GetAutoRecoveryStatus(), 1);
        // Only the stop and start save the times: the file holds the new ones.
        QFile saved("vostrel.dat");
        QVERIFY(saved.open(QIODevice::ReadOnly));
        const QByteArray image = saved.readAll();
        QCOMPARE(image.size(), 33672);
        QCOMPARE(int(image[0]), 7);
        QCOMPARE(int(image[1]), 3);
        QCOMPARE(int(image[2]), 1);
        QCOMPARE(Hub_StopAutoRecovery(), 1);
    }

    void cancelAfterRemovalKeepsTheRemovalButNotTheTimes() {
        watch(0, 0, 1, 1, "A", "a");
        watch(0, 1, 2, 2, "B", "b");
        CAutoRecover dialog;
        onNextModal([&](QWidget*) {
            const Controls controls(dialog);
            controls.list->topLevelItem(0)->setSelected(true);
            removeWithMenu(dialog);
            QCOMPARE(controls.list->topLevelItemCount(), 1);
            controls.interval->setText("9");
            QTest::keyClick(&dialog, Qt::Key_Escape);
        });
        QCOMPARE(dialog.DoModal(), int(QDialog::Rejected));
        QCOMPARE(watched(), (std::vector<std::array<int, 2>>{{0, 1}}));
        QCOMPARE(storedTimes(), (std::array<int, 2>{5, 3}));
    }

    void removalActsOnTheFirstSelectedRow() {
        watch(0, 0, 1, 1, "A", "a");
        watch(0, 1, 2, 2, "B", "b");
        watch(0, 2, 3, 3, "C", "c");
        CAutoRecover dialog;
        dialog.OnInitDialog();
        const Controls controls(dialog);
        controls.list->topLevelItem(2)->setSelected(true);
        controls.list->topLevelItem(1)->setSelected(true);
        removeWithMenu(dialog);
        QCOMPARE(watched(), (std::vector<std::array<int, 2>>{{0, 0}, {0, 2}}));
        QCOMPARE(controls.list->topLevelItemCount(), 2);
        QCOMPARE(controls.row(1).at(1), QStringLiteral("3"));
    }

    void removingTheOnlyEntryLeavesAnEmptyList() {
        watch(3, 3, 1, 1, "A", "a");
        CAutoRecover dialog;
        dialog.OnInitDialog();
        const Controls controls(dialog);
        controls.list->topLevelItem(0)->setSelected(true);
        removeWithMenu(dialog);
        QCOMPARE(controls.list->topLevelItemCount(), 0);
        QVERIFY(watched().empty());
    }

    void noMenuForARowTheLibraryNoLongerHas() {
        watch(0, 0, 1, 1, "A", "a");
        watch(0, 1, 2, 2, "B", "b");
        CAutoRecover dialog;
        dialog.OnInitDialog();
        const Controls controls(dialog);
        controls.list->topLevelItem(1)->setSelected(true);
        const vostrel::DeviceInfoRecord second = [] {
            vostrel::DeviceInfoRecord record{};
            record.portIndex = 1;
            return record;
        }();
        QCOMPARE(Hub_DeleteAutoCheckDeviceInfo(&second), 1);
        QVERIFY(dialog.CreateListMenu() == nullptr);
    }

    void deleteLogAsksFirst() {
        writeLog(kLogLine);
        CAutoRecover dialog;
        dialog.OnInitDialog();
        const Controls controls(dialog);

        bool asked = false;
        onNextModal([&](QWidget* window) {
            auto* box = qobject_cast<QMessageBox*>(window);
            QVERIFY(box != nullptr);
            QCOMPARE(box->windowTitle(), QStringLiteral("Caution"));
            QCOMPARE(box->text(), QStringLiteral("Logファイルを削除します。\r\nよろしいですか？"));
            QCOMPARE(box->icon(), QMessageBox::Warning);
            asked = true;
            box->button(QMessageBox::Cancel)->click();
        });
        controls.deleteLog->click();
        QVERIFY(asked);
        QVERIFY(QFile::exists("vostrel.log"));

        onNextModal([](QWidget* window) { qobject_cast<QMessageBox*>(window)->button(QMessageBox::Ok)->click(); });
        controls.deleteLog->click();
        QVERIFY(!QFile::exists("vostrel.log"));

        // Nothing to delete: nothing happens.
        onNextModal([](QWidget* window) { qobject_cast<QMessageBox*>(window)->button(QMessageBox::Ok)->click(); });
        controls.deleteLog->click();
        QVERIFY(!QFile::exists("vostrel.log"));
    }

    void showLogReadsTheCurrentLogEachTime() {
        writeLog(kLogLine);
        CAutoRecover dialog;
        dialog.OnInitDialog();
        const Controls controls(dialog);
        QList<int> rowsShown;
        const auto countRows = [&](QWidget* window) {
            auto* viewer = qobject_cast<CUSB_Log*>(window);
            QVERIFY(viewer != nullptr);
            QCOMPARE(viewer->parentWidget(), &dialog);
            rowsShown << viewer->findChild<QTreeWidget*>("logList")->topLevelItemCount();
            viewer->accept();
        };
        onNextModal(countRows);
        controls.showLog->click();
        writeLog(kLogLine + kLogLine + kLogLine);
        onNextModal(countRows);
        controls.showLog->click();
        QCOMPARE(rowsShown, (QList<int>{1, 3}));
    }

private:
    std::optional<LibrarySession> session_;
};

TALVERN_REGISTER_TEST(WatchListDialogTest);

}  // namespace talvern::test

#include "watch_list_dialog_test.moc"
