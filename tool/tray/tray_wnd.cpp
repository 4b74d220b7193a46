#include "tray/tray_wnd.h"

namespace talvern {
namespace {

constexpr qsizetype kTipCapacity = 128;  // characters, the terminator included

}  // namespace

CTrayWnd::CTrayWnd(QObject* parent) : QObject(parent) {
    connect(&m_trayIcon, &QSystemTrayIcon::activated, this, &CTrayWnd::OnTrayNotify);
}

void CTrayWnd::NotifyIcon(IconMessage message, const QIcon* icon, const QString* tip) {
    if (icon != nullptr && icon->cacheKey() != m_hIcon.cacheKey()) {
        m_hIcon = *icon;
        m_trayIcon.setIcon(m_hIcon);
    }
    if (tip != nullptr) m_trayIcon.setToolTip(tip->left(kTipCapacity - 1));
    if (message != IconMessage::Modify) m_trayIcon.setVisible(message == IconMessage::Add);
}

void CTrayWnd::ShowNotice(const QString& title, const QString& text) {
    m_trayIcon.showMessage(title, text, m_hIcon);
}

void CTrayWnd::OnTrayNotify(QSystemTrayIcon::ActivationReason reason) {
    if (reason == QSystemTrayIcon::Context) OnTrayRButtonUp();
}

}  // namespace talvern
