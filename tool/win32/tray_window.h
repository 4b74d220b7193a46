// The hidden tool window "TrayWnd" that owns the program's icon in the
// notification area, shows its menus, opens the main window and passes the
// system's device changes on to it. Destroying it ends the program.
#pragma once

#include <windows.h>

#include <memory>

#include "main_window.h"
#include "platform/device_notifications.h"

namespace talvern {

// The icon's callback message and identifier.
inline constexpr UINT kTrayNotifyMessage = WM_APP + 100;
inline constexpr UINT kTrayIconId = 100;

class TrayWindow {
public:
    explicit TrayWindow(const vostrel::program::HubLibrary& library) : library_(library), mainWindow_(library) {}

    // Creates the window, which adds the icon; false when it cannot.
    bool create();

private:
    static LRESULT CALLBACK procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT handle(UINT message, WPARAM wParam, LPARAM lParam);

    void notifyIcon(DWORD action);
    void showMenu(int resource);

    const vostrel::program::HubLibrary& library_;
    MainWindow mainWindow_;
    HWND window_ = nullptr;
    HICON icon_ = nullptr;
    std::unique_ptr<platform::DeviceNotifications> deviceNotifications_;
};

}  // namespace talvern
