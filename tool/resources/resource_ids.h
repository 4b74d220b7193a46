// Numbers of the program's dialogs, menus, controls and commands. Controls
// carry their number as the dynamic property "controlId", dialogs theirs as
// "resourceId"; menu commands carry theirs as the action's data.
#pragma once

namespace talvern {

// Dialogs, menus, the icon and the string table.
inline constexpr int IDD_ABOUTBOX = 100;
inline constexpr int IDS_ABOUTBOX = 101;
inline constexpr int IDD_MYTALVERN_DIALOG = 102;
inline constexpr int IDR_MAINFRAME = 128;
inline constexpr int IDR_MENU_TRAY_R = 131;
inline constexpr int IDR_MENU_ONOFF = 132;
inline constexpr int IDD_AUTO_RECOVER = 133;
inline constexpr int IDR_MENU_AUTOCHECK = 135;
inline constexpr int IDD_USB_LOG = 136;

// Standard button ids.
inline constexpr int IDOK = 1;
inline constexpr int IDCANCEL = 2;

// Controls of the main window.
inline constexpr int IDC_TREE_HUB = 1000;
inline constexpr int IDC_BUTTON_AUTO_RECOVERY_LIST = 1002;
inline constexpr int IDC_CHECK_AUTO_RECOVERY = 1009;

// Controls of the watch-list dialog and the log viewer.
inline constexpr int IDC_BUTTON_SHOW_LOG = 1002;
inline constexpr int IDC_LIST_DEVICE = 1003;
inline constexpr int IDC_LIST_LOG = 1003;
inline constexpr int IDC_EDIT_INTERVAL_TIME = 1004;
inline constexpr int IDC_EDIT_OFF_TIME = 1005;
inline constexpr int IDC_BUTTON_DELETE_LOG = 1006;
inline constexpr int IDC_SPIN_INTERVAL_TIME = 1007;
inline constexpr int IDC_SPIN_OFF_TIME = 1008;

// Menu commands.
inline constexpr int ID_TRAY_EXIT = 32772;
inline constexpr int ID_TRAY_SETUP = 32773;
inline constexpr int ID_PORT_ON = 32774;
inline constexpr int ID_PORT_OFF = 32775;
inline constexpr int ID_ADD_AUTO_RECOVERY_LIST = 32777;
inline constexpr int ID_REMOVE_AUTO_RECOVERY_LIST = 32779;
inline constexpr int IDM_ABOUTBOX = 0x0010;

}  // namespace talvern
