#include "resources/menu_resources.h"

#include <initializer_list>

#include "resources/resource_ids.h"

namespace talvern {
namespace {

struct MenuItem {
    int commandId;  // 0: separator
    const char* text;
};

struct MenuResource {
    int resourceId;
    const char* caption;
    std::initializer_list<MenuItem> items;
};

const MenuResource kMenus[] = {
    {IDR_MENU_TRAY_R, "TRAY_R", {{ID_TRAY_EXIT, "EXIT(&X)"}, {0, nullptr}, {ID_TRAY_SETUP, "SETUP(&S)"}}},
    {IDR_MENU_ONOFF,
     "OnOff",
     {{ID_PORT_ON, "Port On"}, {ID_PORT_OFF, "Port Off"}, {0, nullptr}, {ID_ADD_AUTO_RECOVERY_LIST, "Add Auto Recovery List"}}},
    {IDR_MENU_AUTOCHECK, "AutoCheck", {{ID_REMOVE_AUTO_RECOVERY_LIST, "Remove Auto Recovery List"}}},
};

}  // namespace

std::unique_ptr<QMenu> loadMenu(int resourceId, QWidget* parent) {
    for (const MenuResource& resource : kMenus) {
        if (resource.resourceId != resourceId) continue;
        auto menu = std::make_unique<QMenu>(QString::fromUtf8(resource.caption), parent);
        for (const MenuItem& item : resource.items) {
            if (item.commandId == 0) {
                menu->addSeparator();
            } else {
                menu->addAction(QString::fromUtf8(item.text))->setData(item.commandId);
            }
        }
        return menu;
    }
    return nullptr;
}

QAction* menuCommand(const QMenu& menu, int commandId) {
    for (QAction* action : menu.actions()) {
        if (!action->isSeparator() && action->data().toInt() == commandId) return action;
    }
    return nullptr;
}

}  // namespace talvern
