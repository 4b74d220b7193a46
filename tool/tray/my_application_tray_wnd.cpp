#include "tray/my_application_tray_wnd.h"

#include <QCursor>
#include <QMenu>
#include <QTimer>

#include <QFile>

#include "log_viewer/log_file.h"
#include "program_core/linked_hub_library.h"
#include "program_core/log_file.h"
#include "program_core/watch_list.h"
#include "resources/app_icon.h"
#include "resources/menu_resources.h"
#include "resources/resource_ids.h"
#include "views/qt_text.h"

namespace talvern {
namespace {

namespace program = vostrel::program;

const program::HubLibrary& hubLibrary() { return program::linkedHubLibrary(); }

std::vector<std::string> logLines() {
    return program::readLogFile(QFile::encodeName(logFilePath()).toStdString());
}

}  // namespace

CMyApplicationTrayWnd::CMyApplicationTrayWnd(bool notificationAreaAvailable,
                                             std::unique_ptr<DeviceChangeSource> deviceChanges, QObject* parent)
    : CTrayWnd(parent), m_deviceChanges(std::move(deviceChanges)), m_notificationArea(notificationAreaAvailable) {
    if (m_deviceChanges) {
        connect(m_deviceChanges.get(), &DeviceChangeSource::devicesChanged, this,
                &CMyApplicationTrayWnd::OnDeviceChange);
    }
    // The vendor library is missing: the program ends as through "EXIT(&X)".
    connect(&m_dlg, &CMyTalvernDlg::exitRequested, this, &CMyApplicationTrayWnd::OnTrayExit);
    // The main window's read of the bus serves the tip and the recoveries awaited.
    connect(&m_dlg, &CMyTalvernDlg::stateChanged, this, [this] {
        const program::BusView& bus = m_dlg.busView();
        updateTip(program::TrayCounts{static_cast<int>(bus.hubs.size()),
                                      static_cast<int>(program::readWatchList(hubLibrary()).size())});
        showNotices(m_recovery.busRead(bus));
    });
    connect(&m_logWatch, &LogFileWatch::changed, this, &CMyApplicationTrayWnd::OnLogChange);
}

CMyApplicationTrayWnd::~CMyApplicationTrayWnd() = default;

void CMyApplicationTrayWnd::OnCreate() {
    m_hIcon = applicationIcon();
    if (m_notificationArea) {
        const QString tip = qtText(program::trayTip(program::readTrayCounts(hubLibrary()),
                                                    hubLibrary().recoveryStored() != 0));
        NotifyIcon(IconMessage::Add, &m_hIcon, &tip);
        // The library appends to the log in the current folder.
        m_recovery.logRead(logLines());
        m_logWatch.watch(logFilePath());
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

// With the main window closed, the bus is read only while a power-cycled
// device is awaited.
void CMyApplicationTrayWnd::OnDeviceChange() {
    if (m_dlg.IsOpen()) {
        m_dlg.RefreshHubTree();
    } else if (m_recovery.awaitsRecovery()) {
        if (const auto bus = program::readBusView(hubLibrary())) showNotices(m_recovery.busRead(*bus));
    }
}

void CMyApplicationTrayWnd::updateTip(const std::optional<program::TrayCounts>& counts) {
    if (m_destroyed || !m_notificationArea) return;
    const QString tip = qtText(program::trayTip(counts, hubLibrary().recoveryStored() != 0));
    NotifyIcon(IconMessage::Modify, nullptr, &tip);
}

void CMyApplicationTrayWnd::OnLogChange() { showNotices(m_recovery.logRead(logLines())); }

void CMyApplicationTrayWnd::showNotices(const std::vector<program::Notice>& notices) {
    for (const program::Notice& notice : notices) {
        ShowNotice(qtText(notice.title), qtText(notice.body));
        emit noticeShown(qtText(notice.title), qtText(notice.body));
    }
}

void CMyApplicationTrayWnd::DestroyWindow() {
    if (m_destroyed) return;
    m_destroyed = true;
    if (m_dlg.isVisible()) m_dlg.reject();
    OnDestroy();
    emit windowDestroyed();
}

void CMyApplicationTrayWnd::OnDestroy() {
    m_logWatch.stop();
    hubLibrary().cleanup();
    NotifyIcon(IconMessage::Delete, nullptr, nullptr);
}

}  // namespace talvern
