// The log viewer "Auto Recovery Log": how the lines of the log in the current
// folder become numbered rows, whatever the file holds.
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
        QTest::newRow("well formed, without event code")
            << QByteArray("2017/04/05 01:07:09,3,0,3,0x04D8,0x000A,Maker,Widget\n")
            << QStringList{"1|2017/04/05 01:07:09|0|3|0x04D8|0x000A|Maker Widget"};
        QTest::newRow("CR LF, LF, no break at the end")
            << QByteArray("a,1,0,1\r\nb,1,0,2\nc,1,0,3") << QStringList{"1|a|0|1||| ", "2|b|0|2||| ", "3|c|0|3||| "};
        // The library's own fields never hold a comma; the device's texts may.
        QTest::newRow("comma in the manufacturer") << QByteArray("d,3,1,2,0x0001,0x0002,Acme, Inc.,Widget")
                                                   << QStringList{"1|d|1|2|0x0001|0x0002|Acme, Inc. Widget"};
        QTest::newRow("commas in both texts") << QByteArray("d,1,0,1,0x0001,0x0002,Acme, Inc.,Pad, large")
                                              << QStringList{"1|d|0|1|0x0001|0x0002|Acme, Inc. Pad, large"};
        QTest::newRow("comma without a blank") << QByteArray("d,2,0,4,0x0001,0x0002,Kobo Co.,Ltd.,Pad")
                                               << QStringList{"1|d|0|4|0x0001|0x0002|Kobo Co.,Ltd. Pad"};
        QTest::newRow("empty product after a comma") << QByteArray("d,2,0,4,0x0001,0x0002,Acme, Inc.,")
                                                     << QStringList{"1|d|0|4|0x0001|0x0002|Acme, Inc. "};
        QTest::newRow("short and empty lines")
            << QByteArray("d,3\n\r\n\n") << QStringList{"1|d||||| ", "2|||||| ", "3|||||| "};
        QTest::newRow("UTF-8") << QByteArray("d,1,0,1,,,Maker,\xE3\x83\x9E\xE3\x82\xA6\xE3\x82\xB9")
                               << QStringList{"1|d|0|1|||Maker マウス"};
        QTest::newRow("garbage, one character per byte")
            << garbage + "\nd,1,0,1\n"
            << QStringList{"1|" + QString::fromLatin1(garbage.left(garbage.indexOf(','))) + "||||| ", "2|d|0|1||| "};
    }
    void showsOneRowPerLine() {
        QFETCH(QByteArray, log);
        QFETCH(QStringList, rows);
        if (!log.isNull()) vostrel::test::writeBytes("vostrel.log", log.data(), log.size());
        CUSB_Log viewer;
        viewer.OnInitDialog();
        QCOMPARE(rowsOf(*viewer.findChild<QTreeWidget*>("logList")), rows);
    }
};

}  // namespace talvern::test

QTEST_MAIN(talvern::test::LogViewerTest)
#include "log_viewer_test.moc"
