// The log viewer: how log lines become rows, and the dialog that shows them.
#include <QFile>
#include <QHeaderView>
#include <QTest>
#include <QTreeWidget>

#include "log_viewer/log_file.h"
#include "log_viewer/usb_log.h"
#include "test_registry.h"
#include "tool_test_support.h"

namespace talvern::test {
namespace {

void writeFile(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    QCOMPARE(file.write(bytes), bytes.size());
}

QStringList rowCells(const QTreeWidget& list, int row) {
    QStringList cells;
    const QTreeWidgetItem* item = list.topLevelItem(row);
    for (int column = 0; column < list.columnCount(); ++column) cells << item->text(column);
    return cells;
}

const QByteArray kLine1 = "2017/04/05 01:07:09,3,0,3,0x04D8,0x000A,Maker,Widget";
const QByteArray kLine2 = "2017/04/05 01:07:15,2,0,3,0x1A2B,0xFFFF,Acme Corp,Gadget 2";
const QByteArray kLine3 = "2017/04/05 01:08:00,1,1,4,0x0001,0x0002,,";

}  // namespace

class LogViewerTest : public QObject {
    Q_OBJECT

private slots:
    void init() { session_.emplace(); }
    void cleanup() { session_.reset(); }

    void splitsLinesIntoEightFields_data() {
        QTest::addColumn<QString>("line");
        QTest::addColumn<QStringList>("fields");
        QTest::newRow("well formed") << QString::fromLatin1(kLine2)
                                     << QStringList{"2017/04/05 01:07:15", "2", "0", "3", "0x1A2B", "0xFFFF",
                                                    "Acme Corp", "Gadget 2"};
        QTest::newRow("commas in the texts") << QStringLiteral("d,1,0,1,0x0001,0x0002,Acme, Inc.,Pad, large")
                                             << QStringList{"d", "1", "0", "1", "0x0001", "0x0002", "Acme",
                                                            " Inc.,Pad, large"};
        QTest::newRow("truncated") << QStringLiteral("2017/04/05 01:07:15,2,0")
                                   << QStringList{"2017/04/05 01:07:15", "2", "0", "", "", "", "", ""};
        QTest::newRow("no comma") << QStringLiteral("garbage") << QStringList{"garbage", "", "", "", "", "", "", ""};
        QTest::newRow("empty") << QString() << QStringList{"", "", "", "", "", "", "", ""};
        QTest::newRow("empty fields") << QStringLiteral(",,,,,,,")
                                      << QStringList{"", "", "", "", "", "", "", ""};
    }
    void splitsLinesIntoEightFields() {
        QFETCH(QString, line);
        QFETCH(QStringList, fields);
        const auto split = splitLogLine(line);
        QCOMPARE(QStringList(split.begin(), split.end()), fields);
    }

    void readsLinesWithEitherLineBreak() {
        writeFile("crlf.log", kLine1 + "\r\n" + kLine2 + "\r\n");
        writeFile("lf.log", kLine1 + "\n" + kLine2 + "\n");
        writeFile("unterminated.log", kLine1 + "\r\n" + kLine2);
        const QStringList expected{QString::fromLatin1(kLine1), QString::fromLatin1(kLine2)};
        QCOMPARE(readLogLines("crlf.log"), expected);
        QCOMPARE(readLogLines("lf.log"), expected);
        QCOMPARE(readLogLines("unterminated.log"), expected);
    }

    void keepsEmptyLinesAndStrayCarriageReturns() {
        writeFile("odd.log", "a\n\nb\rc\r\n\r\n");
        QCOMPARE(readLogLines("odd.log"), (QStringList{"a", "", "b\rc", ""}));
    }

    void missingOrEmptyFileGivesNoLines() {
        QVERIFY(readLogLines("absent.log").isEmpty());
        writeFile("empty.log", "");
        QVERIFY(readLogLines("empty.log").isEmpty());
    }

    void decodesUtf8TextAndKeepsOtherBytes() {
        QCOMPARE(decodeLogLine("Maker,\xE3\x83\x9E\xE3\x82\xA6\xE3\x82\xB9"), QStringLiteral("Maker,マウス"));
        // Not UTF-8: every byte becomes the character of the same code.
        QCOMPARE(decodeLogLine("Caf\xE9,\xFF"), QStringLiteral("Café,ÿ"));
    }

    void garbageNeverMixesLines() {
        QByteArray garbage;
        for (int byte = 0; byte < 256; ++byte) {
            if (byte != '\n') garbage.append(static_cast<char>(byte));
        }
        writeFile("vostrel.log", kLine1 + "\n" + garbage + "\n" + kLine3 + "\n");
        const QStringList lines = readLogLines("vostrel.log");
        QCOMPARE(lines.size(), 3);
        QCOMPARE(lines[0], QString::fromLatin1(kLine1));
        QCOMPARE(lines[1].size(), 255);
        QCOMPARE(lines[2], QString::fromLatin1(kLine3));
    }

