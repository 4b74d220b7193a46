// The application: one copy per login session, living in the notification
// area through its tray window.
#pragma once

#include <QApplication>
#include <memory>

#include "platform/single_instance_lock.h"
#include "platform/termination_requests.h"
#include "tray/my_application_tray_wnd.h"

namespace talvern {

class CMyTalvernApp : public QApplication {
    Q_OBJECT
public:
    CMyTalvernApp(int& argc, char** argv);
    ~CMyTalvernApp() override;

    // False when another copy runs in this login session: the program then
    // ends at once without showing anything. From here on, SIGTERM, SIGHUP
    // and the session manager's quit end the program as "EXIT(&X)" does.
    bool InitInstance();

    // Releases the tray window and the single-instance lock; returns `exitCode`.
    int ExitInstance(int exitCode);

private:
    void endAsExit();

    platform::TerminationRequests m_terminationRequests;
    std::unique_ptr<platform::SingleInstanceLock> m_instanceLock;
    std::unique_ptr<CMyApplicationTrayWnd> m_pMainWnd;
};

}  // namespace talvern
