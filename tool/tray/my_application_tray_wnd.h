// The program's notification-area icon with its menu ("EXIT(&X)",
// "SETUP(&S)"), the main window it opens, and the device-change watch that
// keeps an open main window current. Its tip counts the hubs and watched
// devices and tells whether auto recovery runs; it follows the event log and
// tells the desktop when the monitor power-cycles a device and when that
// device works again. Where the desktop has no notification area, the main
// window opens at once and closing it ends the program.
#pragma once

#include <QIcon>
#include <memory>
#include <optional>
#include <vector>

#include "device_changes/device_change_source.h"
#include "log_viewer/log_file_watch.h"
#include "main_window/my_talvern_dlg.h"
#include "program_core/recovery_notices.h"
#include "program_core/tray_tip.h"
#include "tray/tray_wnd.h"

class QMenu;

namespace talvern {

class CMyApplicationTrayWnd : public CTrayWnd {
    Q_OBJECT
public:
    // `deviceChanges` may be null: the tree then follows no device change.
    CMyApplicationTrayWnd(bool notificationAreaAvailable, std::unique_ptr<DeviceChangeSource> deviceChanges,
                          QObject* parent = nullptr);
    ~CMyApplicationTrayWnd() override;

    // Puts the icon in the notification area, or, without one, opens the main
    // window as soon as the event loop runs.
    void OnCreate();

    // Ends the window: the main window closes, the library's lists are
    // emptied, the icon goes; then windowDestroyed() is emitted. Once only.
    void DestroyWindow();

    // Menu 131 with its commands connected.
    std::unique_ptr<QMenu> CreateTrayMenu();

    void OnTrayExit();
    void OnTraySetup();
    void OnDeviceChange();

    CMyTalvernDlg& mainDialog() { return m_dlg; }

signals:
    void windowDestroyed();

    // A desktop notification was shown.
    void noticeShown(const QString& title, const QString& text);

protected:
    void OnTrayRButtonUp() override;

private:
    void OnDestroy();
    void updateTip(const std::optional<vostrel::program::TrayCounts>& counts);
    void OnLogChange();
    void showNotices(const std::vector<vostrel::program::Notice>& notices);

    QIcon m_hIcon;
    CMyTalvernDlg m_dlg;
    std::unique_ptr<DeviceChangeSource> m_deviceChanges;
    LogFileWatch m_logWatch;
    vostrel::program::RecoveryFollower m_recovery;
    bool m_notificationArea;
    bool m_destroyed = false;
};

}  // namespace talvern
