#include "tray/my_application_tray_wnd.h"

#include <QCursor>
#include <QMenu>
#include <QTimer>

#include <vostrel/hub_api.h>
#include "resources/app_icon.h"
#include "resources/menu_resources.h"
#include "resources/resource_ids.h"
#include "program_core/program_messages.h"
#include "views/qt_text.h"

namespace talvern {

CMyApplicationTrayWnd::CMyApplicationTrayWnd(bool notificationAreaAvailable,
                                             std::unique_ptr<DeviceChangeSource> deviceChanges, QObject* parent)
    : CTrayWnd(parent), m_deviceChanges(std::move(deviceChanges)), m_notificationArea(notificationAreaAvailable) {
    if (m_deviceChanges) {
        connect(m_deviceChanges.get(), &DeviceChangeSource::devicesChanged, this,
                &CMyApplicationTrayWnd::OnDeviceChange);
    }
    // The vendor library is missing: the program ends as through "EXIT(&X)".
    connect(&m_dlg, &CMyTalvernDlg::exitRequested, this, &CMyApplicationTrayWnd::OnTrayExit);
}

CMyApplicationTrayWnd::~CMyApplicationTrayWnd() = default;

void CMyApplicationTrayWnd::OnCreate() {
    m_hIcon = applicationIcon();
    if (m_notificationArea) {
        const QString tip = qtText(vostrel::program::instanceName());
        NotifyIcon(IconMessage::Add, &m_hIcon, &tip);
        return;
    }
    // No notification area to live in: the main window is the program.
    QTimer::singleShot(0, this, [this] {
        OnTraySetup();
        DestroyWindow();
    });
}

std::unique_ptr<QMenu> CMyApplicationTrayWnd::CreateTrayMenu() {
    auto menu = loadMenu(IDR_MENU_TRAY_R);
    connect(menuCommand(*menu, ID_TRAY_EXIT), &QAction::triggered, this, &CMyApplicationTrayWnd::OnTrayExit);
    connect(menuCommand(*menu, ID_TRAY_SETUP), &QAction::triggered, this, &CMyApplicationTrayWnd::OnTraySetup);
    return menu;
}

void CMyApplicationTrayWnd::OnTrayRButtonUp() {
    const QPoint cursor = QCursor::pos();
    auto menu = CreateTrayMenu();
    menu->exec(cursor);
}

void CMyApplicationTrayWnd::OnTrayExit() {
    // Queued, so the command's menu or message box unwinds first.
    QMetaObject::invokeMethod(this, &CMyApplicationTrayWnd::DestroyWindow, Qt::QueuedConnection);
}

void CMyApplicationTrayWnd::OnTraySetup() {
    if (m_destroyed || m_dlg.IsOpen()) return;
    m_dlg.DoModal();
}

void CMyApplicationTrayWnd::OnDeviceChange() {
    if (m_dlg.IsOpen()) m_dlg.RefreshHubTree();
}

void CMyApplicationTrayWnd::DestroyWindow() {
    if (m_destroyed) return;
    m_destroyed = true;
    if (m_dlg.isVisible()) m_dlg.reject();
    OnDestroy();
    emit windowDestroyed();
}

void CMyApplicationTrayWnd::OnDestroy() {
    Hub_CleanupInfoList();
    NotifyIcon(IconMessage::Delete, nullptr, nullptr);
}

}  // namespace talvern
