// The program's pop-up menus, built the way a menu resource describes them:
// a caption, then items (command id and text) and separators in order.
#pragma once

#include <QMenu>
#include <memory>

namespace talvern {

// Builds menu `resourceId` (IDR_MENU_TRAY_R, IDR_MENU_ONOFF or
// IDR_MENU_AUTOCHECK). Every item's action carries its command id as data.
std::unique_ptr<QMenu> loadMenu(int resourceId, QWidget* parent = nullptr);

// The item of `menu` with command id `commandId`, or null.
QAction* menuCommand(const QMenu& menu, int commandId);

}  // namespace talvern