    void viewerShowsSevenColumnsAndNoRowsWithoutLog() {
        CUSB_Log viewer;
        viewer.OnInitDialog();
        auto* list = viewer.findChild<QTreeWidget*>("logList");
        QVERIFY(list != nullptr);
        QCOMPARE(list->property("controlId").toInt(), 1003);
        QCOMPARE(list->topLevelItemCount(), 0);
        QStringList titles;
        QList<int> widths;
        for (int column = 0; column < list->columnCount(); ++column) {
            titles << list->headerItem()->text(column);
            widths << list->columnWidth(column);
        }
        QCOMPARE(titles, (QStringList{"No", "Date Time", "HubIndex", "Port", "VID", "PID", "Device Name"}));
        QCOMPARE(widths, (QList<int>{40, 173, 93, 67, 67, 67, 287}));
        QCOMPARE(viewer.windowTitle(), QStringLiteral("Auto Recovery Log"));
    }

    void viewerShowsOneNumberedRowPerLineWithoutEventCode() {
        writeFile("vostrel.log", kLine1 + "\r\n" + kLine2 + "\n" + kLine3);
        CUSB_Log viewer;
        viewer.OnInitDialog();
        const auto& list = *viewer.findChild<QTreeWidget*>("logList");
        QCOMPARE(list.topLevelItemCount(), 3);
        QCOMPARE(rowCells(list, 0),
                 (QStringList{"1", "2017/04/05 01:07:09", "0", "3", "0x04D8", "0x000A", "Maker Widget"}));
        QCOMPARE(rowCells(list, 1),
                 (QStringList{"2", "2017/04/05 01:07:15", "0", "3", "0x1A2B", "0xFFFF", "Acme Corp Gadget 2"}));
        // Empty texts leave the blank between them.
        QCOMPARE(rowCells(list, 2), (QStringList{"3", "2017/04/05 01:08:00", "1", "4", "0x0001", "0x0002", " "}));
        saveRender(viewer, QStringLiteral("log-viewer"));
    }

    void viewerSurvivesMalformedLines() {
        writeFile("vostrel.log", "2017/04/05 01:07:09,3,0,3,0x04D8,0x000A,Acme, Inc.,Pad, large\n"
                                 "2017/04/05 01:07:10,3\n"
                                 "\n");
        CUSB_Log viewer;
        viewer.OnInitDialog();
        const auto& list = *viewer.findChild<QTreeWidget*>("logList");
        QCOMPARE(list.topLevelItemCount(), 3);
        QCOMPARE(rowCells(list, 0), (QStringList{"1", "2017/04/05 01:07:09", "0", "3", "0x04D8", "0x000A",
                                                 "Acme  Inc.,Pad, large"}));
        QCOMPARE(rowCells(list, 1), (QStringList{"2", "2017/04/05 01:07:10", "", "", "", "", " "}));
        QCOMPARE(rowCells(list, 2), (QStringList{"3", "", "", "", "", "", " "}));
    }

    void viewerReadsTheLogOfTheCurrentFolder() {
        // The library appends to the log in the current folder, wherever the
        // program itself lives; the viewer reads that same file.
        QVERIFY(QDir::current().absolutePath() != QCoreApplication::applicationDirPath());
        writeFile(QDir::current().filePath("vostrel.log"), kLine1 + "\r\n");
        QCOMPARE(logFilePath(), QDir::current().filePath("vostrel.log"));
        CUSB_Log viewer;
        viewer.OnInitDialog();
        QCOMPARE(viewer.findChild<QTreeWidget*>("logList")->topLevelItemCount(), 1);
    }

    void viewerTakesAHundredThousandLines() {
        QByteArray log;
        for (int i = 0; i < 100000; ++i) {
            log += "2017/04/05 01:07:09,3," + QByteArray::number(i % 32) + ",1,0x04D8,0x000A,Maker,Widget " +
                   QByteArray::number(i) + "\r\n";
        }
        writeFile("vostrel.log", log);
        CUSB_Log viewer;
        viewer.OnInitDialog();
        const auto& list = *viewer.findChild<QTreeWidget*>("logList");
        QCOMPARE(list.topLevelItemCount(), 100000);
        QCOMPARE(rowCells(list, 99999).front(), QStringLiteral("100000"));
        QCOMPARE(rowCells(list, 99999).back(), QStringLiteral("Maker Widget 99999"));
    }

    void viewerReadsAfreshEachTime() {
        writeFile("vostrel.log", kLine1 + "\r\n");
        CUSB_Log viewer;
        viewer.OnInitDialog();
        QCOMPARE(viewer.findChild<QTreeWidget*>("logList")->topLevelItemCount(), 1);
        writeFile("vostrel.log", kLine1 + "\r\n" + kLine2 + "\r\n");
        viewer.OnInitDialog();
        QCOMPARE(viewer.findChild<QTreeWidget*>("logList")->topLevelItemCount(), 2);
    }

private:
    std::optional<LibrarySession> session_;
};

TALVERN_REGISTER_TEST(LogViewerTest);

}  // namespace talvern::test

#include "log_viewer_test.moc"
