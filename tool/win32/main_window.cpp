#include "main_window.h"

#include <commctrl.h>

#include "about_box.h"
#include "platform/wide_text.h"
#include "program_core/port_commands.h"
#include "program_core/port_texts.h"
#include "program_core/program_messages.h"
#include "program_core/vendor_diagnostics.h"
#include "resources/resource.h"
#include "watch_list_dialog.h"

namespace talvern {

using namespace vostrel::program;
using platform::utf16;
using platform::wide;

namespace {

HTREEITEM insertItem(HWND tree, HTREEITEM parent, const std::string& label, int data) {
    const std::u16string text = utf16(label);
    TVINSERTSTRUCTW insert{};
    insert.hParent = parent;
    insert.hInsertAfter = TVI_LAST;
    insert.item.mask = TVIF_TEXT | TVIF_PARAM;
    insert.item.pszText = const_cast<wchar_t*>(wide(text));
    insert.item.lParam = data;
    return reinterpret_cast<HTREEITEM>(::SendMessageW(tree, TVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&insert)));
}

LPARAM itemData(HWND tree, HTREEITEM item) {
    TVITEMW entry{};
    entry.mask = TVIF_PARAM;
    entry.hItem = item;
    ::SendMessageW(tree, TVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&entry));
    return entry.lParam;
}

void enable(HMENU menu, UINT command, bool enabled) {
    ::EnableMenuItem(menu, command, MF_BYCOMMAND | (enabled ? MF_ENABLED : MF_GRAYED));
}

}  // namespace

void MainWindow::run(HWND tray) {
    tray_ = tray;
    ModalDialog::run(IDD_MYTALVERN_DIALOG, tray);
}

bool MainWindow::initialise() {
    if (const HMENU system = ::GetSystemMenu(window(), FALSE)) {
        const std::u16string about = utf16(aboutMenuText());
        ::AppendMenuW(system, MF_SEPARATOR, 0, nullptr);
        ::AppendMenuW(system, MF_STRING, IDM_ABOUTBOX, wide(about));
    }
    icon_ = ::LoadIconW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDR_MAINFRAME));
    ::SendMessageW(window(), WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon_));
    ::SendMessageW(window(), WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(icon_));
    ::CheckDlgButton(window(), IDC_CHECK_AUTO_RECOVERY, library_.recoveryStored() != 0 ? BST_CHECKED : BST_UNCHECKED);

    bus_ = readBusView(library_);
    if (bus_ && !bus_->hubs.empty() && library_.initVendorLibrary() == 0) {
        const std::string searched =
            vendorLibrarySearchText(reinterpret_cast<const void*>(library_.initVendorLibrary));
        ask(vendorLibraryErrorText() + "\r\n\r\n" + searched, vendorLibraryErrorCaption(), MB_ICONEXCLAMATION | MB_OK);
        ::EndDialog(window(), IDCANCEL);
        ::PostMessageW(tray_, WM_CLOSE, 0, 0);
        return true;
    }
    fillHubTree();
    return true;
}

void MainWindow::refreshHubTree() {
    // A failed read keeps the old items; their commands then find no port.
    bus_ = readBusView(library_);
    if (bus_) fillHubTree();
}

void MainWindow::fillHubTree() {
    const HWND tree = item(IDC_TREE_HUB);
    TreeView_DeleteAllItems(tree);
    for (const HubView& hub : bus_->hubs) {
        const HTREEITEM hubItem = insertItem(tree, TVI_ROOT, hubLabel(hub.hubIndex), hub.hubIndex);
        for (const PortView& port : hub.ports) insertItem(tree, hubItem, portLabel(port), port.portIndex);
        TreeView_Expand(tree, hubItem, TVE_EXPAND);
    }
}

const PortView* MainWindow::selectedPort() const {
    const HWND tree = item(IDC_TREE_HUB);
    const HTREEITEM selected = TreeView_GetSelection(tree);
    if (selected == nullptr || !bus_) return nullptr;
    const HTREEITEM hub = TreeView_GetParent(tree, selected);
    if (hub == nullptr) return nullptr;
    return bus_->port(static_cast<int>(itemData(tree, hub)), static_cast<int>(itemData(tree, selected)));
}

void MainWindow::showPortMenu(POINT screenPoint) {
    const PortView* port = selectedPort();
    if (port == nullptr) return;
    const PortCommands allowed = allowedCommands(*port);
    const HMENU menu = ::LoadMenuW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDR_MENU_ONOFF));
    const HMENU popup = ::GetSubMenu(menu, 0);
    enable(popup, ID_PORT_ON, allowed.portOn);
    enable(popup, ID_PORT_OFF, allowed.portOff);
    enable(popup, ID_ADD_AUTO_RECOVERY_LIST, allowed.addToWatchList);
    ::TrackPopupMenu(popup, TPM_LEFTALIGN | TPM_LEFTBUTTON, screenPoint.x, screenPoint.y, 0, window(), nullptr);
    ::DestroyMenu(menu);
}

