// Talvern for Windows: one copy per logon session, living in the
// notification area.
#include <windows.h>

#include <commctrl.h>

#include "linked_exports.h"
#include "platform/instance_mutex.h"
#include "program_core/program_messages.h"
#include "tray_window.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    // A second copy ends at once, silently; the running one is left alone.
    const auto instance = talvern::platform::InstanceMutex::createFirst(vostrel::program::instanceName());
    if (!instance) return 0;

    INITCOMMONCONTROLSEX controls{};
    controls.dwSize = sizeof controls;
    controls.dwICC = ICC_WIN95_CLASSES;
    ::InitCommonControlsEx(&controls);

    talvern::TrayWindow tray(talvern::linkedExports());
    if (!tray.create()) return 1;
    MSG message;
    while (::GetMessageW(&message, nullptr, 0, 0) > 0) {
        ::TranslateMessage(&message);
        ::DispatchMessageW(&message);
    }
    return static_cast<int>(message.wParam);
}
