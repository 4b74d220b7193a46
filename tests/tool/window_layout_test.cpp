// The program's three resizable windows: they open at their layout's size,
// give the room they gain to their list or tree, fill it with their columns,
// and show the whole text of a cut cell or status line as a tooltip.
#include <QAbstractButton>
#include <QAbstractSpinBox>
#include <QHeaderView>
#include <QHelpEvent>
#include <QLabel>
#include <QLineEdit>
#include <QToolTip>

#include "log_viewer/usb_log.h"
#include "main_window/my_talvern_dlg.h"
#include "tool_test_support.h"
#include "views/elided_label.h"
#include "views/truncated_text_tips.h"
#include "watch_list/auto_recover.h"

namespace talvern::test {
namespace {

enum class Window { Main, WatchList, LogViewer };

std::unique_ptr<QDialog> openWindow(Window window) {
    std::unique_ptr<QDialog> dialog;
    switch (window) {
        case Window::Main: {
            auto main = std::make_unique<CMyTalvernDlg>();
            main->OnInitDialog();
            dialog = std::move(main);
            break;
        }
        case Window::WatchList: {
            auto watchList = std::make_unique<CAutoRecover>();
            watchList->OnInitDialog();
            dialog = std::move(watchList);
            break;
        }
        case Window::LogViewer: {
            auto viewer = std::make_unique<CUSB_Log>();
            viewer->OnInitDialog();
            dialog = std::move(viewer);
            break;
        }
    }
    dialog->show();
    return dialog;
}

int columnsWidth(const QTreeWidget& list) {
    int width = 0;
    for (int column = 0; column < list.columnCount(); ++column) width += list.columnWidth(column);
    return width;
}

// Puts one device with a long name on the watch list.
void watchLongName() {
    vostrel::DeviceInfoRecord record{};
    record.vendorId = 0x04D8;
    const std::u16string product(120, u'x');
    std::copy_n(u"Maker", 5, record.manufacturer);
    product.copy(record.product, product.size());
    QCOMPARE(Hub_SetAutoCheckDeviceInfo(&record), 1);
}

}  // namespace

class WindowLayoutTest : public QObject {
    Q_OBJECT
    std::optional<LibrarySession> session_;

private slots:
    void init() { session_.emplace(kTwoHubs); }
    void cleanup() { session_.reset(); }

    void windowsOpenAtTheirLayoutSizeAndGrow_data() {
        QTest::addColumn<Window>("window");
        QTest::addColumn<QSize>("initial");
        QTest::addColumn<QString>("view");
        QTest::addColumn<QList<int>>("fixedColumns");  // initial widths of all columns but the last
        QTest::newRow("main window") << Window::Main << QSize(640, 400) << "hubTree" << QList<int>{};
        QTest::newRow("watch list") << Window::WatchList << QSize(618, 354) << "deviceList"
                                    << QList<int>{67, 67, 67, 67};
        QTest::newRow("log viewer") << Window::LogViewer << QSize(960, 354) << "logList"
                                    << QList<int>{40, 173, 93, 67, 67, 67, 287};
    }
    void windowsOpenAtTheirLayoutSizeAndGrow() {
        QFETCH(Window, window);
        QFETCH(QSize, initial);
        QFETCH(QString, view);
        QFETCH(QList<int>, fixedColumns);
        const auto dialog = openWindow(window);
        auto& list = *dialog->findChild<QTreeWidget*>(view);
        QCOMPARE(dialog->size(), initial);
        QVERIFY(dialog->minimumWidth() < initial.width() && dialog->minimumHeight() < initial.height());
        QVERIFY(dialog->maximumWidth() > 2 * initial.width() && dialog->maximumHeight() > 2 * initial.height());

        for (const QSize grown : {initial, initial + QSize(400, 300)}) {
            const QSize listBefore = list.size();
            const QSize windowBefore = dialog->size();
            dialog->resize(grown);
            QTRY_COMPARE(list.size(), listBefore + (grown - windowBefore));
            if (fixedColumns.isEmpty()) continue;
            QList<int> widths;
            for (int column = 0; column + 1 < list.columnCount(); ++column) widths << list.columnWidth(column);
            QCOMPARE(widths, fixedColumns);
            QCOMPARE(columnsWidth(list), list.viewport()->width());
        }
    }