void MainWindow::onTreeRightClick() {
    const HWND tree = item(IDC_TREE_HUB);
    POINT cursor{};
    ::GetCursorPos(&cursor);
    TVHITTESTINFO hit{};
    hit.pt = cursor;
    ::ScreenToClient(tree, &hit.pt);
    TreeView_HitTest(tree, &hit);
    // Only a click on an item's label opens the menu, for that item.
    if (hit.hItem == nullptr || (hit.flags & TVHT_ONITEMLABEL) == 0) return;
    TreeView_SelectItem(tree, hit.hItem);
    showPortMenu(cursor);
}

void MainWindow::onContextMenuKey() {
    const HWND tree = item(IDC_TREE_HUB);
    const HTREEITEM selected = TreeView_GetSelection(tree);
    RECT label{};
    if (selected == nullptr || !TreeView_GetItemRect(tree, selected, &label, TRUE)) return;
    POINT corner{label.left, label.bottom};
    ::ClientToScreen(tree, &corner);
    showPortMenu(corner);
}

void MainWindow::switchSelectedPort(bool on) {
    const PortView* selected = selectedPort();
    if (selected == nullptr) return;
    const PortView port = *selected;
    if (!on && portOffIsUndoneByMonitor(port, library_.recoveryStored() != 0)) {
        if (ask(watchedPortOffText(port), watchedPortOffCaption(), MB_ICONQUESTION | MB_OKCANCEL) != IDOK) return;
        removeFromWatchList(library_, port.hubIndex, port.portIndex);
    }
    const SwitchOutcome outcome = switchPort(library_, port.hubIndex, port.portIndex, on);
    if (!outcome.done) {
        std::string text = refusedSwitchText(port, on, outcome.refusal);
        if (!outcome.advice.empty()) text += "\r\n\r\n" + outcome.advice;
        ask(text, refusedSwitchCaption(), MB_ICONWARNING | MB_OK);
    }
    // The system reports the device's coming or going as a device change;
    // a bench without one (the simulator) shows it through this read.
    refreshHubTree();
}

void MainWindow::addSelectedPortToWatchList() {
    const PortView* port = selectedPort();
    if (port == nullptr) return;
    const int hubIndex = port->hubIndex;
    const int portIndex = port->portIndex;
    addToWatchList(library_, hubIndex, portIndex);
    refreshHubTree();
}

bool MainWindow::handle(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR& result) {
    switch (message) {
        case WM_NOTIFY: {
            const auto& header = *reinterpret_cast<const NMHDR*>(lParam);
            if (header.idFrom != IDC_TREE_HUB || header.code != NM_RCLICK) return false;
            onTreeRightClick();
            // The tree's own right-click handling would send WM_CONTEXTMENU.
            ::SetWindowLongPtrW(window(), DWLP_MSGRESULT, TRUE);
            result = TRUE;
            return true;
        }
        case WM_CONTEXTMENU:
            // The Menu key or Shift+F10 in the tree: the menu at the selected item.
            if (reinterpret_cast<HWND>(wParam) != item(IDC_TREE_HUB) || static_cast<DWORD>(lParam) != 0xFFFFFFFF) {
                return false;
            }
            onContextMenuKey();
            return true;
        case WM_SYSCOMMAND:
            if ((wParam & 0xFFF0) != IDM_ABOUTBOX) return false;
            AboutBox().run(window());
            return true;
        case WM_COMMAND: {
            const int id = LOWORD(wParam);
            switch (id) {
                case IDOK:
                case IDCANCEL: ::EndDialog(window(), id); return true;
                case ID_PORT_ON: switchSelectedPort(true); return true;
                case ID_PORT_OFF: switchSelectedPort(false); return true;
                case ID_ADD_AUTO_RECOVERY_LIST: addSelectedPortToWatchList(); return true;
                case IDC_BUTTON_AUTO_RECOVERY_LIST:
                    WatchListDialog(library_).run(window());
                    return true;
                case IDC_CHECK_AUTO_RECOVERY:
                    if (::IsDlgButtonChecked(window(), IDC_CHECK_AUTO_RECOVERY) == BST_CHECKED) {
                        library_.startRecovery();
                    } else {
                        library_.stopRecovery();
                    }
                    return true;
                default: return false;
            }
        }
        default: return false;
    }
}

}  // namespace talvern
