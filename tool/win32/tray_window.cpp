#include "tray_window.h"

#include <shellapi.h>

#include <algorithm>
#include <iterator>

#include "platform/wide_text.h"
#include "program_core/program_messages.h"
#include "resources/resource.h"

namespace talvern {

namespace {
constexpr wchar_t kClassName[] = L"TalvernTrayWnd";
}

bool TrayWindow::create() {
    const HINSTANCE instance = ::GetModuleHandleW(nullptr);
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = &TrayWindow::procedure;
    windowClass.hInstance = instance;
    windowClass.lpszClassName = kClassName;
    if (::RegisterClassExW(&windowClass) == 0) return false;
    return ::CreateWindowExW(WS_EX_TOOLWINDOW, kClassName, L"TrayWnd", 0, 0, 0, 0, 0, nullptr, nullptr, instance,
                             this) != nullptr;
}

LRESULT CALLBACK TrayWindow::procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        auto* tray = static_cast<TrayWindow*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
        tray->window_ = window;
        ::SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(tray));
    }
    auto* tray = reinterpret_cast<TrayWindow*>(::GetWindowLongPtrW(window, GWLP_USERDATA));
    if (tray == nullptr) return ::DefWindowProcW(window, message, wParam, lParam);
    return tray->handle(message, wParam, lParam);
}

void TrayWindow::notifyIcon(DWORD action) {
    NOTIFYICONDATAW data{};
    data.cbSize = sizeof data;
    data.hWnd = window_;
    data.uID = kTrayIconId;
    data.uFlags = NIF_MESSAGE;
    data.uCallbackMessage = kTrayNotifyMessage;
    if (action == NIM_ADD) {
        data.uFlags |= NIF_ICON | NIF_TIP;
        data.hIcon = icon_;
        const std::u16string tip = platform::utf16(vostrel::program::instanceName());
        const std::size_t units = std::min(tip.size(), std::size(data.szTip) - 1);
        std::copy_n(platform::wide(tip), units, data.szTip);
    }
    ::Shell_NotifyIconW(action, &data);
}

void TrayWindow::showMenu(int resource) {
    POINT cursor{};
    ::GetCursorPos(&cursor);
    const HMENU menu = ::LoadMenuW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(resource));
    // The menu closes when the user clicks elsewhere only if this window is
    // in the foreground, and the posted message ends its tracking properly.
    ::SetForegroundWindow(window_);
    ::TrackPopupMenu(::GetSubMenu(menu, 0), TPM_RIGHTBUTTON, cursor.x, cursor.y, 0, window_, nullptr);
    ::PostMessageW(window_, WM_NULL, 0, 0);
    ::DestroyMenu(menu);
}

LRESULT TrayWindow::handle(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_CREATE:
            icon_ = ::LoadIconW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDR_MAINFRAME));
            notifyIcon(NIM_ADD);
            deviceNotifications_ = platform::DeviceNotifications::registerWindow(window_);
            return 0;
        case kTrayNotifyMessage:
            // Only a right click on the icon: it shows the menu once the
            // shell's notification has returned.
            if (wParam == kTrayIconId && lParam == WM_RBUTTONUP) ::PostMessageW(window_, WM_RBUTTONUP, 0, 0);
            return 0;
        case WM_LBUTTONUP: showMenu(IDR_MENU_TRAY_L); return 0;
        case WM_RBUTTONUP: showMenu(IDR_MENU_TRAY_R); return 0;
        case WM_COMMAND:
            if (LOWORD(wParam) == ID_TRAY_EXIT) {
                ::PostMessageW(window_, WM_CLOSE, 0, 0);
            } else if (LOWORD(wParam) == ID_TRAY_SETUP && !mainWindow_.isOpen()) {
                mainWindow_.run(window_);
            }
            return 0;
        case WM_DEVICECHANGE:
            if (platform::DeviceNotifications::changesBus(wParam) && mainWindow_.isOpen()) {
                mainWindow_.refreshHubTree();
            }
            return TRUE;
        case WM_DESTROY:
            deviceNotifications_.reset();
            library_.cleanup();
            notifyIcon(NIM_DELETE);
            ::PostQuitMessage(0);
            return 0;
        default: return ::DefWindowProcW(window_, message, wParam, lParam);
    }
}

}  // namespace talvern
