// One copy of the program per login session.
#include <QProcess>

#include "platform/single_instance_lock.h"
#include "tool_test_support.h"

namespace talvern::test {

using platform::SingleInstanceLock;

class SingleInstanceTest : public QObject {
    Q_OBJECT
    std::optional<vostrel::test::ScratchDir> dir_;
    QProcess holder_;

    // Starts the helper that holds the program's lock in the current folder.
    bool holderHoldsTheLock() {
        holder_.start(INSTANCE_LOCK_HOLDER, {QDir::currentPath()});
        return holder_.waitForReadyRead(60000) && holder_.readLine().trimmed() == "held";
    }

private slots:
    void init() { dir_.emplace(); }
    void cleanup() {
        holder_.kill();
        holder_.waitForFinished(60000);
        dir_.reset();
    }

    void aSecondCopyEndsSilently() {
        QVERIFY(holderHoldsTheLock());
        QProcess talvern;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("XDG_RUNTIME_DIR", QDir::currentPath());
        talvern.setProcessEnvironment(environment);
        talvern.start(TALVERN_PROGRAM, {});
        QVERIFY(talvern.waitForFinished(60000));
        QCOMPARE(talvern.exitCode(), 0);
        QCOMPARE(talvern.readAllStandardOutput(), QByteArray());
    }

    void aKilledHolderLeavesNoLockBehind() {
        QVERIFY(holderHoldsTheLock());
        holder_.kill();
        QVERIFY(holder_.waitForFinished(60000));
        auto outcome = SingleInstanceLock::Outcome::HeldElsewhere;
        QVERIFY(SingleInstanceLock::tryAcquire(QDir::currentPath().toStdString(), "RAV_UVIDARO_4", outcome));
        QCOMPARE(outcome, SingleInstanceLock::Outcome::Acquired);
        // No folder is no lock, rather than a lock in the root folder.
        QVERIFY(!SingleInstanceLock::tryAcquire("", "RAV_UVIDARO_4", outcome));
        QCOMPARE(outcome, SingleInstanceLock::Outcome::Unavailable);
    }
};

}  // namespace talvern::test

QTEST_MAIN(talvern::test::SingleInstanceTest)
#include "single_instance_test.moc"
