// One icon in the desktop's notification area. Clicks on it arrive as the
// virtual operation OnTrayRButtonUp (right button); other clicks are ignored.
#pragma once

#include <QIcon>
#include <QObject>
#include <QSystemTrayIcon>

namespace talvern {

class CTrayWnd : public QObject {
    Q_OBJECT
public:
    enum class IconMessage { Add, Modify, Delete };

    explicit CTrayWnd(QObject* parent = nullptr);

    // Adds the icon to the notification area, changes it or removes it. An
    // icon differing from the one shown replaces it; a tip is cut to 127
    // characters.
    void NotifyIcon(IconMessage message, const QIcon* icon, const QString* tip);

    // A desktop notification from the icon.
    void ShowNotice(const QString& title, const QString& text);

    const QSystemTrayIcon& trayIcon() const { return m_trayIcon; }

protected:
    virtual void OnTrayRButtonUp() {}

private:
    void OnTrayNotify(QSystemTrayIcon::ActivationReason reason);

    QSystemTrayIcon m_trayIcon;
    QIcon m_hIcon;  // the icon currently shown
};

}  // namespace talvern
