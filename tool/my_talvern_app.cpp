#include "my_talvern_app.h"

#include <QStandardPaths>
#include <QSystemTrayIcon>

#include "resources/app_icon.h"
#include "resources/texts.h"

namespace talvern {

CMyTalvernApp::CMyTalvernApp(int& argc, char** argv) : QApplication(argc, argv) {
    setApplicationName(QStringLiteral("Talvern"));
    setApplicationDisplayName(QStringLiteral("Talvern"));
    setApplicationVersion(QStringLiteral("1.0.0.1"));
    setOrganizationName(instanceName());
}

CMyTalvernApp::~CMyTalvernApp() = default;

bool CMyTalvernApp::InitInstance() {
    // The session's runtime folder ($XDG_RUNTIME_DIR, or a private per-user
    // folder when the session has none).
    const QString folder = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    auto outcome = platform::SingleInstanceLock::Outcome::Unavailable;
    m_instanceLock = platform::SingleInstanceLock::tryAcquire(folder.toStdString(), instanceName().toStdString(), outcome);
    // Without a usable lock folder the program runs all the same.
    if (outcome == platform::SingleInstanceLock::Outcome::HeldElsewhere) return false;

    setWindowIcon(applicationIcon());
    // The program lives in the notification area: closing the main window
    // does not end it.
    setQuitOnLastWindowClosed(false);
    m_pMainWnd = std::make_unique<CMyApplicationTrayWnd>(QSystemTrayIcon::isSystemTrayAvailable(),
                                                         createDeviceChangeSource());
    connect(m_pMainWnd.get(), &CMyApplicationTrayWnd::windowDestroyed, this, &QCoreApplication::quit,
            Qt::QueuedConnection);
    m_pMainWnd->OnCreate();
    return true;
}

int CMyTalvernApp::ExitInstance(int exitCode) {
    m_pMainWnd.reset();
    m_instanceLock.reset();
    return exitCode;
}

}  // namespace talvern
