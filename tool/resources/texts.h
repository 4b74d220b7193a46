// Texts of the program that are not part of a dialog layout: the string
// table, the two message boxes and the notification-area tip.
#pragma once

#include <QString>

namespace talvern {

// String 101: the about item of the main window's system menu.
inline QString aboutMenuText() { return QStringLiteral("バージョン情報 Talvern(&A)..."); }

// The tip of the notification-area icon, also the name of the single-instance lock.
inline QString instanceName() { return QStringLiteral("RAV_UVIDARO_4"); }

inline QString vendorLibraryErrorCaption() { return QStringLiteral("ERROR"); }
inline QString vendorLibraryErrorText() {
    return QStringLiteral("pt2lib.dllが読み込めません。\r\nアプリケーションを終了します。");
}

// Told once per run when the vendor library refuses a port switch for want
// of rights; the udev rule ships with the project and its package.
inline QString portPermissionCaption() { return QStringLiteral("Port power"); }
inline QString portPermissionText() {
    return QStringLiteral("The port could not be switched: this user may not switch the hubs' ports.");
}
inline QString portPermissionDetails() {
    return QStringLiteral(
        "The udev rule udev/60-vostrel-hubs.rules lets the users of group plugdev switch them.\n"
        "The package installs it; built from the sources, copy it:\n"
        "    sudo cp udev/60-vostrel-hubs.rules /etc/udev/rules.d/\n"
        "Then load it and join the group (which applies at your next login):\n"
        "    sudo udevadm control --reload-rules && sudo udevadm trigger\n"
        "    sudo usermod -aG plugdev $USER");
}

// A port command whose hub or device changed while its menu was up.
inline QString portChangedCaption() { return QStringLiteral("Port"); }
inline QString portChangedText() {
    return QStringLiteral("The hubs or the device on this port changed since the menu was opened; nothing was done. "
                          "The tree shows them as they are now.");
}

inline QString deleteLogCaption() { return QStringLiteral("Caution"); }
inline QString deleteLogText() { return QStringLiteral("Logファイルを削除します。\r\nよろしいですか？"); }

}  // namespace talvern
