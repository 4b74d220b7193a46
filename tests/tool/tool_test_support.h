// Helpers of the control program's tests: the library's load and unload
// steps in a folder of their own, acting on modal windows, and renders.
#pragma once

#include <QApplication>
#include <QDir>
#include <QTimer>
#include <QWidget>
#include <functional>

#include "library_lifecycle.h"
#include "scratch_dir.h"

namespace talvern::test {

// A fresh current folder with the library loaded in it; the library is
// unloaded (saving its settings there) before the folder goes.
class LibrarySession {
public:
    LibrarySession() { vostrel::libraryLoad(); }
    ~LibrarySession() { vostrel::libraryUnload(); }
    LibrarySession(const LibrarySession&) = delete;
    LibrarySession& operator=(const LibrarySession&) = delete;

    const std::filesystem::path& folder() const { return dir_.path(); }

private:
    vostrel::test::ScratchDir dir_;
};

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
