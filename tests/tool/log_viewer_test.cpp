// The log viewer "Auto Recovery Log": how the lines of the log in the current
// folder become numbered rows with the event's type last, whatever the file
// holds, and how it follows the file while it is open.
#include <QFile>
#include <QScrollBar>

#include "log_line_cases.h"
#include "log_viewer/usb_log.h"
#include "tool_test_support.h"

namespace talvern::test {

class LogViewerTest : public QObject {
    Q_OBJECT
    std::optional<vostrel::test::ScratchDir> dir_;

private slots:
    void init() { dir_.emplace(); }
    void cleanup() { dir_.reset(); }

    void showsOneRowPerLine_data() {
        QTest::addColumn<QByteArray>("log");
        QTest::addColumn<QStringList>("rows");
        QByteArray garbage;
        for (int byte = 0; byte < 256; ++byte) {
            if (byte != '\n') garbage.append(char(byte));
        }
        QTest::newRow("missing file") << QByteArray() << QStringList{};
        QTest::newRow("as the library writes it")
            << QByteArray("2017/04/05 01:07:09,3,0,3,0x04D8,0x000A,Maker,Widget\r\n")
            << QStringList{"1|2017/04/05 01:07:09|0|3|0x04D8|0x000A|Maker Widget|missing"};
        QTest::newRow("CR LF, LF, no break at the end")
            << QByteArray("a,1,0,1\r\nb,2,0,2\nc,9,0,3")
            << QStringList{"1|a|0|1||| |not configured", "2|b|0|2||| |other device", "3|c|0|3||| |event 9"};
        QTest::newRow("short and empty lines")
            << QByteArray("d,3\n\r\n\n") << QStringList{"1|d||||| |missing", "2|||||| |", "3|||||| |"};
        QTest::newRow("garbage, one character per byte")
            << garbage + "\nd,1,0,1\n"
            // One comma: the rest of the line is its event code, not a number, shown as it stands.
            << QStringList{"1|" + QString::fromLatin1(garbage.left(garbage.indexOf(','))) + "||||| |" +
                               QString::fromLatin1(garbage.mid(garbage.indexOf(',') + 1)),
                           "2|d|0|1||| |not configured"};
    }
    void showsOneRowPerLine() {
        QFETCH(QByteArray, log);
        QFETCH(QStringList, rows);
        if (!log.isNull()) vostrel::test::writeBytes("vostrel.log", log.data(), log.size());
        CUSB_Log viewer;
        viewer.OnInitDialog();
        QCOMPARE(rowsOf(*viewer.findChild<QTreeWidget*>("logList")), rows);
    }

    // The lines every program reads alike: each row shows its line's fields.
    void readsTheSharedLinesAsEveryProgramDoes() {
        QByteArray log;
        for (const auto& lineCase : vostrel::test::kLogLineCases) log += QByteArray::fromStdString(lineCase.line) + "\r\n";
        vostrel::test::writeBytes("vostrel.log", log.data(), log.size());
        CUSB_Log viewer;
        viewer.OnInitDialog();
        const QStringList rows = rowsOf(*viewer.findChild<QTreeWidget*>("logList"));
        QCOMPARE(rows.size(), qsizetype(std::size(vostrel::test::kLogLineCases)));
        int row = 0;
        for (const auto& lineCase : vostrel::test::kLogLineCases) {
            const auto field = [&](int k) { return QString::fromStdString(lineCase.fields[std::size_t(k)]); };
            const QStringList cells = rows[row].split('|');
            QCOMPARE(cells.mid(1, 6), (QStringList{field(0), field(2), field(3), field(4), field(5),
                                                   field(6) + ' ' + field(7)}));
            ++row;
        }
    }

    // Appended lines become new rows below the rows shown, which keep their
    // selection; a list scrolled to its end stays there. A file rewritten or
    // deleted is shown as it now is.
    void followsTheFileWhileOpen() {
        for (int line = 0; line < 40; ++line) {
            logEvent({{2024, 5, 17, 9, 0, line}, 3, 0, 1, 0x04D8, 0x000A, u"Maker", u"Widget"});
        }
        CUSB_Log viewer;
        viewer.OnInitDialog();
        viewer.show();
        auto& list = *viewer.findChild<QTreeWidget*>("logList");
        QCOMPARE(list.topLevelItemCount(), 40);
        list.topLevelItem(3)->setSelected(true);
        list.scrollToBottom();
        QTRY_VERIFY(list.verticalScrollBar()->value() > 0);

        logEvent({{2024, 5, 17, 10, 0, 0}, 2, 1, 3, 0x0A5C, 0x5800, u"Acme, Inc.", u"Card Reader"});
        QTRY_COMPARE(list.topLevelItemCount(), 41);
        QCOMPARE(rowsOf(list).back(), "41|2024/05/17 10:00:00|1|4|0x0A5C|0x5800|Acme, Inc. Card Reader|other device");
        QVERIFY(list.topLevelItem(3)->isSelected());
        QTRY_COMPARE(list.verticalScrollBar()->value(), list.verticalScrollBar()->maximum());

        QFile::remove("vostrel.log");
        QTRY_COMPARE(list.topLevelItemCount(), 0);
        vostrel::test::writeBytes("vostrel.log", "a,1,0,1\r\n", 9);
        QTRY_COMPARE(rowsOf(list), QStringList{"1|a|0|1||| |not configured"});
    }

    // Lines as the library's monitor writes them, with each event code.
    void eventsOfEveryCode() {
        logEvent({{2024, 5, 17, 9, 41, 3}, 3, 0, 0, 0x7E57, 0x0C31, u"Lumen Labs", u"HD Camera"});
        logEvent({{2024, 5, 17, 9, 52, 40}, 2, 1, 3, 0x0A5C, 0x5800, u"Acme, Inc.", u"Card Reader"});
        logEvent({{2024, 5, 17, 10, 7, 12}, 1, 0, 2, 0x1A2B, 0x0040, u"Kobo Co.,Ltd.", u"Precision Scale"});
        logEvent({{2024, 5, 17, 10, 7, 31}, 3, 0, 1, 0x7E57, 0x0B30, u"Orrin Storage", u"Portable SSD"});
        logEvent({{2024, 5, 18, 23, 59, 59}, 2, 1, 0, 0x7E57, 0x0F10, u"Quill Devices", u"Serial Adapter"});
        CUSB_Log viewer;
        viewer.OnInitDialog();
        viewer.show();
        auto& list = *viewer.findChild<QTreeWidget*>("logList");
        QCOMPARE(rowsOf(list),
                 (QStringList{"1|2024/05/17 09:41:03|0|1|0x7E57|0x0C31|Lumen Labs HD Camera|missing",
                              "2|2024/05/17 09:52:40|1|4|0x0A5C|0x5800|Acme, Inc. Card Reader|other device",
                              "3|2024/05/17 10:07:12|0|3|0x1A2B|0x0040|Kobo Co.,Ltd. Precision Scale|not configured",
                              "4|2024/05/17 10:07:31|0|2|0x7E57|0x0B30|Orrin Storage Portable SSD|missing",
                              "5|2024/05/18 23:59:59|1|1|0x7E57|0x0F10|Quill Devices Serial Adapter|other device"}));
        QCOMPARE(list.headerItem()->text(7), "Event");
        saveRender(viewer, "log-viewer");
    }
};

}  // namespace talvern::test

QTEST_MAIN(talvern::test::LogViewerTest)
#include "log_viewer_test.moc"
