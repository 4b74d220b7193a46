// The program ended by a signal, as a desktop session ends it at logout or a
// terminal when it closes: it ends as through "EXIT(&X)", so that the hub
// library's unload steps store the settings.
#include <QProcess>
#include <csignal>

#include "platform/single_instance_lock.h"
#include "tool_test_support.h"

namespace talvern::test {

class TerminationTest : public QObject {
    Q_OBJECT
    std::optional<vostrel::test::ScratchDir> dir_;

    // Whether a running program holds the single-instance lock in the current folder.
    static bool programRuns() {
        auto outcome = platform::SingleInstanceLock::Outcome::Unavailable;
        const auto lock =
            platform::SingleInstanceLock::tryAcquire(QDir::currentPath().toStdString(), "RAV_UVIDARO_4", outcome);
        return outcome == platform::SingleInstanceLock::Outcome::HeldElsewhere;
    }

private slots:
    void init() { dir_.emplace(); }
    void cleanup() { dir_.reset(); }

    void signalsEndTheProgramAsExitDoes_data() {
        QTest::addColumn<int>("signal");
        QTest::newRow("SIGTERM") << SIGTERM;
        QTest::newRow("SIGHUP") << SIGHUP;
        QTest::newRow("SIGINT") << SIGINT;
    }
    void signalsEndTheProgramAsExitDoes() {
        QFETCH(int, signal);
        // A bench without hubs: the window opens without the vendor library.
        const QByteArray bench = R"({"controllers": [{"number": 0, "portCount": 2, "devices": []}]})";
        vostrel::test::writeBytes("bench.json", bench.data(), bench.size());
        QProcess talvern;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("XDG_RUNTIME_DIR", QDir::currentPath());
        environment.insert("VOSTREL_SIM_BENCH", QDir::current().filePath("bench.json"));
        talvern.setProcessEnvironment(environment);
        talvern.start(TALVERN_PROGRAM, {});
        QVERIFY(talvern.waitForStarted(60000));
        QTRY_VERIFY_WITH_TIMEOUT(programRuns(), 60000);
        QVERIFY(!QFile::exists("vostrel.dat"));

        QCOMPARE(::kill(pid_t(talvern.processId()), signal), 0);
        QVERIFY(talvern.waitForFinished(60000));
        QCOMPARE(talvern.exitStatus(), QProcess::NormalExit);
        QCOMPARE(talvern.exitCode(), 0);
        // The library stored its settings when it was unloaded.
        QVERIFY(QFile::exists("vostrel.dat"));
    }
};

}  // namespace talvern::test

QTEST_MAIN(talvern::test::TerminationTest)
#include "termination_test.moc"
