// The number rules of the watch-list dialog's time boxes.
#include <QTest>

#include "test_registry.h"
#include "watch_list/time_box_rule.h"

namespace talvern::test {

class TimeBoxRuleTest : public QObject {
    Q_OBJECT

private slots:
    void readsTheLeadingNumber_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("value");
        QTest::newRow("digits") << "42" << 42;
        QTest::newRow("empty") << "" << 0;
        QTest::newRow("not a number") << "abc" << 0;
        QTest::newRow("digits then text") << "12ab3" << 12;
        QTest::newRow("blanks and sign") << "  -7" << -7;
        QTest::newRow("beyond an int") << "99999999999999" << INT_MAX;
        QTest::newRow("below an int") << "-99999999999999" << INT_MIN;
    }
    void readsTheLeadingNumber() {
        QFETCH(QString, text);
        QFETCH(int, value);
        QCOMPARE(leadingInteger(text), value);
    }

    void correctsTheBoxText_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("shown");
        QTest::newRow("0") << "0" << "3";
        QTest::newRow("empty") << "" << "3";
        QTest::newRow("1 stays") << "1" << "1";
        QTest::newRow("2 stays") << "2" << "2";
        QTest::newRow("255 stays") << "255" << "255";
        QTest::newRow("256") << "256" << "255";
        QTest::newRow("300") << "300" << "255";
        QTest::newRow("huge") << "99999999999999" << "255";
    }
    void correctsTheBoxText() {
        QFETCH(QString, text);
        QFETCH(QString, shown);
        QCOMPARE(timeBoxCorrection(text).value_or(text), shown);
    }

    void storesAtLeastThree_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("stored");
        QTest::newRow("1") << "1" << 3;
        QTest::newRow("2") << "2" << 3;
        QTest::newRow("3") << "3" << 3;
        QTest::newRow("200") << "200" << 200;
        QTest::newRow("255") << "255" << 255;
        QTest::newRow("empty") << "" << 3;
    }
    void storesAtLeastThree() {
        QFETCH(QString, text);
        QFETCH(int, stored);
        QCOMPARE(int(storedTime(text)), stored);
    }
};

TALVERN_REGISTER_TEST(TimeBoxRuleTest);

}  // namespace talvern::test

#include "time_box_rule_test.moc"
