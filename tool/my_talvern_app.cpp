#include "my_talvern_app.h"

#include <QSessionManager>
#include <QSocketNotifier>
#include <QStandardPaths>
#include <QSystemTrayIcon>

#include "resources/app_icon.h"
#include "program_core/program_messages.h"
#include "views/qt_text.h"

namespace talvern {

CMyTalvernApp::CMyTalvernApp(int& argc, char** argv) : QApplication(argc, argv) {
    setApplicationName(QStringLiteral("Talvern"));
    setApplicationDisplayName(QStringLiteral("Talvern"));
    setApplicationVersion(QStringLiteral("1.0.0.1"));
    setOrganizationName(qtText(vostrel::program::instanceName()));
}

CMyTalvernApp::~CMyTalvernApp() = default;

bool CMyTalvernApp::InitInstance() {
    // Before anything else: a request that comes while the program starts
    // waits in the descriptor until the event loop runs.
    if (m_terminationRequests.descriptor() >= 0) {
        auto* requests = new QSocketNotifier(m_terminationRequests.descriptor(), QSocketNotifier::Read, this);
        connect(requests, &QSocketNotifier::activated, this, [this] {
            m_terminationRequests.acknowledge();
            endAsExit();
        });
    }
    // The session ends (logout): the session manager may not wait for more.
    connect(this, &QGuiApplication::commitDataRequest, this, [this](QSessionManager&) { endAsExit(); });

    // The session's runtime folder ($XDG_RUNTIME_DIR, or a private per-user
    // folder when the session has none).
    const QString folder = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    auto outcome = platform::SingleInstanceLock::Outcome::Unavailable;
    m_instanceLock = platform::SingleInstanceLock::tryAcquire(folder.toStdString(), vostrel::program::instanceName(), outcome);
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

void CMyTalvernApp::endAsExit() {
    if (m_pMainWnd) {
        m_pMainWnd->OnTrayExit();
    } else {
        quit();
    }
}

int CMyTalvernApp::ExitInstance(int exitCode) {
    m_pMainWnd.reset();
    m_instanceLock.reset();
    return exitCode;
}

}  // namespace talvern
