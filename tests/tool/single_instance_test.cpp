// One copy of the program per login session.
#include <QProcess>
#include <QStandardPaths>
#include <QTest>

#include "platform/single_instance_lock.h"
#include "test_registry.h"
#include "tool_test_support.h"

namespace talvern::test {
namespace {

using platform::SingleInstanceLock;
using Outcome = SingleInstanceLock::Outcome;

// Bounds for processes that end by themselves; reaching one is a failure.
constexpr int kProcessBoundMs = 60000;

std::unique_ptr<SingleInstanceLock> takeLock(const QString& folder, Outcome& outcome) {
    return SingleInstanceLock::tryAcquire(folder.toStdString(), "RAV_UVIDARO_4", outcome);
}

// Starts the holder helper on `folder` and waits for its answer.
QString startHolder(QProcess& holder, const QString& folder) {
    holder.start(QStringLiteral(INSTANCE_LOCK_HOLDER), {folder});
    if (!holder.waitForStarted(kProcessBoundMs) || !holder.waitForReadyRead(kProcessBoundMs)) return {};
    return QString::fromLatin1(holder.readLine()).trimmed();
}

// Runs the program with `runtimeFolder` as its session's runtime folder (or
// without one, when null); true when it ended by itself, with exit code 0.
bool talvernEndsAtOnce(const QString& runtimeFolder, QByteArray& output) {
    QProcess talvern;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("QT_QPA_PLATFORM", "offscreen");
    if (runtimeFolder.isNull()) {
        environment.remove("XDG_RUNTIME_DIR");
    } else {
        environment.insert("XDG_RUNTIME_DIR", runtimeFolder);
    }
    talvern.setProcessEnvironment(environment);
    talvern.setWorkingDirectory(QDir::currentPath());
    talvern.start(QStringLiteral(TALVERN_PROGRAM), {});
    const bool ended = talvern.waitForFinished(kProcessBoundMs);
    if (!ended) {
        talvern.kill();
        talvern.waitForFinished(kProcessBoundMs);
    }
    output = talvern.readAllStandardOutput();
    return ended && talvern.exitStatus() == QProcess::NormalExit && talvern.exitCode() == 0;
}

}  // namespace

class SingleInstanceTest : public QObject {
    Q_OBJECT

private slots:
    void init() { session_.emplace(); }
    void cleanup() { session_.reset(); }

    void oneHolderAtATime() {
        const QString folder = QDir::currentPath();
        Outcome first = Outcome::Unavailable;
        auto held = takeLock(folder, first);
        QCOMPARE(first, Outcome::Acquired);
        Outcome second = Outcome::Unavailable;
        QVERIFY(takeLock(folder, second) == nullptr);
        QCOMPARE(second, Outcome::HeldElsewhere);
        held.reset();
        Outcome third = Outcome::Unavailable;
        QVERIFY(takeLock(folder, third) != nullptr);
        QCOMPARE(third, Outcome::Acquired);
        QVERIFY(QFile::exists(QDir(folder).filePath("RAV_UVIDARO_4")));
    }

    void missingFolderMakesTheLockUnavailable() {
        Outcome outcome = Outcome::Acquired;
        QVERIFY(takeLock(QDir::current().filePath("absent"), outcome) == nullptr);
        QCOMPARE(outcome, Outcome::Unavailable);
        // No folder at all: not the root folder.
        outcome = Outcome::Acquired;
        QVERIFY(takeLock(QString(), outcome) == nullptr);
        QCOMPARE(outcome, Outcome::Unavailable);
    }

    void theProgramEndsSilentlyWhileAnotherCopyRuns() {
        QProcess holder;
        QCOMPARE(startHolder(holder, QDir::currentPath()), QStringLiteral("held"));
        QByteArray output;
        QVERIFY(talvernEndsAtOnce(QDir::currentPath(), output));
        QVERIFY(output.isEmpty());
        holder.closeWriteChannel();
        QVERIFY(holder.waitForFinished(kProcessBoundMs));
    }

    void aKilledCopyLeavesNoLockBehind() {
        QProcess holder;
        QCOMPARE(startHolder(holder, QDir::currentPath()), QStringLiteral("held"));
        holder.kill();
        QVERIFY(holder.waitForFinished(kProcessBoundMs));
        Outcome outcome = Outcome::Unavailable;
        QVERIFY(takeLock(QDir::currentPath(), outcome) != nullptr);
        QCOMPARE(outcome, Outcome::Acquired);
    }

    void withoutARuntimeFolderThePerUserFolderIsUsed() {
        const QByteArray saved = qgetenv("XDG_RUNTIME_DIR");
        qunsetenv("XDG_RUNTIME_DIR");
        const QString fallback = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
        if (!saved.isNull()) qputenv("XDG_RUNTIME_DIR", saved);
        QVERIFY(!fallback.isEmpty());
        QCOMPARE(QFileInfo(fallback).ownerId(), uint(getuid()));

        QProcess holder;
        QCOMPARE(startHolder(holder, fallback), QStringLiteral("held"));
        QByteArray output;
        QVERIFY(talvernEndsAtOnce(QString(), output));
        holder.closeWriteChannel();
        QVERIFY(holder.waitForFinished(kProcessBoundMs));
    }

private:
    std::optional<LibrarySession> session_;
};

TALVERN_REGISTER_TEST(SingleInstanceTest);

}  // namespace talvern::test

#include "single_instance_test.moc"