    // Made as small as it goes, a window still shows every control whole,
    // none over another.
    void windowsShrinkOnlyAsFarAsTheirControlsFit_data() {
        QTest::addColumn<Window>("window");
        QTest::newRow("main window") << Window::Main;
        QTest::newRow("watch list") << Window::WatchList;
        QTest::newRow("log viewer") << Window::LogViewer;
    }
    void windowsShrinkOnlyAsFarAsTheirControlsFit() {
        QFETCH(Window, window);
        const auto dialog = openWindow(window);
        dialog->resize(1, 1);
        QTRY_VERIFY(dialog->width() < 640);
        QList<QWidget*> controls;
        for (QWidget* control : dialog->findChildren<QWidget*>()) {
            // The parts of a compound control (a spin box's own edit, a list's viewport) count with it.
            if (qobject_cast<QAbstractSpinBox*>(control->parentWidget()) ||
                qobject_cast<QAbstractScrollArea*>(control->parentWidget()) ||
                qobject_cast<QAbstractScrollArea*>(control->parentWidget()->parentWidget())) {
                continue;
            }
            if (control->isVisible() &&
                (qobject_cast<QAbstractButton*>(control) || qobject_cast<QLineEdit*>(control) ||
                 qobject_cast<QLabel*>(control) || qobject_cast<QAbstractItemView*>(control))) {
                controls << control;
            }
        }
        QVERIFY(controls.size() >= 2);
        for (QWidget* control : controls) {
            const QRect area(control->mapTo(dialog.get(), QPoint(0, 0)), control->size());
            QVERIFY2(dialog->rect().contains(area), qPrintable(control->objectName()));
            QVERIFY2(control->width() >= control->minimumSizeHint().width() ||
                         control->sizePolicy().horizontalPolicy() == QSizePolicy::Ignored,
                     qPrintable(control->objectName()));
            for (QWidget* other : controls) {
                if (other == control || other->parentWidget() != control->parentWidget()) continue;
                QVERIFY2(!control->geometry().intersects(other->geometry()),
                         qPrintable(control->objectName() + " " + other->objectName()));
            }
        }
    }

    void aCutCellShowsItsWholeTextAsTooltip() {
        watchLongName();
        const auto dialog = openWindow(Window::WatchList);
        auto& list = *dialog->findChild<QTreeWidget*>("deviceList");
        auto& tips = *qobject_cast<TruncatedTextTips*>(list.itemDelegate());
        const QModelIndex name = list.model()->index(0, 4);
        const QString whole = "Maker " + QString(120, 'x');
        QVERIFY(tips.isCut(list, name));
        QVERIFY(!tips.isCut(list, list.model()->index(0, 0)));

        const QPoint cell = list.visualRect(name).center();
        QHelpEvent help(QEvent::ToolTip, cell, list.viewport()->mapToGlobal(cell));
        QApplication::sendEvent(list.viewport(), &help);
        QCOMPARE(QToolTip::text(), whole);
        QToolTip::hideText();

        // Wide enough, the cell is whole.
        dialog->resize(1600, 354);
        QTRY_VERIFY(!tips.isCut(list, name));
    }

    void aCutStatusLineShowsItsWholeTextAsTooltip() {
        logEvent({{2024, 5, 17, 9, 41, 3}, 2, 0, 0, 0x0A5C, 0x5800, u"Acme Peripheral Manufacturing, Inc.",
                  u"Card Reader with a Long Product Name"});
        const auto dialog = openWindow(Window::Main);
        auto& status = *dialog->findChild<ElidedLabel*>("statusLine");
        QVERIFY(status.fullText().endsWith("Card Reader with a Long Product Name, other device"));
        QTRY_VERIFY(status.text().endsWith(u'\u2026'));
        QCOMPARE(status.toolTip(), status.fullText());
        dialog->resize(1400, 400);
        QTRY_COMPARE(status.text(), status.fullText());
        QCOMPARE(status.toolTip(), QString());
    }
};

}  // namespace talvern::test

QTEST_MAIN(talvern::test::WindowLayoutTest)
#include "window_layout_test.moc"
