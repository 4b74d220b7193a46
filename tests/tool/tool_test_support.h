// Helpers of the control program's tests: the library's load and unload
// steps in a folder of their own, acting on modal windows, and renders.
#pragma once

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTimer>
#include <QWidget>
#include <functional>

#include "library_lifecycle.h"
#include "scratch_dir.h"

namespace talvern::test {

// A fresh current folder with the library loaded in it; the library is
// unloaded (saving its settings there) before the folder goes. Given a bench
// name, the simulator runs on a copy of the tests' bench of that name
// (benches/NAME.json), "bench.json" in the folder.
class LibrarySession {
public:
    explicit LibrarySession(const QString& bench = QString()) {
        if (!bench.isNull()) {
            const QString copy = QDir::current().filePath(QStringLiteral("bench.json"));
            QFile::copy(QStringLiteral(TALVERN_TEST_BENCHES "/") + bench + QStringLiteral(".json"), copy);
            QFile::setPermissions(copy, QFile::ReadOwner | QFile::WriteOwner);
            qputenv("VOSTREL_SIM_BENCH", copy.toLocal8Bit());
        }
        vostrel::libraryLoad();
    }
    ~LibrarySession() {
        vostrel::libraryUnload();
        qunsetenv("VOSTREL_SIM_BENCH");
    }
    LibrarySession(const LibrarySession&) = delete;
    LibrarySession& operator=(const LibrarySession&) = delete;

    const std::filesystem::path& folder() const { return dir_.path(); }

private:
    vostrel::test::ScratchDir dir_;
};

// Changes the simulated bench with the simulator's command line, e.g.
// {"unplug", "widget"}; true when the command succeeded.
inline bool simulate(const QStringList& arguments) {
    QProcess simulator;
    simulator.start(QStringLiteral(VOSTREL_SIM_PROGRAM),
                    QStringList{QStringLiteral("--bench"), QDir::current().filePath(QStringLiteral("bench.json"))} +
                        arguments);
    return simulator.waitForFinished(60000) && simulator.exitStatus() == QProcess::NormalExit &&
           simulator.exitCode() == 0;
}

// Runs `action` with the modal window that the next event loop shows (the
// loop of the exec() that the caller is about to start). The window is
// null when none is up then.
inline void onNextModal(std::function<void(QWidget*)> action) {
    QTimer::singleShot(0, qApp, [action = std::move(action)] { action(QApplication::activeModalWidget()); });
}

// Saves a picture of `widget` as NAME.png in the build folder's renders
// folder, for people to look at; returns the file's path.
inline QString saveRender(QWidget& widget, const QString& name) {
    const QDir folder(QStringLiteral(TALVERN_RENDER_DIR));
    folder.mkpath(QStringLiteral("."));
    const QString path = folder.filePath(name + QStringLiteral(".png"));
    widget.grab().save(path);
    return path;
}

}  // namespace talvern::test
